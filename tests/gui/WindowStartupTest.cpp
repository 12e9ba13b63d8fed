// The window as it comes up: texts, menus, switches, the stored settings read at start-up and
// written at every close, the port list, and the start-up error.
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

#include "gui/GuiRig.h"
#include "support/TempDir.h"

namespace {

using korrtest::GuiRig;
using korrtest::WindowOptions;

QSettings StoredKey() {
    return QSettings(QStringLiteral("Korrin Devices, Inc"), QStringLiteral("KorrBSL"));
}

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override { korrtest::ClearStoredSettings(); }
};

TEST_F(WindowTest, ComesUpWithTheProductsTextsAndMenus) {
    GuiRig rig;
    korrgui::TfrmMain& w = rig.Window();
    EXPECT_EQ(w.windowTitle(), "Quorra Series 7 Firmware Updater");
    EXPECT_EQ(rig.Text("userText1"), "This utility updates Quorra Series 7 firmware to");
    EXPECT_EQ(rig.Text("userText2"), "QS7 3.60");
    EXPECT_EQ(rig.Text("commLabel"), "Connect to Quorra Series 7 with Comm Port");
    EXPECT_EQ(rig.Text("lblConnect"), "Connect Quorra Series 7 to computer comm port.");
    EXPECT_EQ(rig.Text("Label1"), "Status:");
    EXPECT_EQ(rig.Action("About1")->text(), "About Quorra Series 7 Firmware Updater");
    EXPECT_FALSE(rig.Label("statusText")->isVisible());
    EXPECT_FALSE(rig.Label("newSN")->isVisible());
    EXPECT_FALSE(rig.Get<QLineEdit>("newSNstr")->isVisible());
    EXPECT_EQ(rig.Get<QLineEdit>("newSNstr")->maxLength(), 15);
    EXPECT_TRUE(rig.Button("btnStart")->isDefault());
    EXPECT_TRUE(rig.Button("btnStart")->isEnabled());
    EXPECT_TRUE(rig.Button("btnClose")->isEnabled());
    EXPECT_EQ(rig.Label("Image1")->pixmap().size(), QSize(48, 48));
    EXPECT_FALSE(w.windowIcon().isNull());

    // A fixed client area of 313 x 262 below the menu bar; no minimise or maximise box.
    EXPECT_EQ(w.centralWidget()->size(), QSize(313, 262));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);

    struct Item {
        const char* name;
        QKeySequence keys;
        bool enabled, visible, checked;
    };
    const Item items[] = {
        {"OpenFirmwareFile1", QKeySequence("Ctrl+O"), false, true, false},
        {"UpdateFirmware1", QKeySequence("Ctrl+F"), true, true, false},
        {"DumpFirmwareImage1", QKeySequence("Ctrl+Alt+D"), true, true, false},
        {"Exit1", QKeySequence("Ctrl+Q"), true, true, false},
        {"VerboseErrorFile1", QKeySequence(), true, true, false},
        {"ForceFindAllCommPorts1", QKeySequence(), true, true, false},
        // A hidden action is also a disabled one.
        {"DontEraseData1", QKeySequence(), false, false, false},
        {"PromptforSerialNumber1", QKeySequence(), false, false, false},
        {"Help2", QKeySequence("F1"), true, true, false},
    };
    for (const Item& i : items) {
        QAction* a = rig.Action(i.name);
        EXPECT_EQ(a->shortcut(), i.keys) << i.name;
        EXPECT_EQ(a->isEnabled(), i.enabled) << i.name;
        EXPECT_EQ(a->isVisible(), i.visible) << i.name;
        EXPECT_EQ(a->isChecked(), i.checked) << i.name;
    }
    // Dump Firmware Image has no menu entry: only its shortcut runs it.
    QStringList entries;
    for (QAction* menu : w.menuBar()->actions()) {
        for (QAction* a : menu->menu()->actions()) entries << a->objectName();
    }
    EXPECT_FALSE(entries.contains("DumpFirmwareImage1"));
    EXPECT_TRUE(rig.boxes.boxes.empty());
}

TEST_F(WindowTest, SwitchesAreTakenOnlyAsWrittenWhole) {
    struct Case {
        QStringList arguments;
        bool openEnabled;
        bool factoryItemsShown;
    };
    const Case cases[] = {
        {{}, false, false},
        {{"-rep"}, true, false},
        {{"-factory"}, true, true},
        {{"-rep", "-rep"}, true, false},
        {{"-REP", "-Factory", "-rep2", "-factory=1", "--rep", "rep"}, false, false},
    };
    for (const Case& c : cases) {
        GuiRig rig({.arguments = c.arguments});
        const std::string name = c.arguments.join(' ').toStdString();
        EXPECT_EQ(rig.Action("OpenFirmwareFile1")->isEnabled(), c.openEnabled) << name;
        EXPECT_EQ(rig.Action("DontEraseData1")->isVisible(), c.factoryItemsShown) << name;
        EXPECT_EQ(rig.Action("PromptforSerialNumber1")->isVisible(), c.factoryItemsShown) << name;
        EXPECT_EQ(rig.Session().State().repMode, c.openEnabled) << name;
        EXPECT_EQ(rig.Session().State().factoryMode, c.factoryItemsShown) << name;
        EXPECT_TRUE(rig.boxes.boxes.empty()) << name;  // no erase warning for this product
    }
}

