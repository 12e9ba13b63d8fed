// The GUI tests' entry: Qt's offscreen platform, and the user's folders pointed at a
// temporary folder before Qt looks at them (settings and data stay out of the real home).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "app/gui/EventPump.h"
#include "support/TempDir.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    korrtest::TempDir home;
    const std::string config = home.File("config");
    const std::string data = home.File("data");
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", home.Path().c_str(), 1);
    QApplication app(argc, argv);
    korrgui::QtEventPump pump;
    return RUN_ALL_TESTS();
}
