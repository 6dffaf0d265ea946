// Thumbnail speed benchmark: the plain reference loop (plain_thumbnail_loop)
// beside `pelandor --thumbnails` on one folder of photographs, in one run.
// Every run is a child process, measured by its wall time and its CPU time
// (user + system, from wait4); the contenders alternate within each pass and
// the best of the passes counts, each figure on its own.
//   usage: bench_thumbnail_speed PLAIN_LOOP PELANDOR FOLDER [PASSES [WINDOW_READING]]
// Contenders: the plain loop; pelandor with an empty thumbnail cache; both
// again held to one core (CPU 0); pelandor reading the folder a second time
// (its cache filled by the run before); with WINDOW_READING
// (bench_window_reading) also the main window reading the folder, with an
// empty cache and a second time.
#include <sched.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Times {
    double wall = std::numeric_limits<double>::max();
    double cpu = std::numeric_limits<double>::max();
};

struct Contender {
    const char *name;
    bool plain;     // the reference loop, else pelandor
    bool oneCore;   // held to CPU 0
    bool warmCache; // pelandor with its cache already filled
    bool window;    // the window reading the folder, else --thumbnails
    Times best;
};

fs::path makeTemporary(const char *stem)
{
    std::string pattern = (fs::temp_directory_path() / (std::string(stem) + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    return pattern;
}

// Runs argv with XDG_CACHE_HOME set to cache (when not empty), standard
// output to /dev/null, optionally on CPU 0 only.
Times run(const std::vector<std::string> &argv, const fs::path &cache, bool oneCore)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        std::exit(1);
    }
    if (pid == 0) {
        if (oneCore) {
            cpu_set_t set;
            CPU_ZERO(&set);
            CPU_SET(0, &set);
            sched_setaffinity(0, sizeof set, &set);
        }
        if (!cache.empty())
            setenv("XDG_CACHE_HOME", cache.c_str(), 1);
        if (!freopen("/dev/null", "w", stdout))
            _exit(127);
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed (status %d)\n", argv[0].c_str(), status);
        std::exit(1);
    }
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return {wall, seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench_thumbnail_speed PLAIN_LOOP PELANDOR FOLDER [PASSES]\n");
        return 2;
    }
    const std::string plain = fs::absolute(argv[1]).string();
    const std::string pelandor = fs::absolute(argv[2]).string();
    const std::string folder = fs::absolute(argv[3]).string();
    const int passes = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;

    std::vector<Contender> contenders = {
        {"plain loop", true, false, false, false, {}},
        {"pelandor --thumbnails", false, false, false, false, {}},
        {"plain loop, one core", true, true, false, false, {}},
        {"pelandor --thumbnails, one core", false, true, false, false, {}},
        {"pelandor --thumbnails, seen before", false, false, true, false, {}},
    };
    const std::string windowReading = argc > 5 ? fs::absolute(argv[5]).string() : std::string();
    if (!windowReading.empty()) {
        contenders.push_back({"window reading", false, false, false, true, {}});
        contenders.push_back({"window reading, seen before", false, false, true, true, {}});
    }
    const fs::path windowCache = makeTemporary("pelandor-bench-cache");
    const fs::path warmCache = makeTemporary("pelandor-bench-cache");
    for (int pass = 0; pass < passes; ++pass) {
        for (Contender &c : contenders) {
            const fs::path out = makeTemporary("pelandor-bench-out");
            const fs::path coldCache = makeTemporary("pelandor-bench-cache");
            std::vector<std::string> args;
            if (c.plain)
                args = {plain, folder};
            else if (c.window)
                args = {windowReading, folder};
            else
                args = {pelandor, "--thumbnails", folder, out.string(), "--type", "*.JPG"};
            const fs::path &filled = c.window ? windowCache : warmCache;
            if (c.warmCache && pass == 0)
                run(args, filled, false); // fills the cache
            const Times t = run(args, c.warmCache ? filled : coldCache, c.oneCore);
            c.best.wall = std::min(c.best.wall, t.wall);
            c.best.cpu = std::min(c.best.cpu, t.cpu);
            fs::remove_all(out);
            fs::remove_all(coldCache);
        }
    }
    fs::remove_all(warmCache);
    fs::remove_all(windowCache);

    std::printf("folder: %s, best of %d, contenders alternating\n", folder.c_str(), passes);
    std::printf("%-36s %9s %9s %11s %10s\n", "", "wall s", "CPU s", "wall ratio", "CPU ratio");
    for (const Contender &c : contenders) {
        // Each is compared with the plain loop under the same core limit.
        const Times &ref = contenders[c.oneCore ? 2 : 0].best;
        std::printf("%-36s %9.2f %9.2f %11.2f %10.2f\n", c.name, c.best.wall, c.best.cpu, c.best.wall / ref.wall,
                    c.best.cpu / ref.cpu);
    }
    return 0;
}
