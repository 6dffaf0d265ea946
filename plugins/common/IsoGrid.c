/*
 * See IsoGrid.h. Only the boxes a grid needs are read: the top-level "meta"
 * box (read whole, up to MAX_META bytes), and in it the primary item
 * ("pitm"), the item types ("iinf"), the grid's tiles ("iref" "dimg"), the
 * image-size properties ("iprp": "ipco", "ipma"), and where the grid's data
 * lies ("iloc", in the file or in "idat").
 */
#include "IsoGrid.h"

#include "ModuleSupport.h"

#include <stdlib.h>
#include <string.h>

/* Largest "meta" box read; far above the few kilobytes of a real file's. */
#define MAX_META (16u << 20)

/* Top-level boxes looked at before "meta" is given up for missing. */
#define MAX_TOP_BOXES 1024u

/* What a tile's side may exceed the picture's by in a grid of one row or
 * column: a coded block's padding, with room to spare. */
#define TILE_PADDING 256u

/* A region of the "meta" box being read; every read fails once it is short. */
struct Bytes {
    const unsigned char *at;
    size_t left;
};

static int take(struct Bytes *b, size_t n, uint64_t *value)
{
    size_t i;
    if (n > 8 || b->left < n)
        return 0;
    *value = 0;
    for (i = 0; i < n; ++i)
        *value = (*value << 8) | b->at[i];
    b->at += n;
    b->left -= n;
    return 1;
}

static int take32(struct Bytes *b, uint32_t *value)
{
    uint64_t v = 0;
    if (!take(b, 4, &v))
        return 0;
    *value = (uint32_t)v;
    return 1;
}

/* The next box of `b`: its type and body. 0 at the end or on a damaged box. */
static int next_box(struct Bytes *b, char type[4], struct Bytes *body)
{
    uint64_t size = 0;
    size_t header = 8;
    if (b->left < 8)
        return 0;
    size = ((uint64_t)b->at[0] << 24) | ((uint64_t)b->at[1] << 16) | ((uint64_t)b->at[2] << 8) | b->at[3];
    memcpy(type, b->at + 4, 4);
    if (size == 1) {
        struct Bytes large = {b->at + 8, b->left - 8};
        if (!take(&large, 8, &size))
            return 0;
        header = 16;
    } else if (size == 0) {
        size = b->left;
    }
    if (size < header || size > b->left)
        return 0;
    body->at = b->at + header;
    body->left = (size_t)size - header;
    b->at += size;
    b->left -= (size_t)size;
    return 1;
}

/* The version of a full box, whose body then goes on after its flags. */
static int full_box(struct Bytes *body, unsigned *version)
{
    uint64_t v = 0;
    if (!take(body, 4, &v))
        return 0;
    *version = (unsigned)(v >> 24);
    return 1;
}

/* The boxes of "meta" the grid needs; each `left` 0 when missing. */
struct Meta {
    struct Bytes pitm, iinf, iref, iprp, iloc, idat;
};

/* Finds the boxes of "meta" the grid needs. 0 when one of them comes twice:
 * the libraries do not agree on which one counts, so neither may be judged
 * in place of the other. */
static int find_meta_children(struct Bytes meta, struct Meta *m)
{
    static const char Names[6][5] = {"pitm", "iinf", "iref", "iprp", "iloc", "idat"};
    struct Bytes *const slots[6] = {&m->pitm, &m->iinf, &m->iref, &m->iprp, &m->iloc, &m->idat};
    int seen[6] = {0, 0, 0, 0, 0, 0};
    char type[4];
    struct Bytes body;
    size_t i;
    while (next_box(&meta, type, &body)) {
        for (i = 0; i < 6; ++i) {
            if (memcmp(type, Names[i], 4) != 0)
                continue;
            if (seen[i]++)
                return 0;
            *slots[i] = body;
        }
    }
    return 1;
}

