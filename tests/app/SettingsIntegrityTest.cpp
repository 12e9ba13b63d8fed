// Every setting goes back into the instrument it came from, or a person is told: files left by
// unfinished updates of other instruments, two updates side by side, settings that could not
// be read before the erase, and serial numbers that would break the instrument's command line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/FileLock.h"
#include "app/UpdateRig.h"

using namespace korr;
using korrsim::kUsPerMs;
using korrtest::UpdateRig;

namespace {

namespace fs = std::filesystem;

constexpr const char* kOwnCalibration = "1.0120 0.9950 0.0004";
constexpr const char* kOtherCalibration = "0.9800 1.0300 -0.0020";

// The settings file an update of the rig's instrument writes, read while the loader starts.
std::string SettingsFileOf(UpdateRig& rig) {
    std::string saved;
    rig.AtStatus("Starting the firmware loader...",
                 [&] { saved = korrtest::ReadFile(rig.SettingsPath()); });
    EXPECT_EQ(rig.Run(), 1);
    return saved;
}

// A QS7 with another calibration, updated once: what an unfinished update of it would leave.
std::string AnotherQs7sFile() {
    UpdateRig other;
    other.Firmware().Settings().Set("adccal", kOtherCalibration);
    return SettingsFileOf(other);
}

// The power fails while the new firmware starts: the update stops with its file left.
void CutPowerAtRestart(UpdateRig& rig) {
    korrsim::Instrument& instrument = rig.target.Target();
    rig.AtStatus("Restarting the Quorra Series 7, please wait...", [&] {
        korrsim::EventLoop& loop = rig.target.Bench().Loop();
        loop.After(2000 * kUsPerMs, [&instrument] { instrument.PowerOff(); });
        loop.After(30000 * kUsPerMs, [&instrument] { instrument.PowerOn(); });
    });
    ASSERT_LT(rig.Run(), 0);
    rig.target.Bench().Loop().RunUntil(rig.target.Bench().Loop().Now() + 40000 * kUsPerMs);
    rig.ui.onEvents = nullptr;
}

const korrtest::ShownBox* FindTitle(const UpdateRig& rig, const std::string& title) {
    for (const korrtest::ShownBox& b : rig.ui.boxes) {
        if (b.title == title) return &b;
    }
    return nullptr;
}

// A QS7 on this updater's firmware keeps no serial number, so nothing ties another QS7's left
// file to it: the person decides, and without one the file is kept aside.
TEST(LeftSettings, AnotherInstrumentsFileGoesInOnlyWhenAPersonSaysSo) {
    struct Case {
        const char* name;
        LeftSettingsChoice choice;
        int answer;
        bool asked;
        bool restored;
    } cases[] = {
        {"asked, OK", LeftSettingsChoice::Ask, kAnswerOk, true, true},
        {"asked, Cancel", LeftSettingsChoice::Ask, kAnswerCancel, true, false},
        {"nobody to ask", LeftSettingsChoice::KeepAside, kAnswerOk, false, false},
        {"asked for on purpose", LeftSettingsChoice::Restore, kAnswerCancel, false, true},
    };
    const std::string left = AnotherQs7sFile();
    ASSERT_NE(left.find(kOtherCalibration), std::string::npos);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateRig rig(korrtest::SimQs7("3.60"));
        ASSERT_EQ(rig.Firmware().Settings().Get("adccal"), kOwnCalibration);
        korrtest::WriteFile(rig.SettingsPath(), left);
        rig.Session().State().leftSettingsChoice = c.choice;
        rig.ui.answers = {c.answer};
        ASSERT_EQ(rig.Run(), 1);

        EXPECT_EQ(rig.Firmware().Settings().Get("adccal"),
                  c.restored ? kOtherCalibration : kOwnCalibration);
        const korrtest::ShownBox* question = FindTitle(rig, "Settings Of Another Update");
        ASSERT_EQ(question != nullptr, c.asked);
        if (question != nullptr) {
            EXPECT_EQ(question->flags, kBoxOkCancel);
            EXPECT_NE(question->text.find("from the instrument on sim0"), std::string::npos);
            EXPECT_NE(question->text.find(rig.SettingsPath()), std::string::npos);
        }
        const std::string aside = rig.ui.PathOf(FileRole::SettingsMovedAside);
        if (c.restored) {
            EXPECT_TRUE(aside.empty()) << aside;
            continue;
        }
        // The other instrument's settings are kept, and the box says where.
        ASSERT_FALSE(aside.empty());
        EXPECT_EQ(korrtest::ReadFile(aside), left);
        const korrtest::ShownBox* kept = FindTitle(rig, "Settings Kept");
        ASSERT_NE(kept, nullptr);
        EXPECT_NE(kept->text.find(aside), std::string::npos);
        EXPECT_NE(kept->text.find("korrbsl settings restore"), std::string::npos);
    }
}

