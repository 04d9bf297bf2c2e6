// Opening and exporting a 1 MB plain text, subtitle and gettext file, and a 20 MB catalogue
// (targets: under 0.2 s for each 1 MB file, under 2 s for the 20 MB catalogue).
//
//   build/bench/bench_documents --benchmark_filter='Text|Srt|Po'
//
// With QB_BENCH_FILES=DIR set, the files measured are also written there (bench.txt, bench.srt,
// bench.po, bench-20mb.po; the Markdown, HTML and office benchmarks add bench.md, bench.html,
// bench.docx and bench.odt), to time other tools on the very same bytes.
#include "BenchFiles.h"
#include "Document.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

using namespace qb::doc;

std::string Words(std::mt19937& rng, bool format) {
    static const char* const kWords[] = {"the",    "file",  "open",   "menu",    "window", "press",
                                         "button", "save",  "change", "setting", "user",   "system",
                                         "before", "after", "with",   "each",    "select", "option",
                                         "value",  "list",  "shows",  "new",     "it"};
    std::uniform_int_distribution<int> len(3, 16), word(0, int(std::size(kWords)) - 1), mark(0, 9);
    std::string s = "Then";
    const int n = len(rng);
    for (int i = 0; i < n; ++i) {
        s += ' ';
        s += format && mark(rng) == 0 ? "%s" : kWords[word(rng)];
    }
    return s + ".";
}

std::string Txt(std::size_t size) {
    std::mt19937 rng(11);
    std::string t;
    while (t.size() < size)
        t += Words(rng, false) + " " + Words(rng, false) + "\n" + Words(rng, false) + "\n\n";
    return t;
}

std::string Srt(std::size_t size) {
    std::mt19937 rng(12);
    std::string t;
    for (int cue = 1; t.size() < size; ++cue) {
        char time[64];
        std::snprintf(time, sizeof time, "%02d:%02d:%02d,000 --> %02d:%02d:%02d,500\n", cue / 3600,
                      cue / 60 % 60, cue % 60, cue / 3600, cue / 60 % 60, cue % 60);
        t += std::to_string(cue) + "\n" + time + "<i>" + Words(rng, false) + "</i>\n" +
             Words(rng, false) + "\n\n";
    }
    return t;
}

// Messages as a program's catalogue has them: references, c-format flags, continued strings,
// plurals, some fuzzy, some obsolete at the end.
std::string Po(std::size_t size) {
    std::mt19937 rng(13);
    std::string t = "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
                    "\"Plural-Forms: nplurals=2; plural=(n != 1);\\n\"\n\n";
    for (int n = 0; t.size() < size; ++n) {
        t += "#: src/file" + std::to_string(n % 97) + ".c:" + std::to_string(n) + "\n";
        if (n % 5 == 0) t += "#, c-format\n";
        if (n % 7 == 0) t += "#, fuzzy\n";
        if (n % 11 == 0) {
            t += "msgid \"" + Words(rng, false) + "\"\nmsgid_plural \"" + Words(rng, false) +
                 " %d\"\nmsgstr[0] \"\"\nmsgstr[1] \"\"\n\n";
        } else if (n % 3 == 0) {
            t += "msgid \"\"\n\"" + Words(rng, n % 5 == 0) + "\\n\"\n\"" + Words(rng, n % 5 == 0) +
                 "\"\nmsgstr \"\"\n\n";
        } else {
            t += "msgid \"" + Words(rng, n % 5 == 0) + "\"\nmsgstr \"\"\n\n";
        }
    }
    return t + "#~ msgid \"Old\"\n#~ msgstr \"旧\"\n";
}

const std::string& File(Format f, std::size_t size) {
    static std::string txt, srt, po, po20;
    std::string& s = f == Format::Text   ? txt
                     : f == Format::Srt  ? srt
                     : size > (2u << 20) ? po20
                                         : po;
    if (s.empty()) {
        s = f == Format::Text ? Txt(size) : f == Format::Srt ? Srt(size) : Po(size);
        SaveBenchFile(f == Format::Text   ? "bench.txt"
                      : f == Format::Srt  ? "bench.srt"
                      : size > (2u << 20) ? "bench-20mb.po"
                                          : "bench.po",
                      s);
    }
    return s;
}

void Open(benchmark::State& state, Format f, std::size_t size) {
    const std::string& bytes = File(f, size);
    std::size_t units = 0;
    for (auto _ : state) {
        Document d = Read(f, bytes);
        units = d.units.size();
        benchmark::DoNotOptimize(d);
    }
    state.counters["units"] = double(units);
    state.counters["MB"] = double(bytes.size()) / (1 << 20);
}

void Export(benchmark::State& state, Format f, std::size_t size) {
    const Document d = Read(f, File(f, size));
    const auto t = ChineseForEveryUnit(d);
    WriteReport r;
    for (auto _ : state) {
        std::string out = Write(d, t, &r);
        benchmark::DoNotOptimize(out);
    }
    state.counters["translated"] = double(r.translated);
    if (r.translated != d.units.size()) state.SkipWithError("units left untranslated");
}

constexpr std::size_t kMB = 1u << 20;

BENCHMARK_CAPTURE(Open, Text1MB, Format::Text, kMB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Export, Text1MB, Format::Text, kMB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Open, Srt1MB, Format::Srt, kMB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Export, Srt1MB, Format::Srt, kMB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Open, Po1MB, Format::Po, kMB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Export, Po1MB, Format::Po, kMB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Open, Po20MB, Format::Po, 20 * kMB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Export, Po20MB, Format::Po, 20 * kMB)->Unit(benchmark::kMillisecond);

} // namespace
