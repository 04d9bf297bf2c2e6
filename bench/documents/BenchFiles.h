// With QB_BENCH_FILES=DIR set, each benchmark's file is also written there under `name`
// ("bench.po"), to time other tools on the very same bytes.
#pragma once

#include "Document.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

inline void SaveBenchFile(const std::string& name, const std::string& bytes) {
    const char* dir = std::getenv("QB_BENCH_FILES");
    if (!dir) return;
    if (FILE* out = std::fopen((std::string(dir) + "/" + name).c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }
}

// Every unit "translated": a Chinese word after each placeholder, so "Click {1}here{/1}." becomes
// "译{1}文{/1}文" and the export writes every unit with its markup.
inline std::vector<std::optional<std::string>> ChineseForEveryUnit(const qb::doc::Document& d) {
    std::vector<std::optional<std::string>> t;
    t.reserve(d.units.size());
    for (const qb::doc::Unit& u : d.units) {
        std::string zh = "译";
        for (std::size_t i = 0; i < u.text.size(); ++i)
            if (u.text[i] == '{') {
                const std::size_t close = u.text.find('}', i);
                zh += u.text.substr(i, close + 1 - i) + "文";
                i = close;
            }
        t.push_back(std::move(zh));
    }
    return t;
}
