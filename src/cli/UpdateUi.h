#pragma once
// korrbsl update's side of the user interface: status lines and a progress bar (or JSON lines
// with --json), boxes on stderr as "Title: text", questions answered by --yes, by the person
// at a terminal, or else with Cancel, and Ctrl-C handled as the window's close box.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "app/UserInterface.h"

namespace korrcli {

struct UpdateUiOptions {
    bool json = false;
    bool yes = false;
    bool askTerminal = true;  // stdin is a terminal: ask it
};

class CliUserInterface final : public korr::UserInterface {
  public:
    explicit CliUserInterface(const UpdateUiOptions& options);

    void SetText(korr::Control control, const std::string& text) override;
    void SetEnabled(korr::Control, bool) override {}
    void SetVisible(korr::Control, bool) override {}
    void SetChecked(korr::Control, bool) override {}
    void SetDefaultButton(korr::Control) override {}
    void SetProgress(int position) override;
    void SetBusyCursor(bool) override {}
    void Beep(uint32_t) override {}
    void ShowMessageBox(const std::string& text, const std::string& title,
                        korr::MessageKind kind) override;
    int PlatformMessageBox(const std::string& text, const std::string& title,
                           uint32_t flags) override;
    void ProcessPendingEvents() override;
    void CloseWindow() override {}
    void PointToFile(korr::FileRole role, const std::string& path) override;

    // Runs at every ProcessPendingEvents (the Ctrl-C handling).
    void SetEventHandler(std::function<void()> handler) { onEvents_ = std::move(handler); }
    // A question was answered Cancel.
    bool Cancelled() const { return cancelled_; }
    // Ends the status line on a terminal before other output.
    void EndLine();

  private:
    int Answer(const std::string& title);
    // A terminal: the status and a bar on one line, redrawn in place.
    void DrawLine();

    UpdateUiOptions options_;
    bool terminal_;
    bool lineOpen_ = false;
    bool cancelled_ = false;
    std::string status_;
    int progress_ = 0;
    int lastPlainTenth_ = 0;
    std::function<void()> onEvents_;
};

}  // namespace korrcli