// A Thermion keeps its serial number: a file with the same one is its own and goes back without
// a question; one with another serial number is not.
TEST(LeftSettings, AnInstrumentWithASerialNumberIsKnownByIt) {
    std::string ownFile;
    {
        UpdateRig first(korrtest::SimThermion());
        first.MakeThermionImage();
        ownFile = SettingsFileOf(first);
    }
    ASSERT_NE(ownFile.find("sn=\"TM-310556\""), std::string::npos);
    for (const bool sameSerial : {true, false}) {
        SCOPED_TRACE(sameSerial ? "same serial number" : "another serial number");
        UpdateRig rig(korrtest::SimThermion());
        rig.MakeThermionImage();
        if (!sameSerial) rig.Firmware().Settings().Set("sn", "TM-999001");
        // The file's contrast differs from what the instrument holds now.
        rig.Firmware().Settings().Set("contr", "3");
        korrtest::WriteFile(rig.SettingsPath(), ownFile);
        rig.Session().State().leftSettingsChoice = LeftSettingsChoice::KeepAside;
        ASSERT_EQ(rig.Run(), 1);
        EXPECT_EQ(FindTitle(rig, "Settings Of Another Update"), nullptr);
        EXPECT_EQ(rig.Firmware().Settings().Get("contr") == "3", !sameSerial);
        EXPECT_EQ(rig.ui.PathOf(FileRole::SettingsMovedAside).empty(), sameSerial);
    }
}

// The file records where its settings came from, in lines the settings readers pass over.
TEST(LeftSettings, TheFileRecordsItsOrigin) {
    UpdateRig rig;
    const std::string file = SettingsFileOf(rig);
    EXPECT_NE(file.find("\r\norigin-type=\"QS7\"\r\n"), std::string::npos) << file;
    EXPECT_NE(file.find("\r\norigin-version=\"QS7 3.55\"\r\n"), std::string::npos) << file;
    EXPECT_NE(file.find("\r\norigin-port=\"sim0\"\r\n"), std::string::npos) << file;
    EXPECT_NE(file.find("\r\norigin-time=\"20"), std::string::npos) << file;
}

// In its loader the instrument has nothing of its own left: the one file is its own; among
// several, or with only a file an update moved aside, nothing says which, and none goes back
// unless a person picks it.
TEST(LeftSettings, AnInstrumentInItsLoaderTakesTheOnlyFileOrAsks) {
    const char* const kOtherPort = "Quorra Series 7.ttyUSB3.settings.txt";
    const char* const kMovedAside = "Quorra Series 7.sim0.settings.2026-11-30_10-00-00.txt";
    struct Case {
        const char* name;
        const char* leftIn;  // null: the rig's own port's file
        const char* third;   // another file beside it
        LeftSettingsChoice choice;
        bool asked, restored;
    } cases[] = {
        {"the only file, from another port", kOtherPort, nullptr, LeftSettingsChoice::KeepAside,
         false, true},
        {"two files, nobody to ask", nullptr, kOtherPort, LeftSettingsChoice::KeepAside, false,
         false},
        {"two files, asked", nullptr, kOtherPort, LeftSettingsChoice::Ask, true, true},
        {"moved aside, nobody to ask", kMovedAside, nullptr, LeftSettingsChoice::KeepAside, false,
         false},
        {"moved aside, asked", kMovedAside, nullptr, LeftSettingsChoice::Ask, true, true},
    };
    const std::string left = AnotherQs7sFile();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateRig rig;
        rig.target.Target().RunLoader(korrsim::BslLoader::State::Waiting);
        const std::string leftPath =
            c.leftIn != nullptr ? rig.dir.File(c.leftIn) : rig.SettingsPath();
        korrtest::WriteFile(leftPath, left);
        if (c.third != nullptr) korrtest::WriteFile(rig.dir.File(c.third), "a third's\r\n");
        rig.Session().State().leftSettingsChoice = c.choice;
        ASSERT_EQ(rig.Run(), 1);
        EXPECT_EQ(FindTitle(rig, "Settings Of Another Update") != nullptr, c.asked);
        EXPECT_EQ(rig.Firmware().Settings().Get("adccal") == kOtherCalibration, c.restored);
        EXPECT_EQ(rig.Session().SettingsResult(),
                  c.restored ? SettingsOutcome::Restored : SettingsOutcome::NotRestored);
        if (!c.restored) {
            const korrtest::ShownBox* box = FindTitle(rig, "Settings Not Restored");
            ASSERT_NE(box, nullptr);
            EXPECT_NE(box->text.find(leftPath), std::string::npos);
            EXPECT_EQ(korrtest::ReadFile(leftPath), left);
            EXPECT_EQ(rig.Session().KeptSettingsFile(), leftPath);
        }
    }
}

