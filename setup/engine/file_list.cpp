#include "setup/engine/file_list.h"

#include <cmath>
#include <cstring>

#include "setup/engine/archive_launcher.h"
#include "setup/engine/file_copy.h"
#include "setup/engine/open_files.h"
#include "setup/engine/progress.h"
#include "setup/session/disk_utils.h"
#include "setup/session/file_system.h"
#include "setup/session/res_strings.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

constexpr const char* kPassTitle = "InstallDirectory";

bool IsComment(const std::string& line) { return !line.empty() && line[0] == '#'; }

// A component that names no file of its own but "here" or "up" (Windows drops trailing
// dots and blanks, so "..." and ". ." count as well).
bool IsDotsOnly(const std::string& component) {
    if (component.empty()) return false;
    for (char c : component)
        if (c != '.' && c != ' ') return false;
    return true;
}

// The size field as a whole number of bytes; false when it is not a number.
bool ParseSize(const std::string& text, int64_t& size) {
    double value = 0;
    if (!ParseNumber(text, value) || !std::isfinite(value)) return false;
    const double rounded = RoundHalfEven(value);
    size = rounded > 9e18 ? INT64_MAX : rounded < -9e18 ? INT64_MIN : static_cast<int64_t>(rounded);
    return true;
}

// What the two passes share: the list, the product and the end of a pass on a failure.
struct ListPass {
    ListPass(Session& session, UserPort& port, const std::string& productDir, const std::string& destRoot)
        : session_(session), port_(port), productDir_(productDir), destRoot_(destRoot),
          listPath_(productDir + kFileListName) {}

    // The start of either pass: false when the pass ends here (InstallAborted is set).
    bool Start() {
        session_.CopyRetried = false;
        CloseAllOpenFiles();
        if (session_.CurrentProduct < 1 || session_.CurrentProduct > kMaxProducts) {
            session_.InstallAborted = session_.InstallFailed = true;
            return false;
        }
        product_ = &session_.ListedProducts[static_cast<size_t>(session_.CurrentProduct)];
        RunError error;
        if (fs::KindOf(listPath_, error) == fs::EntryKind::None) {
            Fail(product_->ProductName + "\n" + listPath_ + "\n" + Res(session_, Str::FileNotFound), kPassTitle,
                 Icon::Exclamation, error);
            return false;
        }
        return true;
    }

    // Reads up to the next line that the pass works on: not a comment, not blank and
    // selected. False at the end of the list or on a read error (error.number set).
    bool NextEntry(std::string& line, RunError& error) {
        for (;;) {
            if (!list_.ReadLine(line, error)) return false;
            ++lineNumber_;
            if (IsComment(line) || Trim(line).empty()) continue;
            if (IsLineSelected(session_, *product_, line)) return true;
        }
    }

    // Field 1 of the entry becomes CurrentFileSpec. A spec that would leave the install
    // directory or break a command line ends the install before anything of it is done.
    bool TakeSpec(const std::string& line) {
        session_.CurrentFileSpec = ReadListField(line, 1);
        const EntryPaths paths = MakeEntryPaths(*product_, productDir_, destRoot_, session_.CurrentFileSpec);
        const std::string destPart = paths.destFile.substr(std::min(paths.destFile.size(), destRoot_.size() + 1));
        if (!IsSafeFileSpec(session_.CurrentFileSpec) || !IsSafeFileSpec(destPart)) {
            Fail(product_->ProductName + "\n" + listPath_ + "\n" + "Invalid File Name : " +
                     session_.CurrentFileSpec + "\n" + "Line " + std::to_string(lineNumber_),
                 kPassTitle, Icon::Exclamation);
            return false;
        }
        // A path the file calls cannot take would fail half-way through the product; it
        // ends the install before anything of the entry is written.
        const std::string& tooLong = paths.sourceFile.size() > kMaxPathLength ? paths.sourceFile : paths.destFile;
        if (tooLong.size() + std::strlen(kScratchSuffix) > kMaxPathLength) {
            Fail(product_->ProductName + "\n" + listPath_ + "\n" + "Path Too Long : " + tooLong + "\n" + "Line " +
                     std::to_string(lineNumber_),
                 kPassTitle, Icon::Exclamation, err::PathNotFound());
            return false;
        }
        paths_ = paths;
        return true;
    }

