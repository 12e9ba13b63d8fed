#pragma once
// A user interface for tests: answers the OK/Cancel questions from a script and records every
// call, so a test can check each box, status text, progress position and control change.

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/UserInterface.h"

namespace korrtest {

struct ShownBox {
    std::string title;
    std::string text;
    int kind;        // MessageKind, or -1 for a platform box
    uint32_t flags;  // platform box flags; 0 for ShowMessageBox
    int answer;      // what the box returned (platform boxes)
};

class ScriptedUserInterface : public korr::UserInterface {
  public:
    void SetText(korr::Control control, const std::string& text) override {
        texts[control] = text;
        if (control == korr::Control::statusText) statuses.push_back(text);
    }
    void SetEnabled(korr::Control control, bool on) override { enabled[control] = on; }
    void SetVisible(korr::Control control, bool on) override { visible[control] = on; }
    void SetChecked(korr::Control control, bool on) override { checked[control] = on; }
    void SetDefaultButton(korr::Control control) override { defaultButton = control; }
    void SetProgress(int position) override {
        if (progress.empty() || progress.back() != position) progress.push_back(position);
    }
    void SetBusyCursor(bool busy) override { busyCursor = busy; }
    void Beep(uint32_t sound) override { beeps.push_back(sound); }
    void ShowMessageBox(const std::string& text, const std::string& title,
                        korr::MessageKind kind) override {
        boxes.push_back({title, text, static_cast<int>(kind), 0, 0});
        if (onBox) onBox();
    }
    int PlatformMessageBox(const std::string& text, const std::string& title,
                           uint32_t flags) override {
        int answer = korr::kAnswerOk;
        if (answerer) {
            answer = answerer(title, text);
        } else if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        boxes.push_back({title, text, -1, flags, answer});
        if (onBox) onBox();
        return answer;
    }
    void ProcessPendingEvents() override {
        ++eventPumps;
        if (onEvents) onEvents();
    }
    void CloseWindow() override { closed = true; }
    void PointToFile(korr::FileRole role, const std::string& path) override {
        files.emplace_back(role, path);
    }

    // The titles of every box, in order.
    std::vector<std::string> Titles() const {
        std::vector<std::string> out;
        for (const ShownBox& b : boxes) out.push_back(b.title);
        return out;
    }
    bool StatusShown(const std::string& text) const {
        for (const std::string& s : statuses) {
            if (s == text) return true;
        }
        return false;
    }
    std::string PathOf(korr::FileRole role) const {
        for (const auto& [r, p] : files) {
            if (r == role) return p;
        }
        return {};
    }

    std::deque<int> answers;  // for the platform boxes, in order; OK when empty
    // A person who answers by what a box says; takes the place of `answers` when set.
    std::function<int(const std::string& title, const std::string& text)> answerer;
    std::function<void()> onEvents;
    std::function<void()> onBox;

    std::map<korr::Control, std::string> texts;
    std::map<korr::Control, bool> enabled, visible, checked;
    std::vector<std::string> statuses;
    std::vector<int> progress;
    std::vector<uint32_t> beeps;
    std::vector<ShownBox> boxes;
    std::vector<std::pair<korr::FileRole, std::string>> files;
    korr::Control defaultButton = korr::Control::btnStart;
    bool busyCursor = false;
    bool closed = false;
    int eventPumps = 0;
};

}  // namespace korrtest