static int primary_item(struct Bytes b, uint32_t *id)
{
    unsigned version = 0;
    uint64_t v = 0;
    if (!full_box(&b, &version) || !take(&b, version == 0 ? 2 : 4, &v))
        return 0;
    *id = (uint32_t)v;
    return 1;
}

/* The four-character type of item `id`, from "iinf". */
static int item_type(struct Bytes b, uint32_t id, char type[4])
{
    unsigned version = 0;
    uint64_t count = 0;
    char boxType[4];
    struct Bytes infe;
    if (!full_box(&b, &version) || !take(&b, version == 0 ? 2 : 4, &count))
        return 0;
    while (next_box(&b, boxType, &infe)) {
        unsigned v = 0;
        uint64_t item = 0;
        uint64_t protection = 0;
        if (memcmp(boxType, "infe", 4) != 0 || !full_box(&infe, &v) || v < 2)
            continue;
        if (!take(&infe, v == 2 ? 2 : 4, &item) || !take(&infe, 2, &protection) || infe.left < 4)
            continue;
        if (item == id) {
            memcpy(type, infe.at, 4);
            return 1;
        }
    }
    return 0;
}

static int compare_ids(const void *a, const void *b)
{
    const uint32_t x = *(const uint32_t *)a;
    const uint32_t y = *(const uint32_t *)b;
    return x < y ? -1 : x > y;
}

/* The next "dimg" reference in the boxes of an "iref" body (after its
 * full-box header): the item `from` that is derived, the number `count` of
 * items it is made of, and `to`, the bytes naming them (`idBytes` each).
 * 1 when found, 0 when no reference is left, -1 when one is cut short. */
static int next_derivation(struct Bytes *iref, size_t idBytes, uint64_t *from, uint64_t *count, struct Bytes *to)
{
    char type[4];
    while (next_box(iref, type, to)) {
        if (memcmp(type, "dimg", 4) != 0)
            continue;
        return take(to, idBytes, from) && take(to, 2, count) ? 1 : -1;
    }
    return 0;
}

/* The items the grid `id` is made of ("dimg" from it), sorted, in a new
 * block the caller frees; *count of them. */
static int grid_tiles(struct Bytes b, uint32_t id, uint32_t **tiles, uint32_t *count)
{
    unsigned version = 0;
    struct Bytes reference;
    uint64_t from = 0;
    uint64_t n = 0;
    int found;
    *tiles = NULL;
    *count = 0;
    if (!full_box(&b, &version))
        return 0;
    while ((found = next_derivation(&b, version == 0 ? 2 : 4, &from, &n, &reference)) != 0) {
        uint64_t i;
        if (found < 0)
            return 0;
        if (from != id)
            continue;
        if (*tiles || n == 0)
            return 0;
        *tiles = malloc((size_t)n * sizeof **tiles);
        if (!*tiles)
            return 0;
        for (i = 0; i < n; ++i) {
            uint64_t to = 0;
            if (!take(&reference, version == 0 ? 2 : 4, &to))
                return 0;
            (*tiles)[i] = (uint32_t)to;
        }
        *count = (uint32_t)n;
        qsort(*tiles, *count, sizeof **tiles, compare_ids);
    }
    return *tiles != NULL;
}

/* Whether an item type is one of the pictures a derived picture may be made
 * of. libheif takes only these for pictures, and asserts (ends the process)
 * when a derived picture refers to anything else. */
static int is_picture_type(const char type[4])
{
    static const char *const Pictures[] = {"hvc1", "av01", "grid", "iden", "iovl"};
    size_t i;
    for (i = 0; i < sizeof Pictures / sizeof *Pictures; ++i) {
        if (memcmp(type, Pictures[i], 4) == 0)
            return 1;
    }
    return 0;
}

/* Whether every item a derived picture is made of ("dimg" to it) is a
 * picture that "iinf" declares. */
