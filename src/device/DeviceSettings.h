#pragma once
// The setting commands of a logger-family device: one operation per setting, each able to read
// the setting from the device into its field (mode 0) or write the field to the device
// (mode 1), and DeviceSettings, which runs them over a mask of wanted settings.
//
// Every command returns 1 on success or a negative code; -1 means that the device lacks the
// capability and nothing was sent. Each logs its own outcome with the port name as tag.

#include <cstdint>

#include "device/MORVA_Protocol.h"

namespace korr {

inline constexpr int kSettingRead = 0;
inline constexpr int kSettingWrite = 1;

// ADC calibration sets.
inline constexpr int kADCSet30 = 1;  // "-adc30"
inline constexpr int kADCSet15 = 2;  // "-adc15"

// The radio-module items, in the masks of MSRadioCommand and Tm8Config.
inline constexpr uint32_t kRadioBits = kSetRadioChannel | kSetRadioSubchannel | kSetRadioVersion;

// Text settings; fields as wide as the settings record's.
int32_t NameCommand(MORVA_Protocol& link, char* name, int mode);
int32_t DeviceIDCommand(MORVA_Protocol& link, char* deviceID, int mode);
int32_t SiteCommand(MORVA_Protocol& link, char* site, int mode);
int32_t SNCommand(MORVA_Protocol& link, char* serialNumber, int mode);
int32_t KorrBuildCommand(MORVA_Protocol& link, char* build, int mode);
int32_t APNCommand(MORVA_Protocol& link, char* apn, int mode);
int32_t APNUserCommand(MORVA_Protocol& link, char* user, int mode);
int32_t APNPasswdCommand(MORVA_Protocol& link, char* password, int mode);
int32_t AuthKeyCommand(MORVA_Protocol& link, char* key, int mode);
int32_t HostCommand(MORVA_Protocol& link, char* host, int mode);

// Number settings.
int32_t ReportCommand(MORVA_Protocol& link, int32_t* reportMode, int mode);
// Writing -2 writes the host's own zone (in quarter hours) and stores it in the field.
int32_t TimeZoneCommand(MORVA_Protocol& link, int32_t* quarterHours, int mode);
int32_t WakeCommand(MORVA_Protocol& link, uint32_t* interval, int mode);
int32_t PADCCommand(MORVA_Protocol& link, int32_t* hertz, int mode);
int32_t DataParameterCommand(MORVA_Protocol& link, int32_t* parameter, int mode);
int32_t IPPortCommand(MORVA_Protocol& link, int32_t* ipPort, int mode);
int32_t RmodeCommand(MORVA_Protocol& link, uint32_t* radioMode, int mode);

// Five values, one per port; values above 255 are stored as 255.
int32_t DepthCommand(MORVA_Protocol& link, uint8_t* depths, int mode);
int32_t PortsCommand(MORVA_Protocol& link, uint8_t* ports, int mode);

int32_t LatitudeCommand(MORVA_Protocol& link, double* latitude, int mode);
int32_t LongitudeCommand(MORVA_Protocol& link, double* longitude, int mode);

// set: kADCSet30 or kADCSet15; factorsA and factorsB hold five factors each.
int32_t ADCcalCommand(MORVA_Protocol& link, int set, uint8_t* factorsA, uint8_t* factorsB,
                      int mode);

// The trait tells whether a radio module (bit 0) or a network modem (bit 3) is fitted; bit 14
// marks it valid. The device stores the complement of the low byte.
int32_t TraitCommand(MORVA_Protocol& link, int32_t* trait, int mode);
// -1 while the trait is not valid, else 1 or 0.
int32_t TraitHasRadio(int32_t trait);
int32_t TraitHasModem(int32_t trait);

// The radio module's channel, subchannel and firmware version (kSetRadioChannel,
// kSetRadioSubchannel, kSetRadioVersion). mask: in, the
// items wanted; out, the items done. version holds 8 characters and the NUL.
int32_t MSRadioCommand(MORVA_Protocol& link, int32_t* channel, int32_t* subchannel, char* version,
                       int mode, uint32_t* mask);

// Reads (mode 0) or writes (mode 1) the settings named by mask (SettingBit) in a fixed order,
// logging in again when the connection is lost. mask returns the settings done. Reading fills
// record from the link's settings and adds the done bits to its valid mask; writing first
// copies record into the link. 1, -1 (nothing done), -35 (some settings failed), or -10, -11,
// -13, -21, -32, -33, -36, -40.
int32_t DeviceSettings(MORVA_Protocol& link, DeviceSettingsRecord* record, uint32_t* mask,
                       int mode);

}  // namespace korr
