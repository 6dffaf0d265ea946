#include "listing/ReadAhead.h"

#include <utility>

namespace pelandor {

ReadAhead::ReadAhead(int count, PathOf pathOf, const std::function<Decode()> &makeDecoder)
    : m_count(count > 0 ? count : 0)
    , m_pathOf(std::move(pathOf))
    , m_loopDecode(makeDecoder())
    , m_workerDecode(makeDecoder())
    , m_state(size_t(m_count), State::Waiting)
    , m_results(size_t(MaxAhead + 1))
{
    if (m_count > 1)
        m_worker = std::thread([this] { work(); });
}

ReadAhead::ReadAhead(QStringList paths, const std::function<Decode()> &makeDecoder)
    : ReadAhead(int(paths.size()), [paths](int index) { return paths[index]; }, makeDecoder)
{
}

ReadAhead::~ReadAhead()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

int ReadAhead::claimAhead()
{
    if (m_stopping || m_nextClaim >= m_count || m_nextClaim > m_current + MaxAhead)
        return -1;
    const int index = m_nextClaim++;
    m_state[size_t(index)] = State::Claimed;
    return index;
}

void ReadAhead::work()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        int index = -1;
        m_changed.wait(lock, [&] {
            return m_stopping || m_nextClaim >= m_count || (index = claimAhead()) >= 0;
        });
        if (index < 0)
            return;
        lock.unlock();
        Result result;
        try {
            result = m_workerDecode(m_pathOf(index));
        } catch (...) {
            // Out of memory while composing: the file shows as one that
            // could not be decoded (a white cell, 0 * 0), as on the loop.
            result = Result();
        }
        lock.lock();
        // A file the loop went past keeps no result: its slot may be a later
        // file's by now.
        if (index >= m_current)
            resultOf(index) = std::move(result);
        m_state[size_t(index)] = State::Ready;
        m_changed.notify_all();
    }
}

ReadAhead::Result ReadAhead::take(int index)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (index < 0 || index >= m_count)
        return {};
    m_current = index;
    m_changed.notify_all(); // the worker may go further ahead now
    for (;;) {
        State &state = m_state[size_t(index)];
        if (state == State::Ready) {
            state = State::Taken;
            return std::exchange(resultOf(index), Result());
        }
        // Not started: the loop decodes it itself, in order.
        int own = -1;
        if (state == State::Waiting) {
            own = index;
            state = State::Claimed;
            if (m_nextClaim <= index)
                m_nextClaim = index + 1;
        } else {
            // The worker is on it: decode a later file meanwhile.
            own = claimAhead();
        }
        if (own < 0) {
            m_changed.wait(lock, [&] { return state == State::Ready; });
            continue;
        }
        lock.unlock();
        Result result = m_loopDecode(m_pathOf(own));
        lock.lock();
        if (own == index) {
            state = State::Taken;
            return result;
        }
        resultOf(own) = std::move(result);
        m_state[size_t(own)] = State::Ready;
    }
}

} // namespace pelandor
