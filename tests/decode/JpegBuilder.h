// Makes small JPEG files in memory for the tests: colour, greyscale and
// four-component (CMYK, with or without the Adobe marker, and YCCK).
#pragma once

#include <QByteArray>
#include <cstdlib>
#include <functional>
#include <vector>

#include <cstdio>
#include <jpeglib.h>

namespace testjpeg {

enum class Kind { Rgb, Grey, CmykPlain, CmykAdobe, YcckAdobe };

// sample(x, y, out) fills one pixel: 3 bytes RGB, 1 grey, or 4 ink values
// (0 = no ink) for the CMYK kinds, which store them the way such files do.
inline QByteArray make(Kind kind, int w, int h, const std::function<void(int, int, unsigned char *)> &sample,
                       int quality = 95)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    const int components = kind == Kind::Rgb ? 3 : kind == Kind::Grey ? 1 : 4;
    cinfo.input_components = components;
    cinfo.in_color_space = kind == Kind::Rgb ? JCS_RGB : kind == Kind::Grey ? JCS_GRAYSCALE : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    if (kind == Kind::YcckAdobe)
        jpeg_set_colorspace(&cinfo, JCS_YCCK);
    if (kind == Kind::CmykPlain)
        cinfo.write_Adobe_marker = FALSE;
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(size_t(w) * size_t(components));
    const bool inverted = kind == Kind::CmykAdobe || kind == Kind::YcckAdobe;
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < w; ++x) {
            unsigned char *px = row.data() + size_t(x) * size_t(components);
            sample(x, int(cinfo.next_scanline), px);
            if (inverted) {
                for (int c = 0; c < 4; ++c)
                    px[c] = static_cast<unsigned char>(255 - px[c]);
            }
        }
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray out(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return out;
}

// Offset of the first marker FF `code` in `data`, or -1.
inline qsizetype findMarker(const QByteArray &data, unsigned char code)
{
    for (qsizetype i = 2; i + 1 < data.size(); ++i) {
        if (uchar(data[i]) == 0xFF && uchar(data[i + 1]) == code)
            return i;
    }
    return -1;
}

} // namespace testjpeg
