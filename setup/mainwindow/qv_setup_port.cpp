#include "setup/mainwindow/qv_setup_port.h"

namespace qv {

Answer MainWindowPort::ShowMessage(const Message& message) {
    if (pending_) ShowScanCounters();  // a box over the scan dialog finds it up to date
    return WinUserPort::ShowMessage(message);
}

void MainWindowPort::ShowScanDirectories(int count) {
    directories_ = count;
    Changed();
}

void MainWindowPort::ShowScanModules(int count, const std::string& totalBytes) {
    modules_ = count;
    totalBytes_ = totalBytes;
    modulesSeen_ = true;
    Changed();
}

void MainWindowPort::ShowScanCounters() {
    pending_ = false;
    display_.Restart();
    if (!scan_.IsLoaded()) return;
    if (directories_ >= 0) scan_.ShowDirectories(directories_);
    if (modulesSeen_) scan_.ShowModules(modules_, totalBytes_);
}

void MainWindowPort::Changed() {
    pending_ = true;
    if (display_.Due()) ShowScanCounters();
}

}  // namespace qv
