#include "setup/dialogs/frm_lang.h"

#include <utility>

#include "setup/dialogs/dialog_texts.h"
#include "setup/resources/control_ids.h"
#include "setup/session/languages.h"
#include "setup/session/user_port.h"

namespace qv {

namespace id = ids::frm_lang;
using ui::FontSize;
using ui::SansSerif;
using ui::Twips;

FrmLang::FrmLang(Session& session, std::function<void()> onChosen, std::function<void()> onExit)
    : Form(ids::kFrmLangClass, 5520, 3840),
      session_(session),
      onChosen_(std::move(onChosen)),
      onExit_(std::move(onExit)) {}

HICON FrmLang::ClassIcon() const {
    return LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(ids::kIconResource));
}

void FrmLang::OnLoad() {
    SetCaption(kAppTitle);
    HFONT bold = SansSerif(FontSize::Small, true);
    HFONT title = SansSerif(FontSize::Medium, true);
    HFONT regular = SansSerif(FontSize::Small, false);

    AddControl("Static", id::Label1, "Welcome to Marrowvale CD-ROM Installation", WS_VISIBLE | SS_CENTER, 0,
               Twips{360, 300, 4800, 300}, title);
    AddControl("Button", id::Frame1, "Please Select Your Preferred Language", WS_VISIBLE | BS_GROUPBOX, 0,
               Twips{360, 780, 4800, 2220}, bold);
    HWND list = AddControl("ListBox", id::lstLang, "",
                           WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE,
                           Twips{600, 1140, 4320, 1620}, regular);
    AddControl("Button", id::btnOk, "&OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0,
               Twips{1425, 3210, 1215, 420}, bold);
    AddControl("Button", id::btnCancel, "Exit", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0,
               Twips{2880, 3210, 1215, 420}, bold);
    SetDefaultButton(id::btnOk);

    for (const LanguageRec& language : session_.Languages)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(language.Name.c_str()));
    if (!session_.Languages.empty()) SendMessageA(list, LB_SETCURSEL, 0, 0);
}

void FrmLang::ApplySelectedLanguage() {
    HWND list = Item(id::lstLang);
    const int count = list ? static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0)) : 0;
    const int selected = list ? static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0)) : -1;
    const int index = LanguageToApply(selected, count);
    if (count > 0 && selected < 0) SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ApplyLanguage(session_, index);
    Hide();
    if (onChosen_) onChosen_();
}

bool FrmLang::OnCommand(int command, int code, HWND /*control*/) {
    switch (command) {
        case id::btnOk:
            ApplySelectedLanguage();
            return true;
        case id::lstLang:
            if (code == LBN_DBLCLK) ApplySelectedLanguage();
            return true;
        case id::btnCancel:  // Exit, Esc and the close box
            if (onExit_) onExit_();
            return true;
        default:
            return false;
    }
}

}  // namespace qv
