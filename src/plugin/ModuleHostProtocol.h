// How the plug-in host and the Linux module host helper exchange the
// messages of ModuleHostMessages.h: over a stream socket pair, each message a
// 32-bit length followed by that many bytes, with at most one file
// descriptor beside it as SCM_RIGHTS ancillary data. IsSupported carries the
// open file that way; the first GetPicture answer that uses it carries the
// shared area, a memfd sealed against shrinking that only grows, which holds
// the info block, then the bits block. Keeping it saves mapping and faulting
// in fresh pages for every picture.
//
// Pipes (to the Windows module host, which cannot take descriptors) use
// readFully/writeFully with the same deadlines and wait hook.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "plugin/ModuleHostMessages.h"

namespace pelandor::modulehost {

// The helper's end of the socket pair.
constexpr int HelperSocketFd = 3;

// A shared area larger than this is used for one picture only: after it
// both sides drop it (the program once it has copied the blocks, the helper
// once it has answered), and the helper makes a new one for the next
// picture, so a picture much larger than the usual does not keep its memory
// for the rest of a reading.
constexpr size_t LargeArea = size_t(32) << 20;

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

// Reads exactly `size` bytes from a pipe or stream; false on end of file, an
// error, or when the deadline (-1: none) passes first.
bool readFully(int fd, void *out, size_t size, int64_t deadline, const WaitHook &whileWaiting = {});
// Writes all `size` bytes; false on an error or when the deadline passes.
bool writeFully(int fd, const void *data, size_t size, int64_t deadline, const WaitHook &whileWaiting = {});

} // namespace pelandor::modulehost
