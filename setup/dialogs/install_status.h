// InstallStatus, the modal progress window in which an install runs: its first
// activation runs the install driver on the user-interface thread, the driver reports
// progress through this window's interaction port (bars, percentages, times, module and
// file names), and the closing message is shown before the window unloads. Cancel (Esc,
// the close box) asks whether to stop; the install stops after the block in progress.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "setup/dialogs/form.h"
#include "setup/engine/install_completion.h"
#include "setup/engine/install_run.h"
#include "setup/dialogs/user_port_win.h"
#include "setup/session/install_log.h"
#include "setup/session/policy_port.h"
#include "setup/session/session.h"

namespace qv {

// What runs after the last product of an install that was not aborted (the install
// completion), with the port of the progress window and the install's journal. When it
// hands over to another setup program, the window ends the installer without its closing
// message.
using StatusCompletion = std::function<CompletionOutcome(UserPort& port, InstallJournal& journal,
                                                         const Path& destRoot, bool supplyChain)>;
// How the install records itself, asked for when it starts.
using StatusRunOptions = std::function<RecordedRunOptions()>;

class InstallStatus : public ui::Form {
public:
    InstallStatus(Session& session, InstallLog& log);
    ~InstallStatus() override;

    void SetCompletion(StatusCompletion completion, StatusRunOptions options);

    // Loads the window and shows it modally over owner; the install runs on its first
    // activation and the window unloads when it is done.
    void Run(HWND owner);
    // The same for a repair: job runs in place of the install, with this window's port.
    void RunRepair(HWND owner, std::function<void(UserPort&)> job);
    // A removal: job runs in the window alone on the desktop, with this window's port, and
    // tells its own end (no install's closing message).
    void RunRemoval(std::function<void(UserPort&)> job);
    // A passive install: the window alone on the desktop, job run with a port that shows
    // the progress and answers every question as an unattended run does; only Cancel asks.
    void RunPassive(std::function<void(UserPort&)> job);
    // Runs just before an install starts (the answers of the run are then known).
    void SetStartHook(std::function<void()> hook) { startHook_ = std::move(hook); }

    // The port of the install: this window's, written to the install log.
    UserPort& Port();

    // How many installs this window has run, and whether the last one handed over to
    // another setup program.
    int InstallsRun() const { return installsRun_; }
    bool HandedOver() const { return handedOver_; }

protected:
    void OnLoad() override;
    void OnActivate() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    class StatusPort;
    class PassivePort;
    void RunFirstActivation();
    // Takes the window off the screen while the install still runs; the owner stays
    // disabled until the install has ended and the window unloads.
    void HideForUnload();

    Session& session_;
    std::unique_ptr<StatusPort> window_;  // message boxes and progress into this window
    LoggingPort port_;                    // the same, written to the install log
    InstallLog& log_;
    StatusCompletion completion_;
    StatusRunOptions runOptions_;
    std::function<void(UserPort&)> job_;  // a repair or a passive install, in place of the install
    std::function<void()> startHook_;
    std::unique_ptr<PassivePort> passive_;  // set while a passive install runs
    bool closingMessage_ = true;            // false while a removal runs
    HWND owner_ = nullptr;
    bool started_ = false;
    int installsRun_ = 0;
    bool handedOver_ = false;
};

}  // namespace qv