// Two instruments on two ports with one data folder: each update has its own file, so the
// second never takes the first's left settings for its own.
TEST(TwoUpdates, EachInstrumentHasItsOwnSettingsFile) {
    korrtest::TempDir folder;
    std::string leftByA;
    {
        UpdateRig a(korrtest::SimQs7(), false, false, "simA", folder.Path().string());
        a.Firmware().Settings().Set("adccal", kOtherCalibration);
        CutPowerAtRestart(a);
        leftByA = a.SettingsPath();
    }
    const std::string leftText = korrtest::ReadFile(leftByA);
    ASSERT_NE(leftText.find(kOtherCalibration), std::string::npos);

    UpdateRig b(korrtest::SimQs7("3.60"), false, false, "simB", folder.Path().string());
    b.Session().State().leftSettingsChoice = LeftSettingsChoice::KeepAside;
    ASSERT_EQ(b.Run(), 1);
    EXPECT_EQ(b.Firmware().Settings().Get("adccal"), kOwnCalibration);
    EXPECT_TRUE(b.ui.boxes.empty());
    EXPECT_EQ(korrtest::ReadFile(leftByA), leftText);
}

TEST(TwoUpdates, ASettingsFileInUseIsNotTouched) {
    UpdateRig rig;
    korrtest::WriteFile(rig.SettingsPath(), "the settings of the update that runs\r\n");
    LockAttempt held = LockFile(rig.SettingsPath());
    ASSERT_NE(held.lock, nullptr);
    EXPECT_EQ(rig.Run(), kUpdateSettingsFileBusy);
    ASSERT_EQ(rig.ui.boxes.size(), 1u);
    EXPECT_EQ(rig.ui.boxes[0].title, "Settings Error");
    EXPECT_NE(rig.ui.boxes[0].text.find("in use by another update (process " +
                                        std::to_string(::getpid()) + ")"),
              std::string::npos)
        << rig.ui.boxes[0].text;
    EXPECT_EQ(rig.target.Target().Updates(), 0u);
    EXPECT_EQ(korrtest::ReadFile(rig.SettingsPath()), "the settings of the update that runs\r\n");
    // Once the other lets go, the file can be used again.
    held.lock.reset();
    EXPECT_NE(LockFile(rig.SettingsPath()).lock, nullptr);
}

// A setting that could not be read is gone once the flash is erased: the person is asked first.
TEST(SettingsSave, SettingsThatCouldNotBeReadAreNamedBeforeTheErase) {
    for (const int answer : {kAnswerOk, kAnswerCancel}) {
        SCOPED_TRACE(answer == kAnswerOk ? "OK" : "Cancel");
        UpdateRig rig;
        rig.Firmware().SetGetFault("config", korrsim::SettingFault::Refused);
        rig.ui.answers = {answer};
        const int32_t r = rig.Run();
        const korrtest::ShownBox* question = FindTitle(rig, "Settings Incomplete");
        ASSERT_NE(question, nullptr);
        EXPECT_EQ(question->flags, kBoxOkCancel);
        EXPECT_NE(question->text.find(":\nconfig\n"), std::string::npos) << question->text;
        EXPECT_NE(rig.Log().find("These settings could not be read and are not saved: config"),
                  std::string::npos);
        if (answer == kAnswerCancel) {
            EXPECT_EQ(r, kUpdateCancelled);
            EXPECT_EQ(rig.target.Target().Updates(), 0u);
            EXPECT_FALSE(fs::exists(rig.SettingsPath()));
            continue;
        }
        EXPECT_EQ(r, 1);
        EXPECT_EQ(rig.target.Target().Updates(), 1u);
        EXPECT_EQ(rig.Session().SettingsResult(), SettingsOutcome::PartlyRestored);
        EXPECT_EQ(rig.Session().MissingSettings(), "config");
        // What could be read went back.
        EXPECT_EQ(rig.Firmware().Settings().Get("adccal"), kOwnCalibration);
    }
}

// The window's serial number edit: a number the command line would split is refused at Start,
// and nothing starts.
TEST(NewSerialNumber, ABadOneIsRefusedBeforeAnythingStarts) {
    UpdateRig rig(korrtest::SimQs7(), true);
    rig.Session().SetReplaceSerialNumber(true);
    rig.Session().SetNewSerialNumber("A1\rset -i X");
    EXPECT_FALSE(rig.Session().StartRequested());
    ASSERT_EQ(rig.ui.boxes.size(), 1u);
    EXPECT_EQ(rig.ui.boxes[0].title, "Serial Number Error");
    EXPECT_NE(rig.ui.boxes[0].text.find("0x0D"), std::string::npos) << rig.ui.boxes[0].text;
    EXPECT_EQ(rig.ui.enabled.count(Control::btnStart), 0u) << "Start stays as it was";
    EXPECT_EQ(rig.target.Target().Updates(), 0u);

    rig.Session().SetNewSerialNumber("QS7-2042");
    EXPECT_TRUE(rig.Session().StartRequested());
}

}  // namespace
