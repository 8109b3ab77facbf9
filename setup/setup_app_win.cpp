#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <optional>

#include "setup/dialogs/common_controls_win.h"
#include "setup/dialogs/confirmation.h"
#include "setup/dialogs/dir_seek.h"
#include "setup/dialogs/form.h"
#include "setup/dialogs/frm_about.h"
#include "setup/dialogs/frm_group.h"
#include "setup/dialogs/frm_lang.h"
#include "setup/dialogs/frm_verify.h"
#include "setup/dialogs/frm_wait.h"
#include "setup/dialogs/get_prod_form.h"
#include "setup/dialogs/install_status.h"
#include "setup/config/answer_file.h"
#include "setup/engine/install_completion.h"
#include "setup/engine/shortcut_library.h"
#include "setup/mainwindow/qv_setup.h"
#include "setup/engine/uninstall.h"
#include "setup/engine/uninstall_entry.h"
#include "setup/mainwindow/unattended.h"
#include "setup/removal_copy.h"
#include "setup/session/command_line.h"
#include "setup/session/disk_utils.h"
#include "setup/session/exit_codes.h"
#include "setup/session/fatal_error.h"
#include "setup/session/install_log.h"
#include "setup/session/languages.h"
#include "setup/session/policy_port.h"
#include "setup/session/res_strings.h"
#include "setup/session/session.h"
#include "setup/session/startup.h"
#include "setup/session/text_util.h"
#include "setup/dialogs/user_port_win.h"
#include "setup/setup_app.h"

namespace qv {
namespace {

// What the install completion uses of the windows: the program group dialog over the
// main window, the wait window it leaves on screen, and qvole.dll.
class WindowCompletion : public CompletionServices {
public:
    WindowCompletion(FrmGroup& group, FrmWait& wait, const ui::Form& owner)
        : group_(group), wait_(wait), owner_(owner) {}

    GroupChoice ShowGroupDialog() override {
        group_.Run(owner_.hwnd());
        chosen_ = GroupChoice{group_.CreateGroupChecked(), group_.GroupTitle(), group_.DbDir()};
        return *chosen_;
    }
    // What the group dialog was answered with, once it has been.
    const std::optional<GroupChoice>& Chosen() const { return chosen_; }
    void CloseWaitWindow() override {
        wait_.Unload();
        ui::SetBusy(false);
    }
    ShortcutLibrary& Shortcuts() override { return QvoleLibrary(); }

private:
    FrmGroup& group_;
    FrmWait& wait_;
    const ui::Form& owner_;
    std::optional<GroupChoice> chosen_;
};

// The installer: the session and every window, each existing once and created on first use.
class SetupApp {
public:
    int Run(const std::string& arguments) {
        // The log and the kind of run are known before the command line is read in full,
        // so that its errors reach the log, and no window appears in a silent run.
        const StartupOptions early = ReadSwitchesLeniently(arguments);
        mode_ = early.mode;
        int removed = 0;
        if (early.mode == RunMode::Uninstall &&
            RunRemovalFromCopy(arguments, early.installDir.empty() ? "c:\\qv" : early.installDir, removed))
            return removed;
        silent_ = early.Unattended();
        // A passive run asks a person nothing but whether to cancel its install.
        quiet_ = silent_ || early.passive;
        if (!early.logPath.empty()) {
            std::string error;
            if (!log_.Open(early.logPath, error)) {
                UserPort& port = quiet_ ? static_cast<UserPort&>(policy_) : window_;
                port.ShowMessage(
                    {Res(session_, Str::LoadError) + "\r\n" + error, kAppTitle, Buttons::Ok, Icon::Exclamation, 1});
                return static_cast<int>(ExitCode::StartupFailed);
            }
        }
        log_.Write(kRunBeganLine);
        log_.Write("Command line: " + arguments);
        if (!early.loadInfPath.empty() && !LoadAnswers(early.loadInfPath)) return Ended(ExitCode::StartupFailed);
        const ExitCode code = early.mode == RunMode::Uninstall ? RunRemoval(arguments)
                              : silent_                        ? RunSilent(arguments)
                              : early.passive                  ? RunPassive(arguments)
                                                               : RunWindows(arguments);
        return Ended(code);
    }

    int Ended(ExitCode code) {
        log_.Write(ExitLine(code, mode_));
        return static_cast<int>(code);
    }

