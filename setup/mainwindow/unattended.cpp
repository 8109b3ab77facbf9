#include "setup/mainwindow/unattended.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "setup/config/answer_file.h"
#include "setup/engine/install_check.h"
#include "setup/engine/install_completion.h"
#include "setup/engine/install_driver.h"
#include "setup/engine/install_run.h"
#include "setup/engine/uninstall_entry.h"
#include "setup/engine/progress.h"
#include "setup/mainwindow/main_window_logic.h"
#include "setup/session/disk_utils.h"
#include "setup/session/file_system.h"
#include "setup/session/languages.h"
#include "setup/session/platforms.h"
#include "setup/session/res_strings.h"
#include "setup/session/startup.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

// The completion's services without windows: the group as the command line gives it.
class CommandLineCompletion : public CompletionServices {
public:
    CommandLineCompletion(Session& session, UserPort& port, const StartupOptions& options, ShortcutLibrary& shortcuts)
        : session_(session), port_(port), options_(options), shortcuts_(shortcuts) {}

    GroupChoice ShowGroupDialog() override {
        GroupChoice choice;
        choice.createGroup = !options_.noGroup;
        choice.groupTitle = options_.groupGiven ? options_.groupTitle : Res(session_, Str::DefaultGroupTitle);
        // Where the connectivity directory is not the user's choice, /DBDIR has no say.
        choice.connectivityDir = InitialConnectivityDir(session_);
        if (!options_.dbDir.empty()) {
            if (ConnectivityControlsEnabled(session_))
                choice.connectivityDir = options_.dbDir;
            else
                port_.LogStep(SwitchName(SwitchId::DbDir) + " passed over: the " + session_.DbPlatformName +
                              " client programs lie below the install directory");
        }
        // The dialog would not close over a missing directory; unattended, the group is
        // left out and the configuration is still written.
        if (choice.createGroup && !ConnectivityDirFound(choice.connectivityDir)) {
            port_.ShowMessage({Res(session_, Str::NoConnectivityDir), kAppTitle, Buttons::Ok, Icon::None, 1});
            port_.LogStep("No program group: the connectivity directory " + choice.connectivityDir +
                          " does not exist");
            choice.createGroup = false;
        }
        return choice;
    }
    ShortcutLibrary& Shortcuts() override { return shortcuts_; }

private:
    Session& session_;
    UserPort& port_;
    const StartupOptions& options_;
    ShortcutLibrary& shortcuts_;
};

// The main window as the logic sees it, without a window: it remembers the product list,
// the install-to text, the figures and whether Install may be pressed; the confirmation
// proceeds and the progress "window" runs the install on the port.
class HeadlessMainView : public MainView {
public:
    // With plan set, the Install button's checks write nothing and the "install" is the
    // plan of it.
    // atStart runs when the install (not a plan) starts.
    HeadlessMainView(Session& session, UserPort& port, CompletionServices& completion, bool plan,
                     const InstallPresenter& present, RecordedRunOptions runOptions, std::function<void()> atStart)
        : session_(session), port_(port), completion_(completion), plan_(plan), present_(present),
          runOptions_(std::move(runOptions)), atStart_(std::move(atStart)) {}

    void ShowInstallTypeEntry(int) override {}
    void CheckInstallTypeEntry(int, bool) override {}
    void SetInstallSpec(const std::string&) override {}

    void ClearProductList() override { selected_.clear(); }
    bool AddProductListItem(const std::string&) override {
        selected_.push_back(false);
        return true;
    }
    void SetProductSelected(int entry, bool selected) override {
        if (entry >= 0 && entry < ProductEntryCount()) selected_[static_cast<size_t>(entry)] = selected;
    }
    void SetProductCursor(int) override {}
    int ProductEntryCount() override { return static_cast<int>(selected_.size()); }
    bool IsProductSelected(int entry) override {
        return entry >= 0 && entry < ProductEntryCount() && selected_[static_cast<size_t>(entry)];
    }

    void SetInstallToText(const std::string& text) override { installTo_ = text; }
    std::string InstallToText() override { return installTo_; }
    void FocusInstallToAtEnd() override {}

    // The drive list knows the drives whose root can be read.
    std::string ChooserDrive() override { return drive_; }
    void SetChooserDrive(char letter) override {
        const std::string drive = std::string(1, static_cast<char>(std::tolower(static_cast<unsigned char>(letter)))) + ":";
        if (fs::IsDirectory(drive + "\\")) drive_ = drive;
    }
    bool ChooseDirectory(const std::string&, const std::string&, char, std::string&) override { return false; }

