// The session record: the one process-wide state that every part of the installer
// reads and writes. The program holds a single instance; functions take it as
// `Session&` so that every test can make its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// One language offered by the CD's language list.
struct LanguageRec {
    std::string Name;         // shown in the list, e.g. "English"
    std::string Code;         // e.g. "ENG"; selects catalogue names and is written to the configuration
    int16_t ResOffset = 0;    // added to every resource-string id while the language is in use
};

// One product of the catalogue, as read from its "QVSETUP.SKU".
struct ProductRec {
    std::string ProductName;
    std::string ModuleType;     // the install type under which the product is listed
    std::string DefaultDir;     // proposed install-to directory; "x:..." carries its own drive
    std::string ProductDir;     // SourceDir + directory name + "\"
    std::string Release;
    int32_t Size = 0;           // bytes the product needs on disk
    int16_t Chosen = 0;         // -1 while listed and chosen by the main window
    int16_t InstallOrder = 0;
    std::string ProductCode;
    int16_t Compress = 0;       // 1: files come as self-extracting archives
    std::string DbPlatform;
    std::string SoftwareType;   // "Application", "Database", "Marrowtools", "Supply Chain", ...
    int16_t BaseDelta = 0;      // non-zero: a common part plus a per-platform part
    int16_t ProdNum = 0;
    int16_t ToolsOpt = 0;
    int16_t SplitDB = 0;
    std::string CommonDB;
    std::string DescrDB;
    int16_t Selected = 0;       // non-zero: starts out selected when listed
    std::string QVInstallField;
    int16_t IncludeSys = 0;
    std::string LaunchProg;
};

// Products and ListedProducts hold 65 records; index 0 is never used.
inline constexpr int kMaxProducts = 64;
using ProductTable = std::array<ProductRec, kMaxProducts + 1>;

// The longest path the file calls take: MAX_PATH less its terminating NUL.
inline constexpr size_t kMaxPathLength = 259;

// The program group title's longest length, as the group dialog's text box allows.
inline constexpr size_t kMaxGroupTitle = 30;

// For whom an install registers and makes its shortcuts: as the run's rights allow (the
// machine's Apps & features entry, else the user's), for every user (/ALLUSERS), or for
// the user alone (/CURRENTUSER).
enum class InstallScope { AsAllowed, AllUsers, CurrentUser };

// Allocation unit to which byte counts are rounded for the progress figures.
inline constexpr int32_t kClusterSize = 16384;

// The user's request that the run in progress stop: the Cancel button of the progress
// window, answered Yes, makes it, and every step that can stop looks at it between two
// pieces of work. How the run ended is not this: the run's outcome says that.
class CancelRequest {
public:
    void Request() { requested_ = true; }
    void Withdraw() { requested_ = false; }
    bool Requested() const { return requested_; }

private:
    bool requested_ = false;
};

struct Session {
    // Start-up, catalogue, platform and language.
    std::string SourceDir;      // no trailing "\" after the command line; with one after the scan
    std::string TempDir;        // no trailing "\"
    std::string InstallDir;
    int16_t LangOffset = 0;
    std::vector<LanguageRec> Languages;
    int16_t LangIndex = 0;
    std::string DbPlatformCode;
    std::string DbPlatformName;
    std::string DbConfigName;
    ProductTable Products{};
    int16_t ProductCount = 0;
    ProductTable ListedProducts{};
    int16_t ScanModuleCount = 0;
    double ScanTotalBytes = 0;
    int32_t ClusterSize = 0;
    bool NoCrcCheck = false;    // true: copied files are not checked against their checksum
    // The run's message boxes are answered by the fixed policy of an unattended run (/S,
    // /PASSIVE): where a person would be asked to close the program that holds a file open,
    // the file is replaced at the next restart instead.
    bool Unattended = false;
    // /REINSTALL: every chosen file is copied, also one that is still as an install wrote it.
    bool Reinstall = false;

    // Install engine.
    bool InstallRunning = false;  // from the start of RunInstall to its end
    CancelRequest Cancel;
    // How the last install, repair or uninstall ended, set from its outcome: it did not
    // complete.
    bool InstallAborted = false;
    // Set with InstallAborted when the install ended on a failure (a file list, a folder,
    // the program itself) rather than by the user's Cancel or Abort.
    bool InstallFailed = false;
    // Set with InstallAborted when the run gave up waiting for another run that held the
    // install directory (not by the user's Cancel).
    bool DirectoryHeld = false;
    // Set when the last install or repair left files held open by another program, whose new
    // copies take their place at the next restart.
    bool RestartNeeded = false;
    // The files the user had changed that the last install kept beside the new ones, under
    // their saved names.
    std::vector<std::string> SavedUserFiles;
    InstallScope Scope = InstallScope::AsAllowed;  // from the command line
    int16_t CurrentProduct = 0;
    int16_t HasCompressed = 0;
    bool ToolsInstalled = false;
    int32_t ModuleBytes = 0;
    int32_t ModuleBytesDone = 0;

    // Progress and time estimate; times are in days, as date-time values.
    double ElapsedTime = 0;
    double EstimatedTotalTime = 0;
    double SmoothedTotalTime = 0;
    double RemainingTime = 0;

    // What the progress window shows at the moment, so that a control is set only when
    // its value changes. kNotShown: nothing shown yet (or shown in another form).
    struct ProgressShown {
        static constexpr int64_t kNotShown = INT64_MIN;
        int64_t modulePercent = kNotShown;
        int64_t totalPercent = kNotShown;
        int64_t spentSeconds = kNotShown;
        int64_t remainingSeconds = kNotShown;
        std::string fileName;
    } Shown;

    // Main window.
    double ProductBytes = 0;
    double InstallStartTime = 0;
    int64_t BytesDone = 0;  // counted in 64 bits: an install may pass 2 GiB
    int16_t ConfirmResult = 0;

    // Configuration profile and dialogs.
    std::vector<std::string> ConfigLines;
    bool CreateGroup = false;
    int16_t DirSeekOk = 0;
};

}  // namespace qv
