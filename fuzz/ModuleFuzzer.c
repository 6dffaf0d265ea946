/*
 * One shipped module's four calls on a file holding the input: IsSupported
 * through a descriptor at offset 0, GetPictureInfo, and GetPicture, whose
 * blocks are freed as the host frees them. The file is an anonymous file in
 * memory, named by its /proc path, so a run costs no disk writes.
 */
#define _GNU_SOURCE
#include "pelandor/spi_plugin.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

static int memoryFile = -1;
static char memoryPath[64];

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SpiHandle info = NULL;
    SpiHandle bits = NULL;
    PictureInfo record;
    int fd;
    if (memoryFile < 0) {
        memoryFile = memfd_create("pelandor-fuzz", MFD_CLOEXEC);
        if (memoryFile < 0)
            abort();
        snprintf(memoryPath, sizeof memoryPath, "/proc/self/fd/%d", memoryFile);
    }
    if (ftruncate(memoryFile, 0) != 0 || (size > 0 && pwrite(memoryFile, data, size, 0) != (ssize_t)size))
        abort();

    fd = open(memoryPath, O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        IsSupported(memoryPath, (uint32_t)fd);
        close(fd);
    }
    GetPictureInfo(memoryPath, 0, SPI_INPUT_FILE, &record);
    if (GetPicture(memoryPath, 0, SPI_INPUT_FILE, &info, &bits, NULL, 0) == 0) {
        free(info);
        free(bits);
    }
    return 0;
}