    void ShowDiskSize(const std::string& text) override { diskSize_ = text; }
    void ShowProductSize(const std::string&) override {}
    void ShowSpaceRemaining(const std::string&, bool) override {}
    void EnableInstall(bool enabled) override { installEnabled_ = enabled; }

    double FreeSpace(const std::string& root) override { return GetFreeSpace(root); }
    bool TestWriteAccess(const std::string& dir) override {
        return plan_ ? CanWriteBelow(dir) : qv::TestWriteAccess(dir);
    }

    void SetBusy(bool) override {}
    void DoEvents() override { port_.DoEvents(); }
    double Now() override { return port_.Now(); }

    void ShowConfirmation(const std::string& installLine, const std::string& configureLine) override {
        port_.LogStep("Confirmed: " + installLine + (configureLine.empty() ? "" : ", " + configureLine));
        session_.ConfirmResult = -1;
    }
    void ShowInstallStatus() override {
        installRan_ = true;
        if (plan_) {
            // The plan writes nothing: a run that was interrupted is left for the install to finish.
            Confinement places = ConfinementFor(session_, InstallDirPath(session_), completion_.Shortcuts());
            const FoundRecord found = ReadInstallRecord(places, port_, /*finish=*/false);
            const InstallPlan plan =
                PlanInstall(session_, found.state == FoundRecord::State::Read ? found.record : InstallRecord());
            const Survey survey = SurveyInstall(session_, port_, plan, completion_.ShowGroupDialog(),
                                                completion_.Shortcuts(), SurveyDepth::Sizes);
            if (survey.complete) LogPlan(session_, plan, survey, port_, FreeSpace(session_.InstallDir.substr(0, 2) + "\\"));
            return;
        }
        if (atStart_) atStart_();
        const InstallJob job = [this](UserPort& port) {
            BeginInstallStatus(session_, port);
            RunRecordedInstall(session_, port, completion_.Shortcuts(), runOptions_,
                               [&](InstallJournal& journal, const Path& destRoot, bool supplyChain) {
                                   handedOver_ = FinishInstall(session_, port, completion_, journal, destRoot,
                                                               supplyChain) == CompletionOutcome::HandedOver;
                               });
            if (!handedOver_) ShowInstallResult(session_, port);
        };
        if (present_)
            present_(job);
        else
            job(port_);
    }
    void ReloadMainWindow() override {}
    void ShowVerify() override {}

    bool installEnabled() const { return installEnabled_; }
    bool installRan() const { return installRan_; }
    bool handedOver() const { return handedOver_; }
    const std::string& diskSize() const { return diskSize_; }

private:
    Session& session_;
    UserPort& port_;
    CompletionServices& completion_;
    const bool plan_;
    const InstallPresenter& present_;
    const RecordedRunOptions runOptions_;
    const std::function<void()> atStart_;
    std::vector<bool> selected_;
    std::string installTo_;
    std::string drive_;
    std::string diskSize_;
    bool installEnabled_ = false;
    bool installRan_ = false;
    bool handedOver_ = false;
};

// A value of the command line that this CD or machine does not have: reported like the
// command line's own errors, and the run ends.
ExitCode RefuseValue(Session& session, UserPort& port, const std::string& problem) {
    port.ShowMessage({Res(session, Str::LoadError) + "\r\n" + problem, kAppTitle, Buttons::Ok, Icon::Exclamation, 1});
    return ExitCode::StartupFailed;
}

// The codes of /PRODUCTS that no listed product has; the listed products are chosen
// exactly as the codes say.
std::vector<std::string> ChooseProducts(Session& session, HeadlessMainView& view, const StartupOptions& options) {
    std::vector<std::string> unknown;
    for (const std::string& code : options.productCodes) {
        bool found = false;
        for (int i = 1; i <= view.ProductEntryCount(); ++i)
            found = found || EqualsNoCase(session.ListedProducts[static_cast<size_t>(i)].ProductCode, code);
        if (!found) unknown.push_back(code);
    }
    for (int i = 1; i <= view.ProductEntryCount(); ++i) {
        const std::string& code = session.ListedProducts[static_cast<size_t>(i)].ProductCode;
        const bool chosen = std::any_of(options.productCodes.begin(), options.productCodes.end(),
                                        [&](const std::string& c) { return EqualsNoCase(c, code); });
        view.SetProductSelected(i - 1, chosen);
    }
    return unknown;
}

