// Benchmarks of the lexicon engine on a synthetic lexicon shaped like the full one (765k
// entries, about 25 MB): loading against `LC_ALL=C sort -f` over the same lines measured in the
// same run, peak memory of loading in a fresh process, sentence lookup, and merging a 100k-line
// text lexicon with saving.
//
//   build/bench/bench_lexicon [--benchmark_filter=...]
//   QB_BENCH_ENTRIES=200000 build/bench/bench_lexicon     (a smaller lexicon)
//   QB_BENCH_KEEP=1 build/bench/bench_lexicon             (keep the generated files)
#include "DictUnit.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using qb::StringList;
using qb::TQbDict;

// ---- the synthetic lexicon ----

struct Synthetic {
    std::string dir;
    std::string qbsPath;      // the lexicon as Save writes it (scrambled, in key order)
    std::string txtPath;      // the same entries as a text lexicon (in key order)
    std::string shuffledPath; // the same lines in random order
    std::string mergePath;    // a 100k-line text lexicon to merge into it
    std::size_t entries = 0;
    std::size_t fileBytes = 0;
    std::string sentence; // 30 words
    StringList mergeSources, mergeRenderings;
    ~Synthetic() {
        std::error_code ec;
        if (std::getenv("QB_BENCH_KEEP")) {
            std::fprintf(stderr, "synthetic lexicon kept in %s\n", dir.c_str());
        } else if (!dir.empty()) {
            std::filesystem::remove_all(dir, ec);
        }
    }
};

class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    std::string Syllable() {
        static const char* onsets[] = {"",   "b",  "c",  "d",  "f",  "g",  "h",  "j", "k",
                                       "l",  "m",  "n",  "p",  "r",  "s",  "t",  "v", "w",
                                       "st", "tr", "pr", "ch", "sh", "th", "br", "cl"};
        static const char* vowels[] = {"a", "e", "i", "o", "u", "ea", "ou", "io", "ai"};
        static const char* codas[] = {"", "n", "r", "s", "t", "l", "m", "ck", "nd", "st"};
        return std::string(onsets[rng_() % 26]) + vowels[rng_() % 9] + codas[rng_() % 10];
    }
    std::string Word() {
        const unsigned r = rng_() % 100;
        const int syllables = r < 10 ? 1 : r < 55 ? 2 : r < 90 ? 3 : 4;
        std::string w;
        for (int i = 0; i < syllables; ++i) w += Syllable();
        return w;
    }
    // Two-byte characters of GB2312 level 1 (lead B0-D7, trail A1-FE).
    std::string Sense() {
        static const char* tags[] = {"n.", "v.", "adj.", "adv."};
        std::string s;
        if (rng_() % 5 == 0) s = tags[rng_() % 4];
        const int chars = 2 + int(rng_() % 4);
        for (int i = 0; i < chars; ++i) {
            s.push_back(char(0xB0 + rng_() % 0x28));
            s.push_back(char(0xA1 + rng_() % 0x5E));
        }
        return s;
    }
    std::string Rendering() {
        const unsigned r = rng_() % 100;
        const int senses = r < 50 ? 1 : r < 85 ? 2 : 3;
        std::string out;
        for (int i = 0; i < senses; ++i) {
            if (i) out += qb::kSenseSep;
            out += Sense();
        }
        return out;
    }
    std::mt19937& rng() { return rng_; }

private:
    std::mt19937 rng_;
};

std::size_t EntriesWanted() {
    if (const char* env = std::getenv("QB_BENCH_ENTRIES")) {
        const long long n = std::atoll(env);
        if (n > 1000) return std::size_t(n);
    }
    return 765000;
}

void WriteBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

