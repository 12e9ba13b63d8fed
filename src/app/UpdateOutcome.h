#pragma once
// What an update left behind, decided once when it ends: what the instrument holds now, where
// its own settings are, and what goes on from there. The window's label, the command line's
// last lines and a script's JSON all read this one value, so that no ending says one thing and
// means another.

#include <string>

namespace korr {

// How far an update got with the instrument; each stage is the last one reached.
enum class UpdateStage {
    Checking,         // talking to the firmware: nothing on the instrument was changed
    LoaderStarting,   // the boot command went out: the loader may be waiting, nothing erased
    Erasing,          // the first erase went out: the instrument cannot start its firmware
    Programmed,       // the vectors went out: the new firmware starts
    Restored,         // the settings steps ran (put back or not)
};

// What the instrument holds when the update ends.
enum class InstrumentHolds {
    Untouched,       // its old firmware and its own settings, as before
    LoaderWaiting,   // nothing erased, but its loader may be waiting instead of its firmware
    HalfProgrammed,  // partly erased or programmed: only its loader runs, and waits
    Unchecked,       // programmed, but the new firmware did not answer or reports itself corrupt
    Updated,         // the new firmware runs
};

// The one step that goes on from there.
enum class NextStep {
    None,             // nothing to do
    UpdateAgain,      // the same update again (it goes straight to a waiting loader)
    RestoreSettings,  // put the kept settings file back into the instrument
};

struct UpdateOutcome {
    InstrumentHolds holds = InstrumentHolds::Untouched;
    // Where the instrument's own settings are when they are not (all) in it; empty otherwise.
    std::string settingsFile = {};
    NextStep next = NextStep::None;
};

// One sentence a person reads: what the instrument holds and where its settings are, e.g.
// "The Quorra Series 7 is half-programmed and waits in its firmware loader; its settings are
// kept in \"...\"."
std::string OutcomeText(const UpdateOutcome& outcome, const std::string& product);

// "untouched", "loader-waiting", "half-programmed", "unchecked", "updated" (for scripts).
const char* HoldsName(InstrumentHolds holds);

}  // namespace korr