void LogProducts(Session& session, UserPort& port, HeadlessMainView& view) {
    for (int i = 1; i <= view.ProductEntryCount(); ++i) {
        const ProductRec& p = session.ListedProducts[static_cast<size_t>(i)];
        port.LogStep(std::string(p.Chosen == -1 ? "Chosen: " : "Listed: ") + p.ProductCode + " " + p.ProductName +
                     " (" + FormatThousands(static_cast<double>(p.Size)) + " bytes)");
    }
}

ExitCode VerifyExitCode(VerifyResult result) {
    switch (result) {
        case VerifyResult::Intact: return ExitCode::Installed;
        case VerifyResult::Drifted: return ExitCode::Drifted;
        case VerifyResult::Unchecked: return ExitCode::InstallFailed;
        case VerifyResult::PendingRestart: return ExitCode::InstalledAtRestart;
    }
    return ExitCode::InstallFailed;
}

// Puts back what drifted, then verifies again: the repair is done only when that verify
// finds nothing; what is left is named in the log.
ExitCode Repair(Session& session, UserPort& port, const Survey& survey, CommandLineCompletion& completion,
                ShortcutLibrary& shortcuts) {
    SetOutcomeFlags(session, RepairInstall(session, port, survey, shortcuts));
    if (session.InstallAborted) return InstallExitCode(session);
    if (DriftedItems(survey).empty() && UncheckedItems(survey).empty())
        return PendingItems(survey).empty() ? ExitCode::Installed : ExitCode::InstalledAtRestart;
    port.LogStep("Verify after the repair:");
    const Survey after = SurveyForVerify(session, port, completion.ShowGroupDialog(), shortcuts);
    if (!after.complete) return ExitCode::InstallFailed;
    return VerifyExitCode(LogVerify(session, after, port));
}

// Verifies the installation of the chosen products and, for a repair, puts back what
// drifted; the install directory is held meanwhile.
ExitCode VerifyOrRepair(Session& session, UserPort& port, const StartupOptions& options,
                        CommandLineCompletion& completion, ShortcutLibrary& shortcuts) {
    const bool anyChosen = std::any_of(session.ListedProducts.begin() + 1, session.ListedProducts.end(),
                                       [](const ProductRec& p) { return p.Chosen == -1; });
    if (!anyChosen) {
        port.ShowMessage({Res(session, Str::NoProductSelected), Res(session, Str::InstallError), Buttons::Ok,
                          Icon::Exclamation, 1});
        return ExitCode::EndedBeforeInstall;
    }
    RunLock lock;
    if (!TakeDirectoryLock(session, lock, InstallDirPath(session), port)) return ExitCode::DirectoryInUse;
    const Survey survey = SurveyForVerify(session, port, completion.ShowGroupDialog(), shortcuts);
    if (!survey.complete) return ExitCode::InstallFailed;
    const VerifyResult result = LogVerify(session, survey, port);
    if (options.mode == RunMode::Verify) return VerifyExitCode(result);
    return Repair(session, port, survey, completion, shortcuts);
}

}  // namespace

bool ApplyLanguageOption(Session& session, UserPort& port, const StartupOptions& options) {
    LoadLanguages(session);
    int index = 0;
    if (!options.languageCode.empty()) {
        index = FindLanguageByCode(session, options.languageCode);
        if (index < 0) {
            RefuseValue(session, port,
                        "Unknown language \"" + options.languageCode + "\" in " + SwitchName(SwitchId::Lang) + "=.");
            return false;
        }
    }
    ApplyLanguage(session, index);
    port.LogStep("Language: " + session.Languages[static_cast<size_t>(index)].Name + " (" +
                 session.Languages[static_cast<size_t>(index)].Code + ")");
    return true;
}

ExitCode InstallExitCode(const Session& session) {
    if (!session.InstallAborted) return session.RestartNeeded ? ExitCode::InstalledAtRestart : ExitCode::Installed;
    if (session.DirectoryHeld) return ExitCode::DirectoryInUse;
    return session.InstallFailed ? ExitCode::InstallFailed : ExitCode::InstallCancelled;
}

Path UninstallDir(const StartupOptions& options) {
    return FullPathOf(options.installDir.empty() ? "c:\\qv" : options.installDir).value_or(Path());
}

