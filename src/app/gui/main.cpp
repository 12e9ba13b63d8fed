// korrbsl-gui: the updater's window. "-factory" and "-rep" as the window has always taken them;
// --simulate adds the built-in simulated instrument to the port list, with the simulator's
// own switches (--type, --firmware-version, --loader-active, --lose, ...).
#include <QApplication>
#include <cstdio>
#include <optional>

#include "app/gui/AppIcon.h"
#include "app/gui/EventPump.h"
#include "app/gui/SimulatedInstrument.h"
#include "app/gui/TfrmMain.h"
#include "models/InstrumentTypes.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KorrBSL"));
    QApplication::setDesktopFileName(QStringLiteral("korrbsl-gui"));
    QApplication::setWindowIcon(korrgui::AppIcon());

    korrgui::WindowSetup setup;
    setup.arguments = QApplication::arguments();
    setup.arguments.removeFirst();

    std::optional<korrgui::SimulatedInstrument> simulated;
    if (setup.arguments.contains(QStringLiteral("--simulate"))) {
        std::vector<std::string> arguments;
        for (const QString& a : setup.arguments) arguments.push_back(a.toStdString());
        korrsim::SimOptions options;
        std::string error;
        if (!korrgui::ParseSimulatorSwitches(arguments, &options, &error)) {
            std::fprintf(stderr, "korrbsl-gui: %s\n", error.c_str());
            return 2;
        }
        simulated.emplace(options, *korrsim::FindInstrumentType(options.type));
        setup.extraPorts.push_back(simulated->PortEntry());
    }

    korrgui::QtEventPump pump;
    korrgui::TfrmMain window(std::move(setup));
    window.show();
    return QApplication::exec();
}
