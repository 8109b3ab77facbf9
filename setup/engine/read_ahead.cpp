#include "setup/engine/read_ahead.h"

#include <system_error>

namespace qv {

SourceReadAhead::SourceReadAhead(std::vector<std::string> sources)
    : sources_(std::move(sources)), slots_(sources_.size()) {
    if (sources_.empty()) return;
    try {
        reader_ = std::thread([this] { ReadAll(); });
    } catch (const std::system_error&) {
        // No thread to be had: every copy reads its source itself.
    }
}

SourceReadAhead::~SourceReadAhead() {
    if (!reader_.joinable()) return;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    room_.notify_one();
    reader_.join();
    std::unique_lock<std::mutex> lock(mutex_);
    CloseWaiting(lock);
}

void SourceReadAhead::CloseLater(fs::Handle handle) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (reader_.joinable() && !readerDone_) {
            toClose_.push_back(handle);
            return;
        }
    }
    RunError ignored;
    fs::Close(handle, ignored);
}

void SourceReadAhead::CloseHandedOver() {
    std::unique_lock<std::mutex> lock(mutex_);
    closed_.wait(lock, [&] { return !closing_; });
    CloseWaiting(lock);
}

// Closes the handles handed over so far, outside the lock.
void SourceReadAhead::CloseWaiting(std::unique_lock<std::mutex>& lock) {
    if (toClose_.empty()) return;
    std::vector<fs::Handle> handles;
    handles.swap(toClose_);
    closing_ = true;
    lock.unlock();
    RunError ignored;
    for (const fs::Handle handle : handles) fs::Close(handle, ignored);
    lock.lock();
    closing_ = false;
    closed_.notify_all();
}

std::unique_ptr<SourceBytes> SourceReadAhead::Take(const std::string& path) {
    if (!reader_.joinable()) return nullptr;
    std::unique_lock<std::mutex> lock(mutex_);
    size_t at = first_;
    while (at < sources_.size() && sources_[at] != path) ++at;
    if (at == sources_.size()) return nullptr;
    for (; first_ < at; ++first_) slots_[first_].file.reset();
    if (!slots_[at].done) {
        takerWaiting_ = true;
        WakeReader();
        ready_.wait(lock, [&] { return slots_[at].done; });
        takerWaiting_ = false;
    }
    first_ = at + 1;
    WakeReader();
    std::unique_ptr<SourceBytes> file = std::move(slots_[at].file);
    if (file) file->reader = this;
    return file;
}

void SourceReadAhead::WakeReader() {
    // Waking a thread costs a call into the system on each side: the reader is woken when
    // half its window is free, or when the copies wait for it.
    if (readerWaiting_ && (takerWaiting_ || readerAt_ < first_ + kWindowFiles / 2)) room_.notify_one();
}

void SourceReadAhead::ReadAll() {
    for (size_t at = 0; at < sources_.size(); ++at) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            CloseWaiting(lock);
            readerAt_ = at;
            readerWaiting_ = true;
            room_.wait(lock, [&] { return stopping_ || at < first_ + kWindowFiles; });
            readerWaiting_ = false;
            if (stopping_) return;
            if (at < first_) continue;  // the copies are past it
        }
        std::unique_ptr<SourceBytes> file = ReadWhole(sources_[at]);
        const std::lock_guard<std::mutex> lock(mutex_);
        if (at >= first_) slots_[at].file = std::move(file);
        slots_[at].done = true;
        if (takerWaiting_) ready_.notify_one();
    }
    std::unique_lock<std::mutex> lock(mutex_);
    readerDone_ = true;
    CloseWaiting(lock);
}

std::unique_ptr<SourceBytes> SourceReadAhead::ReadWhole(const std::string& path) {
    RunError error;
    const fs::Handle handle = fs::OpenForRead(path, error);
    if (handle == fs::kNoHandle) return nullptr;
    auto file = std::make_unique<SourceBytes>();
    int64_t size = 0;
    bool whole = fs::Size(handle, size, error) && size >= 0 && size <= kReadAheadMaxSize;
    if (whole) {
        file->bytes.resize(static_cast<size_t>(size));
        for (size_t done = 0; whole && done < file->bytes.size();) {
            uint32_t got = 0;
            const auto want = static_cast<uint32_t>(file->bytes.size() - done);
            whole = fs::Read(handle, file->bytes.data() + done, want, got, error) && got > 0;
            done += got;
        }
    }
    // The times after the reading, as a copy that reads the file itself carries them over.
    whole = whole && fs::GetFileTimes(handle, file->times, error);
    RunError ignored;
    fs::Close(handle, ignored);
    return whole ? std::move(file) : nullptr;
}

}  // namespace qv
