#include "cli/UpdateUi.h"

#include <unistd.h>

#include <cctype>
#include <iostream>

#include "cli/JsonLine.h"

namespace korrcli {

namespace {

const char* RoleName(korr::FileRole role) {
    switch (role) {
        case korr::FileRole::ErrorLog:
            return "log";
        case korr::FileRole::SettingsFile:
            return "settings";
        case korr::FileRole::SettingsKept:
            return "settings-kept";
        case korr::FileRole::SettingsMovedAside:
            return "settings-moved-aside";
    }
    return "file";
}

const char* KindName(korr::MessageKind kind) {
    switch (kind) {
        case korr::MessageKind::Warning:
            return "warning";
        case korr::MessageKind::Error:
            return "error";
        case korr::MessageKind::Information:
            return "information";
        case korr::MessageKind::Confirmation:
            return "confirmation";
        case korr::MessageKind::Custom:
            break;
    }
    return "custom";
}

bool IsYes(std::string answer) {
    for (char& c : answer) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return answer == "ok" || answer == "o" || answer == "y" || answer == "yes";
}

}  // namespace

CliUserInterface::CliUserInterface(const UpdateUiOptions& options)
    : options_(options), terminal_(!options.json && ::isatty(::fileno(stdout)) == 1) {}

void CliUserInterface::EndLine() {
    if (!lineOpen_) return;
    std::fputc('\n', stdout);
    std::fflush(stdout);
    lineOpen_ = false;
}

void CliUserInterface::DrawLine() {
    constexpr int kWidth = 30;
    const int filled = progress_ * kWidth / 100;
    std::printf("\r%-48.48s [%.*s%*s] %3d%%", status_.c_str(), filled,
                "##############################", kWidth - filled, "", progress_);
    std::fflush(stdout);
    lineOpen_ = true;
}

void CliUserInterface::SetText(korr::Control control, const std::string& text) {
    if (control != korr::Control::statusText || text.empty()) return;
    if (options_.json) {
        JsonLine("status").Add("text", text).Write(stdout);
        return;
    }
    status_ = text;
    if (terminal_) {
        EndLine();
        DrawLine();
        return;
    }
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

void CliUserInterface::SetProgress(int position) {
    if (position == progress_) return;
    progress_ = position;
    if (options_.json) {
        JsonLine("progress").Add("position", int64_t{position}).Write(stdout);
        return;
    }
    if (terminal_) {
        if (lineOpen_) DrawLine();
        return;
    }
    // Plain output: a line every tenth of the way.
    if (position / 10 > lastPlainTenth_) {
        lastPlainTenth_ = position / 10;
        std::printf("  %d%%\n", position);
        std::fflush(stdout);
    } else if (position < lastPlainTenth_ * 10) {
        lastPlainTenth_ = position / 10;
    }
}

void CliUserInterface::ShowMessageBox(const std::string& text, const std::string& title,
                                      korr::MessageKind kind) {
    if (options_.json) {
        JsonLine("box")
            .Add("title", title)
            .Add("kind", KindName(kind))
            .Add("text", text)
            .Write(stdout);
    } else {
        EndLine();
    }
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    std::fflush(stderr);
}

int CliUserInterface::Answer(const std::string& title) {
    if (options_.yes) return korr::kAnswerOk;
    if (!options_.askTerminal) {
        std::fprintf(stderr, "%s: answered Cancel (no terminal to ask; --yes answers OK)\n",
                     title.c_str());
        return korr::kAnswerCancel;
    }
    std::fprintf(stderr, "%s: OK or Cancel? [ok/Cancel] ", title.c_str());
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) return korr::kAnswerCancel;
    return IsYes(answer) ? korr::kAnswerOk : korr::kAnswerCancel;
}

int CliUserInterface::PlatformMessageBox(const std::string& text, const std::string& title,
                                         uint32_t flags) {
    if (!options_.json) EndLine();
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    std::fflush(stderr);
    const bool question = flags == korr::kBoxOkCancel;
    const int answer = question ? Answer(title) : korr::kAnswerOk;
    if (answer != korr::kAnswerOk) cancelled_ = true;
    if (options_.json) {
        JsonLine line(question ? "question" : "box");
        line.Add("title", title).Add("text", text);
        if (question) line.Add("answer", answer == korr::kAnswerOk ? "ok" : "cancel");
        line.Write(stdout);
    }
    return answer;
}

void CliUserInterface::ProcessPendingEvents() {
    if (onEvents_) onEvents_();
}

void CliUserInterface::PointToFile(korr::FileRole role, const std::string& path) {
    if (options_.json) {
        JsonLine("file").Add("role", RoleName(role)).Add("path", path).Write(stdout);
    }
}

}  // namespace korrcli