static int references_valid(struct Bytes iref, struct Bytes iinf)
{
    unsigned version = 0;
    struct Bytes reference;
    uint64_t from = 0;
    uint64_t n = 0;
    int found;
    if (iref.left == 0)
        return 1;
    if (!full_box(&iref, &version))
        return 0;
    while ((found = next_derivation(&iref, version == 0 ? 2 : 4, &from, &n, &reference)) != 0) {
        uint64_t i;
        if (found < 0)
            return 0;
        for (i = 0; i < n; ++i) {
            uint64_t to = 0;
            char toType[4];
            if (!take(&reference, version == 0 ? 2 : 4, &to) || !item_type(iinf, (uint32_t)to, toType)
                || !is_picture_type(toType))
                return 0;
        }
    }
    return 1;
}

/* The image-size properties of the primary item and of the tiles. */
static int read_sizes(struct Bytes iprp, uint32_t primary, const uint32_t *tiles, uint32_t tileCount,
                      struct ModuleGrid *grid)
{
    enum { MaxProperties = 1024 };
    struct Bytes properties[MaxProperties];
    char propertyType[MaxProperties][4];
    unsigned propertyCount = 0;
    struct Bytes ipco = {NULL, 0};
    struct Bytes body;
    char type[4];
    struct Bytes scan = iprp;
    uint32_t sized = 0;

    while (next_box(&scan, type, &body)) {
        if (memcmp(type, "ipco", 4) == 0)
            ipco = body;
    }
    while (propertyCount < MaxProperties && next_box(&ipco, propertyType[propertyCount], &properties[propertyCount]))
        ++propertyCount;

    grid->tilesAlike = 1;
    scan = iprp;
    while (next_box(&scan, type, &body)) {
        uint32_t flags = 0;
        unsigned version;
        uint32_t entries = 0;
        uint32_t e;
        if (memcmp(type, "ipma", 4) != 0)
            continue;
        if (!take32(&body, &flags) || !take32(&body, &entries))
            return 0;
        version = flags >> 24;
        for (e = 0; e < entries; ++e) {
            uint64_t item = 0;
            uint64_t associations = 0;
            uint64_t a;
            uint32_t key;
            int isTile;
            if (!take(&body, version < 1 ? 2 : 4, &item) || !take(&body, 1, &associations))
                return 0;
            key = (uint32_t)item;
            isTile = bsearch(&key, tiles, tileCount, sizeof *tiles, compare_ids) != NULL;
            for (a = 0; a < associations; ++a) {
                uint64_t index = 0;
                struct Bytes ispe;
                unsigned v = 0;
                uint32_t width = 0;
                uint32_t height = 0;
                if (!take(&body, (flags & 1u) ? 2 : 1, &index))
                    return 0;
                index &= (flags & 1u) ? 0x7FFFu : 0x7Fu;
                if (index == 0 || index > propertyCount || memcmp(propertyType[index - 1], "ispe", 4) != 0)
                    continue;
                ispe = properties[index - 1];
                if (!full_box(&ispe, &v) || !take32(&ispe, &width) || !take32(&ispe, &height))
                    return 0;
                if (item == primary) {
                    grid->declaredWidth = width;
                    grid->declaredHeight = height;
                } else if (isTile) {
                    if (sized == 0) {
                        grid->tileWidth = width;
                        grid->tileHeight = height;
                    } else if (width != grid->tileWidth || height != grid->tileHeight) {
                        grid->tilesAlike = 0;
                    }
                    ++sized;
                }
            }
        }
    }
    /* A tile without a size of its own is one that cannot be measured. */
    if (sized < tileCount)
        grid->tilesAlike = 0;
    return 1;
}

/* The first bytes of item `id`'s data: in the file (from `base`) or in
 * "idat". */
