// The reference for the thumbnail benchmarks: the least work the reading rules
// allow, in one plain loop without Qt. Every JPEG file of a folder (.jpg,
// .jpeg, .jpe in any case, in directory order) is decoded in full with
// libjpeg-turbo's accurate integer transform, smooth upsampling and block
// smoothing, colour files to RGB and greyscale files through the one-pass
// quantizer (236 levels, Floyd-Steinberg) as the reading rules ask, into one
// buffer reused from file to file; then 96 x 96 pixels are picked from it.
// Prints the number of files and a checksum of the picked pixels.
//   usage: plain_thumbnail_loop FOLDER
#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>

#include <jpeglib.h>

namespace {

constexpr int Cell = 96;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf recovery;
};

void errorExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager *>(info->err)->recovery, 1);
}

void quiet(j_common_ptr, int)
{
}

bool isJpegName(const char *name)
{
    if (name[0] == '.')
        return false;
    const char *dot = std::strrchr(name, '.');
    if (!dot)
        return false;
    std::string ext(dot + 1);
    for (char &c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext == "jpg" || ext == "jpeg" || ext == "jpe";
}

// Decodes one file into `buffer` (grown when needed) and adds the picked
// pixels to `sum`. Returns false when the file cannot be decoded.
bool decodeOne(const std::string &path, std::vector<unsigned char> &buffer, uint64_t &sum)
{
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = errorExit;
    errors.pub.emit_message = quiet;
    if (setjmp(errors.recovery)) {
        jpeg_destroy_decompress(&cinfo);
        std::fclose(file);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = TRUE;
    cinfo.do_block_smoothing = TRUE;
    if (cinfo.num_components == 1) {
        cinfo.out_color_space = JCS_GRAYSCALE;
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = 236;
        cinfo.dither_mode = JDITHER_FS;
        cinfo.two_pass_quantize = FALSE;
    } else if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) {
        cinfo.out_color_space = JCS_CMYK;
    } else {
        cinfo.out_color_space = JCS_RGB;
    }
    jpeg_start_decompress(&cinfo);
    const size_t stride = size_t(cinfo.output_width) * size_t(cinfo.output_components);
    const size_t height = cinfo.output_height;
    if (buffer.size() < stride * height)
        buffer.resize(stride * height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[16];
        const JDIMENSION first = cinfo.output_scanline;
        const JDIMENSION n = std::min<JDIMENSION>(16, cinfo.output_height - first);
        for (JDIMENSION i = 0; i < n; ++i)
            rows[i] = buffer.data() + (first + i) * stride;
        jpeg_read_scanlines(&cinfo, rows, n);
    }
    const int components = cinfo.output_components;
    const uint64_t w = cinfo.output_width;
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);

    for (int y = 0; y < Cell; ++y) {
        const size_t sy = size_t((2 * uint64_t(y) + 1) * height / (2 * Cell));
        for (int x = 0; x < Cell; ++x) {
            const size_t sx = size_t((2 * uint64_t(x) + 1) * w / (2 * Cell));
            const unsigned char *p = buffer.data() + sy * stride + sx * size_t(components);
            for (int c = 0; c < components; ++c)
                sum += p[c];
        }
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: plain_thumbnail_loop FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    DIR *dir = opendir(folder.c_str());
    if (!dir) {
        std::fprintf(stderr, "cannot read %s\n", folder.c_str());
        return 1;
    }
    std::vector<unsigned char> buffer;
    uint64_t sum = 0;
    int files = 0;
    int failed = 0;
    while (const dirent *entry = readdir(dir)) {
        if (!isJpegName(entry->d_name))
            continue;
        if (decodeOne(folder + '/' + entry->d_name, buffer, sum))
            ++files;
        else
            ++failed;
    }
    closedir(dir);
    std::printf("%d files decoded, %d failed, checksum %llu\n", files, failed,
                static_cast<unsigned long long>(sum));
    return 0;
}
