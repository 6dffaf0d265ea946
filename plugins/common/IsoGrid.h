/*
 * The grid of an ISO base media file's primary picture (AVIF, HEIF), read
 * from the file's own boxes before any library decodes it: libavif and
 * libheif bound a picture by its declared size, but neither the tiles of a
 * grid nor the size its grid data assembles are held to that size. A grid is
 * accepted only when its tiles are all alike, each tile row and column shows
 * in the picture, the picture it assembles is the one declared, and all its
 * tiles together stay within the host's pixel bound and, where the format
 * has one, its pixels per byte of the file. The boxes are judged damaged,
 * too, when a derived picture is made of an item that is no picture the
 * file declares (libheif ends the process on such a file) or when one of
 * the boxes read comes twice.
 */
#ifndef PELANDOR_ISO_GRID_H
#define PELANDOR_ISO_GRID_H

#include <stdint.h>
#include <sys/types.h>

struct ModuleGrid {
    int isGrid;              /* the primary item is a grid ("grid") */
    uint32_t rows;           /* from the grid's data */
    uint32_t columns;
    uint32_t outputWidth;    /* the size the grid assembles */
    uint32_t outputHeight;
    uint32_t declaredWidth;  /* the primary item's image-size property, 0: none */
    uint32_t declaredHeight;
    uint32_t tileCount;      /* pictures the grid references */
    uint32_t tileWidth;      /* the first tile's image-size property */
    uint32_t tileHeight;
    int tilesAlike;          /* every tile declares the first one's size */
};

/* Reads the boxes of the file `fd` from `base` on (`size` bytes) into
 * `grid`. 1 when they could be read (a primary picture that is no grid
 * leaves isGrid 0), 0 when the boxes the grid needs are damaged. */
int module_read_grid(int fd, off_t base, uint64_t size, struct ModuleGrid *grid);

/* Whether a grid read by module_read_grid may be decoded: see above;
 * `pixelsPerByte` 0 for a format without a density bound. */
int module_grid_acceptable(const struct ModuleGrid *grid, uint64_t fileBytes, uint64_t pixelsPerByte);

#endif
