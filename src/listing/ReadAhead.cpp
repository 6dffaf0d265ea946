#include "listing/ReadAhead.h"

#include <utility>

namespace pelandor {

ReadAhead::ReadAhead(QStringList paths, const std::function<Decode()> &makeDecoder)
    : m_paths(std::move(paths))
    , m_loopDecode(makeDecoder())
    , m_workerDecode(makeDecoder())
    , m_state(size_t(m_paths.size()), State::Waiting)
    , m_results(size_t(m_paths.size()))
{
    if (m_paths.size() > 1)
        m_worker = std::thread([this] { work(); });
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
    if (m_stopping || m_nextClaim >= int(m_paths.size()) || m_nextClaim > m_current + MaxAhead)
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
            return m_stopping || m_nextClaim >= int(m_paths.size()) || (index = claimAhead()) >= 0;
        });
        if (index < 0)
            return;
        lock.unlock();
        Result result;
        try {
            result = m_workerDecode(m_paths[index]);
        } catch (...) {
            // Out of memory while composing: the file shows as one that
            // could not be decoded (a white cell, 0 * 0), as on the loop.
            result = Result();
        }
        lock.lock();
        m_results[size_t(index)] = std::move(result);
        m_state[size_t(index)] = State::Ready;
        m_changed.notify_all();
    }
}

ReadAhead::Result ReadAhead::take(int index)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (index < 0 || index >= int(m_paths.size()))
        return {};
    m_current = index;
    m_changed.notify_all(); // the worker may go further ahead now
    for (;;) {
        State &state = m_state[size_t(index)];
        if (state == State::Ready) {
            state = State::Taken;
            return std::exchange(m_results[size_t(index)], Result());
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
        Result result = m_loopDecode(m_paths[own]);
        lock.lock();
        if (own == index) {
            state = State::Taken;
            return result;
        }
        m_results[size_t(own)] = std::move(result);
        m_state[size_t(own)] = State::Ready;
    }
}

} // namespace pelandor
