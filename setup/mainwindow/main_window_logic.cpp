#include "setup/mainwindow/main_window_logic.h"

#include <algorithm>
#include <cctype>
#include <new>
#include <vector>

#include "setup/session/catalogue.h"
#include "setup/session/disk_utils.h"
#include "setup/session/res_strings.h"
#include "setup/session/run_error.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

// The first character of a text as a text of its own (empty for an empty text).
std::string FirstChar(const std::string& text) { return text.substr(0, 1); }

// The drive letter and colon of the drive list's drive ("c: [DISK1]" gives "c:").
std::string DriveAndColon(const std::string& drive) { return drive.substr(0, 2); }

int ProductCount(const Session& session) { return std::clamp<int>(session.ProductCount, 0, kMaxProducts); }

}  // namespace

InstallFromGesture GestureFor(int button, int shift) {
    constexpr int kRightButton = 2, kCtrl = 2, kAlt = 4;
    if (button != kRightButton) return InstallFromGesture::None;
    if (shift == kAlt) return InstallFromGesture::SelectSourceDir;
    if (shift == kCtrl) return InstallFromGesture::DisableCrcCheck;
    return InstallFromGesture::None;
}

MainWindowLogic::MainWindowLogic(Session& session, UserPort& port, MainView& view)
    : session_(session), port_(port), view_(view) {}

void MainWindowLogic::ShowMessage(const std::string& text, const std::string& title, Icon icon) {
    port_.ShowMessage({text, title, Buttons::Ok, icon, 1});
}

void MainWindowLogic::ProposeDefaultInstallDir() {
    view_.SetChooserDrive('n');
    const std::string drive = view_.ChooserDrive();
    if (drive.empty() || std::tolower(static_cast<unsigned char>(drive[0])) != 'n') view_.SetChooserDrive('c');
    SetInstallTo(DriveAndColon(view_.ChooserDrive()) + "\\qv");
}

void MainWindowLogic::ShowInstallTypeMenus() {
    // The default type's entry is visible from the load on, whatever the CD holds.
    std::vector<int> entries = {kDefaultInstallType};
    for (int i = 1; i <= ProductCount(session_); ++i)
        entries.push_back(RevealedInstallType(session_.Products[static_cast<size_t>(i)].ModuleType));
    for (const int entry : entries) {
        if (entry == 0 || visible_[static_cast<size_t>(entry)]) continue;
        visible_[static_cast<size_t>(entry)] = true;
        view_.ShowInstallTypeEntry(entry);
    }
}

bool MainWindowLogic::IsInstallTypeVisible(int index) const {
    return index >= 0 && index < kInstallTypeCount && visible_[static_cast<size_t>(index)];
}

void MainWindowLogic::InstallTypeChosen(int index) {
    if (IsInstallTypeVisible(index)) FillProductList(index);
}