static int item_data(int fd, off_t base, uint64_t fileSize, struct Bytes iloc, struct Bytes idat, uint32_t id,
                     unsigned char *out, size_t length)
{
    unsigned version = 0;
    uint64_t sizes = 0;
    uint64_t count = 0;
    unsigned offsetSize, lengthSize, baseOffsetSize, indexSize;
    uint64_t i;
    if (!full_box(&iloc, &version) || version > 2 || !take(&iloc, 2, &sizes))
        return 0;
    offsetSize = (unsigned)(sizes >> 12) & 15u;
    lengthSize = (unsigned)(sizes >> 8) & 15u;
    baseOffsetSize = (unsigned)(sizes >> 4) & 15u;
    indexSize = (version == 1 || version == 2) ? (unsigned)sizes & 15u : 0u;
    if (!take(&iloc, version < 2 ? 2 : 4, &count))
        return 0;
    for (i = 0; i < count; ++i) {
        uint64_t item = 0;
        uint64_t method = 0;
        uint64_t reference = 0;
        uint64_t baseOffset = 0;
        uint64_t extents = 0;
        uint64_t e;
        uint64_t first = 0;
        uint64_t firstLength = 0;
        if (!take(&iloc, version < 2 ? 2 : 4, &item))
            return 0;
        if ((version == 1 || version == 2) && !take(&iloc, 2, &method))
            return 0;
        if (!take(&iloc, 2, &reference) || !take(&iloc, baseOffsetSize, &baseOffset) || !take(&iloc, 2, &extents))
            return 0;
        for (e = 0; e < extents; ++e) {
            uint64_t index = 0;
            uint64_t extentOffset = 0;
            uint64_t extentLength = 0;
            if (!take(&iloc, indexSize, &index) || !take(&iloc, offsetSize, &extentOffset)
                || !take(&iloc, lengthSize, &extentLength))
                return 0;
            if (e == 0) {
                first = baseOffset + extentOffset;
                firstLength = extentLength;
            }
        }
        if (item != id)
            continue;
        method &= 15u;
        if (extents == 0 || (firstLength != 0 && firstLength < length))
            return 0;
        if (method == 1)
            return first <= idat.left && length <= idat.left - first && (memcpy(out, idat.at + first, length), 1);
        if (method != 0 || first > fileSize || length > fileSize - first)
            return 0;
        return module_read_at(fd, out, length, base + (off_t)first);
    }
    return 0;
}

/* The "meta" box at the top level of the file, read whole into a new block;
 * NULL with *found 0 when the file ends without one (a picture sequence),
 * NULL with *found 1 when it or a box before it is damaged. */
static unsigned char *read_meta(int fd, off_t base, uint64_t size, size_t *length, int *found)
{
    uint64_t at = 0;
    unsigned boxes;
    *found = 1;
    for (boxes = 0; boxes < MAX_TOP_BOXES && size - at >= 8; ++boxes) {
        unsigned char head[16];
        struct Bytes b = {head, 16};
        uint64_t boxSize = 0;
        uint64_t header = 8;
        const size_t got = size - at < sizeof head ? (size_t)(size - at) : sizeof head;
        b.left = got;
        if (!module_read_at(fd, head, got, base + (off_t)at) || !take(&b, 4, &boxSize))
            return NULL;
        if (boxSize == 1) {
            b.at += 4;
            b.left -= 4;
            if (!take(&b, 8, &boxSize))
                return NULL;
            header = 16;
        } else if (boxSize == 0) {
            boxSize = size - at;
        }
        if (boxSize < header || boxSize > size - at)
            return NULL;
        if (memcmp(head + 4, "meta", 4) == 0) {
            unsigned char *meta;
            if (boxSize - header > MAX_META)
                return NULL;
            *length = (size_t)(boxSize - header);
            meta = malloc(*length ? *length : 1);
            if (meta && !module_read_at(fd, meta, *length, base + (off_t)(at + header))) {
                free(meta);
                meta = NULL;
            }
            return meta;
        }
        at += boxSize;
    }
    /* Stopped by the box limit rather than the end: not judged, damaged. */
    *found = size - at >= 8;
    return NULL;
}

