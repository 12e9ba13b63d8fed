#include "cli/InstrumentCheck.h"

#include "bsl/KorrBSLHost.h"
#include "cli/DataFolder.h"
#include "cli/ErrorText.h"
#include "common/FixedText.h"
#include "device/DeviceIdentification.h"

namespace korrcli {

namespace {

constexpr uint8_t kUpdateBaudIndex = 2;  // the update talks to the firmware at 9600 baud
constexpr uint32_t kFirmwareBaud = 9600;

constexpr CodeText kDeviceCodes[] = {
    {.code = -10, .text = "a required argument is missing"},
    {.code = -13, .text = "the device's firmware is too old for this updater"},
    {.code = -20, .text = "nothing is listening on the port"},
    {.code = -21, .text = "no answer from the device"},
    {.code = -30, .text = "the device's answer was not understood"},
    {.code = -32, .text = "the device echoes every command (is a relay active?)"},
    {.code = -33, .text = "a relay seems to be active on the line"},
    {.code = -34, .text = "the device refused the command"},
    {.code = -36, .text = "the device is not initialised"},
    {.code = -40, .text = "cancelled"},
    {.code = -60, .text = "out of memory"},
};

struct AnswerRow {
    Answer answer;
    const char* text;
};

constexpr AnswerRow kAnswerTexts[] = {
    {.answer = Answer::LoaderActive,
     .text = "the instrument's firmware loader is active: an update was interrupted"},
    {.answer = Answer::LoaderWaiting,
     .text = "the instrument's firmware loader is waiting: an update was interrupted"},
    {.answer = Answer::Garbled,
     .text = "a device answers, but not understandably (wrong baud rate, noisy line or not an "
             "instrument?)"},
    {.answer = Answer::Silent,
     .text = "nothing answers (is the instrument connected and switched on?)"},
};

// A version text read off a noisy line or at the wrong rate holds control or non-ASCII
// characters; a device's own never does.
bool LooksGarbled(const char* text) {
    for (const char* c = text; *c != '\0'; ++c) {
        const auto u = static_cast<unsigned char>(*c);
        if (u < 0x20 || u >= 0x7F) return true;
    }
    return false;
}

// Whether the loader answers instead of the firmware.
Answer LookForLoader(const std::string& port) {
    korr::KorrBSLHost loader(nullptr);
    const int32_t r = loader.BSLCheck(port.c_str(), kFirmwareBaud);
    loader.BSLDisconnect();
    if (r == -80) return Answer::LoaderActive;
    if (r == -81) return Answer::LoaderWaiting;
    return Answer::Silent;
}

// One connect as an update makes it, with the given number of tries per exchange.
int32_t Connect(korr::MORVA_Protocol& link, const std::string& port, uint32_t tries) {
    link.options.serialTries = tries;
    korr::ConnectRequest request;
    korr::CopyText(request.portName, port.c_str());
    request.linkType = korr::kLinkSerial;
    request.baudIndex = kUpdateBaudIndex;
    int32_t r = link.ConnectDevice(&request);
    // The oldest firmware tells its version only in its "show" report.
    if (r > 0 && link.settings.deviceClass == korr::kClassTr3 && !link.settings.newCommandSet) {
        r = korr::VerCommand(link, false);
        if (r < 0) link.DisconnectDevice(false);
    }
    return r;
}

bool NoUnderstandableAnswer(int32_t code) {
    return code == -20 || code == -21 || code == -30 || code == -32;
}

}  // namespace

FoundDevice ProbeInstrument(korr::MORVA_Protocol& link, const std::string& port) {
    FoundDevice found;
    // Sound firmware answers at once; one try each keeps an active loader, which answers "?"
    // to everything, from costing every retry before it is looked for.
    const uint32_t tries = link.options.serialTries;
    found.code = Connect(link, port, 1);
    if (NoUnderstandableAnswer(found.code)) {
        const Answer loader = LookForLoader(port);
        if (loader != Answer::Silent) {
            link.options.serialTries = tries;
            link.tries = tries;
            found.answer = loader;
            return found;
        }
        // Not the loader: a noisy line gets every retry an update would give it.
        found.code = Connect(link, port, tries);
    }
    // What the caller asks of the firmware next gets every retry again.
    link.options.serialTries = tries;
    link.tries = tries;
    switch (found.code) {
        case -80:
            found.answer = Answer::LoaderActive;
            return found;
        case -81:
            found.answer = Answer::LoaderWaiting;
            return found;
        case -20:
        case -21:
            found.answer = Answer::Silent;
            return found;
        case -30:
        case -32:
            found.answer = Answer::Garbled;
            return found;
        default:
            break;
    }
    if (found.code < 0) {
        found.answer = Answer::Failed;
        return found;
    }
    found.settings = link.settings;
    if (LooksGarbled(link.settings.versionText)) {
        found.answer = Answer::Garbled;
        link.DisconnectDevice(false);
        return found;
    }
    found.answer = Answer::Firmware;
    // A version text without a device code leaves the record as it is: the unknown type.
    korr::FillDeviceInfo(korr::kDeviceTypeUnknown, link.settings.version, 0, &found.info);
    found.parsed = korr::ParseVersionString(link.settings.versionText, &found.info);
    return found;
}

std::string DescribeFound(const FoundDevice& found) {
    const std::string version = found.settings.versionText;
    if (found.info.type == korr::kDeviceTypeUnknown) {
        return version.empty() ? "a device of an unknown type"
                               : "a device of an unknown type (\"" + version + "\")";
    }
    return std::string(found.info.displayName) + " (" + version + ")";
}

const char* DeviceCodeMeaning(int32_t code) {
    return CodeMeaning(kDeviceCodes, code, "an unexpected result of the device");
}

std::string InterruptedUpdateHint(const std::string& port) {
    const std::string update = "\"korrbsl update --port " + port + "\"";
    const std::string kept = KeptUpdateSettingsFile();
    if (kept.empty()) return update + " finishes it";
    return update + " finishes it and puts back the settings it kept in \"" + kept +
           "\" (\"korrbsl flash\" would leave the instrument with factory settings)";
}

const char* AnswerText(Answer answer) {
    for (const AnswerRow& row : kAnswerTexts) {
        if (row.answer == answer) return row.text;
    }
    return "";
}

}  // namespace korrcli
