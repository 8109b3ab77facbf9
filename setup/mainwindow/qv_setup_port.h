// The port of the main window: message boxes over it, and the scan counters into the scan
// dialog while the CD is scanned. The counters are shown as they change, at most every
// kScanDisplayInterval milliseconds, and once more when the scan is done.
#pragma once

#include <string>

#include "setup/dialogs/get_prod_form.h"
#include "setup/dialogs/user_port_win.h"
#include "setup/session/throttle.h"

namespace qv {

class MainWindowPort final : public WinUserPort {
public:
    explicit MainWindowPort(GetProdForm& scan) : scan_(scan) {}

    Answer ShowMessage(const Message& message) override;
    void ShowScanDirectories(int count) override;
    void ShowScanModules(int count, const std::string& totalBytes) override;

    // Shows the counters as they stand.
    void ShowScanCounters();

private:
    static constexpr uint32_t kScanDisplayInterval = 50;

    void Changed();

    GetProdForm& scan_;
    Throttle display_{kScanDisplayInterval};
    int directories_ = -1;
    int modules_ = 0;
    std::string totalBytes_;
    bool modulesSeen_ = false;
    bool pending_ = false;
};

}  // namespace qv
