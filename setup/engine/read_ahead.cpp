#include "setup/engine/read_ahead.h"

#include <system_error>

namespace qv {

SourceBytes::~SourceBytes() {
    RunError ignored;
    if (copy != fs::kNoHandle) PassOver(fs::Close(copy, ignored));
}

SourceReadAhead::SourceReadAhead(std::vector<ReadAheadFile> files) : files_(std::move(files)), slots_(files_.size()) {
    if (files_.empty()) return;
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
    PassOver(fs::Close(handle, ignored));
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
    for (const fs::Handle handle : handles) PassOver(fs::Close(handle, ignored));
    lock.lock();
    closing_ = false;
    closed_.notify_all();
}

std::unique_ptr<SourceBytes> SourceReadAhead::Take(const std::string& path) {
    if (!reader_.joinable()) return nullptr;
    std::unique_lock<std::mutex> lock(mutex_);
    size_t at = first_;
    while (at < files_.size() && files_[at].source != path) ++at;
    if (at == files_.size()) return nullptr;
    for (; first_ < at; ++first_) Drop(first_);
    if (!slots_[at].done) {
        takerWaiting_ = true;
        WakeReader();
        ready_.wait(lock, [&] { return slots_[at].done; });
        takerWaiting_ = false;
    }
    first_ = at + 1;
    std::unique_ptr<SourceBytes> file = std::move(slots_[at].file);
    if (file) {
        bytesHeld_ -= file->bytes.size();
        file->reader = this;
    }
    WakeReader();
    return file;
}

void SourceReadAhead::Drop(size_t at) {
    if (slots_[at].file) bytesHeld_ -= slots_[at].file->bytes.size();
    slots_[at].file.reset();
}

bool SourceReadAhead::HasRoom(size_t at) const {
    return at < first_ + kWindowFiles && bytesHeld_ < kWindowBytes;
}

void SourceReadAhead::WakeReader() {
    // Waking a thread costs a call into the system on each side: the reader is woken when
    // half its window is free, or when the copies wait for it.
    const bool halfFree = readerAt_ < first_ + kWindowFiles / 2 && bytesHeld_ <= kWindowBytes / 2;
    if (readerWaiting_ && (takerWaiting_ || halfFree)) room_.notify_one();
}

void SourceReadAhead::ReadAll() {
    for (size_t at = 0; at < files_.size(); ++at) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            CloseWaiting(lock);
            readerAt_ = at;
            readerWaiting_ = true;
            room_.wait(lock, [&] { return stopping_ || HasRoom(at); });
            readerWaiting_ = false;
            if (stopping_) return;
            if (at < first_) continue;  // the copies are past it
        }
        std::unique_ptr<SourceBytes> file = ReadWhole(files_[at].source);
        // Only a copy whose bytes are at hand is created ahead: no copy waits empty for a
        // source that cannot be read.
        if (file && !files_[at].createCopy.empty()) file->copy = CreateEmpty(files_[at].createCopy);
        const std::lock_guard<std::mutex> lock(mutex_);
        if (at >= first_ && file) {
            bytesHeld_ += file->bytes.size();
            slots_[at].file = std::move(file);
        }
        slots_[at].done = true;
        if (takerWaiting_) ready_.notify_one();
    }
    std::unique_lock<std::mutex> lock(mutex_);
    readerDone_ = true;
    CloseWaiting(lock);
}

fs::Handle SourceReadAhead::CreateEmpty(const Path& path) {
    RunError error;
    const fs::Handle copy = fs::CreateNew(path, error);
    // A first call on the handle makes the system ready to write through it; under Wine
    // that costs a call into the server, which is made here rather than in the copy.
    if (copy != fs::kNoHandle) PassOver(fs::Write(copy, "", 0, error));
    return copy;
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
    PassOver(fs::Close(handle, ignored));
    return whole ? std::move(file) : nullptr;
}

}  // namespace qv
