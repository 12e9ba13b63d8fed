#pragma once
// What the update tests share: a simulated QS7 on its line in virtual time, a scripted user
// interface, and a session whose files live in a temporary folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "app/SettingsOrigin.h"
#include "app/UpdateSession.h"
#include "host/SimUpdateTarget.h"
#include "models/SettingsFirmware.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempDir.h"

namespace korrtest {

inline korrsim::SimOptions SimQs7(const std::string& version = "3.55") {
    korrsim::SimOptions o;
    o.firmwareVersion = version;
    return o;
}

// A Thermion (battery check, data erase) that boots whatever it is given as "TM 2.20", with
// the updater's image made one for it.
inline korrsim::SimOptions SimThermion() {
    korrsim::SimOptions o;
    o.type = "TM";
    return o;
}

struct UpdateRig {
    // The data folder is the rig's own unless one is given (several instruments, one folder).
    explicit UpdateRig(const korrsim::SimOptions& options = SimQs7(), bool factory = false,
                       bool rep = false, const std::string& port = "sim0",
                       const std::string& folder = "")
        : target(options, *korrsim::FindInstrumentType(options.type), false, port) {
        korr::AppSetup setup;
        setup.dataFolder = folder.empty() ? dir.Path().string() : folder;
        setup.factoryMode = factory;
        setup.repMode = rep;
        setup.verboseLog = true;
        setup.portName = target.Port();
        session.emplace(ui, setup);
    }

    korrsim::SettingsFirmware& Firmware() { return *target.Commands(); }
    void MakeThermionImage() {
        session->Host().image.type = 7;
        target.Target().SetBootCheck([](const korrsim::Flash&) {
            korrsim::BootImage image;
            image.runnable = image.sound = true;
            image.code = "TM";
            image.version = "2.20";
            return image;
        });
    }
    korr::UpdateSession& Session() { return *session; }
    int32_t Run() {
        session->StartRequested();
        return session->timerStartTimer();
    }
    // Runs `action` once, when the status first reads `status`.
    void AtStatus(const std::string& status, std::function<void()> action) {
        ui.onEvents = [this, status, action, done = false]() mutable {
            if (!done && !ui.statuses.empty() && ui.statuses.back() == status) {
                done = true;
                action();
            }
        };
    }
    // The settings file of the instrument on the rig's port.
    std::string SettingsPath() const {
        return (std::filesystem::path(session->State().dataFolder) /
                korr::PortSettingsFileName("Quorra Series 7", target.Port()))
            .string();
    }
    std::string Log() const { return ReadFile(session->State().errorLogPath); }
    double NowMs() { return target.Bench().NowMs(); }

    TempDir dir;
    korrsim::SimUpdateTarget target;
    ScriptedUserInterface ui;
    std::optional<korr::UpdateSession> session;
};

}  // namespace korrtest