    // Creates the entry's directory when nothing of that name exists. A list names the
    // files of one directory one after another: the last directory found or made is not
    // looked up again.
    bool MakeDestDir(const std::string& sourceShown) {
        if (paths_.destDir == knownDir_) return true;
        RunError error;
        if (fs::Exists(paths_.destDir) || MakeDirPath(paths_.destDir, error)) {
            knownDir_ = paths_.destDir;
            return true;
        }
        Fail(Res(session_, Str::DirectoryError) + " : " + std::to_string(error.number) + "\r" + productDir_ + "\r" +
                 error.description + "\r" + "sourcefilepath : " + sourceShown + "\n" +
                 "destfilepath : " + paths_.destFile + "\r" + "Line: " + std::to_string(lineNumber_),
             kPassTitle, Icon::Exclamation, error);
        return false;
    }

    // The copy pass's report of a list that cannot be opened or read.
    void FailReading(const RunError& error) {
        Fail(Res(session_, Str::Error) + " : " + std::to_string(error.number) + "\r" + error.description + "\r" +
                 Res(session_, Str::Reading) + " : " + listPath_ + "\r" + "Line " + std::to_string(lineNumber_),
             kAppTitle, Icon::Exclamation, error);
    }

    // The expansion pass's report of any failure other than a directory error.
    void FailTooManyUsers(const RunError& error = {}) {
        Fail("There are too many users trying to install.  Please try again later.", kAppTitle, Icon::None, error);
    }

    // Ends the install on a failure of the pass: every open file is closed, the install
    // is aborted as failed, and the message tells the user.
    void Fail(const std::string& text, const std::string& title, Icon icon, const RunError& cause = {}) {
        CloseAllOpenFiles();
        session_.InstallAborted = session_.InstallFailed = true;
        Message box;
        box.text = text;
        box.title = title;
        box.icon = icon;
        box.cause = cause;
        port_.ShowMessage(box);
    }

    Session& session_;
    UserPort& port_;
    const std::string& productDir_;
    const std::string& destRoot_;
    const std::string listPath_;
    const ProductRec* product_ = nullptr;
    LineReader list_;
    int lineNumber_ = 0;
    EntryPaths paths_;
    std::string knownDir_;
};

}  // namespace

std::string ReadListField(const std::string& line, int n) {
    if (n < 1) return {};
    size_t begin = 0;
    for (int field = 1; field < n; ++field) {
        const size_t comma = line.find(',', begin);
        if (comma == std::string::npos) return {};
        begin = comma + 1;
    }
    const size_t end = line.find(',', begin);
    return Trim(std::string_view(line).substr(begin, end == std::string::npos ? std::string::npos : end - begin));
}

std::string ParentPath(const std::string& path) {
    const size_t slash = path.rfind('\\');
    if (slash == std::string::npos || slash == 0) return {};
    return path.substr(0, slash);
}

bool IsLineSelected(const Session& session, const ProductRec& product, const std::string& line) {
    if (product.BaseDelta != 0) {
        const std::string part = line.substr(0, 3);
        if (!EqualsNoCase(part, "BSE") && !EqualsNoCase(part, session.DbPlatformCode)) return false;
    }
    if (session.DbPlatformCode == "MSS" || session.DbPlatformCode == "DB4") {
        const std::string spec = ReadListField(line, 1);
        if (ContainsNoCase(spec, "\\api\\UNIX\\")) return false;
        if (ContainsNoCase(spec, "\\bin\\server\\") && !ContainsNoCase(spec, "\\bin\\server\\WINX86\\")) return false;
    }
    return true;
}

bool IsSafeFileSpec(const std::string& spec) {
    if (spec.empty() || spec[0] == '\\') return false;
    for (unsigned char c : spec) {
        if (c < 0x20 || c == 0x7F) return false;
        switch (c) {
            case '"': case '<': case '>': case '|': case '?': case '*': case '/': case ':': return false;
            default: break;
        }
    }
    size_t begin = 0;
    for (;;) {
        const size_t slash = spec.find('\\', begin);
        if (IsDotsOnly(spec.substr(begin, slash == std::string::npos ? std::string::npos : slash - begin))) return false;
        if (slash == std::string::npos) return true;
        begin = slash + 1;
    }
}

