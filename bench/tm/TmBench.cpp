// Benchmarks of the translation memory at 100,000 pairs: fuzzy matches for a selected sentence
// (target under 20 ms, also for a short sentence of common words), concordance search, recording one pair, opening the file, and TMX import
// and export of 100,000 units (target under 5 s each).
//
//   build/bench/bench_tm [--benchmark_filter=...]
//   QB_BENCH_PAIRS=20000 build/bench/bench_tm      (a smaller memory)
//
// The sentences are synthetic but shaped like technical English: word frequencies follow Zipf's
// law over a 30,000-word vocabulary whose top ranks are the real function words ("the" is in
// most sentences, as in real text), 6 to 30 words and a full stop; one sentence in four is a
// variant of an earlier one with a word or two changed, as in manuals and their updates.
#include "TmxFormat.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using namespace qb::tm;

constexpr const char* kFunctionWords[] = {
    "the",  "of",    "and",  "to",    "a",    "in",   "is",  "that", "for",  "it",
    "as",   "with",  "be",   "on",    "not",  "this", "by",  "are",  "or",   "from",
    "at",   "which", "an",   "can",   "if",   "you",  "all", "will", "when", "each",
    "must", "may",   "than", "other", "into", "only", "new", "also"};

class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {
        for (const char* w : kFunctionWords) vocabulary_.push_back(w);
        while (vocabulary_.size() < 30000) vocabulary_.push_back(Word());
        std::vector<double> weights;
        for (std::size_t i = 0; i < vocabulary_.size(); ++i) weights.push_back(1.0 / double(i + 1));
        zipf_ = std::discrete_distribution<std::size_t>(weights.begin(), weights.end());
    }

    std::vector<std::string> Words() {
        std::vector<std::string> w(std::uniform_int_distribution<std::size_t>(6, 30)(rng_));
        for (std::string& s : w) s = vocabulary_[zipf_(rng_)];
        return w;
    }
    static std::string Sentence(const std::vector<std::string>& words) {
        std::string s;
        for (const std::string& w : words) s += (s.empty() ? "" : " ") + w;
        s[0] = char(std::toupper(static_cast<unsigned char>(s[0])));
        return s + ".";
    }
    // A word or two replaced.
    std::vector<std::string> Variant(std::vector<std::string> words) {
        const int changes = std::uniform_int_distribution<int>(1, 2)(rng_);
        for (int i = 0; i < changes; ++i)
            words[std::uniform_int_distribution<std::size_t>(0, words.size() - 1)(rng_)] =
                vocabulary_[zipf_(rng_)];
        return words;
    }
    std::string Chinese() {
        std::string s;
        const int n = std::uniform_int_distribution<int>(8, 40)(rng_);
        for (int i = 0; i < n; ++i) {
            const char32_t cp = 0x4E00 + std::uniform_int_distribution<int>(0, 3000)(rng_);
            s += char(0xE0 | (cp >> 12));
            s += char(0x80 | ((cp >> 6) & 0x3F));
            s += char(0x80 | (cp & 0x3F));
        }
        return s + "\xE3\x80\x82"; // 。
    }
    std::mt19937& Rng() { return rng_; }

private:
    std::string Word() {
        static const char* syllables[] = {"con", "fig",  "ur",  "a",    "tion", "ser", "ver",
                                          "net", "work", "pro", "cess", "in",   "ter", "face",
                                          "de",  "vice", "sys", "tem",  "da",   "ta",  "base",
                                          "re",  "cord", "mo",  "dule", "port"};
        std::string w;
        const int n = std::uniform_int_distribution<int>(1, 4)(rng_);
        for (int i = 0; i < n; ++i) w += syllables[std::uniform_int_distribution<int>(0, 25)(rng_)];
        return w;
    }

    std::mt19937 rng_;
    std::vector<std::string> vocabulary_;
    std::discrete_distribution<std::size_t> zipf_;
};

std::size_t PairCount() {
    const char* n = std::getenv("QB_BENCH_PAIRS");
    return n ? std::size_t(std::strtoul(n, nullptr, 10)) : 100000;
}

// The 100,000 units as TMX, and a memory made from them; made once for all benchmarks.
struct Fixture {
    std::string dir;
    QByteArray tmx;
    std::unique_ptr<TTranslationMemory> tm;
    std::vector<std::vector<std::string>> stored; // the words of some stored sources
    Generator gen{20261208};

