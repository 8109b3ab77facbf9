#include "setup/dialogs/get_prod_form.h"

#include "setup/resources/control_ids.h"
#include "setup/session/res_strings.h"

namespace qv {

namespace id = ids::get_prod_form;
using ui::FontSize;
using ui::SansSerif;
using ui::Twips;

GetProdForm::GetProdForm(Session& session) : Form(ids::kGetProdFormClass, 5565, 2700), session_(session) {}

void GetProdForm::OnLoad() {
    HFONT font = SansSerif(FontSize::Small, true);
    HFONT figures = SansSerif(FontSize::Small, false);
    SetCaption(Res(session_, Str::ScanningCd));
    const struct {
        int label, box;
        Str text;
        int top;
    } rows[] = {
        {id::Label1, id::txtDirectoriesFound, Str::DirectoriesFound, 720},
        {id::Label2, id::txtModulesFound, Str::ModulesFound, 1200},
        {id::Label3, id::txtTotalBytes, Str::TotalBytes, 1680},
    };
    for (const auto& row : rows) {
        AddControl("Static", row.label, Res(session_, row.text), WS_VISIBLE | SS_LEFT, 0,
                   Twips{960, row.top, 1935, 255}, font);
        AddControl("Edit", row.box, "", WS_VISIBLE | ES_RIGHT | ES_READONLY, WS_EX_CLIENTEDGE,
                   Twips{3000, row.top - 120, 1455, 405}, figures);
    }
}

void GetProdForm::SetCounter(int control, const std::string& text) {
    HWND box = Item(control);
    if (!box) return;
    SetWindowTextA(box, text.c_str());
    UpdateWindow(box);
}

void GetProdForm::ShowDirectories(int count) { SetCounter(id::txtDirectoriesFound, std::to_string(count)); }

void GetProdForm::ShowModules(int count, const std::string& totalBytes) {
    SetCounter(id::txtModulesFound, std::to_string(count));
    SetCounter(id::txtTotalBytes, totalBytes);
}

}  // namespace qv
