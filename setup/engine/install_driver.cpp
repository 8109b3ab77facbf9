#include "setup/engine/install_driver.h"

#include <algorithm>
#include <exception>

#include "setup/config/db_codes.h"
#include "setup/config/profile_edit.h"
#include "setup/engine/file_list.h"
#include "setup/engine/install_plan.h"
#include "setup/engine/progress.h"
#include "setup/session/disk_utils.h"
#include "setup/session/res_strings.h"

namespace qv {

RunningInstall::RunningInstall(Session& session) : session_(session), unwinding_(std::uncaught_exceptions()) {
    session_.InstallRunning = true;
}

RunningInstall::~RunningInstall() {
    // An exception on its way out leaves the flag set: the handler that ends the program
    // tells from it that the install was running.
    if (std::uncaught_exceptions() == unwinding_) session_.InstallRunning = false;
}

void ResetInstallFlags(Session& session) {
    session.ToolsInstalled = false;
    session.HasCompressed = 0;
    session.ElapsedTime = session.EstimatedTotalTime = session.SmoothedTotalTime = session.RemainingTime = 0;
}

namespace {

// The database codes of a listed product, with the file they go to listed in the journal
// first (a copy of the earlier one kept) and the code recorded once it is there.
void WriteDbCodesRecorded(Session& session, InstallJournal& journal, int index) {
    const ProductRec& product = session.ListedProducts[static_cast<size_t>(index)];
    const Path path = DbCodesPath(session);
    if (path.empty()) return;
    RunError error;  // failures are passed over, as the codes' own are
    PassOver(journal.MakeFolders(path.Parent(), error));
    PassOver(journal.PrepareEdit(path, error));
    WriteDbCodes(session, index);
    const std::string value = DbCodesValue(product);
    if (ReadLegacyProfileString("dbcodes", product.ProductCode, path) == value)
        journal.Wrote(RecordedDbCode{path, product.ProductCode, value});
}

// The database codes the install no longer writes go where their file still gives the value
// written, with a copy of the file kept for a rollback; one changed since stays. The record
// forgets both.
void RemoveObsoleteDbCodes(UserPort& port, InstallJournal& journal, const std::vector<RecordedDbCode>& codes) {
    for (const RecordedDbCode& c : codes) {
        const std::string what = "database code " + c.key + " of " + c.file;
        const OnDisk state = DbCodeOnDisk(c);
        RunError error = err::PathFileAccess();
        if (state == OnDisk::AsWritten && !(journal.PrepareEdit(c.file, error) && DeleteProfileText("dbcodes", c.key, c.file))) {
            port.LogStep("Not removed: " + what + " (no longer written; " + error.description + ")" + SystemCause(error));
            continue;
        }
        journal.ForgetDbCode(c);
        if (state == OnDisk::AsWritten) port.LogStep("Removed: " + what + " (no longer written)");
        if (state == OnDisk::Changed) port.LogStep("Kept: " + what + " (changed since the install; no longer written)");
    }
}

// One chosen product's pass, with the progress window set for it.
RunOutcome InstallProduct(Session& session, UserPort& port, InstallJournal& journal, const ProductPass& pass,
                          const Path& destRoot) {
    const ProductRec& p = session.ListedProducts[static_cast<size_t>(pass.step.product)];
    journal.AddProduct({p.ProductCode, p.ProductName});
    session.CurrentProduct = static_cast<int16_t>(pass.step.product);
    if (p.SoftwareType == "Marrowtools") session.ToolsInstalled = true;

    port.RepaintProgress();
    session.ModuleBytesDone = 0;
    ResetModuleProgress(session, port);
    session.ModuleBytes = p.Size;
    port.ShowModuleName(p.ProductName);
    port.RepaintProgress();
    port.LogStep("Installing " + p.ProductName + " from " + p.ProductDir);

    const RunOutcome outcome = pass.step.kind == ProductStep::Kind::Expand
                                   ? ExpandDirectory(session, port, journal, pass.list, destRoot)
                                   : InstallDirectory(session, port, journal, pass);
    session.ModuleBytesDone = 0;
    journal.Flush();
    return outcome;
}

}  // namespace

RunOutcome RunInstall(Session& session, UserPort& port, InstallJournal& journal, const InstallCompletion& completion) {
    const RunningInstall running(session);
    ResetInstallFlags(session);
    const Path destRoot = InstallDirPath(session);
    const InstallPlan plan = PlanInstall(session, journal.Record());
    if (plan.outline.compressed) session.HasCompressed = 1;
    auto pass = plan.passes.begin();
    for (const ProductStep& step : plan.outline.steps) {
        if (step.kind == ProductStep::Kind::DbCodes) {
            WriteDbCodesRecorded(session, journal, step.product);
            continue;
        }
        const RunOutcome outcome = InstallProduct(session, port, journal, *pass++, destRoot);
        if (outcome.EndsInstall()) return outcome;
    }
    RemoveObsoleteDbCodes(port, journal, plan.obsoleteDbCodes);
    if (completion) completion(destRoot, plan.outline.supplyChain);
    return {};
}

void ShowInstallResult(Session& session, UserPort& port) {
    Message box;
    box.title = kAppTitle;
    if (session.InstallAborted) {
        box.icon = Icon::Exclamation;
        box.text = "\n" + Res(session, Str::InstallIncomplete) + "\n" + Res(session, Str::ContinueLater) + "\n";
    } else {
        box.icon = Icon::Information;
        box.text = "\r" + Res(session, Str::InstallSucceeded) + "\r";
        if (session.RestartNeeded) box.text += Res(session, Str::InstallRestart) + "\r";
    }
    // An install that did not complete and was not rolled back (/NOROLLBACK) may have saved
    // some as well: they stay, and the user is told where.
    if (!session.SavedUserFiles.empty()) {
        box.text += Res(session, Str::InstallSavedFiles) + "\r";
        for (const std::string& saved : session.SavedUserFiles) box.text += saved + "\r";
    }
    port.ShowMessage(box);
}

}  // namespace qv
