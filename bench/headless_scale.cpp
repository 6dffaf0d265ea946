// Scale benchmark of the headless commands over very large folders.
//   bench_headless_scale make FOLDER COUNT
//     fills FOLDER with COUNT tiny, distinct 24-bit bitmaps (1 to 8 pixels a
//     side, each of its own pixels and name; distinct files, so each has an
//     inode of its own), quickly: plain system calls, no image library.
//   bench_headless_scale run STEP [--watch OUTDIR] -- COMMAND [ARG...]
//     runs COMMAND and prints the time at every STEP files: files counted as
//     lines on its standard output (which is read and dropped), or with
//     --watch as bitmaps renamed into OUTDIR (inotify). At the end: the total,
//     the time of the last STEP files against the first STEP (the pace ratio),
//     the peak resident memory and the CPU time (user + system) of COMMAND.
// Plain C++ and POSIX: it measures the program from outside, as /usr/bin/time
// does, and adds the pace.
#include <array>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void put16(std::vector<unsigned char> &out, size_t at, uint16_t v)
{
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
}

void put32(std::vector<unsigned char> &out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// A bottom-up 24-bit BMP of width x height with pixels drawn from seed.
void makeBitmap(std::vector<unsigned char> &out, int width, int height, uint64_t seed)
{
    const uint32_t stride = uint32_t((width * 3 + 3) & ~3);
    const uint32_t pixels = stride * uint32_t(height);
    out.assign(54 + pixels, 0);
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, 54 + pixels);
    put32(out, 10, 54);
    put32(out, 14, 40);
    put32(out, 18, uint32_t(width));
    put32(out, 22, uint32_t(height));
    put16(out, 26, 1);
    put16(out, 28, 24);
    put32(out, 34, pixels);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width * 3; ++x) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            out[54 + size_t(y) * stride + size_t(x)] = uint8_t(seed >> 56);
        }
    }
}

// Writes the count files into the open folder.
bool makeFiles(int dir, long count)
{
    // Names of varying length and form, so that the name order is not the
    // order of creation and names are not all alike. (i * 7919) % count is
    // a permutation unless count is a multiple of 7919; the stem and the
    // width keep the names distinct anyway.
    static const std::array<const char *, 4> stems = {"IMG_", "scan ", "photo-", "x"};
    std::vector<unsigned char> bytes;
    char name[64];
    for (long i = 0; i < count; ++i) {
        const uint64_t seed = uint64_t(i) * 0x9E3779B97F4A7C15ULL + 1;
        makeBitmap(bytes, 1 + int(i % 8), 1 + int(i / 8 % 8), seed);
        std::snprintf(name, sizeof name, "%s%0*ld.bmp", stems[size_t(i % 4)], int(4 + i % 5), (i * 7919) % count);
        const int fd = ::openat(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()) || ::close(fd) != 0) {
            std::perror(name);
            return false;
        }
    }
    return true;
}

int make(const char *folder, long count)
{
    if (::mkdir(folder, 0777) != 0 && errno != EEXIST) {
        std::perror(folder);
        return 1;
    }
    const int dir = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        std::perror(folder);
        return 1;
    }
    const Clock::time_point start = Clock::now();
    const bool ok = makeFiles(dir, count);
    ::close(dir);
    if (!ok)
        return 1;
    std::printf("%ld files in %.1f s\n", count, std::chrono::duration<double>(Clock::now() - start).count());
    return 0;
}

double seconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

int run(long step, const char *watch, char **command)
{
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        std::perror("pipe");
        return 1;
    }
    int notes = -1;
    if (watch) {
        ::mkdir(watch, 0777);
        notes = ::inotify_init1(IN_CLOEXEC);
        if (notes < 0 || ::inotify_add_watch(notes, watch, IN_MOVED_TO) < 0) {
            std::perror(watch);
            return 1;
        }
    }
    const Clock::time_point start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::execvp(command[0], command);
        std::perror(command[0]);
        ::_exit(127);
    }
    ::close(out[1]);
    std::vector<Clock::time_point> marks{start};
    long files = 0;
    bool lostNotes = false;
    auto counted = [&](long more) {
        for (long i = 0; i < more; ++i) {
            if (++files % step == 0) {
                marks.push_back(Clock::now());
                std::printf("%9ld files %8.2f s (these %ld: %.2f s)\n", files, seconds(start, marks.back()), step,
                            seconds(marks[marks.size() - 2], marks.back()));
                std::fflush(stdout);
            }
        }
    };
    std::vector<char> buffer(1 << 16);
    // Counts the bitmaps renamed into place among n bytes of inotify events
    // (the program's own temporary names are not bitmaps yet).
    const auto countNotes = [&](ssize_t n) {
        for (ssize_t at = 0; at < n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer.data() + at);
            if (event->mask & IN_Q_OVERFLOW)
                lostNotes = true;
            else if (std::strncmp(event->name, ".pelandor-", 10) != 0)
                counted(1);
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    };
    bool outOpen = true;
    while (outOpen) {
        std::array<pollfd, 2> fds{pollfd{out[0], POLLIN, 0}, pollfd{notes, POLLIN, 0}};
        if (::poll(fds.data(), notes >= 0 ? 2 : 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (notes >= 0 && (fds[1].revents & POLLIN)) {
            countNotes(::read(notes, buffer.data(), buffer.size()));
        }
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            const ssize_t n = ::read(out[0], buffer.data(), buffer.size());
            if (n <= 0) {
                outOpen = false;
            } else if (notes < 0) {
                long lines = 0;
                for (ssize_t i = 0; i < n; ++i)
                    lines += buffer[size_t(i)] == '\n';
                counted(lines);
            }
        }
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    const Clock::time_point end = Clock::now();
    // Notes that arrived after the last output.
    if (notes >= 0) {
        ::fcntl(notes, F_SETFL, O_NONBLOCK);
        for (ssize_t n; (n = ::read(notes, buffer.data(), buffer.size())) > 0;)
            countNotes(n);
    }
    const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("%ld files, wall %.2f s, CPU %.2f s (user + system), peak resident %.1f MB, exit status %d\n", files,
                seconds(start, end), cpu, double(usage.ru_maxrss) / 1024.0,
                WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    if (marks.size() >= 3) {
        const double first = seconds(marks[0], marks[1]);
        const double last = seconds(marks[marks.size() - 2], marks.back());
        std::printf("first %ld files %.2f s, last %ld files %.2f s: ratio %.2f\n", step, first, step, last,
                    last / first);
    }
    if (lostNotes)
        std::printf("(inotify queue overflowed: some files were not counted)\n");
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

int usage()
{
    std::fprintf(stderr, "usage: bench_headless_scale make FOLDER COUNT\n"
                         "       bench_headless_scale run STEP [--watch OUTDIR] -- COMMAND [ARG...]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], "make") == 0)
        return make(argv[2], std::atol(argv[3]));
    if (argc >= 5 && std::strcmp(argv[1], "run") == 0) {
        const long step = std::atol(argv[2]);
        int at = 3;
        const char *watch = nullptr;
        if (std::strcmp(argv[at], "--watch") == 0 && at + 1 < argc) {
            watch = argv[at + 1];
            at += 2;
        }
        if (step <= 0 || at >= argc || std::strcmp(argv[at], "--") != 0 || at + 1 >= argc)
            return usage();
        return run(step, watch, argv + at + 1);
    }
    return usage();
}
