#include "setup/dialogs/frm_wait.h"

#include "setup/resources/control_ids.h"
#include "setup/session/res_strings.h"

namespace qv {

namespace id = ids::frm_wait;

FrmWait::FrmWait(Session& session) : Form(ids::kFrmWaitClass, 4725, 1710), session_(session) {}

void FrmWait::OnLoad() {
    SetCaption(Res(session_, Str::PleaseWait));
    AddControl("Static", id::lblMsg, "Please Wait", WS_VISIBLE | SS_CENTER | SS_NOPREFIX, 0,
               ui::Twips{300, 600, 3885, 780}, ui::SansSerif(ui::FontSize::Small, true));
}

void FrmWait::SetMessage(const std::string& text) {
    if (!Load()) return;
    SetItemText(id::lblMsg, text);
    UpdateWindow(Item(id::lblMsg));
}

}  // namespace qv
