// Every file that the installer holds open, in one registry, so that the file-list
// passes, the copy and the Cancel button can close them all at once. A file is
// registered while it is open and leaves the registry when it is closed, by its owner or
// by CloseAllOpenFiles; after that its owner sees it as closed and stops using it.
#pragma once

#include <cstdint>
#include <string>

#include "setup/session/file_system.h"

namespace qv {

class OpenFile;

// Closes every file the installer holds open (their owners see them closed).
void CloseAllOpenFiles();
// How many files are open now.
int OpenFileCount();

// A file opened through the engine's file services, registered while open.
class OpenFile {
public:
    OpenFile() = default;
    ~OpenFile();
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    // Open an existing file for reading, or create one for writing where nothing of that
    // name exists. Any file this object had open is closed first.
    [[nodiscard]] bool OpenRead(const std::string& path, RunError& error);
    [[nodiscard]] bool CreateNew(const Path& path, RunError& error);
    // Takes over a handle opened elsewhere (false for none). Any file this object had open
    // is closed first.
    bool TakeOver(fs::Handle handle);

    // False once closed, whoever closed it.
    bool IsOpen() const { return handle_ != fs::kNoHandle; }

    [[nodiscard]] bool Read(void* buffer, uint32_t want, uint32_t& got, RunError& error);
    [[nodiscard]] bool Write(const void* buffer, uint32_t count, RunError& error);
    [[nodiscard]] bool Seek(int64_t offset, RunError& error);
    [[nodiscard]] bool Size(int64_t& size, RunError& error);
    // The file's times, and times given to it.
    [[nodiscard]] bool Times(fs::FileTimes& times, RunError& error);
    [[nodiscard]] bool SetTimes(const fs::FileTimes& times, RunError& error);
    // Writes what the system holds of the file through to the disk.
    [[nodiscard]] bool Flush(RunError& error);

    // Closes the file; false when the system reports a failure on closing.
    [[nodiscard]] bool Close(RunError& error);
    void Close();
    // Hands the open handle over to the caller, who closes it: the file leaves the registry
    // and this object sees it closed.
    fs::Handle Release();

private:
    friend void CloseAllOpenFiles();
    bool Adopt(fs::Handle handle);
    [[nodiscard]] bool NotOpen(RunError& error) const;

    fs::Handle handle_ = fs::kNoHandle;
};

// Reads a text file line by line, the way the file lists are read: a line ends with
// CR LF, a lone CR or a lone LF, and a last line without an end still counts. Each byte
// is looked at once, however long the line. Position() is the byte offset after the last
// line read, from which ReopenAt continues.
class LineReader {
public:
    enum class LineEnd { None, CrLf, Cr, Lf };

    [[nodiscard]] bool Open(const std::string& path, RunError& error);
    // Opens the file again and continues after `position` bytes.
    [[nodiscard]] bool ReopenAt(const std::string& path, int64_t position, RunError& error);
    bool IsOpen() const { return file_.IsOpen(); }
    void Close() { file_.Close(); }

    // True at the end of the file (also when the file was closed under the reader).
    bool AtEnd();
    // The next line without its end; false at the end of the file or on a read error
    // (error tells which: number 0 at the end).
    [[nodiscard]] bool ReadLine(std::string& line, RunError& error);
    // How the last line read ended (None: at the end of the file).
    LineEnd LastLineEnd() const { return lastEnd_; }
    int64_t Position() const { return position_; }

private:
    [[nodiscard]] bool Fill(RunError& error);

    OpenFile file_;
    std::string buffer_;
    size_t next_ = 0;     // first unread byte in buffer_
    int64_t position_ = 0;
    bool eof_ = false;
    LineEnd lastEnd_ = LineEnd::None;
};

}  // namespace qv
