#include "serial/TablePortSource.h"

#include <cerrno>

#include "serial/PosixPort.h"

namespace korr {

bool TablePortSource::Enumerate(std::vector<PortDevice>& out) {
    if (!canEnumerate) return false;
    out.insert(out.end(), devices.begin(), devices.end());
    return true;
}

void TablePortSource::ProbeNames(std::vector<std::string>& out) {
    out.insert(out.end(), probeNames.begin(), probeNames.end());
}

int32_t TablePortSource::Probe(const char* name) {
    std::string n = name != nullptr ? name : "";
    probed.push_back(n);
    for (const ProbeAnswer& a : answers) {
        if (a.name == n) return a.result;
    }
    if (!n.empty() && n[0] == '/') return ProbePortLock(n.c_str());
    return -ENOENT;
}

}  // namespace korr