const Synthetic& Data() {
    static Synthetic data = [] {
        Synthetic d;
        std::string tmpl = std::filesystem::temp_directory_path().string() + "/qb-bench-XXXXXX";
        if (!::mkdtemp(tmpl.data())) std::abort();
        d.dir = tmpl;
        d.qbsPath = d.dir + "/Full.qbs";
        d.txtPath = d.dir + "/Full.txt";
        d.shuffledPath = d.dir + "/shuffled.txt";
        d.mergePath = d.dir + "/merge.txt";

        const std::size_t total = EntriesWanted();
        const std::size_t phrases = total * 35 / 100;
        Generator g(20261208);
        // Words: a common vocabulary first (phrases are made of it), then rarer words.
        std::unordered_set<std::string> seen;
        std::vector<std::string> words;
        words.reserve(total);
        while (words.size() < total - phrases) {
            std::string w = g.Word();
            if (seen.insert(w).second) words.push_back(std::move(w));
        }
        const std::size_t common = std::min<std::size_t>(30000, words.size());
        static const char* little[] = {"of", "the", "to", "in",  "a",
                                       "up", "out", "on", "for", "with"};
        auto commonWord = [&](std::mt19937& rng) {
            if (rng() % 4 == 0) return std::string(little[rng() % 10]);
            const double u = double(rng()) / double(rng.max());
            return words[std::size_t(double(common) * u * u)];
        };
        StringList keys, renderings;
        keys.reserve(total);
        renderings.reserve(total);
        for (const std::string& w : words) {
            keys.push_back(w);
            renderings.push_back(g.Rendering());
        }
        std::size_t made = 0;
        while (made < phrases) {
            const unsigned r = g.rng()() % 100;
            const int n = r < 50 ? 2 : r < 85 ? 3 : 4;
            std::string key = words[g.rng()() % common];
            for (int i = 1; i < n; ++i) key += " " + commonWord(g.rng());
            if (!seen.insert(key).second) continue;
            keys.push_back(std::move(key));
            renderings.push_back(g.Rendering());
            ++made;
        }
        // The lexicon written as the program writes it.
        {
            auto dict = std::make_unique<TQbDict>();
            dict->AddEntries(keys, renderings);
            d.entries = dict->EntryCount();
            const std::string qbs = dict->SaveToBytes(true);
            WriteBytes(d.qbsPath, qbs);
            d.fileBytes = qbs.size();
            const std::string txt = dict->SaveToBytes(false);
            WriteBytes(d.txtPath, txt);
            StringList lines = qb::SplitLines(txt);
            std::shuffle(lines.begin(), lines.end(), g.rng());
            WriteBytes(d.shuffledPath, qb::JoinLinesCrLf(lines));
        }
        // 100k lines to merge: half new keys, the rest known keys, partly in other letter case
        // and with new senses, in random order.
        std::string merge;
        for (int i = 0; i < 100000; ++i) {
            std::string key, rendering = g.Rendering();
            const unsigned r = g.rng()() % 100;
            if (r < 50) {
                key = g.Word() + g.Syllable();
            } else {
                key = keys[g.rng()() % keys.size()];
                if (r < 75) key[0] = char(std::toupper(static_cast<unsigned char>(key[0])));
                if (r < 90) rendering += ";" + g.Sense();
            }
            d.mergeSources.push_back(key);
            d.mergeRenderings.push_back(rendering);
            merge += key + "\t" + rendering + "\r\n";
        }
        WriteBytes(d.mergePath, merge);
        // A 30-word sentence: phrases of the lexicon, inflected words, little words.
        std::vector<std::string> sw;
        while (sw.size() < 30) {
            const unsigned r = g.rng()() % 4;
            if (r == 0) {
                std::string phrase = keys[words.size() + g.rng()() % phrases];
                std::size_t start = 0;
                while (sw.size() < 30) {
                    const std::size_t sp = phrase.find(' ', start);
                    sw.push_back(phrase.substr(start, sp - start));
                    if (sp == std::string::npos) break;
                    start = sp + 1;
                }
            } else if (r == 1) {
                static const char* suffixes[] = {"s", "ed", "ing", "er", "es", "ies"};
                sw.push_back(words[g.rng()() % common] + suffixes[g.rng()() % 6]);
            } else if (r == 2) {
                sw.push_back(little[g.rng()() % 10]);
            } else {
                sw.push_back(words[g.rng()() % words.size()]);
            }
        }
        sw[0][0] = char(std::toupper(static_cast<unsigned char>(sw[0][0])));
        for (std::size_t i = 0; i < sw.size(); ++i) d.sentence += (i ? " " : "") + sw[i];
        d.sentence += ".";
        return d;
    }();
    return data;
}

