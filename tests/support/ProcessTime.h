#pragma once
// Processor time this process has used so far (user and system), in seconds:
// how tests and benchmarks tell a wait that sleeps from one that spins.
#include <sys/resource.h>

inline double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
