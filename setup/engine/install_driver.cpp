#include "setup/engine/install_driver.h"

#include <algorithm>

#include "setup/config/db_codes.h"
#include "setup/engine/file_list.h"
#include "setup/engine/progress.h"
#include "setup/session/res_strings.h"

namespace qv {

void ResetInstallFlags(Session& session) {
    session.ToolsInstalled = false;
    session.HasCompressed = 0;
    session.ElapsedTime = session.EstimatedTotalTime = session.SmoothedTotalTime = session.RemainingTime = 0;
}

void RunInstall(Session& session, UserPort& port, const InstallCompletion& completion) {
    // Marks the install as running for as long as this call lasts, however it ends.
    struct Running {
        explicit Running(Session& s) : session(s) { session.InstallRunning = true; }
        ~Running() { session.InstallRunning = false; }
        Session& session;
    } running(session);
    ResetInstallFlags(session);
    bool supplyChain = false;
    std::string destRoot = session.InstallDir;
    if (!destRoot.empty() && destRoot.back() == '\\') destRoot.pop_back();

    const int count = std::clamp<int>(session.ProductCount, 0, kMaxProducts);
    for (int i = 1; i <= count; ++i) {
        const ProductRec& p = session.ListedProducts[static_cast<size_t>(i)];
        if (p.Chosen == -1 && p.Compress == 1) session.HasCompressed = 1;
    }

    for (int i = 1; i <= count; ++i) {
        const ProductRec& p = session.ListedProducts[static_cast<size_t>(i)];
        if (p.SoftwareType == "Application" || p.SoftwareType == "Database") WriteDbCodes(session, i);
        if (p.Chosen != -1) continue;

        session.CurrentProduct = static_cast<int16_t>(i);
        if (p.SoftwareType == "Marrowtools") session.ToolsInstalled = true;
        if (p.SoftwareType == "Supply Chain") supplyChain = true;

        port.RepaintProgress();
        session.ModuleBytesDone = 0;
        ResetModuleProgress(session, port);
        session.ModuleBytes = p.Size;
        port.ShowModuleName(p.ProductName);
        port.RepaintProgress();
        port.LogStep("Installing " + p.ProductName + " from " + p.ProductDir);

        if (p.Compress == 1) {
            ExpandDirectory(session, port, p.ProductDir, destRoot);
        } else {
            InstallDirectory(session, port, p.ProductDir, destRoot);
        }
        session.ModuleBytesDone = 0;
        if (session.InstallAborted) return;
    }
    if (completion) completion(destRoot, supplyChain);
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
    }
    port.ShowMessage(box);
}

}  // namespace qv
