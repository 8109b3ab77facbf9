// frmAbout: the about box, with the program's title, release and build, its copyright
// notice from the version information and the logo. Shown modally; OK unloads it, and F1
// opens its topic of the help file.
#pragma once

#include <string>

#include "setup/dialogs/form.h"
#include "setup/session/session.h"

namespace qv {

// The copyright notice of the program's version information; empty when there is none.
std::string ProgramCopyright();

// Opens the CD's help file at its contents page (context 0) or at a topic.
void ShowHelpFile(HWND owner, const Session& session, unsigned context = 0);

class FrmAbout : public ui::Form {
public:
    explicit FrmAbout(Session& session);
    ~FrmAbout() override;

protected:
    void OnLoad() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnHelp() override;

private:
    Session& session_;
    HBITMAP logo_ = nullptr;
};

}  // namespace qv