    // An exception reached an entry point from the window system or WinMain: it is logged,
    // the user is told once, and the program ends with the code of the failure.
    [[noreturn]] void End(std::exception_ptr exception) {
        const FatalError fatal = DescribeFatalError(session_, exception);
        log_.Write(fatal.logLine);
        LoggingPort port(quiet_ ? static_cast<UserPort&>(policy_) : window_, log_);
        port.ShowMessage(fatal.box);
        log_.Write(ExitLine(fatal.code, mode_));
        log_.Close();
        ExitProcess(static_cast<UINT>(fatal.code));
    }

private:
    // Takes the switches of an answer file as options that the command line may change.
    bool LoadAnswers(const std::string& path) {
        LoggingPort port(quiet_ ? static_cast<UserPort&>(policy_) : window_, log_);
        std::string problem;
        if (ReadAnswerFile(path, options_, problem)) {
            log_.Write("Answers taken from " + path);
            return true;
        }
        port.ShowMessage({Res(session_, Str::LoadError) + "\r\n" + problem, kAppTitle, Buttons::Ok, Icon::Exclamation, 1});
        return false;
    }

    // /SAVEINF: the answers of this run, written when its install starts and again when
    // the group dialog has been answered.
    void SaveAnswers() {
        if (options_.saveInfPath.empty()) return;
        RunError error;
        log_.Write((WriteAnswerFile(options_.saveInfPath, CurrentAnswers(), error) ? "Wrote the answers to "
                                                                                   : "Could not write the answers to ") +
                   options_.saveInfPath + SystemCause(error));
    }

    // The answers given in the windows so far.
    StartupOptions CurrentAnswers() {
        StartupOptions answers;
        if (session_.LangIndex >= 0 && session_.LangIndex < static_cast<int>(session_.Languages.size()))
            answers.languageCode = session_.Languages[static_cast<size_t>(session_.LangIndex)].Code;
        answers.dbPlatformCode = session_.DbPlatformCode;
        answers.installType = main_.ListedInstallType();
        answers.productsGiven = true;
        for (int i = 1; i <= std::min<int>(session_.ProductCount, kMaxProducts); ++i)
            if (session_.ListedProducts[static_cast<size_t>(i)].Chosen == -1)
                answers.productCodes.push_back(session_.ListedProducts[static_cast<size_t>(i)].ProductCode);
        answers.installDir = session_.InstallDir;
        answers.crcCheck = !session_.NoCrcCheck;
        if (const std::optional<GroupChoice>& group = completion_.Chosen()) {
            answers.noGroup = !group->createGroup;
            answers.groupGiven = group->createGroup;
            answers.groupTitle = group->groupTitle;
            answers.dbDir = group->connectivityDir;
        }
        return answers;
    }

    // How an install through the windows records itself.
    RecordedRunOptions RunOptions() {
        RecordedRunOptions run;
        run.installType = main_.ListedInstallType();
        run.rollback = !options_.noRollback;
        run.answers = AnswersOf(CurrentAnswers());
        return run;
    }

    // /UNINSTALL: the removal by the record of the install-to directory; with the windows,
    // asked first, in the progress window, and told at the end.
    ExitCode RunRemoval(const std::string& arguments) {
        if (!quiet_ && !common_controls::Init(ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS))
            log_.Write("The common controls cannot be initialised" + SystemCause(FromSystemError(GetLastError())));
        LoggingPort port(quiet_ ? static_cast<UserPort&>(policy_) : window_, log_);
        if (!ParseCommandLine(session_, port, arguments, options_)) return ExitCode::StartupFailed;
        const Path dir = UninstallDir(options_);
        port.LogStep("Uninstall of " + (dir.empty() ? options_.installDir : dir.str()));
        Uninstaller uninstaller(session_, QvoleLibrary(), dir);
        UninstallOutcome outcome;
        outcome.end = uninstaller.Prepare(port);
        session_.LangOffset = static_cast<int16_t>(uninstaller.Record().languageOffset);
        if (outcome.end == UninstallOutcome::End::Removed) {
            if (quiet_) {
                outcome = uninstaller.Remove(port);
            } else if (!ConfirmRemoval(port, uninstaller.Record())) {
                outcome.end = UninstallOutcome::End::Cancelled;
            } else {
                installStatus_.RunRemoval([&](UserPort& status) { outcome = uninstaller.Remove(status); });
            }
        }
        const ExitCode code = EndUninstall(port, outcome, IsRemovalCopy() ? UninstallerFolder(dir) : Path());
        if (!quiet_) TellRemovalEnd(port, outcome, dir);
        if (IsRemovalCopy()) FinishRemovalCopy(static_cast<int>(code), outcome, port);
        return code;
    }

