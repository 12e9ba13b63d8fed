// The whole update in the window against the simulated instrument in virtual time, the close
// box during it, and the firmware file commands.
#include <filesystem>

#include "common/FixedText.h"
#include "gui/GuiRig.h"
#include "host/SimUpdateTarget.h"
#include "support/TempDir.h"

namespace {

using korrtest::GuiRig;

std::string Stock(const char* name) {
    return std::string(KORR_FIRMWARE_DIR) + "/" + name;
}

korrsim::SimOptions SimQs7() {
    korrsim::SimOptions o;
    o.firmwareVersion = "3.55";
    return o;
}

// The simulated instrument on its line in virtual time, listed as its own port entry.
struct SimulatedQs7 {
    SimulatedQs7() : target(SimQs7(), *korrsim::FindInstrumentType("QS7"), false) {
        korr::CopyText(entry.name, target.Port());
        korr::CopyText(entry.description, "Simulated Quorra Series 7");
    }
    korrsim::SimUpdateTarget target;
    korr::CommPortInfo entry{};
};

class WindowUpdateTest : public ::testing::Test {
  protected:
    void SetUp() override { korrtest::ClearStoredSettings(); }

    // Presses Start and waits for the update to end.
    static void RunUpdate(GuiRig& rig) {
        QTest::mouseClick(rig.Button("btnStart"), Qt::LeftButton);
        EXPECT_FALSE(rig.Button("btnStart")->isEnabled());
        EXPECT_FALSE(rig.Button("btnClose")->isEnabled());
        EXPECT_FALSE(rig.Action("UpdateFirmware1")->isEnabled());
        ASSERT_TRUE(rig.WaitFor([&] { return rig.Button("btnClose")->isEnabled(); }, 30000));
    }

