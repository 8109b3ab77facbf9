// Reading small source files ahead of their copies. Under Wine (and on a CD) a small file
// costs far more in opening, creating and closing than in its bytes. A thread of its own
// reads the next small sources of a list, in list order and a bounded way ahead, while the
// copy writes the current one (the large files of a list, above all); the copy takes their
// bytes and times instead of opening the source itself. Where the pass has listed a new
// copy in the journal and made its folder, the thread also creates that copy, empty, under
// its own name, for the copy to write into. What could not be read or created ahead, the
// copy reads or creates itself, with its own dialogs: reading ahead never reports anything.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "setup/session/file_system.h"

namespace qv {

class SourceReadAhead;

// A source file's bytes and times, as read ahead of its copy, the copy created ahead for
// it (empty, open for writing) where there is one, and the reading that can close the
// copy's handle once it is written.
struct SourceBytes {
    SourceBytes() = default;
    SourceBytes(const SourceBytes&) = delete;
    SourceBytes& operator=(const SourceBytes&) = delete;
    ~SourceBytes();

    std::string bytes;
    fs::FileTimes times;
    fs::Handle copy = fs::kNoHandle;  // the copy owns it once taken (kNoHandle here then)
    SourceReadAhead* reader = nullptr;
};

// A source to read ahead, and where its copy is to be created ahead (empty: nowhere).
struct ReadAheadFile {
    std::string source;
    Path createCopy;
};

// Files up to this size are read ahead.
inline constexpr int64_t kReadAheadMaxSize = 256 * 1024;

// True when a list entry's file is worth reading ahead: a size the list states, small
// enough.
inline bool IsReadAhead(bool sizeIsNumber, int64_t size) {
    return sizeIsNumber && size >= 0 && size <= kReadAheadMaxSize;
}

class SourceReadAhead {
public:
    // Starts reading `files` (in the order their copies will ask for them); with none, no
    // thread is started.
    explicit SourceReadAhead(std::vector<ReadAheadFile> files);
    // Stops the reading and waits for the file it may be in the middle of.
    ~SourceReadAhead();
    SourceReadAhead(const SourceReadAhead&) = delete;
    SourceReadAhead& operator=(const SourceReadAhead&) = delete;

    // The bytes of `path` when it was read ahead whole, waiting for the file when the
    // reading has not got there yet; null when it could not be read, or is not (or no
    // longer) among the sources to come. What comes before `path` is dropped: the copies
    // ask in list order.
    std::unique_ptr<SourceBytes> Take(const std::string& path);

    // Closes the handle of a new copy whose every byte is written, on the reading's thread
    // while it still reads, else at once: the copy loses nothing whenever it is closed, and
    // the copies' thread saves the call. A failure to close is passed over.
    void CloseLater(fs::Handle handle);
    // Closes every handle handed over so far before it returns: a copy that goes to the
    // place of one of them needs it closed.
    void CloseHandedOver();

    // How far ahead of the copies the reading goes: this many files, and this many bytes
    // held (overshot by at most one file). Far enough that the small files of a list are
    // read, and their copies created, while the copies write its large ones.
    static constexpr size_t kWindowFiles = 4096;
    static constexpr size_t kWindowBytes = 32 * 1024 * 1024;

private:

    void ReadAll();
    void CloseWaiting(std::unique_lock<std::mutex>& lock);
    void WakeReader();
    bool HasRoom(size_t at) const;
    void Drop(size_t at);
    static std::unique_ptr<SourceBytes> ReadWhole(const std::string& path);
    static fs::Handle CreateEmpty(const Path& path);

    struct Slot {
        bool done = false;
        std::unique_ptr<SourceBytes> file;  // null: it could not be read whole
    };

    const std::vector<ReadAheadFile> files_;
    std::mutex mutex_;
    std::condition_variable room_;   // the reader waits for room in its window
    std::condition_variable ready_;  // the copies wait for the file they take
    std::vector<Slot> slots_;        // one for each source
    size_t first_ = 0;               // the first source not yet taken or passed over
    size_t readerAt_ = 0;            // the source the reader reads next
    size_t bytesHeld_ = 0;           // the bytes of the files read and not yet taken
    bool readerWaiting_ = false;
    bool takerWaiting_ = false;
    bool stopping_ = false;
    bool readerDone_ = false;            // the reader has read its last source
    std::vector<fs::Handle> toClose_;    // handed over by CloseLater
    bool closing_ = false;               // the reader is closing handles taken from toClose_
    std::condition_variable closed_;     // ... and has closed them
    std::thread reader_;
};

}  // namespace qv
