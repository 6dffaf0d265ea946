// The messages between the plug-in host and a module host process: the same
// requests and answers whether the module runs in pelandor-module-host (a
// Linux helper reached over a socket pair) or in the Windows module host
// under Wine (reached over pipes). Only how a message travels differs; see
// ModuleHostProtocol.h and WineModuleHost.h. Portable C++ with no Qt and no
// system headers: the Windows host is compiled from it too.
//
// A message body is a one-byte operation, then its fields in order, in the
// byte order of the machine (both ends run on it):
//
//   Ready          host -> program  i32 loaded (1 when the module(s) can be served)
//   GetPluginInfo  program -> host  i32 infoNo, i32 length, u8 hasBuffer, the
//                                   buffer's first min(length, MaxInfoLength)
//                                   bytes when hasBuffer
//                  answer           i32 result, the same number of bytes
//   IsSupported    program -> host  i64 position, path
//                  answer           i32 result
//   GetPictureInfo program -> host  i32 offset, u32 flag, path
//                  answer           i32 result, the 26-byte record
//   GetPicture     program -> host  i32 offset, u32 flag, i32 callbackData, path
//                  answer           i32 result, u8 stored (bit 0 info, bit 1
//                                   bits, bit 2 both handles are one block),
//                                   u64 infoSize, u64 bitsSize, u64
//                                   infoAddress, u64 bitsAddress (bit 4,
//                                   else 0); the blocks follow as the
//                                   transport says (bit 3: in the shared
//                                   area; bit 4: in the host's memory)
//   LoadModule     program -> host  path (Windows host only: it serves several)
//                  answer           i32 result (1 loaded)
//   UnloadModule   program -> host  (Windows host only)
//                  answer           i32 result
//   CopyPicture    program -> host  (Windows host only) the blocks of the
//                                   last GetPicture answer, which the
//                                   program could not read in the host's
//                                   memory; from then on the host sends
//                                   every picture's blocks
//                  answer           as GetPicture's, never bit 4
//   ReleasePicture program -> host  (Windows host only) the program has
//                                   read the last picture's blocks in the
//                                   host's memory, which may go now
//                  no answer
//
// A path is a u32 length and its bytes. IsSupported's position is where the
// file must stand when the module reads it (0, or 128 past a header): a host
// that gets the open file beside the request finds it there already, one
// that opens the file itself moves there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "pelandor/spi_plugin.h"

