#include "instrument/Korr_protocol.h"

namespace korr {

Korr_protocol::Korr_protocol(KorrLog* logTo)
    : link(std::make_unique<MORVA_Protocol>(logTo)),
      sdi(std::make_unique<KorrSDI12>(logTo, link.get())),
      log(logTo) {}

// The SDI-12 object borrows the link, so it goes first.
Korr_protocol::~Korr_protocol() {
    sdi.reset();
}

void Korr_protocol::ClearSettings() {
    loggerSettings = DeviceSettingsRecord{};
    instrument = InstrumentSettings{};
    instrumentFlags = 0;
    instrumentType = 0;
    userRecords = RecordSet{};
    eqnRecords = RecordSet{};
    settingsHeld = false;
    SavedFlags = 0;
    unsavableSetting.clear();
    settingsNotInFile.clear();
}

}  // namespace korr
