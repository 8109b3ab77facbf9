// frmWait: a "please wait" note, shown (not modal) while the program group and its
// shortcuts are made.
#pragma once

#include <string>

#include "setup/dialogs/form.h"
#include "setup/session/session.h"

namespace qv {

class FrmWait : public ui::Form {
public:
    explicit FrmWait(Session& session);

    // The text of lblMsg, repainted at once.
    void SetMessage(const std::string& text);

protected:
    void OnLoad() override;
    // Nothing to cancel: the close box does nothing.
    void OnCloseBox() override {}

private:
    Session& session_;
};

}  // namespace qv