    Fixture() {
        char tmpl[] = "/tmp/qb-bench-tm-XXXXXX";
        dir = mkdtemp(tmpl);
        TmxWriter writer;
        std::vector<std::vector<std::string>> recent;
        for (std::size_t i = 0; i < PairCount(); ++i) {
            std::vector<std::string> words = (i % 4 == 3 && !recent.empty())
                                                 ? gen.Variant(recent[gen.Rng()() % recent.size()])
                                                 : gen.Words();
            if (i % 97 == 0) stored.push_back(words);
            if (recent.size() < 5000)
                recent.push_back(words);
            else
                recent[gen.Rng()() % recent.size()] = words;
            writer.Add(TmxUnit{Generator::Sentence(words), gen.Chinese(),
                               1700000000 + std::int64_t(i), 1700000000 + std::int64_t(i)});
        }
        tmx = writer.Finish();
        tm = std::make_unique<TTranslationMemory>(dir + "/memory.db");
        ImportTmx(*tm, std::string_view(tmx.constData(), std::size_t(tmx.size())));
    }
    ~Fixture() {
        tm.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Fixture& F() {
    static Fixture f;
    return f;
}

// The time per iteration is the time per query; the counters say what was searched and found.
void Report(benchmark::State& state, std::size_t matches) {
    state.counters["pairs"] = double(F().tm->PairCount());
    state.counters["matches_per_query"] =
        double(matches) / double(std::max<benchmark::IterationCount>(state.iterations(), 1));
}

// A selected sentence that is a stored one with a word changed: the everyday case.
void BM_FuzzyMatchVariant(benchmark::State& state) {
    Fixture& f = F();
    std::size_t q = 0, found = 0;
    for (auto _ : state) {
        const std::vector<std::string>& base = f.stored[q++ % f.stored.size()];
        std::vector<std::string> words = f.gen.Variant(base);
        const std::vector<Match> m = f.tm->Matches(Generator::Sentence(words));
        found += m.size();
        benchmark::DoNotOptimize(m);
    }
    Report(state, found);
}
BENCHMARK(BM_FuzzyMatchVariant)->Unit(benchmark::kMillisecond);

// A new sentence: every word's postings are read, nothing is close enough.
void BM_FuzzyMatchNewSentence(benchmark::State& state) {
    Fixture& f = F();
    std::size_t found = 0;
    for (auto _ : state) {
        const std::vector<Match> m = f.tm->Matches(Generator::Sentence(f.gen.Words()));
        found += m.size();
        benchmark::DoNotOptimize(m);
    }
    Report(state, found);
}
BENCHMARK(BM_FuzzyMatchNewSentence)->Unit(benchmark::kMillisecond);

// The worst case for the index: a long sentence of the commonest words only.
void BM_FuzzyMatchCommonWords(benchmark::State& state) {
    Fixture& f = F();
    const std::string s =
        "It is not that the one of the other can be in all of them, as it is with this and that "
        "which is on the other one or at the new one for all of the other.";
    for (auto _ : state) benchmark::DoNotOptimize(f.tm->Matches(s));
}
BENCHMARK(BM_FuzzyMatchCommonWords)->Unit(benchmark::kMillisecond);

// Short sentences of common words: the oldest pairs are "Click OK." and "Click OK to
// continue.", and each of the newer ones (all but two of the memory) holds "click" and "ok"
// in a longer sentence. "Click OK now." must find the two short ones.
void BM_FuzzyMatchShortCommonWords(benchmark::State& state) {
    static const struct ClickMemory {
        std::string dir;
        std::unique_ptr<TTranslationMemory> tm;
        ClickMemory() {
            char tmpl[] = "/tmp/qb-bench-tm-click-XXXXXX";
            dir = mkdtemp(tmpl);
            tm = std::make_unique<TTranslationMemory>(dir + "/memory.db");
            tm->Record("Click OK.", "单击确定。", 1700000000);
            tm->Record("Click OK to continue.", "单击确定继续。", 1700000001);
            Generator gen(7);
            TTranslationMemory::Batch batch(*tm);
            for (std::size_t i = 2; i < PairCount(); ++i) {
                std::vector<std::string> words = gen.Words();
                words.insert(words.begin(), {"click", "ok", "to"});
                tm->Record(Generator::Sentence(words), gen.Chinese(), 1700000000 + std::int64_t(i));
            }
            batch.Commit();
        }
        ~ClickMemory() {
            tm.reset();
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        }
    } memory;
    std::size_t found = 0;
    bool short1 = false;
    for (auto _ : state) {
        const std::vector<Match> m = memory.tm->Matches("Click OK now.");
        found += m.size();
        for (const Match& x : m) short1 = short1 || x.pair.source == "Click OK.";
    }
    state.counters["pairs"] = double(memory.tm->PairCount());
    state.counters["matches_per_query"] =
        double(found) / double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["found_click_ok"] = short1 ? 1 : 0;
}
BENCHMARK(BM_FuzzyMatchShortCommonWords)->Unit(benchmark::kMillisecond);

void BM_ExactMatch(benchmark::State& state) {
    Fixture& f = F();
    std::size_t q = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(f.tm->Matches(Generator::Sentence(f.stored[q++ % f.stored.size()])));
}
BENCHMARK(BM_ExactMatch)->Unit(benchmark::kMillisecond);

void BM_ConcordanceWord(benchmark::State& state) {
    Fixture& f = F();
    std::size_t q = 0, hits = 0;
    for (auto _ : state) {
        const std::vector<std::string>& w = f.stored[q++ % f.stored.size()];
        const std::vector<Hit> h = f.tm->Search(w[w.size() / 2] + " " + w[w.size() / 2 + 1]);
        hits += h.size();
    }
    state.counters["hits_per_query"] = double(hits) / double(state.iterations());
}
BENCHMARK(BM_ConcordanceWord)->Unit(benchmark::kMillisecond);

void BM_ConcordanceCommonWord(benchmark::State& state) {
    Fixture& f = F();
    for (auto _ : state) benchmark::DoNotOptimize(f.tm->Search("the"));
}
BENCHMARK(BM_ConcordanceCommonWord)->Unit(benchmark::kMillisecond);

// One pair recorded in its own transaction, as on every Ctrl+J.
void BM_RecordPair(benchmark::State& state) {
    Fixture& f = F();
    std::size_t i = 0;
    for (auto _ : state) {
        f.tm->Record("Bench sentence " + std::to_string(i) + " " + Generator::Sentence(f.gen.Words()),
                     f.gen.Chinese());
        ++i;
    }
}
BENCHMARK(BM_RecordPair)->Unit(benchmark::kMillisecond);

// Opening the file with its 100,000 pairs (the workspace does it once, off the key path).
void BM_Open(benchmark::State& state) {
    Fixture& f = F();
    for (auto _ : state) {
        TTranslationMemory tm(f.dir + "/memory.db");
        benchmark::DoNotOptimize(&tm);
    }
}
BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond);

void BM_TmxImport(benchmark::State& state) {
    Fixture& f = F();
    int round = 0;
    for (auto _ : state) {
        const std::string path = f.dir + "/import-" + std::to_string(round++) + ".db";
        TTranslationMemory tm(path);
        const ImportReport r =
            ImportTmx(tm, std::string_view(f.tmx.constData(), std::size_t(f.tmx.size())));
        state.counters["units"] = double(r.counts.units);
        state.counters["MB"] = double(f.tmx.size()) / 1e6;
    }
}
BENCHMARK(BM_TmxImport)->Unit(benchmark::kMillisecond)->Iterations(1);

// The window's import: the same units in transactions of 5,000, so that the window's own
// pairs are written between them.
void BM_TmxImportInSteps(benchmark::State& state) {
    Fixture& f = F();
    int round = 0;
    for (auto _ : state) {
        const std::string path = f.dir + "/steps-" + std::to_string(round++) + ".db";
        TTranslationMemory tm(path);
        const ImportReport r = ImportTmxInSteps(
            tm, std::string_view(f.tmx.constData(), std::size_t(f.tmx.size())), {}, nullptr);
        state.counters["units"] = double(r.counts.units);
    }
}
BENCHMARK(BM_TmxImportInSteps)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_TmxExport(benchmark::State& state) {
    Fixture& f = F();
    for (auto _ : state) {
        std::size_t n = 0;
        const QByteArray bytes = ExportTmx(*f.tm, &n);
        state.counters["units"] = double(n);
        benchmark::DoNotOptimize(bytes.size());
    }
}
BENCHMARK(BM_TmxExport)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

BENCHMARK_MAIN();
