#include "setup/dialogs/install_status.h"

#include <commctrl.h>

#include <utility>

#include "setup/engine/install_driver.h"
#include "setup/engine/progress.h"
#include "setup/resources/control_ids.h"
#include "setup/session/res_strings.h"
#include "setup/session/throttle.h"

namespace qv {

namespace id = ids::install_status;
using ui::ControlFont;
using ui::ControlRow;

namespace {

// Posted on activation: the install starts once the window is on the screen.
constexpr UINT kStartInstall = WM_APP + 1;

constexpr DWORD kLabel = WS_VISIBLE | SS_NOPREFIX;

// The window's controls in tab order, in twips. The frame comes after the two labels it
// holds, so that it is drawn beneath them.
constexpr ControlRow kControls[] = {
    {id::lblAllModules, "Static", "", kLabel, 0, {360, 2535, 0, 0}, ControlFont::Bold},
    {id::lblThisModule, "Static", "", kLabel, 0, {360, 1455, 0, 0}, ControlFont::Bold},
    {id::ModulePercentLabel, "Static", "0%", kLabel | SS_CENTER, 0, {2775, 1470, 615, 255}, ControlFont::Bold},
    {id::TotalPercentLabel, "Static", "0%", kLabel | SS_CENTER, 0, {2775, 2550, 615, 255}, ControlFont::Bold},
    {id::lblTimeSpent, "Static", "", kLabel, 0, {360, 3585, 0, 0}, ControlFont::Bold},
    {id::lblTimeRemain, "Static", "", kLabel, 0, {360, 4035, 0, 0}, ControlFont::Bold},
    {id::TimeSpent, "Static", "00:00:00", kLabel | SS_RIGHT, 0, {2715, 3585, 855, 255}, ControlFont::Regular},
    {id::TimeRemaining, "Static", "00:00:00", kLabel | SS_RIGHT, 0, {2715, 4035, 855, 255}, ControlFont::Regular},
    {id::btnCancel, "Button", "", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, {4575, 3675, 1215, 495},
     ControlFont::Bold},
    {id::FileName, "Static", "", kLabel | SS_LEFT | SS_PATHELLIPSIS, 0, {525, 795, 5040, 255}, ControlFont::Regular},
    {id::ModuleName, "Static", "", kLabel | SS_LEFT | SS_ENDELLIPSIS, 0, {525, 405, 5040, 255}, ControlFont::Regular},
    {id::fraInstalling, "Button", "", WS_VISIBLE | BS_GROUPBOX, 0, {360, 120, 5370, 1110}, ControlFont::Bold},
    {id::ModulePercentComplete, PROGRESS_CLASSA, "", WS_VISIBLE, 0, {360, 1800, 5415, 375}, ControlFont::None},
    {id::PercentComplete, PROGRESS_CLASSA, "", WS_VISIBLE, 0, {360, 2880, 5415, 375}, ControlFont::None},
};

}  // namespace

// The interaction port of the install: message boxes over the progress window (over its
// owner once the window is off the screen), progress into its controls. A copy reports
// after every block and names every file; the window takes the latest figures and file
// name at most every kDisplayInterval milliseconds, when pending events run, so that the
// repainting costs the copy next to nothing while the Cancel button still answers at once.
class InstallStatus::StatusPort final : public WinUserPort {
public:
    explicit StatusPort(InstallStatus& window) : window_(window) {}

    Answer ShowMessage(const Message& message) override {
        ShowPending();
        HWND status = window_.hwnd();
        SetOwner(status && IsWindowVisible(status) ? status : window_.owner_);
        return WinUserPort::ShowMessage(message);
    }

    void ShowModuleName(const std::string& name) override {
        ShowPending();
        window_.SetItemText(id::ModuleName, name);
        if (HWND label = window_.Item(id::ModuleName)) UpdateWindow(label);
    }
    void ShowFileName(const std::string& path) override { Set(fileName_, path); }
    void ShowModulePercent(int bar, const std::string& label) override { Set(modulePercent_, {bar, label}); }
    void ShowTotalPercent(int bar, const std::string& label) override { Set(totalPercent_, {bar, label}); }
    void ShowTimeSpent(const std::string& text) override { Set(timeSpent_, text); }
    void ShowTimeRemaining(const std::string& text) override { Set(timeRemaining_, text); }
    void RepaintProgress() override {
        ShowPending();
        if (window_.hwnd()) UpdateWindow(window_.hwnd());
    }
    void UnloadProgress() override { window_.HideForUnload(); }

