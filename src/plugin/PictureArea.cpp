#include "plugin/PictureArea.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace pelandor {

void PictureArea::reset(int fd)
{
    if (m_map)
        ::munmap(m_map, m_mapped);
    if (m_fd >= 0)
        ::close(m_fd);
    m_map = nullptr;
    m_mapped = 0;
    m_fd = fd;
}

bool PictureArea::create()
{
    const int fd = ::memfd_create("pelandor-picture", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd >= 0 && ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK) != 0) {
        ::close(fd);
        return false;
    }
    reset(fd);
    return fd >= 0;
}

std::string PictureArea::procPath() const
{
    return "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(m_fd);
}

bool PictureArea::map(uint64_t total)
{
    if (total <= m_mapped)
        return true;
    struct stat st {};
    const int seals = m_fd >= 0 ? ::fcntl(m_fd, F_GET_SEALS) : -1;
    if (seals < 0 || !(seals & F_SEAL_SHRINK) || ::fstat(m_fd, &st) != 0 || uint64_t(st.st_size) < total)
        return false;
    if (m_map)
        ::munmap(m_map, m_mapped);
    void *mapped = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_SHARED, m_fd, 0);
    m_map = mapped == MAP_FAILED ? nullptr : static_cast<char *>(mapped);
    m_mapped = m_map ? size_t(st.st_size) : 0;
    return m_map != nullptr;
}

void *PictureArea::copyBlock(uint64_t offset, uint64_t size)
{
    void *block = newBlock(size);
    if (block && !read(block, offset, size)) {
        std::free(block);
        return nullptr;
    }
    return block;
}

bool PictureArea::read(void *out, uint64_t offset, uint64_t size)
{
    // The area can only grow, so what is mapped stays readable while copying.
    if (offset + size < offset || !map(offset + size))
        return false;
    if (size)
        std::memcpy(out, m_map + offset, size_t(size));
    return true;
}

void *PictureArea::newBlock(uint64_t size)
{
    if (size > SIZE_MAX / 2)
        return nullptr;
    void *block = std::malloc(size ? size_t(size) : 1);
    if (!block)
        return nullptr;
    const size_t usable = malloc_usable_size(block);
    if (usable > size)
        std::memset(static_cast<char *>(block) + size, 0, usable - size_t(size));
    return block;
}

} // namespace pelandor
