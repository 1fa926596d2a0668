#pragma once

// The process's own threads, open descriptors and resident memory, as /proc tells them.

#include <dirent.h>

#include <cstdio>

namespace Bench {

struct ProcessFigures {
    int threads = 0;
    int descriptors = 0;
    long rss_kB = 0;
};

// Entries of a /proc folder, without "." and "..".
inline int entriesIn(const char* folder)
{
    DIR* directory = opendir(folder);
    if (!directory)
        return -1;
    int count = 0;
    while (const dirent* entry = readdir(directory))
        if (entry->d_name[0] != '.')
            ++count;
    closedir(directory);
    return count;
}

inline long residentKilobytes()
{
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    long kB = -1;
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmRSS: %ld kB", &kB) == 1)
            break;
    std::fclose(status);
    return kB;
}

inline ProcessFigures processFigures()
{
    // The folder open while its entries were read was one of the descriptors.
    return {entriesIn("/proc/self/task"), entriesIn("/proc/self/fd") - 1, residentKilobytes()};
}

inline double megabytes(long kB) { return static_cast<double>(kB) / 1024.0; }

} // namespace Bench