void MainWindowLogic::FillProductList(int type) {
    if (lastInstallType_ == 0) lastInstallType_ = kDefaultInstallType;
    const int count = ProductCount(session_);

    view_.ClearProductList();
    for (int i = 1; i <= count; ++i) session_.ListedProducts[static_cast<size_t>(i)].Chosen = 0;

    view_.SetInstallSpec("");
    const InstallType* installType = FindInstallType(type);
    const std::string spec = installType ? installType->name : "";
    view_.SetInstallSpec(spec);

    view_.CheckInstallTypeEntry(lastInstallType_, false);
    view_.CheckInstallTypeEntry(type, true);
    lastInstallType_ = type;

    size_t n = 1;
    for (int i = 1; i <= count; ++i) {
        const ProductRec& product = session_.Products[static_cast<size_t>(i)];
        if (type != kAllProductsType && product.ModuleType != spec) {
            session_.ListedProducts[n].Chosen = 0;
            continue;
        }
        // The list and ListedProducts must stay entry for entry alike, or Install would take
        // another product than the one shown: an entry the list cannot take ends the listing.
        if (!view_.AddProductListItem(ProductListItemText(product))) {
            ShowMessage(Res(session_, Str::Error) + " : " + std::to_string(err::OutOfMemory().number) + "\r" +
                            err::OutOfMemory().description + "\r" + product.ProductName,
                        kAppTitle, Icon::Exclamation);
            break;
        }
        session_.ListedProducts[n] = product;
        session_.ListedProducts[n].Chosen = -1;
        view_.SetProductSelected(static_cast<int>(n) - 1, product.Selected != 0);
        if (!product.DefaultDir.empty()) {
            if (product.DefaultDir.size() >= 2 && product.DefaultDir[1] == ':') {
                view_.SetChooserDrive(product.DefaultDir[0]);
                SetInstallTo(product.DefaultDir);
            } else {
                SetInstallTo(DriveAndColon(view_.ChooserDrive()) + product.DefaultDir);
            }
        }
        ++n;
    }
    // Entries past the listing keep nothing of an earlier, longer listing: only listed
    // products are installed and get their database codes.
    for (; n <= static_cast<size_t>(kMaxProducts); ++n) session_.ListedProducts[n] = ProductRec{};

    if (view_.ProductEntryCount() > 0) view_.SetProductCursor(0);
    ProductBoxClick();
}

void MainWindowLogic::ProductBoxClick() {
    CollectSelection();
    SumProductSize();
    ShowSpaceRemaining();
}

void MainWindowLogic::CollectSelection() {
    const int entries = view_.ProductEntryCount();
    for (int i = 1; i <= ProductCount(session_) && i <= entries; ++i)
        session_.ListedProducts[static_cast<size_t>(i)].Chosen = view_.IsProductSelected(i - 1) ? -1 : 0;
}

void MainWindowLogic::SumProductSize() {
    // Summed in 64 bits: a selection past 2,147,483,647 bytes is shown whole.
    int64_t total = 0;
    for (int i = 1; i <= ProductCount(session_); ++i) {
        const ProductRec& p = session_.ListedProducts[static_cast<size_t>(i)];
        if (p.Chosen == -1) total += p.Size;
    }
    productTotal_ = total;
    view_.ShowProductSize(FormatThousands(static_cast<double>(total)));
}

void MainWindowLogic::ShowFreeSpace() {
    const std::string& dir = session_.InstallDir;
    freeBytes_ = -1;
    if (!dir.empty() && std::isalpha(static_cast<unsigned char>(dir[0])))
        freeBytes_ = view_.FreeSpace(std::string(1, dir[0]) + ":\\");
    view_.ShowDiskSize(FormatThousands(freeBytes_));
}

void MainWindowLogic::ShowSpaceRemaining() {
    session_.ProductBytes = static_cast<double>(productTotal_);
    const double remaining = RoundHalfEven(freeBytes_ - session_.ProductBytes);
    const bool exhausted = remaining <= 0;
    view_.ShowSpaceRemaining(FormatThousands(remaining), exhausted);
    view_.EnableInstall(!exhausted && session_.ProductBytes > 0);
}

void MainWindowLogic::SetInstallTo(const std::string& text) {
    view_.SetInstallToText(text);
    InstallToChanged(text);
}

void MainWindowLogic::InstallToChanged(const std::string& text) {
    // A new drive refreshes the figures at once; further keystrokes on the same drive do not.
    if (FirstChar(text) != FirstChar(session_.InstallDir)) {
        session_.InstallDir = text;
        ShowFreeSpace();
        ShowSpaceRemaining();
    }
    std::string dir = text;
    if (!dir.empty() && dir.back() == '\\') dir.pop_back();
    session_.InstallDir = dir;
}

void MainWindowLogic::InstallToLostFocus(const std::string& text) {
    session_.InstallDir = text;  // a trailing "\" stays
    ShowFreeSpace();
}

