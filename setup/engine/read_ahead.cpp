#include "setup/engine/read_ahead.h"

#include <system_error>
#include <utility>

namespace qv {

CopyMadeAhead::~CopyMadeAhead() {
    if (!owned_) return;
    RunError ignored;
    if (handle_ != fs::kNoHandle) PassOver(fs::Close(handle_, ignored));
    if (discard_) discard_(path_, earlier_);
}

CopyMadeAhead::Made CopyMadeAhead::TakeOver() {
    owned_ = false;
    return {std::exchange(handle_, fs::kNoHandle), earlier_};
}

SourceReadAhead::SourceReadAhead(std::vector<ReadAheadFile> files, CopiesAhead copies, ReadAheadWindow window)
    : files_(std::move(files)), copies_(std::move(copies)), window_(window), slots_(files_.size()) {
    if (files_.empty()) return;
    try {
        reader_ = std::thread([this] { ReadAll(); });
    } catch (const std::system_error&) {
        // No thread to be had: every copy reads its source itself.
    }
}

SourceReadAhead::~SourceReadAhead() { Stop(); }

void SourceReadAhead::End() {
    Stop();
    slots_.clear();
    if (failure_) std::rethrow_exception(failure_);
}

void SourceReadAhead::Stop() {
    if (!reader_.joinable()) return;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    room_.notify_one();
    reader_.join();
}

std::unique_ptr<SourceBytes> SourceReadAhead::Take(size_t index) {
    if (!reader_.joinable() || index >= files_.size()) return nullptr;
    std::unique_lock<std::mutex> lock(mutex_);
    if (index < first_) return nullptr;
    for (; first_ < index; ++first_) Drop(first_);
    if (!slots_[index].done) {
        takerWaiting_ = true;
        WakeReader();
        ready_.wait(lock, [&] { return slots_[index].done; });
        takerWaiting_ = false;
    }
    if (failure_) std::rethrow_exception(failure_);
    first_ = index + 1;
    std::unique_ptr<SourceBytes> file = std::move(slots_[index].file);
    if (file) bytesHeld_ -= file->bytes.size();
    WakeReader();
    return file;
}

// What the copies passed over goes; its copy created ahead is discarded, on the copies'
// thread.
void SourceReadAhead::Drop(size_t at) {
    if (slots_[at].file) bytesHeld_ -= slots_[at].file->bytes.size();
    slots_[at].file.reset();
}

bool SourceReadAhead::HasRoom(size_t at) const {
    return at < first_ + window_.files && bytesHeld_ < window_.bytes;
}

void SourceReadAhead::WakeReader() {
    // Waking a thread costs a call into the system on each side: the reader is woken when
    // half its window is free, or when the copies wait for it.
    const bool halfFree = readerAt_ < first_ + window_.files / 2 && bytesHeld_ <= window_.bytes / 2;
    if (readerWaiting_ && (takerWaiting_ || halfFree)) room_.notify_one();
}

// The reader's thread. Whatever ends it with an exception is kept for the copies, and
// every source not yet read counts as done, so that no copy waits for it.
void SourceReadAhead::ReadAll() {
    try {
        ReadEach();
    } catch (...) {
        const std::lock_guard<std::mutex> lock(mutex_);
        failure_ = std::current_exception();
        for (Slot& slot : slots_) slot.done = true;
        ready_.notify_one();
    }
}

void SourceReadAhead::ReadEach() {
    for (size_t at = 0; at < files_.size(); ++at) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            readerAt_ = at;
            readerWaiting_ = true;
            room_.wait(lock, [&] { return stopping_ || HasRoom(at); });
            readerWaiting_ = false;
            if (stopping_) return;
            if (at < first_) continue;  // the copies are past it
        }
        std::unique_ptr<SourceBytes> file = ReadAhead(files_[at]);
        const std::lock_guard<std::mutex> lock(mutex_);
        // A copy made for a source the copies have passed meanwhile is still handed to the
        // slot: only the copies' thread discards what was made ahead.
        if (file && at < first_) file->bytes = std::string();
        if (file) bytesHeld_ += file->bytes.size();
        slots_[at].file = std::move(file);
        slots_[at].done = true;
        if (takerWaiting_) ready_.notify_one();
    }
}

// A source read whole, with its copy made ahead where it is to be. Only a copy whose bytes
// are at hand is made ahead: no earlier file leaves its place, and no copy waits empty, for
// a source that cannot be read.
std::unique_ptr<SourceBytes> SourceReadAhead::ReadAhead(const ReadAheadFile& file) {
    std::unique_ptr<SourceBytes> bytes = ReadWhole(file.source);
    if (bytes && !file.createCopy.empty()) bytes->copy = MakeCopy(file);
    return bytes;
}

// The copy in its place: the earlier file moved aside first where there is one (one that
// cannot be, held open or read-only, is the copy's to deal with: nothing is made), then the
// copy created. An earlier file moved aside for a copy that could not be created is still
// the object's, to come back with it.
std::unique_ptr<CopyMadeAhead> SourceReadAhead::MakeCopy(const ReadAheadFile& file) const {
    if (!file.moveEarlierTo.empty() && !(copies_.moveAside && copies_.moveAside(file.createCopy, file.moveEarlierTo)))
        return nullptr;
    const fs::Handle copy = CreateEmpty(file.createCopy);
    if (copy == fs::kNoHandle && file.moveEarlierTo.empty()) return nullptr;
    return std::make_unique<CopyMadeAhead>(file.createCopy, file.moveEarlierTo, copy, copies_.discard);
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
