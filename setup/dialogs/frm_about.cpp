#include "setup/dialogs/frm_about.h"

#include <vector>

#include "setup/dialogs/dialog_texts.h"
#include "setup/resources/control_ids.h"
#include "setup/session/disk_utils.h"
#include "setup/session/lazy_library_win.h"
#include "setup/session/res_strings.h"
#include "setup/session/user_port.h"

namespace qv {

namespace id = ids::frm_about;
using ui::FontSize;
using ui::SansSerif;
using ui::Twips;

namespace {

// The command of the F1 key.
constexpr int kHelpCommand = 0x7F01;

// The version library of the system, loaded when the about box first needs it rather than
// when the program starts, so that a copy of it beside the program is never taken.
struct VersionLibrary {
    using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);

    bool Bind() {
        return library.Bind(size, "GetFileVersionInfoSizeA") && library.Bind(info, "GetFileVersionInfoA") &&
               library.Bind(query, "VerQueryValueA");
    }

    LazyLibrary library{"version.dll", LazyLibrary::Folder::System};
    SizeFn size = nullptr;
    InfoFn info = nullptr;
    QueryFn query = nullptr;
};

}  // namespace

std::string ProgramCopyright() {
    static VersionLibrary version;
    if (!version.Bind()) return {};
    char path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return {};
    DWORD handle = 0;
    const DWORD size = version.size(path, &handle);
    if (size == 0) return {};
    std::vector<char> data(size);
    if (!version.info(path, 0, size, data.data())) return {};

    // The first translation the version information names, else US English / Unicode.
    char block[64] = "\\StringFileInfo\\040904b0\\LegalCopyright";
    struct Translation {
        WORD language, codePage;
    };
    Translation* translation = nullptr;
    UINT translationSize = 0;
    if (version.query(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                      &translationSize) &&
        translationSize >= sizeof(Translation)) {
        wsprintfA(block, "\\StringFileInfo\\%04x%04x\\LegalCopyright", translation->language, translation->codePage);
    }
    char* value = nullptr;
    UINT valueSize = 0;
    if (!version.query(data.data(), block, reinterpret_cast<void**>(&value), &valueSize) || !value) return {};
    return value;
}

void ShowHelpFile(HWND owner, const Session& session, unsigned context) {
    const std::string file = HelpFilePath(session);
    WinHelpA(owner, file.c_str(), context ? HELP_CONTEXT : HELP_CONTENTS, context);
}

FrmAbout::FrmAbout(Session& session) : Form(ids::kFrmAboutClass, 7170, 1815), session_(session) {}

FrmAbout::~FrmAbout() {
    Unload();  // the picture control lets the bitmap go first
    if (logo_) DeleteObject(logo_);
}

void FrmAbout::OnLoad() {
    SetCaption(std::string("About ") + kAppTitle);
    HFONT font = SansSerif(FontSize::Small, false);

    const RECT picture = ui::ToPixels(Twips{180, 240, 825, 630});
    HWND image = AddControlPx("Static", id::Image1, "", WS_VISIBLE | SS_BITMAP, 0, picture, nullptr);
    if (!logo_)
        logo_ = static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(ids::kAboutBitmapResource),
                                                IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
    if (image && logo_) SendMessageA(image, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo_));

    AddControl("Static", id::lblAbout, AboutText(kAppTitle, GetReleaseParts(), ProgramCopyright()),
               WS_VISIBLE | SS_CENTER | SS_NOPREFIX, 0, Twips{1260, 240, 5670, 780}, font);
    AddControl("Button", id::btnOk, Res(session_, Str::Ok), WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0,
               Twips{3495, 1230, 990, 390}, font);
    SetDefaultButton(id::btnOk);

    ACCEL keys[] = {{FVIRTKEY, VK_F1, kHelpCommand}};
    SetAccelerators(CreateAcceleratorTableA(keys, 1));
}

bool FrmAbout::OnCommand(int command, int /*code*/, HWND /*control*/) {
    switch (command) {
        case id::btnOk:
        case IDCANCEL:  // Esc and the close box
            Unload();
            return true;
        case kHelpCommand:
            OnHelp();
            return true;
        default:
            return false;
    }
}

void FrmAbout::OnHelp() { ShowHelpFile(hwnd(), session_, kAboutHelpContext); }

}  // namespace qv
