// Reading small source files ahead of their copies. Under Wine (and on a CD) a small file
// costs far more in opening, creating and closing than in its bytes. A thread of its own
// reads the next small sources of a list, in list order and a bounded way ahead, while the
// copy writes the current one (the large files of a list, above all); the copy takes their
// bytes and times instead of opening the source itself. Where the pass has listed a new
// copy in the journal, the thread also makes that copy, empty, under its own name, for the
// copy to write into: in a folder the pass made, or in the place of an earlier file that it
// moves aside first. Each copy made ahead is an object that owns what was made for it until
// a copy takes it over. What could not be read or made ahead, the copy reads or makes
// itself, with its own dialogs: reading ahead never reports anything.
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

// How a copy made ahead that no copy took over goes, on the copies' thread. `earlier` is
// where the earlier file at `copy` was moved aside for it (empty: nothing was there).
using DiscardCopy = std::function<void(const Path& copy, const Path& earlier)>;

// How the pass makes and undoes copies ahead, as its journal listed them.
struct CopiesAhead {
    // Moves the earlier file in a copy's place (from) aside (to): false where it may not go
    // (through a link, out of the places the run may change) or cannot (held open,
    // read-only). Called on the reading's thread.
    std::function<bool(const Path& from, const Path& to)> moveAside;
    DiscardCopy discard;
};

// A copy made ahead: an earlier file moved aside where there was one, and the copy created
// in its place, empty and open for writing (where it could be created). It owns both until
// a copy takes them over; when it goes before that, the copy is closed and discarded and
// the earlier file comes back, so that nothing made ahead is left behind by a pass that did
// not get to it.
class CopyMadeAhead {
public:
    CopyMadeAhead(Path path, Path earlier, fs::Handle handle, const DiscardCopy& discard)
        : path_(std::move(path)), earlier_(std::move(earlier)), handle_(handle), discard_(discard) {}
    CopyMadeAhead(const CopyMadeAhead&) = delete;
    CopyMadeAhead& operator=(const CopyMadeAhead&) = delete;
    ~CopyMadeAhead();

    // What a copy takes over: the handle of the copy created (kNoHandle: the copy creates
    // it itself) and where the earlier file waits (empty: nothing was there). From here on
    // both are the copy's.
    struct Made {
        fs::Handle handle;
        Path earlier;
    };
    Made TakeOver();

private:
    const Path path_;
    const Path earlier_;
    fs::Handle handle_;
    bool owned_ = true;
    const DiscardCopy& discard_;
};

// A source file's bytes and times, as read ahead of its copy, and the copy made ahead for
// it where there is one.
struct SourceBytes {
    std::string bytes;
    fs::FileTimes times;
    std::unique_ptr<CopyMadeAhead> copy;
};

// A source to read ahead, where its copy is to be created ahead (empty: nowhere), and where
// the earlier file in that place is moved aside first (empty: nothing is there).
struct ReadAheadFile {
    std::string source;
    Path createCopy;
    Path moveEarlierTo;
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
    // thread is started. Copies are made ahead, and undone, through `copies`.
    SourceReadAhead(std::vector<ReadAheadFile> files, CopiesAhead copies, ReadAheadWindow window = {});
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

    // Ends the reading once the copies are done: what was not taken goes, with the copies
    // made for it. An exception that ended the reading's thread is thrown here.
    void End();

private:
    void Stop();
    void ReadAll();
    void ReadEach();
    void WakeReader();
    bool HasRoom(size_t at) const;
    void Drop(size_t at);
    std::unique_ptr<SourceBytes> ReadAhead(const ReadAheadFile& file);
    std::unique_ptr<CopyMadeAhead> MakeCopy(const ReadAheadFile& file) const;
    static std::unique_ptr<SourceBytes> ReadWhole(const std::string& path);
    static fs::Handle CreateEmpty(const Path& path);

    struct Slot {
        bool done = false;
        std::unique_ptr<SourceBytes> file;  // null: it could not be read whole
    };

    const std::vector<ReadAheadFile> files_;
    const CopiesAhead copies_;
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
    std::exception_ptr failure_;     // what ended the reader's thread
    std::thread reader_;
};

}  // namespace qv
