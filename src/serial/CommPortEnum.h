#pragma once
// The list of serial ports the user picks from: each with a readable description, in natural
// name order, marked when another program holds the port, and with the maker's adapters named.

#include <cstddef>
#include <cstdint>

#include "serial/KorrSerial.h"
#include "serial/PortSource.h"

namespace korr {

// Kernel tty names and the node paths of pseudo-terminals fit easily; a longer name is left
// out of the list rather than cut into the name of some other device.
inline constexpr size_t kCommPortNameCapacity = 24;         // 23 characters
inline constexpr size_t kCommPortDescriptionCapacity = 64;  // 63 characters
inline constexpr int32_t kCommPortListSize = 16;            // what the port list asks for

struct CommPortInfo {
    char name[kCommPortNameCapacity];  // what KSOpen is given: "ttyUSB0"
    char description[kCommPortDescriptionCapacity];
    int32_t number;  // the number at the end of the name
};

// Fills list with up to *count ports and sets *count to the number filled. findAll also tries
// the usual serial nodes the system did not report. The enumerator is never opened: it only
// lends its log. Returns the number of ports the system reported and accepted (1 when the
// system cannot enumerate or when trying the nodes added a port); -10 no list or no count;
// -11 a capacity below 1; -60 out of memory.
int32_t CommPortEnum(KorrSerial& enumerator, CommPortInfo* list, int32_t* count, bool findAll);
// The same from a given source of devices.
int32_t CommPortEnum(KorrSerial& enumerator, CommPortInfo* list, int32_t* count, bool findAll,
                     PortSource& source);

}  // namespace korr