EntryPaths MakeEntryPaths(const ProductRec& product, const std::string& productDir, const std::string& destRoot,
                          const std::string& spec) {
    EntryPaths paths;
    paths.sourceFile = productDir + spec;
    if (product.BaseDelta == 0) {
        paths.destFile = destRoot + "\\" + spec;
        const std::string parent = ParentPath(spec);
        paths.destDir = parent.empty() ? destRoot : destRoot + "\\" + parent;
    } else {
        paths.destFile = destRoot + "\\" + (spec.size() > 4 ? spec.substr(4) : std::string());
        paths.destDir = ParentPath(paths.destFile);
    }
    return paths;
}

void InstallDirectory(Session& session, UserPort& port, const std::string& productDir, const std::string& destRoot) {
    ListPass pass(session, port, productDir, destRoot);
    if (!pass.Start()) return;
    RunError error;
    if (!pass.list_.Open(pass.listPath_, error)) return pass.FailReading(error);
    std::string line;
    while (pass.NextEntry(line, error)) {
        const int64_t position = pass.list_.Position();
        if (!pass.TakeSpec(line)) return;
        ShowFileName(session, port, pass.paths_.destFile);
        int64_t size = 0;
        if (!ParseSize(ReadListField(line, 3), size)) size = 0;  // not reported; only a retry uses it
        const std::string expected = ReadListField(line, 4);
        if (!pass.MakeDestDir(pass.paths_.sourceFile)) return;

        VerifiedCopy(session, port, pass.paths_.sourceFile, pass.paths_.destFile, expected, size);
        if (session.InstallAborted) return;
        if (session.CopyRetried) {
            // The copy went through its error dialog: continue after this line in a list
            // opened anew.
            session.CopyRetried = false;
            pass.knownDir_.clear();  // what failed may have been the directory itself
            CloseAllOpenFiles();
            if (!pass.list_.ReopenAt(pass.listPath_, position, error)) return pass.FailReading(error);
        }
    }
    if (error.number != 0) return pass.FailReading(error);
    CloseAllOpenFiles();
}

void WalkFileList(Session& session, UserPort& port, const std::string& productDir, const std::string& destRoot,
                  const std::function<bool(const ListEntry&)>& visit) {
    ListPass pass(session, port, productDir, destRoot);
    if (!pass.Start()) return;
    RunError error;
    if (!pass.list_.Open(pass.listPath_, error)) return pass.FailReading(error);
    std::string line;
    while (pass.NextEntry(line, error)) {
        if (!pass.TakeSpec(line)) return;
        ListEntry entry;
        entry.spec = session.CurrentFileSpec;
        entry.paths = pass.paths_;
        if (!ParseSize(ReadListField(line, 3), entry.size)) entry.size = 0;
        entry.checksum = ReadListField(line, 4);
        if (!visit(entry)) break;
    }
    if (error.number != 0) return pass.FailReading(error);
    CloseAllOpenFiles();
}

void ExpandDirectory(Session& session, UserPort& port, const std::string& productDir, const std::string& destRoot) {
    ListPass pass(session, port, productDir, destRoot);
    if (!pass.Start()) return;
    RunError error;
    if (!pass.list_.Open(pass.listPath_, error)) return pass.FailTooManyUsers(error);
    std::string line;
    while (pass.NextEntry(line, error)) {
        if (!pass.TakeSpec(line)) return;
        ShowFileName(session, port, pass.paths_.destFile);
        int64_t size = 0;
        if (!ParseSize(ReadListField(line, 3), size)) return pass.FailTooManyUsers();
        if (!pass.MakeDestDir(session.CurrentFileSpec)) return;

        const ProductRec& product = *pass.product_;
        if (!RunArchiveProgram(session, port, product.ProductDir, destRoot, product.ProductCode,
                               session.CurrentFileSpec))
            return pass.FailTooManyUsers();
        if (session.InstallAborted) return;
    }
    if (error.number != 0) return pass.FailTooManyUsers(error);
    CloseAllOpenFiles();
}

}  // namespace qv