ExitCode EndUninstall(UserPort& port, const UninstallOutcome& outcome, const Path& removedLater) {
    switch (outcome.end) {
        case UninstallOutcome::End::Busy: return ExitCode::DirectoryInUse;
        case UninstallOutcome::End::Cancelled: return ExitCode::InstallCancelled;
        case UninstallOutcome::End::NoRecord: return ExitCode::StartupFailed;
        case UninstallOutcome::End::Removed: break;
    }
    const auto isHeld = [&](const Path& path) {
        return std::find(outcome.held.begin(), outcome.held.end(), path) != outcome.held.end();
    };
    bool held = false;
    for (const Path& path : outcome.held) {
        if (!removedLater.empty() && path.IsWithin(removedLater) && path != removedLater) continue;
        RunError error;
        held = true;
        port.LogStep((fs::RemoveAtRestart(path, error) ? "Removed at the next restart: " : "Could not have removed at the next restart: ") +
                     path + SystemCause(error));
    }
    bool left = false;
    for (const Path& path : FilesLeftIn(outcome.record.installDir)) {
        if (isHeld(path)) continue;
        left = true;
        port.LogStep("Left in the install directory: " + path);
    }
    return left ? ExitCode::RemovedKeptSome : held ? ExitCode::RemovedAtRestart : ExitCode::Installed;
}

namespace {

RecordedRunOptions RunOptionsOf(const StartupOptions& options) {
    RecordedRunOptions run;
    run.installType = options.installType;
    run.rollback = !options.noRollback;
    run.answers = AnswersOf(options);
    return run;
}

// /SAVEINF: the answers are the switches given (an answer file's included), written when
// the install starts, as an install through the windows writes its own.
void SaveAnswers(UserPort& port, const StartupOptions& options) {
    if (options.saveInfPath.empty()) return;
    RunError error;
    port.LogStep((WriteAnswerFile(options.saveInfPath, options, error) ? "Wrote the answers to "
                                                                      : "Could not write the answers to ") +
                 options.saveInfPath + SystemCause(error));
}

}  // namespace

ExitCode RunUnattended(Session& session, UserPort& port, const StartupOptions& options, ShortcutLibrary& shortcuts,
                       const InstallPresenter& present) {
    // No one answers the boxes: a file held open is replaced at the next restart at once.
    session.Unattended = true;
    if (!ApplyLanguageOption(session, port, options)) return ExitCode::StartupFailed;
    if ((options.mode == RunMode::Install || options.mode == RunMode::Plan) && !CheckInstallScope(session, port))
        return ExitCode::StartupFailed;

    PrepareCatalogue(session, port, options.dbPlatformCode);
    if (options.crcCheck) session.NoCrcCheck = false;
    port.LogStep("Database platform: " + session.DbPlatformName + " (" + session.DbPlatformCode + ")");
    port.LogStep("Source directory: " + session.SourceDir + ", " + std::to_string(session.ProductCount) +
                 " products; checksums " + (session.NoCrcCheck ? "not checked" : "checked"));

    CommandLineCompletion completion(session, port, options, shortcuts);
    const auto saveAnswers = [&] { SaveAnswers(port, options); };
    HeadlessMainView view(session, port, completion, options.mode == RunMode::Plan, present, RunOptionsOf(options),
                          saveAnswers);
    MainWindowLogic logic(session, port, view);
    logic.ProposeDefaultInstallDir();
    logic.ShowInstallTypeMenus();
    if (options.installType != kAllProductsType && !logic.IsInstallTypeVisible(options.installType))
        return RefuseValue(session, port,
                           "No product of install type " + std::to_string(options.installType) + " in " +
                               SwitchName(SwitchId::Type) + "=.");
    logic.FillProductList(options.installType);

    if (options.productsGiven) {
        const std::vector<std::string> unknown = ChooseProducts(session, view, options);
        if (!unknown.empty())
            return RefuseValue(session, port, "Unknown product code \"" + unknown.front() + "\" in " +
                                                  SwitchName(SwitchId::Products) + "=.");
        logic.ProductBoxClick();
    }
    if (!options.installDir.empty()) logic.SetInstallTo(CanonicalDir(options.installDir));
    logic.InstallToLostFocus(session.InstallDir);
    logic.ShowSpaceRemaining();
    LogProducts(session, port, view);
    port.LogStep("Install to: " + session.InstallDir + " (" + view.diskSize() + " bytes free)");

    if (options.mode == RunMode::Verify || options.mode == RunMode::Repair)
        return VerifyOrRepair(session, port, options, completion, shortcuts);

    if (!view.installEnabled() && logic.ProductTotal() > 0) {
        port.LogStep("Not enough free space: " + FormatThousands(session.ProductBytes) + " bytes needed");
        return ExitCode::EndedBeforeInstall;
    }
    logic.InstallClick();
    if (!view.installRan()) return ExitCode::EndedBeforeInstall;
    if (options.mode == RunMode::Plan) return session.InstallAborted ? ExitCode::InstallFailed : ExitCode::Installed;
    return view.handedOver() ? ExitCode::Installed : InstallExitCode(session);
}

}  // namespace qv
