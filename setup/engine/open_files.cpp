#include "setup/engine/open_files.h"

#include <algorithm>
#include <vector>

namespace qv {
namespace {

// The registry itself. Only the installer's main thread opens files through it (reading
// ahead uses handles of its own), so it needs no lock.
std::vector<OpenFile*>& Registry() {
    static std::vector<OpenFile*> files;
    return files;
}

void Unregister(OpenFile* file) {
    auto& files = Registry();
    files.erase(std::remove(files.begin(), files.end(), file), files.end());
}

}  // namespace

void CloseAllOpenFiles() {
    // Closing unregisters, so take the list first.
    const std::vector<OpenFile*> files = Registry();
    for (OpenFile* f : files) f->Close();
}

int OpenFileCount() { return static_cast<int>(Registry().size()); }

OpenFile::~OpenFile() { Close(); }

bool OpenFile::Adopt(fs::Handle handle) {
    if (handle == fs::kNoHandle) return false;
    handle_ = handle;
    Registry().push_back(this);
    return true;
}

bool OpenFile::NotOpen(RunError& error) const {
    // A file closed under its owner (by the Cancel button) reads as a bad file.
    error = err::BadFileNameOrNumber();
    return false;
}

bool OpenFile::OpenRead(const std::string& path, RunError& error) {
    Close();
    return Adopt(fs::OpenForRead(path, error));
}

bool OpenFile::TakeOver(fs::Handle handle) {
    Close();
    return Adopt(handle);
}

bool OpenFile::CreateNew(const Path& path, RunError& error) {
    Close();
    return Adopt(fs::CreateNew(path, error));
}

bool OpenFile::Read(void* buffer, uint32_t want, uint32_t& got, RunError& error) {
    got = 0;
    if (!IsOpen()) return NotOpen(error);
    return fs::Read(handle_, buffer, want, got, error);
}

bool OpenFile::Write(const void* buffer, uint32_t count, RunError& error) {
    if (!IsOpen()) return NotOpen(error);
    return fs::Write(handle_, buffer, count, error);
}

bool OpenFile::Seek(int64_t offset, RunError& error) {
    if (!IsOpen()) return NotOpen(error);
    return fs::Seek(handle_, offset, error);
}

bool OpenFile::Size(int64_t& size, RunError& error) {
    if (!IsOpen()) return NotOpen(error);
    return fs::Size(handle_, size, error);
}

bool OpenFile::Times(fs::FileTimes& times, RunError& error) {
    if (!IsOpen()) return NotOpen(error);
    return fs::GetFileTimes(handle_, times, error);
}

bool OpenFile::SetTimes(const fs::FileTimes& times, RunError& error) {
    if (!IsOpen()) return NotOpen(error);
    return fs::SetFileTimes(handle_, times, error);
}

bool OpenFile::Flush(RunError& error) {
    if (!IsOpen()) return NotOpen(error);
    return fs::Flush(handle_, error);
}

bool OpenFile::Close(RunError& error) {
    if (!IsOpen()) return true;
    const fs::Handle h = handle_;
    handle_ = fs::kNoHandle;
    Unregister(this);
    return fs::Close(h, error);
}

void OpenFile::Close() {
    RunError ignored;
    PassOver(Close(ignored));
}

fs::Handle OpenFile::Release() {
    const fs::Handle h = handle_;
    if (IsOpen()) Unregister(this);
    handle_ = fs::kNoHandle;
    return h;
}

bool LineReader::Open(const std::string& path, RunError& error) {
    buffer_.clear();
    next_ = 0;
    position_ = 0;
    eof_ = false;
    lastEnd_ = LineEnd::None;
    return file_.OpenRead(path, error);
}

bool LineReader::ReopenAt(const std::string& path, int64_t position, RunError& error) {
    if (!Open(path, error)) return false;
    if (!file_.Seek(position, error)) {
        file_.Close();
        return false;
    }
    position_ = position;
    return true;
}

bool LineReader::Fill(RunError& error) {
    if (eof_) return true;
    if (next_ > 0) {
        buffer_.erase(0, next_);
        next_ = 0;
    }
    char chunk[16384];
    uint32_t got = 0;
    if (!file_.Read(chunk, sizeof chunk, got, error)) return false;
    if (got == 0) eof_ = true;
    buffer_.append(chunk, got);
    return true;
}

bool LineReader::AtEnd() {
    if (!file_.IsOpen()) return true;
    if (next_ < buffer_.size()) return false;
    RunError ignored;
    if (!Fill(ignored)) return false;  // let ReadLine report the error
    return next_ >= buffer_.size();
}

bool LineReader::ReadLine(std::string& line, RunError& error) {
    line.clear();
    error = {};
    if (AtEnd()) return false;
    size_t searched = next_;  // the bytes from next_ up to here hold no line end
    for (;;) {
        const size_t end = buffer_.find_first_of("\r\n", searched);
        if (end == std::string::npos || (buffer_[end] == '\r' && end + 1 == buffer_.size() && !eof_)) {
            // No complete line end in the buffer yet (or a CR whose LF may follow).
            if (eof_) {
                line = buffer_.substr(next_);
                position_ += static_cast<int64_t>(buffer_.size() - next_);
                next_ = buffer_.size();
                lastEnd_ = LineEnd::None;
                return true;
            }
            searched = (end == std::string::npos ? buffer_.size() : end) - next_;  // Fill drops the bytes before next_
            if (!Fill(error)) return false;
            continue;
        }
        line = buffer_.substr(next_, end - next_);
        size_t after = end + 1;
        lastEnd_ = buffer_[end] == '\n' ? LineEnd::Lf : LineEnd::Cr;
        if (buffer_[end] == '\r' && after < buffer_.size() && buffer_[after] == '\n') {
            ++after;
            lastEnd_ = LineEnd::CrLf;
        }
        position_ += static_cast<int64_t>(after - next_);
        next_ = after;
        return true;
    }
}

}  // namespace qv
