#pragma once
// Reading what a program printed.

#include <string>

namespace korrtest {

inline bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace korrtest