TEST_F(WindowTest, StoredSettingsAreReadAtStartAndWrittenAtEveryClose) {
    struct Case {
        const char* what;
        const char* stored;  // null: no stored port
        std::vector<std::string> ports;
        QString shown;    // the list's current text
        QString written;  // "CommPort" after the close
        bool startEnabled;
    };
    const Case cases[] = {
        {"stored port present", "ttyUSB7", {"ttyUSB0", "ttyUSB7"}, {}, "ttyUSB7", true},
        {"stored port gone", "ttyUSB7", {"ttyUSB0", "ttyUSB3"}, {}, "ttyUSB0", true},
        {"nothing stored", nullptr, {"ttyUSB3"}, {}, "ttyUSB3", true},
        {"no ports at all", "ttyUSB7", {}, "No Comm Ports Found", "", false},
    };
    for (const Case& c : cases) {
        korrtest::ClearStoredSettings();
        {
            QSettings key = StoredKey();
            key.setValue("FindAllComms", 1);
            key.setValue("VerboseLog", 1);
            if (c.stored != nullptr) key.setValue("CommPort", c.stored);
        }
        GuiRig rig({.ports = c.ports});
        auto* list = rig.Get<QComboBox>("cbCommPort");
        EXPECT_EQ(rig.Session().State().portName, c.written.toStdString()) << c.what;
        EXPECT_EQ(list->count(), std::max<int>(1, static_cast<int>(c.ports.size()))) << c.what;
        if (!c.shown.isEmpty()) {
            EXPECT_EQ(list->currentText(), c.shown) << c.what;
        }
        EXPECT_EQ(rig.Button("btnStart")->isEnabled(), c.startEnabled) << c.what;
        EXPECT_TRUE(rig.Action("ForceFindAllCommPorts1")->isChecked()) << c.what;
        EXPECT_TRUE(rig.Action("VerboseErrorFile1")->isChecked()) << c.what;
        EXPECT_EQ(rig.Session().Log().Level(), 30u) << c.what;

        rig.Action("ForceFindAllCommPorts1")->trigger();  // changed, then stored at the close
        rig.PressCloseBox();
        EXPECT_FALSE(rig.Window().isVisible()) << c.what;
        QSettings key = StoredKey();
        EXPECT_EQ(key.value("CommPort").toString(), c.written) << c.what;
        EXPECT_TRUE(key.contains("CommPort")) << c.what;
        EXPECT_EQ(key.value("FindAllComms").toInt(), 0) << c.what;
        EXPECT_EQ(key.value("VerboseLog").toInt(), 1) << c.what;
        EXPECT_TRUE(rig.boxes.boxes.empty()) << c.what;
    }
}

TEST_F(WindowTest, OpeningTheListListsThePortsAnewAndKeepsTheChoice) {
    GuiRig rig({.ports = {"ttyUSB0", "ttyUSB1"}});
    auto* list = rig.Get<QComboBox>("cbCommPort");
    list->setCurrentIndex(1);
    emit list->activated(1);
    EXPECT_EQ(rig.Session().State().portName, "ttyUSB1");

    rig.Ports().devices.push_back(korrtest::UsbPort("ttyUSB2"));
    rig.Ports().answers.push_back({"ttyUSB2", 0});
    list->showPopup();
    list->hidePopup();
    EXPECT_EQ(list->count(), 3);
    EXPECT_EQ(list->currentIndex(), 1);
    EXPECT_EQ(rig.Session().State().portName, "ttyUSB1");

    // All gone: the list says so, and the choice made before stays until the person picks.
    rig.Ports().devices.clear();
    list->showPopup();
    list->hidePopup();
    EXPECT_EQ(list->count(), 1);
    EXPECT_EQ(list->itemText(0), "No Comm Ports Found");
    EXPECT_EQ(rig.Session().State().portName, "ttyUSB1");
}

TEST_F(WindowTest, ChoosingAPortEnablesStart) {
    GuiRig rig({.ports = {}});
    EXPECT_FALSE(rig.Button("btnStart")->isEnabled());
    rig.Ports().devices.push_back(korrtest::UsbPort("ttyUSB4"));
    rig.Ports().answers.push_back({"ttyUSB4", 0});
    auto* list = rig.Get<QComboBox>("cbCommPort");
    list->showPopup();
    list->hidePopup();
    emit list->activated(0);
    EXPECT_EQ(rig.Session().State().portName, "ttyUSB4");
    EXPECT_TRUE(rig.Button("btnStart")->isEnabled());
}

