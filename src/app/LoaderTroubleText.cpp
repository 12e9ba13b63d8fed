#include "app/LoaderTroubleText.h"

#include <cctype>

namespace korr {

namespace {

constexpr const char* kCheckTheLine =
    "the line is losing or garbling bytes (check the cable and its connections)";

}  // namespace

std::string LoaderTroubleMeaning(LoaderTrouble trouble, uint32_t repeated) {
    switch (trouble) {
        case LoaderTrouble::Refused:
            return "the firmware loader refused the command";
        case LoaderTrouble::NoisyLine:
            return "the firmware loader refused a command that most likely reached it damaged: " +
                   std::to_string(repeated) + " earlier " +
                   (repeated == 1 ? "command" : "commands") +
                   " went through only when repeated, so " + kCheckTheLine;
        case LoaderTrouble::Garbled:
            return std::string("the firmware loader's answer arrived garbled: ") + kCheckTheLine;
        case LoaderTrouble::Silent:
            return "no answer from the firmware loader";
        case LoaderTrouble::None:
            break;
    }
    return "";
}

std::string LoaderTroubleNote(LoaderTrouble trouble, uint32_t repeated) {
    std::string text = LoaderTroubleMeaning(trouble, repeated);
    if (text.empty()) return text;
    text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return "\n\n" + text + ".";
}

}  // namespace korr
