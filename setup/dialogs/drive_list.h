// The drive list: a drop-down list of the machine's drives, each shown as its lower-case
// letter and colon, followed by the volume label of a fixed drive or the network name of
// a mapped one in brackets ("c: [SYSTEM]", "n: [\\server\share]"). Its Drive is that
// text. Changing the drive, by the user or by the program, calls onChange; the owner's
// handling decides what a drive that cannot be read does.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "setup/dialogs/form.h"

namespace qv::ui {

class DriveList : public Control {
public:
    DriveList() = default;
    ~DriveList() override;
    DriveList(const DriveList&) = delete;
    DriveList& operator=(const DriveList&) = delete;

    // Creates the list as a child of parent; place in pixels.
    HWND Create(HWND parent, int id, const RECT& place, HFONT font);
    HWND hwnd() const { return combo_; }

    // The drive as the list shows it; empty before the list has a drive.
    const std::string& Drive() const { return drive_; }
    // Shows the drive whose letter is the first character of `drive` (either case).
    // False, with nothing changed, when the machine has no such drive. onChange runs when
    // the drive shown changes and notify is true.
    bool SetDrive(const std::string& drive, bool notify = true);
    // Reads the machine's drives again, keeping the drive shown.
    void Refresh();

    std::function<void()> onChange;
    std::function<void()> onFocus;

    bool OnParentMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // The text of one drive as the list shows it; letter is 'a' to 'z'.
    static std::string DriveText(char letter);

private:
    void Fill();
    int IndexOfLetter(char letter) const;
    void Select(int index, bool notify);
    void DrawItem(const DRAWITEMSTRUCT& item);
    void ClearIcons();

    HWND combo_ = nullptr;
    int id_ = 0;
    std::string drive_;
    std::vector<std::string> items_;
    HICON icons_[26] = {};  // the small shell icon of each drive shown, by letter
    bool iconFetched_[26] = {};
};

}  // namespace qv::ui
