// Decodes the files of a built-in type (bitmaps and JPEG files) for the
// reading loop, on the loop's own thread and on one worker thread at once.
// The loop asks for the files strictly in order (take); the worker decodes
// files after the one the loop is at, at most MaxAhead of them, and a loop
// waiting for a file the worker is still decoding decodes a later one itself
// meanwhile. Every file is decoded once, into the thread's own reused
// picture, and handed over as its finished cell and columns, so the memory
// stays bounded: two full-size pictures (one per thread) and at most
// MaxAhead + 1 cells. Cells are small, so the worker may run far ahead: while
// the loop is held up by one large picture, the worker goes on with the
// smaller ones after it instead of waiting. Nothing here touches a plug-in
// host: a file that needs one comes back as needsModule, for the loop to
// decode on its own thread.
// Destroying the object stops the worker (after the file it is decoding)
// and drops whatever was decoded ahead.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace pelandor {

class ReadAhead {
public:
    static constexpr int MaxAhead = 16;

    struct Result {
        QImage cell;
        int width = 0;
        int height = 0;
        int16_t bitDepth = 0;
        bool needsModule = false; // the built-in decoder passes the file on to a module
        bool cellInCache = false; // the cell (null here) is left in the thumbnail cache
    };
    // Makes the result of one file; called on either thread, never for the
    // same file twice.
    using Decode = std::function<Result(const QString &path)>;

    // The path of file `index` in the loop's order; called on either thread.
    using PathOf = std::function<QString(int index)>;

    // count files, path made by pathOf when a file is decoded (so a folder
    // of a million files needs no list of paths). A Decode is made for each
    // thread from makeDecoder, so each has its own reused state.
    ReadAhead(int count, PathOf pathOf, const std::function<Decode()> &makeDecoder);
    // The same with the paths listed.
    ReadAhead(QStringList paths, const std::function<Decode()> &makeDecoder);
    ~ReadAhead();
    ReadAhead(const ReadAhead &) = delete;
    ReadAhead &operator=(const ReadAhead &) = delete;

    // The result of file `index`; indexes are taken in order 0, 1, 2, ...
    Result take(int index);

private:
    enum class State : uint8_t { Waiting, Claimed, Ready, Taken };

    void work();
    // The next file to decode ahead under the lock, or -1.
    int claimAhead();

    // The slot of file `index`'s result: only the files from the one the
    // loop is at to MaxAhead after it are ever decoded and not yet taken.
    Result &resultOf(int index) { return m_results[size_t(index) % m_results.size()]; }

    const int m_count;
    const PathOf m_pathOf;
    Decode m_loopDecode;
    Decode m_workerDecode;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<State> m_state;
    std::vector<Result> m_results; // MaxAhead + 1 slots, used in turn
    int m_current = 0;     // the file the loop is at
    int m_nextClaim = 0;   // every file before it has been claimed
    bool m_stopping = false;
    std::thread m_worker;
};

} // namespace pelandor