namespace pelandor::modulehost {

enum class Op : uint8_t {
    Ready = 1,
    GetPluginInfo,
    IsSupported,
    GetPictureInfo,
    GetPicture,
    LoadModule,
    UnloadModule,
    CopyPicture,
    ReleasePicture
};

// Bytes of an information buffer that travel; a longer buffer is announced
// with this length.
constexpr int32_t MaxInfoLength = 1 << 20;
// Largest message body, far above any request or reply.
constexpr uint32_t MaxMessage = MaxInfoLength + 4096;
// Largest block of a picture that travels back (a picture of 2^28 pixels at
// 32 bits); a larger one is dropped, and the program sees no block.
constexpr uint64_t MaxBlock = uint64_t(1) << 30;

// InShared: the blocks are in the area shared with the host rather than
// behind the answer on its pipe. InHost: they stay in the host's own memory,
// at the addresses the answer gives, until its next request.
enum StoredFlag : uint8_t { InfoStored = 1, BitsStored = 2, SameBlock = 4, InShared = 8, InHost = 16 };

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
    void putText(const std::string &text)
    {
        put(uint32_t(text.size()));
        m_body.append(text);
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
    // Reads the operation and checks that it is `expected`.
    bool expect(Op expected)
    {
        Op found{};
        return op(found) && found == expected;
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

// The requests, as both ends see them. encode() writes the whole body;
// decode() reads the fields after the operation byte.

struct PluginInfoRequest {
    int32_t infoNo = 0;
    int32_t length = 0; // as announced, at most MaxInfoLength
    bool hasBuffer = false;
    std::string buffer; // the buffer's first max(length, 0) bytes when hasBuffer

    size_t carried() const { return length > 0 ? size_t(length) : 0; }
    std::string encode() const
    {
        Writer out(Op::GetPluginInfo);
        out.put(infoNo);
        out.put(length);
        out.put(uint8_t(hasBuffer ? 1 : 0));
        if (hasBuffer)
            out.putBytes(buffer.data(), carried());
        return out.body();
    }
    bool decode(Reader &in)
    {
        uint8_t flag = 0;
        if (!in.get(infoNo) || !in.get(length) || !in.get(flag) || length > MaxInfoLength)
            return false;
        hasBuffer = flag != 0;
        buffer.assign(carried(), '\0');
        return !hasBuffer || in.getBytes(buffer.data(), carried());
    }
};

struct FileRequest {
    int64_t position = 0;
    std::string path;

    std::string encode() const
    {
        Writer out(Op::IsSupported);
        out.put(position);
        out.putText(path);
        return out.body();
    }
    bool decode(Reader &in) { return in.get(position) && in.getText(path); }
};

struct LoadRequest {
    std::string path;

    std::string encode() const
    {
        Writer out(Op::LoadModule);
        out.putText(path);
        return out.body();
    }
    bool decode(Reader &in) { return in.getText(path); }
};

struct PictureInfoRequest {
    int32_t offset = 0;
    uint32_t flag = 0;
    std::string path;

    std::string encode() const
    {
        Writer out(Op::GetPictureInfo);
        out.put(offset);
        out.put(flag);
        out.putText(path);
        return out.body();
    }
    bool decode(Reader &in) { return in.get(offset) && in.get(flag) && in.getText(path); }
};

struct PictureRequest {
    int32_t offset = 0;
    uint32_t flag = 0;
    int32_t callbackData = 0;
    std::string path;

    std::string encode() const
    {
        Writer out(Op::GetPicture);
        out.put(offset);
        out.put(flag);
        out.put(callbackData);
        out.putText(path);
        return out.body();
    }
    bool decode(Reader &in) { return in.get(offset) && in.get(flag) && in.get(callbackData) && in.getText(path); }
};

// The answers.

struct ResultAnswer {
    int32_t result = 0;

    std::string encode(Op op) const
    {
        Writer out(op);
        out.put(result);
        return out.body();
    }
    bool decode(Reader &in, Op op) { return in.expect(op) && in.get(result); }
};

struct PluginInfoAnswer {
    int32_t result = -1;
    std::string buffer; // as many bytes as the request carried

    std::string encode() const
    {
        Writer out(Op::GetPluginInfo);
        out.put(result);
        out.putBytes(buffer.data(), buffer.size());
        return out.body();
    }
    bool decode(Reader &in, size_t carried)
    {
        buffer.assign(carried, '\0');
        return in.expect(Op::GetPluginInfo) && in.get(result) && in.getBytes(buffer.data(), carried);
    }
};

// The answer to `request` from `call(infoNo, buffer, length)`, the module's
// GetPluginInfo (buffer nullptr when the request has none). The module gets
// room behind the buffer, for modules that write past the length they are
// told; only the announced length travels back.
template<typename Call>
PluginInfoAnswer answerPluginInfo(const PluginInfoRequest &request, Call call)
{
    constexpr size_t OverrunSlack = 4096;
    std::string buffer = request.buffer;
    buffer.resize(request.carried() + OverrunSlack, '\0');
    PluginInfoAnswer answer;
    answer.result = call(request.infoNo, request.hasBuffer ? buffer.data() : nullptr, request.length);
    answer.buffer = buffer.substr(0, request.carried());
    return answer;
}

struct PictureInfoAnswer {
    int32_t result = 0;
    PictureInfo info{};

    std::string encode() const
    {
        Writer out(Op::GetPictureInfo);
        out.put(result);
        out.putBytes(&info, sizeof info);
        return out.body();
    }
    bool decode(Reader &in) { return in.expect(Op::GetPictureInfo) && in.get(result) && in.getBytes(&info, sizeof info); }
};

struct PictureAnswer {
    int32_t result = 0;
    uint8_t stored = 0;
    uint64_t infoSize = 0;
    uint64_t bitsSize = 0;
    uint64_t infoAddress = 0;
    uint64_t bitsAddress = 0;

    std::string encode(Op op = Op::GetPicture) const
    {
        Writer out(op);
        out.put(result);
        out.put(stored);
        out.put(infoSize);
        out.put(bitsSize);
        out.put(infoAddress);
        out.put(bitsAddress);
        return out.body();
    }
    // Fails on blocks larger than MaxBlock, which no host sends.
    bool decode(Reader &in, Op op = Op::GetPicture)
    {
        return in.expect(op) && in.get(result) && in.get(stored) && in.get(infoSize) && in.get(bitsSize)
            && in.get(infoAddress) && in.get(bitsAddress) && infoSize <= MaxBlock && bitsSize <= MaxBlock;
    }
};

} // namespace pelandor::modulehost