void MainWindowLogic::BrowseInstallTo() {
    view_.SetBusy(true);
    const char drive = session_.InstallDir.empty() ? '\0' : session_.InstallDir[0];
    std::string chosen;
    const bool ok = view_.ChooseDirectory(Res(session_, Str::SelectDirectory), session_.InstallDir, drive, chosen);
    view_.SetBusy(false);
    if (!ok) return;
    SetInstallTo(chosen);
    ShowFreeSpace();
    ShowSpaceRemaining();
}

void MainWindowLogic::SelectSourceDir() {
    // The chooser opens at the install-from directory, on its drive.
    const std::string& source = session_.SourceDir;
    const char drive = source.size() >= 2 && source[1] == ':' ? source[0] : '\0';
    std::string chosen;
    if (!view_.ChooseDirectory("Select Install From Directory", source, drive, chosen)) return;
    session_.SourceDir = chosen;
    view_.ReloadMainWindow();
}

void MainWindowLogic::InstallFromMouseUp(int button, int shift) {
    switch (GestureFor(button, shift)) {
        case InstallFromGesture::SelectSourceDir:
            SelectSourceDir();
            break;
        case InstallFromGesture::DisableCrcCheck:
            session_.NoCrcCheck = true;
            ShowMessage("Disabled File CRC checking", kAppTitle, Icon::None);
            break;
        case InstallFromGesture::None:
            break;
    }
}

void MainWindowLogic::InstallClick() {
    RunError error;
    try {
        RunInstallFlow();
        return;
    } catch (const std::bad_alloc&) {
        error = {7, "Out of memory"};
    } catch (...) {
        error = {51, "Internal error"};
    }
    view_.SetBusy(false);
    ShowMessage(Res(session_, Str::InstallError) + " : " + std::to_string(error.number) + "\r" + error.description,
                kAppTitle, Icon::Exclamation);
    session_.InstallAborted = session_.InstallFailed = true;
}

void MainWindowLogic::RunInstallFlow() {
    // The directory as every check, the log and the record take it, and as it is shown.
    const std::string canonical = CanonicalDir(session_.InstallDir);
    if (canonical != session_.InstallDir) {
        session_.InstallDir = canonical;
        view_.SetInstallToText(canonical);
    }
    if (productTotal_ == 0) {
        ShowMessage(Res(session_, Str::NoProductSelected), kAppTitle, Icon::Exclamation);
        return;
    }
    const std::string& dir = session_.InstallDir;
    if (dir.size() <= 3) {
        ShowMessage(Res(session_, Str::RootDirTitle) + "\n" + Res(session_, Str::RootDirHint), kAppTitle,
                    Icon::Exclamation);
        view_.FocusInstallToAtEnd();
        return;
    }

    view_.SetBusy(true);
    view_.DoEvents();
    if (!view_.TestWriteAccess(dir)) {
        view_.SetBusy(false);
        ShowMessage(Res(session_, Str::NoSufficientAccess) + " " + dir, Res(session_, Str::DirectoryAccessError),
                    Icon::Exclamation);
        return;
    }

    session_.ConfirmResult = 0;
    const std::string installLine = Res(session_, Str::InstallSoftwareUnder) + " " + dir;
    const std::string configureLine = configure_ ? Res(session_, Str::ConfigureSystem) : std::string();
    view_.SetBusy(false);
    view_.ShowConfirmation(installLine, configureLine);
    if (session_.ConfirmResult != -1) return;

    session_.InstallStartTime = view_.Now();
    view_.ShowInstallStatus();
    session_.BytesDone = 0;
}

void MainWindowLogic::VerifyClick() {
    CollectSelection();
    SumProductSize();
    if (productTotal_ == 0) {
        ShowMessage(Res(session_, Str::NoProductSelected), kAppTitle, Icon::Exclamation);
        return;
    }
    view_.ShowVerify();
    session_.BytesDone = 0;
}

}  // namespace qv
