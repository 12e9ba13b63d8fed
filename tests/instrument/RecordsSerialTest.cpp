// Record sets read from and uploaded to a simulated QE8, in virtual time.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/SimBench.h"
#include "instrument/Korr_protocol.h"
#include "models/Instrument.h"
#include "models/InstrumentProfiles.h"
#include "models/InstrumentTypes.h"
#include "models/SettingsFirmware.h"

namespace {

using Texts = std::vector<std::string>;

class RecordsSerial : public ::testing::Test {
  protected:
    void SetUp() override {
        instrument->SetFirmware(korrsim::MakeSettingsFirmware(bench.Line(), profile, &firmware));
        korrsim::BootImage image;
        image.runnable = image.sound = true;
        image.code = profile.code;
        image.version = profile.version;
        instrument->RunFirmware(image);
        ASSERT_GT(kp->KDConnect(bench.Port(), 2, 3, &info), 0);
    }

    static Texts Held(const korr::RecordSet& set) {
        Texts texts;
        for (int32_t i = 0; i < set.count; ++i) texts.emplace_back(set.records[i].text);
        return texts;
    }

    korrsim::SimBench bench;
    const korrsim::InstrumentProfile& profile = *korrsim::FindInstrumentProfile("QE8");
    std::unique_ptr<korrsim::Instrument> instrument =
        std::make_unique<korrsim::Instrument>(bench.Line(), *korrsim::FindInstrumentType("QE8"));
    korrsim::SettingsFirmware* firmware = nullptr;
    korr::DeviceInfo info;
    // Goes first: its destructor still talks to the instrument.
    std::unique_ptr<korr::Korr_protocol> kp = std::make_unique<korr::Korr_protocol>(nullptr);
};

TEST_F(RecordsSerial, NoRecordsLeaveTheSetEmpty) {
    firmware->UserRecords().clear();
    korr::RecordSet& set = kp->userRecords;
    set.count = 1;
    set.records = std::make_unique<korr::NamedRecord[]>(1);
    EXPECT_EQ(kp->GetRecords_Serial(set, korr::kRecordUser), 0);
    EXPECT_EQ(set.count, 0);
    EXPECT_FALSE(set.records);
}

TEST_F(RecordsSerial, EquationsAreUploadedInNameOrderRenumbered) {
    firmware->EqnRecords() = {"Zeta_1 x+1", "alpha 2*x", "Beta`2 x/2"};
    ASSERT_EQ(kp->GetRecords_Serial(kp->eqnRecords, korr::kRecordEqn), 1);
    EXPECT_EQ(Held(kp->eqnRecords), (Texts{"Zeta_1 x+1", "alpha 2*x", "Beta`2 x/2"}));
    firmware->EqnRecords().clear();  // new firmware starts without records
    ASSERT_EQ(kp->SetRecords_Serial(kp->eqnRecords, korr::kRecordEqn), 1);
    EXPECT_EQ(firmware->EqnRecords(), (Texts{"alpha 2*x", "Beta`2 x/2", "Zeta_1 x+1"}));
    EXPECT_STREQ(kp->eqnRecords.records[2].name, "Zeta 1");
}

// Short of the count the instrument gave, records were lost: the read fails, and keeps those it
// got. Without a count from the instrument the list simply ends.
TEST_F(RecordsSerial, ReadingStopsAtTheFirstRecordTheInstrumentCannotGive) {
    // Counted as three, but the third answers with nothing.
    firmware->UserRecords() = {"YQliCWMJU29pbAl4", "ZAllCWYJQ2xheQ==", ""};
    EXPECT_EQ(kp->GetRecords_Serial(kp->userRecords, korr::kRecordUser), -35);
    EXPECT_EQ(Held(kp->userRecords), (Texts{"YQliCWMJU29pbAl4", "ZAllCWYJQ2xheQ=="}));

    firmware->SetGetFault("user 0", korrsim::SettingFault::Refused);
    EXPECT_EQ(kp->GetRecords_Serial(kp->userRecords, korr::kRecordUser), -30);
    EXPECT_EQ(kp->userRecords.count, 0);

    firmware->SetGetFault("user 0", korrsim::SettingFault::None);
    firmware->SetGetFault("user ", korrsim::SettingFault::Refused);  // the count query alone
    EXPECT_EQ(kp->GetRecords_Serial(kp->userRecords, korr::kRecordUser), 1);
    EXPECT_EQ(Held(kp->userRecords), (Texts{"YQliCWMJU29pbAl4", "ZAllCWYJQ2xheQ=="}));
}

TEST_F(RecordsSerial, RefusedUploadIsAFailure) {
    ASSERT_EQ(kp->GetRecords_Serial(kp->eqnRecords, korr::kRecordEqn), 1);
    firmware->EqnRecords().clear();
    firmware->SetSetFault("eqn", korrsim::SettingFault::Refused);
    EXPECT_EQ(kp->SetRecords_Serial(kp->eqnRecords, korr::kRecordEqn), -34);
    EXPECT_TRUE(firmware->EqnRecords().empty());
}

TEST_F(RecordsSerial, OtherTypesAreRefused) {
    EXPECT_EQ(kp->GetRecords_Serial(kp->userRecords, 0), -11);
    EXPECT_EQ(kp->SetRecords_Serial(kp->userRecords, 3), -11);
    EXPECT_EQ(kp->SetRecords_Serial(kp->userRecords, korr::kRecordUser), 0);  // empty set
}

}  // namespace
