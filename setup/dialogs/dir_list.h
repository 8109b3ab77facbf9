// The directory list: the path of the current directory as an indented column of open
// folders from the drive's root down, followed by its subdirectories as closed folders
// one level further in. A double-click (or Enter on an entry other than the current
// directory) opens the entry: the list's Path becomes that directory and onChange runs.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "setup/dialogs/form.h"
#include "setup/session/run_error.h"

namespace qv::ui {

class DirList : public Control {
public:
    DirList() = default;
    ~DirList() override;
    DirList(const DirList&) = delete;
    DirList& operator=(const DirList&) = delete;

    // Creates the list as a child of parent; place in pixels.
    HWND Create(HWND parent, int id, const RECT& place, HFONT font);
    HWND hwnd() const { return list_; }
    // Why Enter does not open entries (the list could not see its keys); number 0 when it does.
    const RunError& KeysError() const { return keysError_; }

    // The current directory: "c:\" for a root, "c:\dir\sub" below it (no trailing "\").
    const std::string& Path() const { return path_; }
    // Opens a directory; a drive alone ("c:") opens that drive's current directory. On
    // failure the list stays as it was and error tells why. onChange runs when the path
    // changes.
    [[nodiscard]] bool SetPath(const std::string& path, RunError& error);

    std::function<void()> onChange;

    bool OnParentMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    struct Entry {
        std::string name;  // as shown
        std::string path;  // the directory it opens
        int level = 0;     // indentation
        bool open = false; // the current directory or one above it
    };

    void Fill(const std::string& path, const std::vector<std::string>& children);
    void Open(int index);
    void DrawItem(const DRAWITEMSTRUCT& item);
    static LRESULT CALLBACK KeyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR self);

    HWND list_ = nullptr;
    int id_ = 0;
    std::string path_;
    std::vector<Entry> entries_;
    int currentEntry_ = -1;
    HICON openIcon_ = nullptr;
    HICON closedIcon_ = nullptr;
    bool iconsFetched_ = false;
    RunError keysError_;
};

}  // namespace qv::ui