    bool ConfirmRemoval(UserPort& port, const InstallRecord& record) {
        std::string products;
        for (const RecordedProduct& p : record.products) products += "\r" + p.name;
        Message box(Res(session_, Str::UninstallQuestion) + " " + record.installDir + "?\r\r" +
                        Res(session_, Str::UninstallProducts) + products,
                    Res(session_, Str::UninstallTitle), Buttons::YesNo, Icon::Question, 2);
        return port.ShowMessage(box) == Answer::Yes;
    }

    // The closing message of a removal: what happened, what was kept, what goes at the restart.
    void TellRemovalEnd(UserPort& port, const UninstallOutcome& outcome, const Path& dir) {
        std::string text;
        switch (outcome.end) {
            case UninstallOutcome::End::Removed: text = Res(session_, Str::UninstallDone); break;
            case UninstallOutcome::End::Cancelled: text = Res(session_, Str::UninstallCancelled); break;
            case UninstallOutcome::End::NoRecord: text = Res(session_, Str::UninstallNoRecord) + " " + dir + "."; break;
            case UninstallOutcome::End::Busy:
                text = Res(session_, Str::DirectoryInUse) + " " + dir + ".\r" + Res(session_, Str::TryLater);
                break;
        }
        std::vector<Path> left;
        for (const Path& path : FilesLeftIn(dir))
            if (std::find(outcome.held.begin(), outcome.held.end(), path) == outcome.held.end()) left.push_back(path);
        if (outcome.end == UninstallOutcome::End::Removed && !left.empty()) {
            text += "\r\r" + Res(session_, Str::UninstallKept);
            for (const Path& path : left) text += "\r" + path;
        }
        const Path later = IsRemovalCopy() ? UninstallerFolder(dir) : Path();
        std::string held;
        for (const Path& path : outcome.held)
            if (later.empty() || !path.IsWithin(later) || path == later) held += "\r" + path;
        if (!held.empty()) text += "\r\r" + Res(session_, Str::UninstallHeld) + held;
        const bool ok = outcome.end == UninstallOutcome::End::Removed;
        port.ShowMessage({text, Res(session_, Str::UninstallTitle), Buttons::Ok, ok ? Icon::Information : Icon::Exclamation, 1});
    }

    // /PASSIVE: the unattended run, with the progress window for its install.
    ExitCode RunPassive(const std::string& arguments) {
        if (!common_controls::Init(ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS))
            log_.Write("The common controls cannot be initialised" + SystemCause(FromSystemError(GetLastError())));
        LoggingPort port(policy_, log_);
        if (!ParseCommandLine(session_, port, arguments, options_)) return ExitCode::StartupFailed;
        return RunUnattended(session_, port, options_, QvoleLibrary(),
                             [this](const InstallJob& job) { installStatus_.RunPassive(job); });
    }

    ExitCode RunSilent(const std::string& arguments) {
        LoggingPort port(policy_, log_);
        if (!ParseCommandLine(session_, port, arguments, options_)) return ExitCode::StartupFailed;
        return RunUnattended(session_, port, options_, QvoleLibrary());
    }

