// The protocol between the plug-in host and the module host helper process,
// over a stream socket pair. Every message is a 32-bit length (host byte
// order: both ends are the same machine and build) followed by that many
// bytes: a one-byte operation, then its fields in order. A file descriptor
// travels beside a message as SCM_RIGHTS ancillary data.
//
//   Ready          helper -> host  i32 loaded (1 when the module was loaded)
//   GetPluginInfo  host -> helper  i32 infoNo, i32 length, u8 hasBuffer, the
//                                  buffer's first min(length, MaxInfoLength)
//                                  bytes when hasBuffer
//                  reply           i32 result, the same number of bytes
//   IsSupported    host -> helper  path; the descriptor beside it
//                  reply           i32 result
//   GetPictureInfo host -> helper  i32 offset, u32 flag, path
//                  reply           i32 result, the 26-byte record
//   GetPicture     host -> helper  i32 offset, u32 flag, i32 callbackData, path
//                  reply           i32 result, u8 stored (bit 0 info, bit 1
//                                  bits, bit 2 both handles are one block),
//                                  u64 infoSize, u64 bitsSize; the shared
//                                  area holds the info block, then the bits
//                                  block, when either is stored
// The shared area is one memfd per helper, sealed against shrinking, that
// only grows; it travels beside the first GetPicture reply that uses it.
// Keeping it saves mapping and faulting in fresh pages for every picture.
// A path is a u32 length and its bytes. Plain C++ with no Qt: the helper
// links it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <cstring>
#include <string>

namespace pelandor::modulehost {

enum class Op : uint8_t { Ready = 1, GetPluginInfo, IsSupported, GetPictureInfo, GetPicture };

// Bytes of an information buffer that travel; a longer buffer is announced
// with this length.
constexpr int32_t MaxInfoLength = 1 << 20;
// Largest message body, far above any request or reply.
constexpr uint32_t MaxMessage = MaxInfoLength + 4096;
// Largest block of a picture that travels back (a picture of 2^28 pixels at
// 32 bits); a larger one is dropped, and the host sees no block.
constexpr uint64_t MaxBlock = uint64_t(1) << 30;
// The helper's end of the socket pair.
constexpr int HelperSocketFd = 3;

enum StoredFlag : uint8_t { InfoStored = 1, BitsStored = 2, SameBlock = 4 };

// A message body being written.
class Writer {
public:
    explicit Writer(Op op) { m_body.push_back(char(op)); }
    template<typename T>
    void put(T value)
    {
        char raw[sizeof(T)];
        std::memcpy(raw, &value, sizeof(T));
        m_body.append(raw, sizeof(T));
    }
    void putBytes(const void *data, size_t size) { m_body.append(static_cast<const char *>(data), size); }
    void putText(const char *text)
    {
        const size_t size = text ? std::strlen(text) : 0;
        put(uint32_t(size));
        putBytes(text, size);
    }
    const std::string &body() const { return m_body; }

private:
    std::string m_body;
};

// A message body being read; every read fails once the body is short.
class Reader {
public:
    explicit Reader(const std::string &body)
        : m_body(body)
    {
    }
    bool op(Op &op)
    {
        uint8_t raw = 0;
        if (!get(raw))
            return false;
        op = Op(raw);
        return true;
    }
    template<typename T>
    bool get(T &value)
    {
        if (m_body.size() - m_at < sizeof(T))
            return false;
        std::memcpy(&value, m_body.data() + m_at, sizeof(T));
        m_at += sizeof(T);
        return true;
    }
    bool getBytes(void *out, size_t size)
    {
        if (m_body.size() - m_at < size)
            return false;
        std::memcpy(out, m_body.data() + m_at, size);
        m_at += size;
        return true;
    }
    bool getText(std::string &text)
    {
        uint32_t size = 0;
        if (!get(size) || m_body.size() - m_at < size)
            return false;
        text.assign(m_body.data() + m_at, size);
        m_at += size;
        return true;
    }

private:
    const std::string &m_body;
    size_t m_at = 0;
};

// Milliseconds on the monotonic clock.
int64_t nowMs();

// Called about every WaitHookIntervalMs while a send or receive waits for the
// other side, so that a caller with a window can keep it painting.
using WaitHook = std::function<void()>;
constexpr int WaitHookIntervalMs = 50;

// Sends one message with `fd` beside it (-1: none). With a deadline (a nowMs()
// value, -1 for none) on a non-blocking socket, gives up when it passes.
bool sendMessage(int socket, const std::string &body, int fd, int64_t deadline, const WaitHook &whileWaiting = {});
// Receives one message; a descriptor that came beside it is stored in `*fd`
// (-1 when none came), which the caller closes.
bool receiveMessage(int socket, std::string &body, int *fd, int64_t deadline, const WaitHook &whileWaiting = {});

} // namespace pelandor::modulehost
