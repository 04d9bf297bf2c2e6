// Opening and exporting a 1 MB Markdown file (target: each under 1 s), and the export's lookups
// of every sentence in a memory that holds a translation for each.
//
//   build/bench/bench_documents
//
// The file is made of the blocks a manual has: headings, paragraphs with emphasis, links and
// inline code, list items, tables, block quotes and code blocks, with sentences of 6 to 24
// words drawn from a fixed vocabulary.
#include "BenchFiles.h"
#include "Document.h"
#include "DocumentMemory.h"
#include "TranslationMemory.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

#include <unistd.h>

namespace {

using namespace qb::doc;

std::string Sentence(std::mt19937& rng) {
    static const char* const kWords[] = {"the",    "file",  "open",   "menu",    "window", "press",
                                         "button", "save",  "change", "setting", "user",   "system",
                                         "before", "after", "with",   "each",    "select", "option",
                                         "value",  "list",  "shows",  "new",     "it"};
    std::uniform_int_distribution<int> len(6, 24), word(0, int(std::size(kWords)) - 1), mark(0, 9);
    std::string s;
    const int n = len(rng);
    for (int i = 0; i < n; ++i) {
        std::string w = kWords[word(rng)];
        const int m = mark(rng);
        if (m == 0)
            w = "**" + w + "**";
        else if (m == 1)
            w = "`" + w + "`";
        else if (m == 2)
            w = "[" + w + "](https://example.org/" + w + ")";
        s += (i ? " " : "") + w;
    }
    s[0] = char(std::toupper(
        static_cast<unsigned char>(s[0] == '*' || s[0] == '`' || s[0] == '[' ? 'x' : s[0])));
    return s + ".";
}

const std::string& Markdown() {
    static const std::string text = [] {
        std::mt19937 rng(7);
        std::string md;
        int block = 0;
        while (md.size() < (1u << 20)) {
            switch (block++ % 7) {
            case 0: md += "## " + Sentence(rng) + "\n\n"; break;
            case 1:
            case 2:
                md += Sentence(rng) + " " + Sentence(rng) + "\n" + Sentence(rng) + "\n\n";
                break;
            case 3: md += "- " + Sentence(rng) + "\n- " + Sentence(rng) + "\n\n"; break;
            case 4:
                md += "| A | B |\n|---|---|\n| " + Sentence(rng) + " | " + Sentence(rng) + " |\n\n";
                break;
            case 5: md += "> " + Sentence(rng) + "\n\n"; break;
            case 6: md += "```\ncode " + std::to_string(block) + "\n```\n\n"; break;
            }
        }
        SaveBenchFile("bench.md", md);
        return md;
    }();
    return text;
}

// Every sentence "translated": its text with the words replaced, placeholders kept.
std::string Chinese(const std::string& unit) {
    std::string out;
    for (std::size_t i = 0; i < unit.size(); ++i) {
        if (unit[i] == '{') {
            const std::size_t close = unit.find('}', i);
            out += unit.substr(i, close + 1 - i);
            i = close;
        } else if (unit[i] == ' ') {
            out += "译";
        }
    }
    return out + "。";
}

void BM_OpenMarkdown1MB(benchmark::State& state) {
    const std::string& md = Markdown();
    std::size_t units = 0;
    for (auto _ : state) {
        Document d = Read(Format::Markdown, md);
        units = d.units.size();
        benchmark::DoNotOptimize(d);
    }
    state.counters["units"] = double(units);
    state.counters["bytes"] = double(md.size());
}
BENCHMARK(BM_OpenMarkdown1MB)->Unit(benchmark::kMillisecond);

void BM_ExportMarkdown1MB(benchmark::State& state) {
    const Document d = Read(Format::Markdown, Markdown());
    std::vector<std::optional<std::string>> t;
    for (const Unit& u : d.units) t.push_back(Chinese(u.text));
    WriteReport r;
    for (auto _ : state) {
        std::string out = Write(d, t, &r);
        benchmark::DoNotOptimize(out);
    }
    state.counters["translated"] = double(r.translated);
    if (r.translated != d.units.size()) state.SkipWithError("units left untranslated");
}
BENCHMARK(BM_ExportMarkdown1MB)->Unit(benchmark::kMillisecond);

// The whole export as the window does it: every sentence looked up in the memory, then written.
void BM_ExportFromMemory1MB(benchmark::State& state) {
    const Document d = Read(Format::Markdown, Markdown());
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("qb-bench-doc-" + std::to_string(::getpid()) + ".db"))
                                 .string();
    {
        qb::tm::TTranslationMemory memory(path);
        qb::tm::TTranslationMemory::Batch batch(memory);
        for (const Unit& u : d.units)
            for (const std::string& s : Sentences(u.text)) memory.Record(s, Chinese(s));
        batch.Commit();
    }
    qb::tm::TTranslationMemory memory(path);
    WriteReport r;
    for (auto _ : state) {
        std::string out = Write(d, TranslateFromMemory(d, memory), &r);
        benchmark::DoNotOptimize(out);
    }
    state.counters["translated"] = double(r.translated);
    std::filesystem::remove(path);
    std::filesystem::remove(path + "-wal");
    std::filesystem::remove(path + "-shm");
}
BENCHMARK(BM_ExportFromMemory1MB)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
