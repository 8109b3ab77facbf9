// Confirmation: asks the user to confirm the install before it starts. The caller sets
// ConfirmResult to 0, fills the lines to confirm and shows it modally; Proceed sets
// ConfirmResult to -1 and unloads it, Cancel (Esc, the close box) hides it.
#pragma once

#include <string>

#include "setup/dialogs/form.h"
#include "setup/session/session.h"

namespace qv {

class Confirmation : public ui::Form {
public:
    explicit Confirmation(Session& session);

    // The install line ("Install Software under" and the directory) and the configure
    // line, shown only when not empty: a line shown for an earlier install does not stay.
    void Fill(const std::string& installLine, const std::string& configureLine);

protected:
    void OnLoad() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    Session& session_;
};

}  // namespace qv
