#include "setup/mainwindow/qv_setup_backdrop.h"

#include "setup/dialogs/form.h"
#include "setup/session/wide_text_win.h"

namespace qv {

MainBackdrop::~MainBackdrop() {
    for (HBRUSH brush : bands_)
        if (brush) DeleteObject(brush);
    if (titleFont_) DeleteObject(titleFont_);
}

void MainBackdrop::MakeTools() {
    made_ = true;
    for (int i = 0; i < kBands; ++i) bands_[static_cast<size_t>(i)] = CreateSolidBrush(RGB(0, 0, 176 - i * 150 / kBands));
    titleFont_ = CreateFontA(-ui::TwipsToPixelsY(560), 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, ANSI_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH | FF_ROMAN,
                             "Times New Roman");
}

void MainBackdrop::Paint(HDC dc, const RECT& client, const RECT& panel, const std::string& title) {
    if (!made_) MakeTools();
    const int height = client.bottom - client.top;
    for (int i = 0; i < kBands; ++i) {
        const RECT band{client.left, client.top + height * i / kBands, client.right,
                        client.top + height * (i + 1) / kBands};
        // A brush that could not be made leaves its band to the class background.
        if (HBRUSH brush = bands_[static_cast<size_t>(i)]) FillRect(dc, &band, brush);
    }

    // The program's title in the top band, white with a dark shadow.
    HGDIOBJ old = titleFont_ ? SelectObject(dc, titleFont_) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    const int x = ui::TwipsToPixelsX(480), y = ui::TwipsToPixelsY(300);
    SetTextColor(dc, RGB(0, 0, 0));
    TextOutProgram(dc, x + 4, y + 4, title);
    SetTextColor(dc, RGB(255, 255, 255));
    TextOutProgram(dc, x, y, title);
    if (old) SelectObject(dc, old);

    // The panel of the controls, raised from the backdrop.
    RECT raised = panel;
    FillRect(dc, &raised, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &raised, EDGE_RAISED, BF_RECT);
}

}  // namespace qv
