// What the module benchmarks share: a message sink that counts, the CPU time
// of this process and its waited-for children, and the best of several runs.
#pragma once

#include <QString>

#include <sys/resource.h>

#include <algorithm>
#include <limits>

#include "platform/MessageSink.h"

namespace pelandor {

class CountingSink : public MessageSink {
public:
    void showMessage(const QString &) override { ++count; }
    int count = 0;
};

// CPU seconds (user and system) of this process and its reaped children.
inline double cpuSeconds()
{
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        total += usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
            + usage.ru_stime.tv_usec / 1e6;
    }
    return total;
}

// The best wall and CPU time seen over the runs.
struct Timing {
    double wall = std::numeric_limits<double>::max();
    double cpu = std::numeric_limits<double>::max();
    void add(double wallSeconds, double cpuSeconds)
    {
        wall = std::min(wall, wallSeconds);
        cpu = std::min(cpu, cpuSeconds);
    }
};

} // namespace pelandor
