// The install proper: planned whole, then every chosen product of the listed ones, in list
// order, through its file list, with the database codes of every listed application or
// database product, then the install completion; and the closing message.
#pragma once

#include <functional>
#include <string>

#include "setup/engine/file_list.h"
#include "setup/engine/install_journal.h"
#include "setup/engine/run_outcome.h"
#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

// What runs after the last product when nothing was aborted: the install completion, given
// the install directory and whether a Supply Chain product was installed.
using InstallCompletion = std::function<void(const Path& destRoot, bool supplyChain)>;

// Marks the session's install, repair or uninstall as running (InstallRunning) for as long
// as it lives, however the run ends.
class RunningInstall {
public:
    explicit RunningInstall(Session& session);
    ~RunningInstall();
    RunningInstall(const RunningInstall&) = delete;
    RunningInstall& operator=(const RunningInstall&) = delete;

private:
    Session& session_;
    int unwinding_;  // the exceptions already in flight when the run began
};

// What one install finds out and must not carry into the next install of the run:
// ToolsInstalled, HasCompressed and the time estimate start afresh.
void ResetInstallFlags(Session& session);

// Installs the chosen products of ListedProducts(1..ProductCount): plans the install whole
// by the journal's record and the disk (PlanInstall), then applies the plan, every step
// listed in the journal, with the database codes of every listed application or database
// product. Stops at once when a product's pass ends the install (the completion does not
// run then), and says how the install ended. The journal is neither committed nor rolled
// back here.
[[nodiscard]] RunOutcome RunInstall(Session& session, UserPort& port, InstallJournal& journal,
                                    const InstallCompletion& completion = {});

// The closing message: a warning that the install has not completed when InstallAborted
// is set, the success message otherwise, and then, when RestartNeeded is set, that files
// held open take their place when the computer restarts, and the files the user had
// changed that were kept beside the new ones (SavedUserFiles).
void ShowInstallResult(Session& session, UserPort& port);

}  // namespace qv