    // Puts what the install reported since the last time into the controls.
    void ShowPending() {
        if (!dirty_) return;
        dirty_ = false;
        if (fileName_.changed) window_.SetItemText(id::FileName, fileName_.value);
        if (modulePercent_.changed) ShowPercent(id::ModulePercentComplete, id::ModulePercentLabel, modulePercent_.value);
        if (totalPercent_.changed) ShowPercent(id::PercentComplete, id::TotalPercentLabel, totalPercent_.value);
        if (timeSpent_.changed) window_.SetItemText(id::TimeSpent, timeSpent_.value);
        if (timeRemaining_.changed) window_.SetItemText(id::TimeRemaining, timeRemaining_.value);
        fileName_.changed = modulePercent_.changed = totalPercent_.changed = false;
        timeSpent_.changed = timeRemaining_.changed = false;
    }

protected:
    void BeforeEvents() override {
        if (display_.Due()) ShowPending();
    }

private:
    struct Percent {
        int bar = 0;
        std::string label;
    };
    template <typename T>
    struct Pending {
        T value{};
        bool changed = false;
    };

    template <typename T>
    void Set(Pending<T>& pending, T value) {
        pending.value = std::move(value);
        pending.changed = true;
        dirty_ = true;
    }

    void ShowPercent(int bar, int label, const Percent& percent) {
        SendMessageA(window_.Item(bar), PBM_SETPOS, static_cast<WPARAM>(percent.bar), 0);
        window_.SetItemText(label, percent.label);
    }

    static constexpr uint32_t kDisplayInterval = 250;

    InstallStatus& window_;
    Throttle display_{kDisplayInterval};
    bool dirty_ = false;
    Pending<std::string> fileName_;
    Pending<Percent> modulePercent_;
    Pending<Percent> totalPercent_;
    Pending<std::string> timeSpent_;
    Pending<std::string> timeRemaining_;
};

// The port of a passive install: its progress goes to the window, and every question is
// answered as an unattended run answers it, without a box.
class InstallStatus::PassivePort final : public UserPort {
public:
    PassivePort(StatusPort& window, InstallLog& log) : window_(window), logged_(*this, log) {}
    UserPort& Logged() { return logged_; }

