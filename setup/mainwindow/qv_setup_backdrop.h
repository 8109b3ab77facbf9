// The backdrop of the main window: a deep blue that darkens towards the bottom in bands,
// the program's title in the top band, and the raised panel that holds the controls. Its
// brushes and font are made once and freed with it.
#pragma once

#include <windows.h>

#include <array>
#include <string>

namespace qv {

class MainBackdrop {
public:
    MainBackdrop() = default;
    ~MainBackdrop();
    MainBackdrop(const MainBackdrop&) = delete;
    MainBackdrop& operator=(const MainBackdrop&) = delete;

    // Paints the whole client area; panel is where the controls sit.
    void Paint(HDC dc, const RECT& client, const RECT& panel, const std::string& title);

private:
    static constexpr int kBands = 64;

    void MakeTools();

    bool made_ = false;
    std::array<HBRUSH, kBands> bands_{};
    HFONT titleFont_ = nullptr;
};

}  // namespace qv
