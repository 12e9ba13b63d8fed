#pragma once
// The instrument-protocol object: the updater's one point of contact with a connected logger,
// instrument or communication device while it identifies the device, keeps its settings across
// a firmware update and puts them back.
//
// Results: 1 (or another positive value) success, 0 nothing to do, negative failure:
//   -10 missing or empty argument      -11 unexpected record-set type
//   -12 new serial number refused      -13 not available for this device type
//   -20 connection failed              -21 -22 -31 -32 -33 -34 from the device link
//   -25 login refused                  -30 reply or file content not recognised
//   -35 some settings not collected or not restored
//   -36 device not initialised
//   -37 a value the settings file cannot keep (a line break in it)
//   -60 out of memory
//   -65 the data storage chip reports a failure
//   -80 -81 the target's loader is already listening
//   -102 -105 -106 settings file not found, access denied, bad file handle
//   -120 device or firmware version not supported

#include <cstdint>
#include <memory>
#include <string>

#include "device/DeviceRecords.h"
#include "device/MORVA_Protocol.h"
#include "instrument/InstrumentSettings.h"
#include "instrument/RecordSet.h"
#include "log/KorrLog.h"
#include "sdi/KorrSDI12.h"

namespace korr {

inline constexpr const char* kInstrumentTag = "Korr_protocol";

class Korr_protocol {
  public:
    explicit Korr_protocol(KorrLog* logTo);
    ~Korr_protocol();
    Korr_protocol(const Korr_protocol&) = delete;
    Korr_protocol& operator=(const Korr_protocol&) = delete;

    // Connection.
    int32_t KDConnect(const char* portName, uint8_t baudIndex, uint32_t tries, DeviceInfo* info);
    int32_t KDLogin();
    int32_t KDDisconnect(bool sendLogout);

    // Instrument settings.
    int32_t GetValueString(const char* command, uint32_t timeoutMs, char* value, size_t capacity);
    int32_t GetValueLong(const char* command, uint32_t timeoutMs, int32_t* value);
    int32_t GetInstInfo(InstrumentFlags request);
    int32_t SetInstInfo(InstrumentFlags request);

    // Record sets (type kRecordEqn or kRecordUser).
    int32_t GetRecords_Serial(RecordSet& set, int type);
    int32_t SetRecords_Serial(RecordSet& set, int type);
    int32_t GetRecords_File(RecordSet& set, int type, const char* fileText);
    int32_t AlphabetizeRecords(RecordSet& set, int type);
    int32_t ExtractNames(RecordSet& set, int type);

    // The settings file.
    int32_t WriteInfoFile(const char* path);
    int32_t ReadInfoFile(const char* path);

    // Save, restore and checks around an update.
    int32_t KDSaveInfo(const char* path);
    int32_t KDRestoreInfo(const char* path, const char* newSerialNumber);
    int32_t KDCheckFirmware(bool postInit);
    int32_t KDEraseData();
    int32_t KDCheckBattery(int32_t* percent);
    int32_t KDSetTime();

    // Zeroes the logger and instrument settings and drops the records (a new update starts).
    void ClearSettings();

    std::unique_ptr<MORVA_Protocol> link;
    std::unique_ptr<KorrSDI12> sdi;
    DeviceSettingsRecord loggerSettings;
    InstrumentFlags instrumentFlags = 0;
    uint8_t instrumentType = 0;
    InstrumentSettings instrument;
    uint8_t deviceType = 0;
    DeviceInfo deviceInfo;
    bool settingsHeld = false;
    RecordSet userRecords;
    RecordSet eqnRecords;
    KorrLog* log;
    uint32_t SavedFlags = 0;
    // The key of the value the last settings-file write could not keep (-37); empty when none.
    std::string unsavableSetting;
    // The settings the last settings file read lacked although its type's file always holds
    // them (names separated by ", "); empty when the file was whole.
    std::string settingsNotInFile;
};

// Whether record a sorts before record b: names compared case-blind, at most 32 characters deep;
// equal names count as less.
bool RecordNameLess(const NamedRecord& a, const NamedRecord& b);
// Four base64 characters to three bytes; characters outside the alphabet count as 0.
void DecodeBase64Quad(const char* quad, uint8_t out[3]);

// Key lookups in a settings file's text.
bool GetFileString(const char* fileText, const char* key, char* value, size_t capacity);
bool GetFileLong(const char* fileText, const char* key, int32_t* value);
bool GetFileDouble(const char* fileText, const char* key, double* value);

}  // namespace korr