    Answer ShowMessage(const Message& message) override { return PolicyAnswer(message.buttons); }
    void DoEvents() override { window_.DoEvents(); }
    void ShowModuleName(const std::string& name) override { window_.ShowModuleName(name); }
    void ShowFileName(const std::string& path) override { window_.ShowFileName(path); }
    void ShowModulePercent(int bar, const std::string& label) override { window_.ShowModulePercent(bar, label); }
    void ShowTotalPercent(int bar, const std::string& label) override { window_.ShowTotalPercent(bar, label); }
    void ShowTimeSpent(const std::string& text) override { window_.ShowTimeSpent(text); }
    void ShowTimeRemaining(const std::string& text) override { window_.ShowTimeRemaining(text); }
    void RepaintProgress() override { window_.RepaintProgress(); }
    void UnloadProgress() override { window_.UnloadProgress(); }

private:
    StatusPort& window_;
    LoggingPort logged_;
};

InstallStatus::InstallStatus(Session& session, InstallLog& log)
    : Form(ids::kInstallStatusClass, 6150, 4470),
      session_(session),
      window_(std::make_unique<StatusPort>(*this)),
      port_(*window_, log),
      log_(log) {}

InstallStatus::~InstallStatus() = default;

void InstallStatus::SetCompletion(StatusCompletion completion, StatusRunOptions options) {
    completion_ = std::move(completion);
    runOptions_ = std::move(options);
}

UserPort& InstallStatus::Port() { return port_; }

void InstallStatus::OnLoad() {
    started_ = false;
    AddControls(kControls);
    for (int bar : {id::ModulePercentComplete, id::PercentComplete})
        SendMessageA(Item(bar), PBM_SETRANGE32, 0, 100);

    // Form_Load: the captions in their order, then the empty progress display.
    SetCaption(Res(session_, Str::InstallationStatus));
    SetItemText(id::fraInstalling, Res(session_, Str::Installing));
    SetItemTextFitted(id::lblThisModule, Res(session_, Str::ThisModule));
    SetItemTextFitted(id::lblAllModules, Res(session_, Str::AllModules));
    SetItemTextFitted(id::lblTimeSpent, Res(session_, Str::TimeSpent));
    SetItemTextFitted(id::lblTimeRemain, Res(session_, Str::TimeRemaining));
    SetItemText(id::btnCancel, Res(session_, Str::Cancel));
    BeginInstallStatus(session_, port_);
    window_->ShowPending();
}

void InstallStatus::Run(HWND owner) {
    if (!Load()) return;
    owner_ = owner;
    // Where the start cannot be posted now, the window's activation starts the install.
    PostMessageA(hwnd(), kStartInstall, 0, 0);
    ShowModal(owner);
}

void InstallStatus::RunRepair(HWND owner, std::function<void(UserPort&)> job) {
    job_ = std::move(job);
    Run(owner);
    job_ = nullptr;
}

void InstallStatus::RunRemoval(std::function<void(UserPort&)> job) {
    job_ = std::move(job);
    closingMessage_ = false;
    Run(nullptr);
    closingMessage_ = true;
    job_ = nullptr;
}

void InstallStatus::RunPassive(std::function<void(UserPort&)> job) {
    passive_ = std::make_unique<PassivePort>(*window_, log_);
    job_ = std::move(job);
    Run(nullptr);
    job_ = nullptr;
    passive_.reset();
}

void InstallStatus::OnActivate() {
    if (started_) return;
    if (PostMessageA(hwnd(), kStartInstall, 0, 0)) return;
    // The message queue refuses the start: the install runs now, on this activation,
    // rather than never.
    port_.LogStep("The progress window could not post the start of the install" +
                  SystemCause(FromSystemError(GetLastError())) + "; it starts at once");
    RunFirstActivation();
}

bool InstallStatus::OnMessage(UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/, LRESULT& result) {
    if (message != kStartInstall) return false;
    RunFirstActivation();
    result = 0;
    return true;
}

void InstallStatus::RunFirstActivation() {
    if (started_) return;
    started_ = true;
    CompletionOutcome outcome = CompletionOutcome::Returned;
    const RecordedCompletion completion = [this, &outcome](InstallJournal& journal, const Path& destRoot,
                                                           bool supplyChain) {
        if (completion_) outcome = completion_(port_, journal, destRoot, supplyChain);
    };
    ++installsRun_;
    if (startHook_) startHook_();
    if (passive_) {
        job_(passive_->Logged());  // the closing message is answered, not shown
        Unload();
        return;
    }
    if (job_)
        job_(port_);
    else
        RunRecordedInstall(session_, port_, QvoleLibrary(), runOptions_ ? runOptions_() : RecordedRunOptions{},
                           completion);
    handedOver_ = outcome == CompletionOutcome::HandedOver;
    if (handedOver_) {
        Unload();
        PostQuitMessage(0);
        return;
    }
    window_->ShowPending();
    if (!session_.InstallAborted) ui::SetBusy(false);
    if (closingMessage_) ShowInstallResult(session_, port_);
    Unload();
}

void InstallStatus::HideForUnload() {
    if (hwnd()) ShowWindow(hwnd(), SW_HIDE);
}

bool InstallStatus::OnCommand(int command, int /*code*/, HWND /*control*/) {
    if (command != id::btnCancel) return false;  // also Esc and the close box
    if (!started_ || !IsVisible()) return true;
    if (ConfirmCancel(session_, port_)) {
        ui::SetBusy(false);
        HideForUnload();
    }
    return true;
}

}  // namespace qv
