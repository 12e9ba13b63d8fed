// korr_campaign: whole updates of simulated instruments under random faults, one seed each, in
// virtual time. Every seed runs in a child process, so that a crash or a hang is counted
// against its seed instead of ending the campaign.
//
//   korr_campaign --seeds N [--first S]     N seeds from S on (default 1)
//   korr_campaign --seed S --log FILE       one seed, with the full log of its runs
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "campaign/CampaignRun.h"

namespace {

using korrcampaign::Outcome;

constexpr unsigned kWallSecondsPerSeed = 120;  // a child still busy then is hung

struct Tally {
    uint64_t seeds = 0, firstTry = 0, failedClearly = 0, recovered = 0, notRecovered = 0,
             settingsLost = 0, wrongInstrument = 0, crashes = 0, unclear = 0;
    std::vector<std::string> bad;
};

// Runs the seed in a child; the child reports "outcome|device|faults|details" on a pipe.
std::string RunChild(uint64_t seed, bool* crashed) {
    int fds[2];
    if (::pipe(fds) != 0) std::exit(2);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        ::alarm(kWallSecondsPerSeed);
        const korrcampaign::SeedResult r = korrcampaign::RunSeed(seed, "");
        const std::string line = std::to_string(static_cast<int>(r.outcome)) + "|" + r.device +
                                 "|" + r.faults + "|" + r.details + "|" + std::to_string(r.runs);
        if (::write(fds[1], line.data(), line.size()) < 0) ::_exit(3);
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string text;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    *crashed = !WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.empty();
    if (*crashed && WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) text = "hang";
    return text;
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t bar; (bar = text.find('|', start)) != std::string::npos; start = bar + 1) {
        parts.push_back(text.substr(start, bar - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}

void Count(Tally& t, uint64_t seed) {
    bool crashed = false;
    const std::string text = RunChild(seed, &crashed);
    ++t.seeds;
    const std::string tag = "seed " + std::to_string(seed) + ": ";
    if (crashed) {
        ++t.crashes;
        t.bad.push_back(tag + (text == "hang" ? "hung (wall clock)" : "crashed"));
        return;
    }
    const std::vector<std::string> p = Split(text);
    const auto outcome = static_cast<Outcome>(std::atoi(p[0].c_str()));
    const std::string about = p.size() >= 5 ? p[1] + " [" + p[2] + "] " + p[3] : text;
    switch (outcome) {
        case Outcome::FirstTry:
            ++t.firstTry;
            return;
        case Outcome::Recovered:
            ++t.failedClearly;
            ++t.recovered;
            return;
        case Outcome::NotRecovered:
            ++t.notRecovered;
            break;
        case Outcome::SettingsLost:
            ++t.settingsLost;
            break;
        case Outcome::WrongInstrument:
            ++t.wrongInstrument;
            break;
        case Outcome::Unclear:
            ++t.unclear;
            break;
        case Outcome::Hang:
            ++t.crashes;
            break;
    }
    t.bad.push_back(tag + korrcampaign::OutcomeName(outcome) + ": " + about);
}

void PrintTable(const Tally& t) {
    std::printf("| %-55s | %8s |\n", "seeds", std::to_string(t.seeds).c_str());
    std::printf("|%s|%s|\n", std::string(57, '-').c_str(), std::string(10, '-').c_str());
    const std::pair<const char*, uint64_t> rows[] = {
        {"updated at the first try", t.firstTry},
        {"failed with a clear error", t.failedClearly},
        {"recovered", t.recovered},
        {"not recovered (must be 0)", t.notRecovered},
        {"settings lost (must be 0)", t.settingsLost},
        {"settings written into the wrong instrument (must be 0)", t.wrongInstrument},
        {"unclear failures (must be 0)", t.unclear},
        {"crashes or hangs (must be 0)", t.crashes},
    };
    for (const auto& [name, count] : rows) {
        std::printf("| %-55s | %8llu |\n", name, static_cast<unsigned long long>(count));
    }
    for (const std::string& line : t.bad) std::printf("%s\n", line.c_str());
}

int Usage() {
    std::fprintf(stderr,
                 "usage: korr_campaign --seeds N [--first S]\n"
                 "       korr_campaign --seed S --log FILE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t seeds = 0, first = 1, one = 0;
    std::string log;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const uint64_t value = std::strtoull(argv[i + 1], nullptr, 10);
        if (option == "--seeds") {
            seeds = value;
        } else if (option == "--first") {
            first = value;
        } else if (option == "--seed") {
            one = value;
        } else if (option == "--log") {
            log = argv[i + 1];
        } else {
            return Usage();
        }
    }
    if (argc % 2 == 0) return Usage();
    if (one != 0) {
        const korrcampaign::SeedResult r = korrcampaign::RunSeed(one, log);
        std::printf("seed %llu: %s after %d run(s)\n  instrument: %s\n  faults: %s\n%s%s\n",
                    static_cast<unsigned long long>(one), korrcampaign::OutcomeName(r.outcome),
                    r.runs, r.device.c_str(), r.faults.c_str(), r.details.empty() ? "" : "  ",
                    r.details.c_str());
        return r.outcome == Outcome::FirstTry || r.outcome == Outcome::Recovered ? 0 : 1;
    }
    if (seeds == 0) return Usage();
    Tally t;
    for (uint64_t s = first; s < first + seeds; ++s) Count(t, s);
    PrintTable(t);
    return t.notRecovered + t.settingsLost + t.wrongInstrument + t.unclear + t.crashes == 0 ? 0 : 1;
}
