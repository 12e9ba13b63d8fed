#include "app/UpdateOutcome.h"

namespace korr {

namespace {

struct HoldsRow {
    InstrumentHolds holds;
    const char* name;
    const char* text;  // follows the product's name
};

constexpr HoldsRow kHolds[] = {
    {InstrumentHolds::Untouched, "untouched",
     " was not changed: it runs its firmware with its own settings"},
    {InstrumentHolds::LoaderWaiting, "loader-waiting",
     " was not erased, but it may be waiting in its firmware loader instead of running its "
     "firmware"},
    {InstrumentHolds::HalfProgrammed, "half-programmed",
     " is half-programmed and waits in its firmware loader: it cannot start its firmware"},
    {InstrumentHolds::Unchecked, "unchecked",
     " holds the new firmware, but that firmware did not answer as sound firmware"},
    {InstrumentHolds::Updated, "updated", " runs its new firmware"},
};

const HoldsRow& RowOf(InstrumentHolds holds) {
    for (const HoldsRow& row : kHolds) {
        if (row.holds == holds) return row;
    }
    return kHolds[0];
}

}  // namespace

std::string OutcomeText(const UpdateOutcome& outcome, const std::string& product) {
    std::string text = "The " + product + RowOf(outcome.holds).text;
    if (!outcome.settingsFile.empty()) {
        text += "; its settings are kept in \"" + outcome.settingsFile + "\"";
    } else if (outcome.holds != InstrumentHolds::Untouched &&
               outcome.holds != InstrumentHolds::Updated) {
        text += "; no settings file was kept for it";
    }
    return text + ".";
}

const char* HoldsName(InstrumentHolds holds) {
    return RowOf(holds).name;
}

}  // namespace korr