    ExitCode RunWindows(const std::string& arguments) {
        // Without the common controls the progress window has no bars; its figures still
        // show, so the install goes on and the log says why the bars are missing.
        if (!common_controls::Init(ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES))
            port_.LogStep("The common controls cannot be initialised" + SystemCause(FromSystemError(GetLastError())));

        if (!ParseCommandLine(session_, port_, arguments, options_)) return ExitCode::StartupFailed;
        if (options_.mode == RunMode::Install && !CheckInstallScope(session_, port_)) return ExitCode::StartupFailed;
        installStatus_.SetCompletion(
            [this](UserPort& port, InstallJournal& journal, const Path& destRoot, bool supplyChain) {
                ui::SetBusy(true);
                const CompletionOutcome outcome =
                    FinishInstall(session_, port, completion_, journal, destRoot, supplyChain);
                if (completion_.Chosen()) {
                    SaveAnswers();
                    journal.RecordAnswers(AnswersOf(CurrentAnswers()));
                }
                return outcome;
            },
            [this] { return RunOptions(); });
        installStatus_.SetStartHook([this] { SaveAnswers(); });
        if (!options_.languageCode.empty()) {
            // The language named on the command line is taken without asking.
            if (!ApplyLanguageOption(session_, port_, options_)) return ExitCode::StartupFailed;
            LanguageChosen();
        } else if (LoadLanguages(session_)) {
            if (!lang_.Load()) return WindowFailed(lang_);
            lang_.Show();
        } else {
            // No language list on the CD: English, without asking.
            ApplyLanguage(session_, 0);
            LanguageChosen();
        }
        ui::RunMessageLoop();
        if (windowFailed_) return ExitCode::StartupFailed;
        // How the last install that ran ended; without one, the run ended before installing
        // (a verify window that was only looked at ends well).
        if (installStatus_.HandedOver()) return ExitCode::Installed;
        if (installStatus_.InstallsRun() > 0) return InstallExitCode(session_);
        return options_.mode == RunMode::Modify ? ExitCode::Installed : ExitCode::EndedBeforeInstall;
    }

    // The language is applied: the main window loads (the whole start-up), the language
    // window goes, and the main window is shown.
    void LanguageChosen() {
        if (!main_.Load()) {
            WindowFailed(main_);
            PostQuitMessage(0);
            return;
        }
        ui::PumpPendingMessages();
        lang_.Unload();
        main_.Show();
        ui::SetBusy(false);
        if (options_.mode != RunMode::Modify) return;
        // Apps & features' Modify: the verify window of the directory, and then the end.
        main_.VerifyInstallation(CanonicalDir(options_.installDir));
        PostQuitMessage(0);
    }

    // A window of the start-up that cannot be made: the user is told why, and the run
    // ends as a failed start-up.
    ExitCode WindowFailed(const ui::Form& form) {
        windowFailed_ = true;
        const RunError& error = form.LoadError();
        Message box{Res(session_, Str::Error) + " : " + std::to_string(error.number) + "\r" + error.description,
                    kAppTitle, Buttons::Ok, Icon::Exclamation, 1};
        box.cause = error;
        port_.ShowMessage(box);
        return ExitCode::StartupFailed;
    }

    static void Exit() { PostQuitMessage(0); }

    Session session_;
    InstallLog log_;  // closed unless /LOG: then only the windows answer
    PolicyPort policy_;
    WinUserPort window_;                // message boxes before any window is up
    LoggingPort port_{window_, log_};  // the same, written to the install log
    StartupOptions options_;
    RunMode mode_ = RunMode::Install;  // as the first look at the command line found it
    bool silent_ = false;
    bool quiet_ = false;  // message boxes answered by the policy of an unattended run
    bool windowFailed_ = false;
    DirSeek dirSeek_{session_, log_};
    GetProdForm getProdForm_{session_};
    Confirmation confirmation_{session_};
    InstallStatus installStatus_{session_, log_};
    FrmAbout about_{session_};
    FrmVerify verify_{session_, log_, QvoleLibrary()};
    FrmWait wait_{session_};
    FrmGroup group_{session_, wait_, log_};
    QVSetup main_{session_, options_, log_, {dirSeek_, getProdForm_, confirmation_, installStatus_, about_, verify_},
                  &Exit};
    FrmLang lang_{session_, [this] { LanguageChosen(); }, &Exit};
    WindowCompletion completion_{group_, wait_, main_};
};

}  // namespace

std::string ProgramArguments() {
    const char* p = GetCommandLineA();
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

namespace {
SetupApp* runningApp = nullptr;

[[noreturn]] void EndOnException(std::exception_ptr exception) {
    if (runningApp) runningApp->End(exception);
    ExitProcess(static_cast<UINT>(ExitCode::StartupFailed));
}
}  // namespace

int RunSetup(const std::string& arguments) {
    ui::SetExceptionHandler(&EndOnException);
    try {
        SetupApp app;
        runningApp = &app;
        const int code = app.Run(arguments);
        runningApp = nullptr;
        return code;
    } catch (...) {
        EndOnException(std::current_exception());
    }
}

}  // namespace qv
