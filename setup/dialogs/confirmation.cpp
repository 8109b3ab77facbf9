#include "setup/dialogs/confirmation.h"

#include "setup/resources/control_ids.h"
#include "setup/session/res_strings.h"

namespace qv {

namespace id = ids::confirmation;
using ui::FontSize;
using ui::SansSerif;
using ui::Twips;

Confirmation::Confirmation(Session& session) : Form(ids::kConfirmationClass, 7365, 4020), session_(session) {}

void Confirmation::OnLoad() {
    HFONT labels = SansSerif(FontSize::Medium, true);
    HFONT buttons = SansSerif(FontSize::Small, false);
    SetCaption(Res(session_, Str::ConfirmSelections));
    // Created in tab order.
    AddControl("Static", id::lblConfirm, Res(session_, Str::PleaseConfirm), WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0,
               Twips{720, 480, 5655, 495}, labels);
    AddControl("Button", id::btnProceed, Res(session_, Str::Proceed), WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0,
               Twips{840, 3240, 1695, 495}, buttons);
    AddControl("Button", id::btnCancel, Res(session_, Str::Cancel), WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0,
               Twips{4440, 3240, 1575, 495}, buttons);
    AddControl("Static", id::InstallProd, "", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, Twips{720, 1260, 5655, 495},
               labels);
    AddControl("Static", id::lblConfigure, "", SS_LEFT | SS_NOPREFIX, 0, Twips{720, 1800, 5655, 495}, labels);
    AddControl("Static", id::lblAutoexec, Res(session_, Str::ModifyAutoexec), SS_LEFT | SS_NOPREFIX, 0,
               Twips{705, 2370, 5655, 495}, labels);
    SetDefaultButton(id::btnProceed);
}

void Confirmation::Fill(const std::string& installLine, const std::string& configureLine) {
    if (!Load()) return;
    SetItemText(id::InstallProd, installLine);
    ShowWindow(Item(id::InstallProd), SW_SHOW);
    SetItemText(id::lblConfigure, configureLine);
    ShowWindow(Item(id::lblConfigure), configureLine.empty() ? SW_HIDE : SW_SHOW);
}

bool Confirmation::OnCommand(int command, int /*code*/, HWND /*control*/) {
    switch (command) {
        case id::btnProceed:
            session_.ConfirmResult = -1;
            Unload();
            return true;
        case id::btnCancel:  // also Esc and the close box: ConfirmResult stays as the caller set it
            Hide();
            return true;
        default:
            return false;
    }
}

}  // namespace qv
