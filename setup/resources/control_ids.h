// The window classes of the installer's windows and the ids of their controls and menu
// entries. Plain numbers, free of windows.h, so that the end-to-end tests can find the
// same controls as the windows create.
#pragma once

namespace qv::ids {

// The two ids the dialog manager knows: Enter presses the default button, Esc IDCANCEL.
inline constexpr int kIdOk = 1;      // IDOK
inline constexpr int kIdCancel = 2;  // IDCANCEL

// Window classes, named after their windows.
inline constexpr const char* kFrmLangClass = "frmLang";
inline constexpr const char* kQVSetupClass = "QVSetup";
inline constexpr const char* kGetProdFormClass = "GetProdForm";
inline constexpr const char* kDirSeekClass = "DirSeek";
inline constexpr const char* kConfirmationClass = "Confirmation";
inline constexpr const char* kInstallStatusClass = "InstallStatus";
inline constexpr const char* kFrmGroupClass = "frmGroup";
inline constexpr const char* kFrmWaitClass = "frmWait";
inline constexpr const char* kFrmAboutClass = "frmAbout";
inline constexpr const char* kFrmVerifyClass = "frmVerify";

namespace frm_lang {
inline constexpr int btnOk = kIdOk;
inline constexpr int btnCancel = kIdCancel;
inline constexpr int lstLang = 100;
inline constexpr int Label1 = 101;
inline constexpr int Frame1 = 102;
}  // namespace frm_lang

namespace qv_setup {
inline constexpr int btnInstall = kIdOk;
inline constexpr int btnExit = kIdCancel;
inline constexpr int Image1 = 200;
inline constexpr int Label3 = 201;
inline constexpr int lblInstallSpec = 202;
inline constexpr int ProductBox = 203;
inline constexpr int lblFreeSpace = 204;
inline constexpr int DiskSize = 205;
inline constexpr int lblProductSize = 206;
inline constexpr int ProductSize = 207;
inline constexpr int lblSpaceRemaining = 208;
inline constexpr int SpaceRemaining = 209;
inline constexpr int chkConfigure = 210;
inline constexpr int lblInstall = 211;
inline constexpr int lblQvver = 212;
inline constexpr int btnDirBrowse = 213;
inline constexpr int Label2 = 214;
inline constexpr int lblInstallFromDir = 215;
inline constexpr int lblTitle = 216;

// Menu entries: File > Verify Installation, Exit; Install > entry i is mnuInstall + i;
// Help > Contents, About.
inline constexpr int mnuFileExit = 300;
inline constexpr int mnuFileVerify = 301;
inline constexpr int mnuInstall = 310;
inline constexpr int mnuHelpContents = 320;
inline constexpr int mnuHelpAbout = 322;
}  // namespace qv_setup

namespace get_prod_form {
inline constexpr int Label1 = 400;
inline constexpr int txtDirectoriesFound = 401;
inline constexpr int Label2 = 402;
inline constexpr int txtModulesFound = 403;
inline constexpr int Label3 = 404;
inline constexpr int txtTotalBytes = 405;
}  // namespace get_prod_form

namespace dir_seek {
inline constexpr int btnOK = kIdOk;
inline constexpr int btnCancel = kIdCancel;
inline constexpr int CurrentDir = 500;
inline constexpr int Dir1 = 501;
inline constexpr int Drive1 = 502;
inline constexpr int lblDrive = 503;
inline constexpr int lblDirectory = 504;
}  // namespace dir_seek

namespace confirmation {
inline constexpr int btnProceed = kIdOk;
inline constexpr int btnCancel = kIdCancel;
inline constexpr int lblConfirm = 600;
inline constexpr int InstallProd = 601;
inline constexpr int lblConfigure = 602;
inline constexpr int lblAutoexec = 603;
}  // namespace confirmation

namespace install_status {
inline constexpr int btnCancel = kIdCancel;
inline constexpr int lblAllModules = 700;
inline constexpr int lblThisModule = 701;
inline constexpr int ModulePercentLabel = 702;
inline constexpr int TotalPercentLabel = 703;
inline constexpr int lblTimeSpent = 704;
inline constexpr int lblTimeRemain = 705;
inline constexpr int TimeSpent = 706;
inline constexpr int TimeRemaining = 707;
inline constexpr int fraInstalling = 708;
inline constexpr int FileName = 709;
inline constexpr int ModuleName = 710;
inline constexpr int ModulePercentComplete = 711;
inline constexpr int PercentComplete = 712;
}  // namespace install_status

namespace frm_group {
inline constexpr int btnOk = kIdOk;
inline constexpr int lblDbDir = 1000;
inline constexpr int txtDbdir = 1001;
inline constexpr int Dir1 = 1002;
inline constexpr int Drive1 = 1003;
inline constexpr int lblDrives = 1004;
inline constexpr int Frame1 = 1005;
inline constexpr int chkGroup = 1006;
inline constexpr int txtGroupTitle = 1007;
inline constexpr int lblGroup = 1008;
inline constexpr int lblMax = 1009;
}  // namespace frm_group

namespace frm_wait {
inline constexpr int lblMsg = 800;
}  // namespace frm_wait

namespace frm_verify {
inline constexpr int btnRepair = kIdOk;
inline constexpr int btnClose = kIdCancel;
inline constexpr int lblStatus = 1100;
inline constexpr int Progress = 1101;
inline constexpr int lstDrift = 1102;
}  // namespace frm_verify

namespace frm_about {
inline constexpr int btnOk = kIdOk;
inline constexpr int Image1 = 900;
inline constexpr int lblAbout = 901;
}  // namespace frm_about

// Resources of the program: the icon and the two bitmaps.
inline constexpr int kIconResource = 2;
inline constexpr int kMainBitmapResource = 3;
inline constexpr int kAboutBitmapResource = 4;

}  // namespace qv::ids
