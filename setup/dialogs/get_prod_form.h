// GetProdForm: the progress of the scan of the CD for products, three counters that the
// scan writes as it goes. Shown (not modal) by the main window's load during the scan.
#pragma once

#include <string>

#include "setup/dialogs/form.h"
#include "setup/session/session.h"

namespace qv {

class GetProdForm : public ui::Form {
public:
    explicit GetProdForm(Session& session);

    // The counters, each repainted at once.
    void ShowDirectories(int count);
    void ShowModules(int count, const std::string& totalBytes);

protected:
    void OnLoad() override;
    // The scan cannot be stopped from here: the close box does nothing.
    void OnCloseBox() override {}

private:
    void SetCounter(int id, const std::string& text);

    Session& session_;
};

}  // namespace qv
