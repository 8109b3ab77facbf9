#include "setup/dialogs/install_status.h"

#include <commctrl.h>

#include <utility>

#include "setup/engine/install_driver.h"
#include "setup/engine/progress.h"
#include "setup/resources/control_ids.h"
#include "setup/session/res_strings.h"

namespace qv {

namespace id = ids::install_status;
using ui::FontSize;
using ui::SansSerif;
using ui::Twips;

namespace {
// Posted on activation: the install starts once the window is on the screen.
constexpr UINT kStartInstall = WM_APP + 1;
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
        const DWORD now = GetTickCount();
        if (shown_ && now - lastShown_ < kDisplayInterval) return;
        shown_ = true;
        lastShown_ = now;
        ShowPending();
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

    static constexpr DWORD kDisplayInterval = 250;

    InstallStatus& window_;
    bool shown_ = false;
    DWORD lastShown_ = 0;
    bool dirty_ = false;
    Pending<std::string> fileName_;
    Pending<Percent> modulePercent_;
    Pending<Percent> totalPercent_;
    Pending<std::string> timeSpent_;
    Pending<std::string> timeRemaining_;
};

InstallStatus::InstallStatus(Session& session)
    : Form(ids::kInstallStatusClass, 6150, 4470), session_(session), port_(std::make_unique<StatusPort>(*this)) {}

InstallStatus::~InstallStatus() = default;

void InstallStatus::SetCompletion(StatusCompletion completion) { completion_ = std::move(completion); }

UserPort& InstallStatus::Port() { return *port_; }

void InstallStatus::OnLoad() {
    started_ = false;
    HFONT bold = SansSerif(FontSize::Small, true);
    HFONT regular = SansSerif(FontSize::Small, false);
    const DWORD label = WS_VISIBLE | SS_NOPREFIX;

    // Created in tab order; the frame comes after the two labels it holds, so that it is
    // drawn beneath them.
    AddAutoSizeLabel(id::lblAllModules, "", 360, 2535, bold);
    AddAutoSizeLabel(id::lblThisModule, "", 360, 1455, bold);
    AddControl("Static", id::ModulePercentLabel, "0%", label | SS_CENTER, 0, Twips{2775, 1470, 615, 255}, bold);
    AddControl("Static", id::TotalPercentLabel, "0%", label | SS_CENTER, 0, Twips{2775, 2550, 615, 255}, bold);
    AddAutoSizeLabel(id::lblTimeSpent, "", 360, 3585, bold);
    AddAutoSizeLabel(id::lblTimeRemain, "", 360, 4035, bold);
    AddControl("Static", id::TimeSpent, "00:00:00", label | SS_RIGHT, 0, Twips{2715, 3585, 855, 255}, regular);
    AddControl("Static", id::TimeRemaining, "00:00:00", label | SS_RIGHT, 0, Twips{2715, 4035, 855, 255}, regular);
    AddControl("Button", id::btnCancel, "", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, Twips{4575, 3675, 1215, 495},
               bold);
    AddControl("Static", id::FileName, "", label | SS_LEFT | SS_PATHELLIPSIS, 0, Twips{360 + 165, 120 + 675, 5040, 255},
               regular);
    AddControl("Static", id::ModuleName, "", label | SS_LEFT | SS_ENDELLIPSIS, 0, Twips{360 + 165, 120 + 285, 5040, 255},
               regular);
    AddControl("Button", id::fraInstalling, "", WS_VISIBLE | BS_GROUPBOX, 0, Twips{360, 120, 5370, 1110}, bold);
    for (int bar : {id::ModulePercentComplete, id::PercentComplete}) {
        const int top = bar == id::ModulePercentComplete ? 1800 : 2880;
        HWND progress = AddControl(PROGRESS_CLASSA, bar, "", WS_VISIBLE, 0, Twips{360, top, 5415, 375}, nullptr);
        SendMessageA(progress, PBM_SETRANGE32, 0, 100);
    }

    // Form_Load: the captions in their order, then the empty progress display.
    SetCaption(Res(session_, Str::InstallationStatus));
    SetItemText(id::fraInstalling, Res(session_, Str::Installing));
    const struct {
        int control;
        Str text;
        int left, top;
    } sized[] = {
        {id::lblThisModule, Str::ThisModule, 360, 1455},
        {id::lblAllModules, Str::AllModules, 360, 2535},
        {id::lblTimeSpent, Str::TimeSpent, 360, 3585},
        {id::lblTimeRemain, Str::TimeRemaining, 360, 4035},
    };
    for (const auto& s : sized) {
        const std::string text = Res(session_, s.text);
        const SIZE size = ui::MeasureText(hwnd(), bold, text);
        SetItemText(s.control, text);
        SetWindowPos(Item(s.control), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SetItemText(id::btnCancel, Res(session_, Str::Cancel));
    BeginInstallStatus(session_, *port_);
    port_->ShowPending();
}

void InstallStatus::Run(HWND owner) {
    if (!Load()) return;
    owner_ = owner;
    PostMessageA(hwnd(), kStartInstall, 0, 0);
    ShowModal(owner);
}

void InstallStatus::OnActivate() {
    if (!started_) PostMessageA(hwnd(), kStartInstall, 0, 0);
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
    InstallCompletion completion;
    if (completion_)
        completion = [this, &outcome](const std::string& destRoot, bool supplyChain) {
            outcome = completion_(*port_, destRoot, supplyChain);
        };
    ++installsRun_;
    RunInstall(session_, *port_, completion);
    handedOver_ = outcome == CompletionOutcome::HandedOver;
    if (handedOver_) {
        Unload();
        PostQuitMessage(0);
        return;
    }
    port_->ShowPending();
    if (!session_.InstallAborted) ui::SetBusy(false);
    ShowInstallResult(session_, *port_);
    Unload();
}

void InstallStatus::HideForUnload() {
    if (hwnd()) ShowWindow(hwnd(), SW_HIDE);
}

bool InstallStatus::OnCommand(int command, int /*code*/, HWND /*control*/) {
    if (command != id::btnCancel) return false;  // also Esc and the close box
    if (!started_ || !IsVisible()) return true;
    if (ConfirmCancel(session_, *port_)) {
        ui::SetBusy(false);
        HideForUnload();
    }
    return true;
}

}  // namespace qv
