// With QB_BENCH_FILES=DIR set, each benchmark's file is also written there under `name`
// ("bench.po"), to time other tools on the very same bytes.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

inline void SaveBenchFile(const std::string& name, const std::string& bytes) {
    const char* dir = std::getenv("QB_BENCH_FILES");
    if (!dir) return;
    if (FILE* out = std::fopen((std::string(dir) + "/" + name).c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }
}