    SimulatedQs7 sim;
};

TEST_F(WindowUpdateTest, TheWholeUpdateInTheWindow) {
    GuiRig rig({.arguments = {"-factory"}, .ports = {}, .extraPorts = {sim.entry}});
    EXPECT_EQ(rig.Get<QComboBox>("cbCommPort")->currentText(), "Simulated Quorra Series 7");
    // A number typed, then Replace Serial Number turned off again: the update keeps the
    // instrument's own number, and the edit is emptied at the end.
    rig.Action("PromptforSerialNumber1")->trigger();
    QTest::keyClicks(rig.Get<QLineEdit>("newSNstr"), "4242");
    rig.Action("PromptforSerialNumber1")->trigger();

    bool busySeen = false;
    QObject::connect(rig.Get<QProgressBar>("statusBar"), &QProgressBar::valueChanged, [&] {
        busySeen = busySeen ||
                   (!rig.Get<QComboBox>("cbCommPort")->isEnabled() &&
                    QApplication::overrideCursor() != nullptr &&
                    rig.Text("lblConnect") == "Do NOT disconnect Quorra Series 7 until finished.");
    });
    RunUpdate(rig);

    for (const auto& b : rig.boxes.boxes) ADD_FAILURE() << b.title << ": " << b.text;
    EXPECT_TRUE(busySeen);
    EXPECT_EQ(sim.target.Target().Updates(), 1);
    const std::vector<std::string> steps = {
        "Connecting to Quorra Series 7...", "Saving settings for this Quorra Series 7...",
        "Starting the firmware loader...",  "Erasing firmware memory...",
        "Uploading new firmware code...",   "Restarting the Quorra Series 7, please wait...",
        "Checking new firmware...",         "Restoring settings...",
    };
    size_t at = 0;
    for (const std::string& s : rig.Statuses()) {
        if (at < steps.size() && s == steps[at]) ++at;
    }
    EXPECT_EQ(at, steps.size()) << "status texts out of order or missing";
    const std::string done = rig.Text("statusText");
    EXPECT_EQ(done.rfind("Successfully updated firmware in ", 0), 0u) << done;
    EXPECT_EQ(done.substr(done.size() - 9), " seconds.");
    EXPECT_EQ(rig.Text("lblConnect"), "You may disconnect your Quorra Series 7 now.");

    // The progress plan: up by the steps, 21 before the upload, 92 after the restart, 100.
    const std::vector<int>& p = rig.progress;
    ASSERT_FALSE(p.empty());
    EXPECT_TRUE(std::is_sorted(p.begin(), p.end()));
    for (int mark : {2, 4, 6, 8, 21, 92, 94, 96, 100}) {
        EXPECT_NE(std::find(p.begin(), p.end(), mark), p.end()) << mark;
    }
    EXPECT_GT(std::count_if(p.begin(), p.end(), [](int v) { return v > 21 && v < 92; }), 40);
    EXPECT_EQ(p.back(), 100);

    // Back to idle: Close is now the default, the serial number edit hidden and empty.
    EXPECT_TRUE(rig.Button("btnClose")->isDefault());
    EXPECT_FALSE(rig.Button("btnStart")->isDefault());
    EXPECT_TRUE(rig.Button("btnStart")->isEnabled());
    EXPECT_TRUE(rig.Action("UpdateFirmware1")->isEnabled());
    EXPECT_FALSE(rig.Action("PromptforSerialNumber1")->isChecked());
    EXPECT_FALSE(rig.Get<QLineEdit>("newSNstr")->isVisible());
    EXPECT_FALSE(rig.Label("newSN")->isVisible());
    EXPECT_TRUE(rig.Get<QLineEdit>("newSNstr")->text().isEmpty());
    EXPECT_TRUE(rig.Get<QComboBox>("cbCommPort")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(rig.Session().State().updateRunning);
    EXPECT_FALSE(std::filesystem::exists(rig.Session().State().settingsFilePath));

    // Enter now presses Close.
    QTest::keyClick(&rig.Window(), Qt::Key_Return);
    EXPECT_FALSE(rig.Window().isVisible());
}

TEST_F(WindowUpdateTest, TheCloseBoxDuringAnUpdateAsksAndTheUpdateGoesOn) {
    GuiRig rig({.ports = {}, .extraPorts = {sim.entry}});
    int presses = 0;
    QObject::connect(rig.Get<QProgressBar>("statusBar"), &QProgressBar::valueChanged, [&](int v) {
        // The person presses the close box, and later Exit, in the middle.
        if (presses == 0 && v >= 30) {
            ++presses;
            QMetaObject::invokeMethod(
                &rig.Window(), [&] { rig.PressCloseBox(); }, Qt::QueuedConnection);
        } else if (presses == 1 && v >= 50) {
            ++presses;
            QMetaObject::invokeMethod(
                &rig.Window(), [&] { rig.Action("Exit1")->trigger(); }, Qt::QueuedConnection);
        }
    });
    RunUpdate(rig);

    ASSERT_EQ(rig.boxes.boxes.size(), 2u);
    for (const korrtest::SeenBox& box : rig.boxes.boxes) {
        EXPECT_EQ(box.title, "Don't Quit Now!");
        EXPECT_FALSE(box.offersCancel);
        EXPECT_EQ(box.text.rfind("The Quorra Series 7 Firmware Updater is updating your Quorra "
                                 "Series 7!\nThis process should NOT be interrupted.\n\n",
                                 0),
                  0u);
    }
    EXPECT_TRUE(rig.Window().isVisible());
    EXPECT_EQ(sim.target.Target().Updates(), 1);
    EXPECT_EQ(rig.Text("statusText").rfind("Successfully updated firmware in ", 0), 0u);

    // Idle again: the close box closes at once and stores the settings.
    rig.PressCloseBox();
    EXPECT_FALSE(rig.Window().isVisible());
    EXPECT_EQ(QSettings(QStringLiteral("Korrin Devices, Inc"), QStringLiteral("KorrBSL"))
                  .value("CommPort")
                  .toString()
                  .toStdString(),
              sim.target.Port());
}

TEST_F(WindowUpdateTest, FirmwareFileCommandsAreOffWhileAnUpdateRuns) {
    GuiRig rig({.arguments = {"-rep"}, .ports = {}, .extraPorts = {sim.entry}});
    bool checked = false;
    QObject::connect(rig.Get<QProgressBar>("statusBar"), &QProgressBar::valueChanged, [&](int v) {
        if (checked || v < 30) return;
        checked = true;
        EXPECT_FALSE(rig.Action("OpenFirmwareFile1")->isEnabled());
        EXPECT_FALSE(rig.Action("DumpFirmwareImage1")->isEnabled());
        QTest::keyClick(&rig.Window(), Qt::Key_O, Qt::ControlModifier);
        QTest::keyClick(&rig.Window(), Qt::Key_D, Qt::ControlModifier | Qt::AltModifier);
    });
    RunUpdate(rig);
    EXPECT_TRUE(checked);
    EXPECT_EQ(rig.boxes.fileDialogs, 0);
    EXPECT_TRUE(rig.boxes.boxes.empty());
    EXPECT_EQ(sim.target.Target().Updates(), 1);
    EXPECT_TRUE(rig.Action("OpenFirmwareFile1")->isEnabled());
    EXPECT_TRUE(rig.Action("DumpFirmwareImage1")->isEnabled());
}

TEST_F(WindowUpdateTest, OpenFirmwareFileRetargetsToAQuorra8) {
    GuiRig rig({.arguments = {"-rep"}, .ports = {}});
    EXPECT_FALSE(rig.Button("btnStart")->isEnabled());
    rig.boxes.files.push_back(QString::fromStdString(Stock("QE8 2-10.txt")));
    QTest::keyClick(&rig.Window(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(rig.boxes.fileDialogs, 1);
    EXPECT_TRUE(rig.boxes.boxes.empty());
    EXPECT_EQ(rig.Text("userText2"), "QE8 2.10");
    EXPECT_EQ(rig.Text("userText1"), "This utility updates Quorra 8 firmware to");
    EXPECT_EQ(rig.Text("commLabel"), "Connect to Quorra 8 with Comm Port");
    EXPECT_EQ(rig.Text("lblConnect"), "Connect Quorra 8 to computer comm port.");
    EXPECT_EQ(rig.Window().windowTitle(), "Quorra Series 7 Firmware Updater");
    EXPECT_EQ(rig.Session().State().productName, "Quorra 8");
    EXPECT_EQ(rig.Session().State().updaterFirmwareVersion, 210u);
    EXPECT_TRUE(rig.Button("btnStart")->isEnabled());  // even without a port
    EXPECT_TRUE(rig.Action("UpdateFirmware1")->isEnabled());
}

TEST_F(WindowUpdateTest, OpenFirmwareFileWarnsWhenTheNameNamesNoType) {
    GuiRig rig({.arguments = {"-factory"}});
    korrtest::TempDir dir;
    const std::string file = dir.File("mystery.txt");
    std::filesystem::copy_file(Stock("QS7 3-61.txt"), file);
    rig.boxes.files.push_back(QString::fromStdString(file));
    rig.Action("OpenFirmwareFile1")->trigger();
    ASSERT_EQ(rig.boxes.boxes.size(), 1u);
    const korrtest::SeenBox& box = rig.boxes.boxes[0];
    EXPECT_EQ(box.title, "File Name Error");
    EXPECT_EQ(box.icon, QMessageBox::Warning);
    EXPECT_EQ(box.text,
              "The Quorra Series 7 Firmware Updater could not detirmine the instrument type\nfrom "
              "the file name \"mystery.txt\".\n\nInstrument type set to the default (for this "
              "build): \"Quorra Series 7\".");
    EXPECT_EQ(rig.Text("userText2"), "QS7 3.60");
    EXPECT_EQ(rig.Text("userText1"), "This utility updates Quorra Series 7 firmware to");
    EXPECT_EQ(rig.Session().Host().image.type, 12);

    // Cancelling the dialog changes nothing.
    rig.boxes.files.push_back(QString());
    rig.Action("OpenFirmwareFile1")->trigger();
    EXPECT_EQ(rig.boxes.fileDialogs, 2);
    EXPECT_EQ(rig.boxes.boxes.size(), 1u);
}

TEST_F(WindowUpdateTest, DumpFirmwareImageWritesTheImage) {
    GuiRig rig;
    korrtest::TempDir dir;
    const std::string file = dir.File("dump.txt");
    rig.boxes.files.push_back(QString::fromStdString(file));
    QTest::keyClick(&rig.Window(), Qt::Key_D, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(rig.boxes.fileDialogs, 1);
    EXPECT_TRUE(rig.boxes.boxes.empty());
    EXPECT_EQ(korrtest::ReadFile(file).rfind("@", 0), 0u);
}

}  // namespace
