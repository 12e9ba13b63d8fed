#include "serial/CommPortEnum.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "common/FixedText.h"
#include "serial/UdevPortSource.h"

namespace korr {

namespace {

constexpr int32_t kErrMissingArgument = -10;
constexpr int32_t kErrBadArgument = -11;
constexpr int32_t kErrOutOfMemory = -60;

constexpr const char* kBusyMark = " (busy)";

// The maker's USB adapter: product id 8414 and the mark in its serial or product string.
constexpr uint16_t kUcaProductId = 0x8414;
constexpr const char* kUcaMark = "KORRIN_UCA";
constexpr const char* kUcaName = "Korrin UCA";
// The radio-modem adapter, known by the names its two makers gave it.
constexpr const char* kTm8Marks[] = {"MaxStream PKG-U", "Digi PKG-U"};
constexpr const char* kTm8Name = "Korrin USB Tm8";

// Drivers every PC serial port has; naming them tells a person nothing.
constexpr const char* kGenericDrivers[] = {"port", "serial", "serial8250", "serial-base"};

#define ENUM_LOG(enumerator, level, ...)                                    \
    do {                                                                    \
        if ((enumerator).log != nullptr)                                    \
            (enumerator).log->Print(level, (enumerator).name, __VA_ARGS__); \
    } while (0)

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The number the name ends in; names without one are not ports.
int32_t TrailingNumber(const std::string& name) {
    size_t start = name.size();
    while (start > 0 && IsDigit(name[start - 1])) --start;
    int64_t value = 0;
    for (size_t i = start; i < name.size(); ++i) {
        value = value * 10 + (name[i] - '0');
        if (value > INT32_MAX) return INT32_MAX;
    }
    return static_cast<int32_t>(value);
}

bool IsBusy(int32_t probe) {
    return probe == -EBUSY || probe == -EWOULDBLOCK;
}

// A node that opens, is held, or is only closed to this user is there.
bool Exists(int32_t probe) {
    return probe == 0 || IsBusy(probe) || probe == -EACCES || probe == -EPERM;
}

bool IsGenericDriver(const std::string& driver) {
    for (const char* d : kGenericDrivers) {
        if (driver == d) return true;
    }
    return false;
}

// Empty when the port is a console, a UART slot with no chip behind it, or has no usable name.
const char* RejectReason(const PortDevice& dev) {
    if (dev.name.empty() || !IsDigit(dev.name.back())) return "no port name";
    if (dev.name.size() >= kCommPortNameCapacity) return "name too long";
    if (!dev.hasParent) return "no device";
    if (dev.uartType == 0) return "no UART";
    return nullptr;
}

// What a person recognises: the USB strings, else the hardware database, else the driver.
std::string FriendlyName(const PortDevice& dev) {
    std::string friendly;
    if (!dev.friendlyName.empty()) {
        friendly = dev.friendlyName;
    } else if (!dev.product.empty()) {
        bool named = dev.manufacturer.empty() || dev.product.rfind(dev.manufacturer, 0) == 0;
        friendly = named ? dev.product : dev.manufacturer + " " + dev.product;
    } else if (!dev.modelName.empty()) {
        friendly = dev.vendorName.empty() ? dev.modelName : dev.vendorName + " " + dev.modelName;
    } else if (!IsGenericDriver(dev.driver)) {
        friendly = dev.driver;
    }
    // Some sources end the name with the port in brackets; the description has it in front.
    size_t cut = friendly.find("(" + dev.name + ")");
    if (cut != std::string::npos) friendly.erase(cut);
    while (!friendly.empty() && friendly.back() == ' ') friendly.pop_back();
    return friendly;
}

const std::string* UcaText(const PortDevice& dev) {
    if (!dev.isUsb || dev.productId != kUcaProductId) return nullptr;
    if (dev.serial.find(kUcaMark) != std::string::npos) return &dev.serial;
    if (dev.product.find(kUcaMark) != std::string::npos) return &dev.product;
    return nullptr;
}

void Describe(const PortDevice& dev, CommPortInfo& entry) {
    const char* name = entry.name;
    char* out = entry.description;
    const size_t cap = sizeof entry.description;
    if (const std::string* uca = UcaText(dev)) {
        size_t bracket = uca->find('[');
        if (bracket != std::string::npos) {
            FormatText(out, cap, "%s %s %s", name, kUcaName, uca->c_str() + bracket);
        } else {
            FormatText(out, cap, "%s %s", name, kUcaName);
        }
    } else if (std::string friendly = FriendlyName(dev); friendly.empty()) {
        FormatText(out, cap, "%s Communications Port", name);
    } else {
        FormatText(out, cap, "%s %s", name, friendly.c_str());
    }
    for (const char* mark : kTm8Marks) {
        if (std::strstr(out, mark) != nullptr) {
            FormatText(out, cap, "%s %s", name, kTm8Name);
            break;
        }
    }
}

// The mark always fits: a long description gives way to it, as a cut mark would read as free.
void MarkBusy(CommPortInfo& entry) {
    const size_t room = sizeof entry.description - 1 - std::strlen(kBusyMark);
    size_t len = std::strlen(entry.description);
    if (len > room) {
        len = room;
        while (len > 0 && entry.description[len - 1] == ' ') --len;
        entry.description[len] = '\0';
    }
    AppendText(entry.description, sizeof entry.description, kBusyMark);
}

// The devices the system reports, as entries in the order found; at most capacity.
int32_t ListDevices(KorrSerial& enumerator, const std::vector<PortDevice>& devices,
                    CommPortInfo* scratch, int32_t capacity) {
    int32_t found = 0;
    for (const PortDevice& dev : devices) {
        if (const char* reason = RejectReason(dev)) {
            ENUM_LOG(enumerator, LOG_TRACE, "CommPortEnum skipped \"%s\" (%s)", dev.name.c_str(),
                     reason);
            continue;
        }
        CommPortInfo& entry = scratch[found];
        CopyText(entry.name, dev.name.c_str());
        entry.number = TrailingNumber(dev.name);
        Describe(dev, entry);
        if (++found == capacity) break;
    }
    return found;
}

// Natural name order; of two equal names the one found later goes first.
void SortInto(const CommPortInfo* scratch, int32_t found, CommPortInfo* list) {
    for (int32_t i = 0; i < found; ++i) {
        int32_t at = 0;
        while (at < i && ComparePortNames(list[at].name, scratch[i].name) < 0) ++at;
        for (int32_t j = i; j > at; --j) list[j] = list[j - 1];
        list[at] = scratch[i];
    }
}

bool Listed(const CommPortInfo* list, int32_t n, const std::string& name) {
    for (int32_t i = 0; i < n; ++i) {
        if (name == list[i].name) return true;
    }
    return false;
}

// Tries the usual nodes the system did not report; returns the new count.
int32_t ProbeMorePorts(KorrSerial& enumerator, PortSource& source, CommPortInfo* list, int32_t n,
                       int32_t capacity) {
    std::vector<std::string> names;
    source.ProbeNames(names);
    for (const std::string& name : names) {
        if (n == capacity) break;
        if (name.size() >= kCommPortNameCapacity || Listed(list, n, name)) continue;
        int32_t probe = source.Probe(name.c_str());
        if (!Exists(probe)) continue;
        CommPortInfo& entry = list[n++];
        CopyText(entry.name, name.c_str());
        entry.number = TrailingNumber(name);
        FormatText(entry.description, sizeof entry.description, "%s Communications Port",
                   name.c_str());
        if (IsBusy(probe)) MarkBusy(entry);
        ENUM_LOG(enumerator, LOG_VERBOSE, "CommPortEnum found %s by trying it", entry.description);
    }
    return n;
}

int32_t BuildList(KorrSerial& enumerator, CommPortInfo* list, int32_t capacity, bool findAll,
                  PortSource& source, int32_t* filled) {
    std::unique_ptr<CommPortInfo[]> scratch(new (std::nothrow) CommPortInfo[capacity]);
    if (!scratch) return kErrOutOfMemory;
    std::memset(scratch.get(), 0, sizeof(CommPortInfo) * static_cast<size_t>(capacity));
    std::memset(list, 0, sizeof(CommPortInfo) * static_cast<size_t>(capacity));

    std::vector<PortDevice> devices;
    int32_t result = 1;
    int32_t n = 0;
    if (source.Enumerate(devices)) {
        n = result = ListDevices(enumerator, devices, scratch.get(), capacity);
    } else {
        ENUM_LOG(enumerator, LOG_VERBOSE, "CommPortEnum cannot list devices; trying every port");
        findAll = true;
    }
    SortInto(scratch.get(), n, list);
    for (int32_t i = 0; i < n; ++i) {
        if (IsBusy(source.Probe(list[i].name))) MarkBusy(list[i]);
        ENUM_LOG(enumerator, LOG_VERBOSE, "CommPortEnum listed %s", list[i].description);
    }
    if (findAll && n < capacity) {
        int32_t before = n;
        n = ProbeMorePorts(enumerator, source, list, n, capacity);
        if (n > before) result = 1;
    }
    *filled = n;
    return result;
}

}  // namespace

int32_t CommPortEnum(KorrSerial& enumerator, CommPortInfo* list, int32_t* count, bool findAll,
                     PortSource& source) {
    if (list == nullptr || count == nullptr) {
        ENUM_LOG(enumerator, LOG_ERROR, "CommPortEnum failed with error %d", kErrMissingArgument);
        return kErrMissingArgument;
    }
    const int32_t capacity = *count;
    *count = 0;
    if (capacity < 1) {
        ENUM_LOG(enumerator, LOG_ERROR, "CommPortEnum failed with error %d", kErrBadArgument);
        return kErrBadArgument;
    }
    int32_t filled = 0;
    int32_t result;
    try {
        result = BuildList(enumerator, list, capacity, findAll, source, &filled);
    } catch (const std::bad_alloc&) {
        result = kErrOutOfMemory;
    }
    if (result < 0) {
        ENUM_LOG(enumerator, LOG_ERROR, "CommPortEnum failed with error %d", result);
        return result;
    }
    *count = filled;
    ENUM_LOG(enumerator, LOG_VERBOSE, "CommPortEnum found %d comm ports", filled);
    return result;
}

int32_t CommPortEnum(KorrSerial& enumerator, CommPortInfo* list, int32_t* count, bool findAll) {
    UdevPortSource source;
    return CommPortEnum(enumerator, list, count, findAll, source);
}

}  // namespace korr