TEST_F(WindowTest, VerboseErrorFileChangesTheLogLevelAtOnce) {
    GuiRig rig;
    QAction* verbose = rig.Action("VerboseErrorFile1");
    EXPECT_EQ(rig.Session().Log().Level(), 1u);
    verbose->trigger();
    EXPECT_TRUE(verbose->isChecked());
    EXPECT_EQ(rig.Session().Log().Level(), 30u);
    verbose->trigger();
    EXPECT_FALSE(verbose->isChecked());
    EXPECT_EQ(rig.Session().Log().Level(), 1u);
}

TEST_F(WindowTest, ReplaceSerialNumberShowsAndFocusesTheEdit) {
    GuiRig rig({.arguments = {"-factory"}});
    QApplication::setActiveWindow(&rig.Window());
    auto* edit = rig.Get<QLineEdit>("newSNstr");
    QAction* replace = rig.Action("PromptforSerialNumber1");
    replace->trigger();
    EXPECT_TRUE(replace->isChecked());
    EXPECT_TRUE(rig.Session().State().replaceSerialNumber);
    EXPECT_TRUE(edit->isVisible());
    EXPECT_TRUE(rig.Label("newSN")->isVisible());
    EXPECT_TRUE(edit->hasFocus());

    QTest::keyClicks(edit, "QS7-0123456789ABCDEF");
    EXPECT_EQ(edit->text(), "QS7-0123456789A");
    EXPECT_EQ(rig.Session().State().newSerialNumber, "QS7-0123456789A");

    replace->trigger();
    EXPECT_FALSE(edit->isVisible());
    EXPECT_FALSE(rig.Label("newSN")->isVisible());
    EXPECT_FALSE(rig.Session().State().replaceSerialNumber);

    QAction* dontErase = rig.Action("DontEraseData1");
    dontErase->trigger();
    EXPECT_TRUE(rig.Session().State().dontEraseData);
}

TEST_F(WindowTest, HelpAndAboutBoxes) {
    GuiRig rig;
    QTest::keyClick(&rig.Window(), Qt::Key_F1);
    rig.Action("About1")->trigger();
    ASSERT_EQ(rig.boxes.boxes.size(), 2u);
    EXPECT_EQ(rig.boxes.boxes[0].title, "Help");
    EXPECT_EQ(rig.boxes.boxes[0].icon, QMessageBox::NoIcon);
    EXPECT_NE(rig.boxes.boxes[0].text.find("The Quorra Series 7 Firmware Updater replaces the "
                                           "firmware that operates your Quorra Series 7.\n"),
              std::string::npos);
    EXPECT_EQ(rig.boxes.boxes[1].title, "About Quorra Series 7 Firmware Updater");
    EXPECT_EQ(rig.boxes.boxes[1].icon, QMessageBox::Information);
    EXPECT_NE(rig.boxes.boxes[1].text.find("KorrBSL Engine version " KORRBSL_VERSION
                                           "\nCommunication Protocol version 1.7.5\n\n"),
              std::string::npos);
}

TEST_F(WindowTest, ADamagedBuiltInImageIsReportedAndClosesTheWindow) {
    GuiRig rig({.sessionMade = [](korr::UpdateSession& s) { s.Host().image.status = -101; }});
    ASSERT_TRUE(rig.WaitFor([&] { return !rig.Window().isVisible(); }));
    ASSERT_EQ(rig.boxes.boxes.size(), 1u);
    const korrtest::SeenBox& box = rig.boxes.boxes[0];
    EXPECT_EQ(box.title, "Application Launch Error");
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.text,
              "The internal firware file for this Quorra Series 7 Firmware Updater is corrupt.\n\n"
              "Please restart this application and try again.");
    const std::string log = korrtest::ReadFile(rig.Session().State().errorLogPath);
    EXPECT_NE(log.find("KorrBSL frmMain: HostBSL class got an constructor error (-101)"),
              std::string::npos);
    EXPECT_TRUE(StoredKey().contains("CommPort"));  // closed as every close: settings stored
}

TEST_F(WindowTest, ExitAndCloseWhenIdleCloseAtOnce) {
    {
        GuiRig rig;
        QTest::keyClick(&rig.Window(), Qt::Key_Q, Qt::ControlModifier);
        EXPECT_FALSE(rig.Window().isVisible());
        EXPECT_FALSE(rig.Session().State().continueFlag);
    }
    {
        GuiRig rig;
        QTest::keyClick(&rig.Window(), Qt::Key_Escape);
        EXPECT_FALSE(rig.Window().isVisible());
    }
    EXPECT_EQ(StoredKey().value("CommPort").toString(), "ttyUSB0");
}

}  // namespace
