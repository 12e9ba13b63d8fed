#pragma once
// What answers on a port before anything is changed: the instrument's firmware (identified as
// an update identifies it), its loader (an interrupted update), something that answers but not
// understandably, or nothing. `identify` shows it; `flash` (and later `update`) decide from it
// whether they may erase.

#include <cstdint>
#include <string>

#include "device/DeviceRecords.h"
#include "device/DeviceTypes.h"
#include "device/MORVA_Protocol.h"

namespace korrcli {

enum class Answer {
    Firmware,       // the firmware told its version (the type may still be unknown)
    LoaderActive,   // the loader answers with a session open
    LoaderWaiting,  // the loader waits for a host
    Garbled,        // something answers, but not understandably
    Silent,         // nothing answers
    Failed,         // the exchange failed otherwise (code holds the device layer's result)
};

struct FoundDevice {
    Answer answer = Answer::Silent;
    int32_t code = 0;  // the device layer's result of the connect
    korr::DeviceSettingsRecord settings{};
    korr::DeviceInfo info{};
    int32_t parsed = 0;  // ParseVersionString's result for the version text
};

// Connects as an update does (the firmware at 9600 baud, "get -ver") and, when the firmware
// does not answer understandably, looks for the loader. The link stays connected when the
// firmware answered (Answer::Firmware), for the caller to read more or to let go.
FoundDevice ProbeInstrument(korr::MORVA_Protocol& link, const std::string& port);

// "Quorra Series 7 (QS7 3.55)", or what is known of an unknown device.
std::string DescribeFound(const FoundDevice& found);

// What a result code of the device layer means. Port and system failures never reach it: the
// port is tried first, so a -13 is the firmware being too old, never EACCES.
const char* DeviceCodeMeaning(int32_t code);

// What an answer means to a person, for the cases that are not an identified firmware.
const char* AnswerText(Answer answer);

// What finishes an update interrupted in the loader: "korrbsl update --port PORT" finishes it
// and puts back the settings it kept (naming the file), and what flash would do instead.
std::string InterruptedUpdateHint(const std::string& port);

}  // namespace korrcli
