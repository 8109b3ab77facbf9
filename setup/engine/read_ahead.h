// Reading small source files ahead of their copies. Under Wine (and on a CD) a small file
// costs far more in opening, creating and closing than in its bytes. A thread of its own
// reads the next small sources of a list, in list order and a bounded way ahead, while the
// copy writes the current one (the large files of a list, above all); the copy takes their
// bytes and times instead of opening the source itself. Where the pass has listed a new
// copy in the journal and made its folder, the thread also creates that copy, empty, under
// its own name, for the copy to write into, and it closes the copies that are written and
// verified. What could not be read or created ahead, the copy reads or creates itself,
// with its own dialogs: reading ahead never reports anything.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "setup/session/file_system.h"

namespace qv {

class SourceReadAhead;

// How a copy created ahead that no copy took over goes: the pass removes it the way it
// listed it (through the journal).
using DiscardCopy = std::function<void(const Path&)>;

// A copy created ahead, empty and open for writing. It owns its handle and its file until a
// copy takes them over; when it goes before that, it is closed and discarded, so that
// nothing created ahead is left behind by a pass that did not get to it.
class CopyMadeAhead {
public:
    CopyMadeAhead(Path path, fs::Handle handle, const DiscardCopy& discard)
        : path_(std::move(path)), handle_(handle), discard_(discard) {}
    CopyMadeAhead(const CopyMadeAhead&) = delete;
    CopyMadeAhead& operator=(const CopyMadeAhead&) = delete;
    ~CopyMadeAhead();

    // The handle, for the copy that writes the file: from here on the file is the copy's.
    fs::Handle TakeOver();

private:
    const Path path_;
    fs::Handle handle_;
    const DiscardCopy& discard_;
};

// A source file's bytes and times, as read ahead of its copy, and the copy created ahead
// for it where there is one. `closer` is set where the written copy may be closed by the
// reading (no later entry of the list goes to the same place).
struct SourceBytes {
    std::string bytes;
    fs::FileTimes times;
    std::unique_ptr<CopyMadeAhead> copy;
    SourceReadAhead* closer = nullptr;
};

// A source to read ahead, where its copy is to be created ahead (empty: nowhere), and
// whether the reading may close its copy once written.
struct ReadAheadFile {
    std::string source;
    Path createCopy;
    bool closeLater = false;
};

// How far ahead of the copies the reading goes: this many files, and this many bytes held
// (overshot by at most one file). The defaults are far enough that the small files of a
// list are read, and their copies created, while the copies write its large ones.
struct ReadAheadWindow {
    size_t files = 4096;
    size_t bytes = 32 * 1024 * 1024;
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
    // thread is started. A copy created ahead and not taken over goes through `discard`.
    SourceReadAhead(std::vector<ReadAheadFile> files, DiscardCopy discard, ReadAheadWindow window = {});
    // Stops the reading and waits for the file it may be in the middle of; what was read
    // and not taken goes, and so do the copies created for it.
    ~SourceReadAhead();
    SourceReadAhead(const SourceReadAhead&) = delete;
    SourceReadAhead& operator=(const SourceReadAhead&) = delete;

    // The bytes of source `index` (of the files given) when it was read ahead whole,
    // waiting for the file when the reading has not got there yet; null when it could not
    // be read, or the copies are past it. What comes before `index` is dropped: the copies
    // ask in list order. An exception that ended the reading's thread is thrown here, in
    // the copies' thread, and ends the run as any other would.
    std::unique_ptr<SourceBytes> Take(size_t index);

    // Closes the handle of a copy whose every byte is written and verified, on the
    // reading's thread while it still reads, else at once: the copy loses nothing whenever
    // it is closed, and the copies' thread saves the call. Every such handle is closed
    // before the reading ends. A failure to close is passed over.
    void CloseLater(fs::Handle handle);

    // Ends the reading once the copies are done: every handle handed over is closed, and
    // what was not taken goes, with the copies created for it. An exception that ended the
    // reading's thread is thrown here.
    void End();

private:
    void Stop();
    void ReadAll();
    void ReadEach();
    void CloseWaiting(std::unique_lock<std::mutex>& lock);
    void WakeReader();
    bool HasRoom(size_t at) const;
    void Drop(size_t at);
    std::unique_ptr<SourceBytes> ReadAhead(const ReadAheadFile& file);
    static std::unique_ptr<SourceBytes> ReadWhole(const std::string& path);
    static fs::Handle CreateEmpty(const Path& path);

    struct Slot {
        bool done = false;
        std::unique_ptr<SourceBytes> file;  // null: it could not be read whole
    };

    const std::vector<ReadAheadFile> files_;
    const DiscardCopy discard_;
    const ReadAheadWindow window_;
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
    bool readerDone_ = false;          // the reader has read its last source, or failed
    std::exception_ptr failure_;       // what ended the reader's thread
    std::vector<fs::Handle> toClose_;  // handed over by CloseLater
    std::thread reader_;
};

}  // namespace qv
