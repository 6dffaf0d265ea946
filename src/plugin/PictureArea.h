// The program's side of the area in which a module host hands back the
// blocks of a picture: a memory file (memfd) sealed against shrinking, which
// the host writes and may only grow, and which is mapped here read-only, so
// it can be read at any time without a fault. Keeping one area per host
// saves mapping and faulting in fresh pages for every picture. The Linux
// helper makes its area and sends it beside its first picture; for the
// Windows host under Wine the area is made here and opened there by its
// /proc path. Plain C++ with no Qt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pelandor {

class PictureArea {
public:
    PictureArea() = default;
    ~PictureArea() { reset(); }
    PictureArea(const PictureArea &) = delete;
    PictureArea &operator=(const PictureArea &) = delete;

    // Takes the area `fd` (-1: none), releasing the one held before.
    void reset(int fd = -1);
    // Makes a new, empty area sealed against shrinking; false when it
    // cannot be made.
    bool create();
    int fd() const { return m_fd; }
    // How many bytes of the area are mapped here (its size when last read).
    size_t size() const { return m_mapped; }
    // The path by which another process of this user opens the area.
    std::string procPath() const;

    // A new malloc() block holding the `size` bytes at `offset`, with the
    // allocator's slack behind them zero-filled (blocks are measured with
    // malloc_usable_size); nullptr when the area is not a memfd sealed
    // against shrinking that holds them, or out of memory.
    void *copyBlock(uint64_t offset, uint64_t size);
    // Copies the `size` bytes at `offset` into `out`; false as above.
    bool read(void *out, uint64_t offset, uint64_t size);

    // A new malloc() block of `size` bytes with the allocator's slack behind
    // them zero-filled; nullptr when out of memory.
    static void *newBlock(uint64_t size);

private:
    bool map(uint64_t total);

    int m_fd = -1;
    char *m_map = nullptr;
    size_t m_mapped = 0;
};

} // namespace pelandor