void FileCounters(benchmark::State& state) {
    state.counters["entries"] = double(Data().entries);
    state.counters["file_MB"] = double(Data().fileBytes) / 1e6;
}

// ---- loading, against sort -f over the same lines ----

void BM_LoadSavedQbs(benchmark::State& state) {
    const Synthetic& d = Data();
    for (auto _ : state) {
        TQbDict dict;
        dict.Load(d.qbsPath, "");
        benchmark::DoNotOptimize(dict.EntryCount());
    }
    FileCounters(state);
}
BENCHMARK(BM_LoadSavedQbs)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_LoadSavedTxt(benchmark::State& state) {
    const Synthetic& d = Data();
    for (auto _ : state) {
        TQbDict dict;
        dict.Load(d.txtPath, "");
        benchmark::DoNotOptimize(dict.EntryCount());
    }
    FileCounters(state);
}
BENCHMARK(BM_LoadSavedTxt)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_LoadShuffledTxt(benchmark::State& state) {
    const Synthetic& d = Data();
    for (auto _ : state) {
        TQbDict dict;
        dict.Load(d.shuffledPath, "");
        benchmark::DoNotOptimize(dict.EntryCount());
    }
    FileCounters(state);
}
BENCHMARK(BM_LoadShuffledTxt)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

double ChildrenCpuMs() {
    struct rusage ru;
    ::getrusage(RUSAGE_CHILDREN, &ru);
    return (double(ru.ru_utime.tv_sec) + double(ru.ru_stime.tv_sec)) * 1e3 +
           (double(ru.ru_utime.tv_usec) + double(ru.ru_stime.tv_usec)) / 1e3;
}

// The column "Time" is wall-clock time; sort runs in a child process, so its processor time
// (user + system, all its threads) is given as sort_cpu_ms.
void RunSort(benchmark::State& state, const std::string& path) {
    const std::string cmd = "LC_ALL=C sort -f '" + path + "' > /dev/null";
    const double cpuBefore = ChildrenCpuMs();
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("sort failed");
    }
    state.counters["sort_cpu_ms"] = (ChildrenCpuMs() - cpuBefore) / double(state.iterations());
    FileCounters(state);
}
// The reference: sort -f over the same lines, shuffled (as any file might come) and as saved.
void BM_Reference_SortF_Shuffled(benchmark::State& state) { RunSort(state, Data().shuffledPath); }
BENCHMARK(BM_Reference_SortF_Shuffled)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
void BM_Reference_SortF_Saved(benchmark::State& state) { RunSort(state, Data().txtPath); }
BENCHMARK(BM_Reference_SortF_Saved)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// ---- peak memory of loading, in a fresh process ----

std::string g_self;

void PeakOfLoading(benchmark::State& state, const std::string& path) {
    double peakKb = 0, baseKb = 0;
    for (auto _ : state) {
        int fds[2];
        if (::pipe(fds) != 0) {
            state.SkipWithError("pipe");
            return;
        }
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(fds[1], 1);
            ::execl(g_self.c_str(), g_self.c_str(), "--peak-load", path.c_str(), (char*)nullptr);
            ::_exit(127);
        }
        ::close(fds[1]);
        char buf[256] = {};
        std::size_t got = 0;
        ssize_t n;
        while ((n = ::read(fds[0], buf + got, sizeof buf - 1 - got)) > 0) got += std::size_t(n);
        ::close(fds[0]);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (std::sscanf(buf, "%lf %lf", &baseKb, &peakKb) != 2) state.SkipWithError("child failed");
    }
    const double fileKb = double(std::filesystem::file_size(path)) / 1024.0;
    // MiB here (VmHWM is in kB): peak of the whole process, its size before loading, the file.
    state.counters["peak_MiB"] = peakKb / 1024.0;
    state.counters["start_MiB"] = baseKb / 1024.0;
    state.counters["file_MiB"] = fileKb / 1024.0;
    state.counters["peak_per_file"] = peakKb / fileKb;
}
void BM_PeakMemory_LoadQbs(benchmark::State& state) { PeakOfLoading(state, Data().qbsPath); }
BENCHMARK(BM_PeakMemory_LoadQbs)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_PeakMemory_LoadShuffledTxt(benchmark::State& state) {
    PeakOfLoading(state, Data().shuffledPath);
}
BENCHMARK(BM_PeakMemory_LoadShuffledTxt)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

long ReadVmHwmKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return -1;
}

// Child side: load the file (ready for lookups), then report VmHWM before and after, in kB.
int PeakLoadChild(const char* path) {
    const long before = ReadVmHwmKb();
    TQbDict dict;
    dict.Load(path, "");
    StringList results;
    dict.LookupSentence("take part in the meeting", results);
    const long after = ReadVmHwmKb();
    std::printf("%ld %ld\n", before, after);
    return 0;
}

// ---- lookup ----

const TQbDict& Loaded() {
    static TQbDict dict;
    static bool loaded = false;
    if (!loaded) {
        dict.Load(Data().qbsPath, "");
        loaded = true;
    }
    return dict;
}

void BM_LookupSentence30Words(benchmark::State& state) {
    const TQbDict& dict = Loaded();
    StringList results;
    for (auto _ : state) {
        dict.LookupSentence(Data().sentence, results);
        benchmark::DoNotOptimize(results.data());
    }
    state.counters["words"] = double(qb::WordCount(qb::NormalizeKey(Data().sentence)));
    state.counters["found"] = double(results.size());
    state.SetLabel(Data().sentence.substr(0, 60) + "...");
}
BENCHMARK(BM_LookupSentence30Words)->Unit(benchmark::kMicrosecond);

// ---- merging 100k lines and saving ----

void BM_MergeText100kAndSave(benchmark::State& state) {
    const Synthetic& d = Data();
    const std::string target = d.dir + "/target.qbs";
    std::size_t added = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::copy_file(d.qbsPath, target,
                                   std::filesystem::copy_options::overwrite_existing);
        auto dict = std::make_unique<TQbDict>();
        dict->Load(target, "");
        const std::size_t before = dict->EntryCount();
        state.ResumeTiming();
        dict->MergeTextFile(d.mergePath);
        dict->Save();
        state.PauseTiming();
        added = dict->EntryCount() - before;
        dict.reset();
        state.ResumeTiming();
    }
    state.counters["new_entries"] = double(added);
    FileCounters(state);
}
BENCHMARK(BM_MergeText100kAndSave)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// AddEntries of n pairs into the full lexicon: linear in n (never quadratic).
void BM_AddEntries(benchmark::State& state) {
    const Synthetic& d = Data();
    const std::size_t n = std::size_t(state.range(0));
    StringList sources, renderings;
    for (std::size_t i = 0; i < n; ++i) {
        sources.push_back(d.mergeSources[i % d.mergeSources.size()] +
                          (i >= d.mergeSources.size() ? "x" : ""));
        renderings.push_back(d.mergeRenderings[i % d.mergeRenderings.size()]);
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto dict = std::make_unique<TQbDict>();
        dict->Load(d.qbsPath, "");
        state.ResumeTiming();
        dict->AddEntries(sources, renderings);
        state.PauseTiming();
        dict.reset();
        state.ResumeTiming();
    }
    state.counters["lines"] = double(n);
    state.counters["us_per_line"] = benchmark::Counter(
        double(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AddEntries)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

void BM_SaveToBytesQbs(benchmark::State& state) {
    const TQbDict& dict = Loaded();
    for (auto _ : state) benchmark::DoNotOptimize(dict.SaveToBytes(true).size());
}
BENCHMARK(BM_SaveToBytesQbs)->Unit(benchmark::kMillisecond)->Iterations(5);

// ---- the hot comparison ----

void BM_TextCompareAdjacentKeys(benchmark::State& state) {
    const TQbDict& dict = Loaded();
    const std::size_t n = dict.EntryCount();
    std::size_t i = 0;
    int sum = 0;
    for (auto _ : state) {
        sum += qb::TextCompare(dict.KeyAt(i), dict.KeyAt(i + 1));
        if (++i + 1 >= n) i = 0;
    }
    benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_TextCompareAdjacentKeys);

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--peak-load") == 0) return PeakLoadChild(argv[2]);
    g_self = std::filesystem::read_symlink("/proc/self/exe").string();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
