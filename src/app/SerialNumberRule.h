#pragma once
// What a new serial number may hold. It goes to the instrument inside a command line
// ("set -sn <number>\r"), so a character the command line reads as a separator, a line end or
// an option would make it more than one value, or more than one command.

#include <string>
#include <string_view>

namespace korr {

// Empty when the number may be sent; otherwise what is wrong with it, for a person.
// Letters, digits and - _ . / + # : are allowed, 1 to 15 of them, not starting with '-'.
std::string SerialNumberProblem(std::string_view number);

}  // namespace korr
