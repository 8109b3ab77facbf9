// frmLang, the first window: the languages of the CD's language list, one of which the
// user applies with OK, Enter or a double-click. Its texts are fixed, as no language has
// been chosen yet. Exit ends the program.
#pragma once

#include <functional>

#include "setup/dialogs/form.h"
#include "setup/session/session.h"

namespace qv {

class FrmLang : public ui::Form {
public:
    // onChosen runs once the language is applied and the window hidden; onExit when the
    // user leaves with Exit.
    FrmLang(Session& session, std::function<void()> onChosen, std::function<void()> onExit);

    // Applies the selected language (the first when none is selected, English when the
    // list is empty) and moves on.
    void ApplySelectedLanguage();

protected:
    void OnLoad() override;
    bool OnCommand(int id, int code, HWND control) override;
    HICON ClassIcon() const override;

private:
    Session& session_;
    std::function<void()> onChosen_;
    std::function<void()> onExit_;
};

}  // namespace qv