int module_read_grid(int fd, off_t base, uint64_t size, struct ModuleGrid *grid)
{
    size_t length = 0;
    unsigned char *meta;
    struct Bytes metaBody;
    struct Meta m;
    unsigned version = 0;
    uint32_t primary = 0;
    char type[4];
    uint32_t *tiles = NULL;
    unsigned char data[12];
    int ok;
    int found = 0;

    memset(grid, 0, sizeof *grid);
    meta = read_meta(fd, base, size, &length, &found);
    if (!meta)
        return !found;
    metaBody.at = meta;
    metaBody.left = length;
    memset(&m, 0, sizeof m);
    ok = full_box(&metaBody, &version) && find_meta_children(metaBody, &m);
    ok = ok && primary_item(m.pitm, &primary) && item_type(m.iinf, primary, type);
    ok = ok && references_valid(m.iref, m.iinf);
    if (ok && memcmp(type, "grid", 4) == 0) {
        grid->isGrid = 1;
        ok = grid_tiles(m.iref, primary, &tiles, &grid->tileCount)
            && read_sizes(m.iprp, primary, tiles, grid->tileCount, grid);
        /* The grid's data: version, flags, rows and columns less one, and
         * the output size in 16 or 32 bits. */
        ok = ok && item_data(fd, base, size, m.iloc, m.idat, primary, data, 8);
        if (ok && (data[1] & 1u))
            ok = item_data(fd, base, size, m.iloc, m.idat, primary, data, 12);
        if (ok) {
            grid->rows = data[2] + 1u;
            grid->columns = data[3] + 1u;
            if (data[1] & 1u) {
                grid->outputWidth = ((uint32_t)data[4] << 24) | ((uint32_t)data[5] << 16) | ((uint32_t)data[6] << 8)
                    | data[7];
                grid->outputHeight = ((uint32_t)data[8] << 24) | ((uint32_t)data[9] << 16)
                    | ((uint32_t)data[10] << 8) | data[11];
            } else {
                grid->outputWidth = ((uint32_t)data[4] << 8) | data[5];
                grid->outputHeight = ((uint32_t)data[6] << 8) | data[7];
            }
            ok = data[0] == 0;
        }
    }
    free(tiles);
    free(meta);
    return ok;
}

int module_grid_acceptable(const struct ModuleGrid *grid, uint64_t fileBytes, uint64_t pixelsPerByte)
{
    const uint64_t w = grid->tileWidth;
    const uint64_t h = grid->tileHeight;
    uint64_t total;
    if (!grid->isGrid)
        return 1;
    if (!grid->tilesAlike || w == 0 || h == 0 || grid->outputWidth == 0 || grid->outputHeight == 0
        || grid->tileCount != grid->rows * grid->columns)
        return 0;
    /* The assembled picture is the declared one (which some writers give
     * as turned by the picture's rotation). */
    if (grid->declaredWidth != 0
        && (grid->outputWidth != grid->declaredWidth || grid->outputHeight != grid->declaredHeight)
        && (grid->outputWidth != grid->declaredHeight || grid->outputHeight != grid->declaredWidth))
        return 0;
    /* The tiles cover the picture, each row and column of them shows in it,
     * and no tile is much larger than the picture. */
    if (w * grid->columns < grid->outputWidth || h * grid->rows < grid->outputHeight
        || w * (grid->columns - 1) >= grid->outputWidth || h * (grid->rows - 1) >= grid->outputHeight
        || w > (uint64_t)grid->outputWidth + TILE_PADDING || h > (uint64_t)grid->outputHeight + TILE_PADDING)
        return 0;
    if (module_too_many_pixels(w, h))
        return 0;
    total = w * h * grid->tileCount;
    if (total > MODULE_MAX_PIXELS)
        return 0;
    return pixelsPerByte == 0 || !module_too_dense(total, 1, fileBytes, pixelsPerByte);
}
