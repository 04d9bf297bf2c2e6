// Lexicon-management benchmarks, each measured through the code the commands run:
//
//   Expand: the loaded basic lexicon (slot 1) expanded with lexicons/ecdict-full.qbs as the
//           source (a temporary lexicon), including loading the source and saving the target.
//   Merge:  a 100,000-line text lexicon merged into the user lexicon, including reading the
//           file and checking that it is GBK text (what 批量添加 does).
//   Expand/window, Merge/window: the same work run as the commands run it (RunJob), with the
//           longest the window's thread went without serving its event loop as
//           window_thread_worst_ms (a 1 ms timer ticks on it throughout).
//
// Real data from the program folder when it is there (QB_BIN_DIR, else $QB_DATA_BIN, else
// build-data/bin beside the build), otherwise synthetic lexicons of the real sizes (172,584 and
// 765,115 entries). Before timing, each result is compared with adding the same pairs one by
// one through AddEntry; the counters `identical` (1 = yes) and `added` report it.
#include "JobRunner.h"
#include "LexiconTasks.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <unordered_set>

namespace {

namespace fs = std::filesystem;
using qb::TQbDict;

std::string ReadAll(const std::string& path) { return qb::ReadWholeFile(path); }
void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

class Host : public qb::LexiconHost {
public:
    explicit Host(std::string folder) : folder_(std::move(folder)) {}
    ~Host() override {
        for (TQbDict* d : dicts) delete d;
    }
    int SlotCount() const override { return int(dicts.size()); }
    TQbDict* Slot(int i) const override { return dicts[std::size_t(i)]; }
    int IndexOfDict(const std::string& name) const override {
        for (std::size_t i = 0; i < dicts.size(); ++i)
            if (dicts[i] && dicts[i]->FileName() == name) return int(i);
        return -1;
    }
    void OpenDict(const std::string& name) override {
        dicts.push_back(new TQbDict);
        dicts.back()->Load(name, folder_ + "verb.spe");
    }
    void CloseDict(const std::string&) override {}
    std::string ProgramFolder() const override { return folder_; }
    std::vector<TQbDict*> dicts;

private:
    std::string folder_;
};

// ---- synthetic data of the real sizes ----

std::string RandomWord(std::mt19937& rng) {
    static const char* syll[] = {
        "ab", "ac", "al", "an", "ar", "at", "ba", "be", "bi", "bo",   "ca",   "ce",   "ci",
        "co", "de", "di", "do", "el", "en", "er", "es", "fa", "fi",   "ga",   "ge",   "ha",
        "he", "in", "is", "la", "le", "li", "lo", "ma", "me", "mi",   "mo",   "na",   "ne",
        "no", "on", "or", "pa", "pe", "pi", "ra", "re", "ri", "ro",   "sa",   "se",   "si",
        "ta", "te", "ti", "to", "un", "ur", "va", "ve", "za", "tion", "ment", "ness", "ly"};
    std::uniform_int_distribution<int> n(2, 5), s(0, int(std::size(syll)) - 1);
    std::string w;
    for (int i = n(rng); i > 0; --i) w += syll[s(rng)];
    return w;
}

std::string RandomSenses(std::mt19937& rng) {
    std::uniform_int_distribution<int> senses(1, 3), chars(2, 5), lead(0xB0, 0xD7), trail(0xA1, 0xFE);
    std::string r;
    for (int s = senses(rng); s > 0; --s) {
        if (!r.empty()) r += "\xA3\xBB";
        for (int c = chars(rng); c > 0; --c) {
            r += char(lead(rng));
            r += char(trail(rng));
        }
    }
    return r;
}

// FULL: `n` keys (single words, two- and three-word phrases); BASIC: every fourth or so of
// them with partly other senses, so the expansion both adds and merges.
void MakeSyntheticLexicons(const std::string& basicPath, const std::string& fullPath,
                           std::size_t fullCount, std::size_t basicCount) {
    std::mt19937 rng(7);
    TQbDict full, basic;
    full.SetFileName(fullPath);
    basic.SetFileName(basicPath);
    qb::StringList keys, renderings;
    std::unordered_set<std::string> seen;
    while (keys.size() < fullCount) {
        std::string k = RandomWord(rng);
        const int words = int(rng() % 10);
        if (words >= 7) k += " " + RandomWord(rng);
        if (words == 9) k += " " + RandomWord(rng);
        if (!seen.insert(k).second) continue; // distinct keys, as in the real lexicon
        keys.push_back(k);
        renderings.push_back(RandomSenses(rng));
    }
    full.AddEntries(keys, renderings, true);
    qb::StringList bk, br;
    const double step = double(full.EntryCount()) / double(basicCount);
    std::string k, r;
    for (double i = 0; std::size_t(i) < full.EntryCount() && bk.size() < basicCount; i += step) {
        full.GetEntry(static_cast<long long>(i), k, r);
        bk.push_back(k);
        br.push_back(rng() % 2 ? r : RandomSenses(rng));
    }
    basic.AddEntries(bk, br, true);
    full.Save();
    basic.Save();
}

std::string SyntheticTextLexicon(std::size_t lines) {
    std::mt19937 rng(11);
    std::string t;
    for (std::size_t i = 0; i < lines; ++i) {
        std::string k = RandomWord(rng);
        if (rng() % 3 == 0) k += " " + RandomWord(rng);
        t += k + "\t" + RandomSenses(rng) + "\r\n";
    }
    return t;
}

// ---- the data of one run ----

struct Data {
    std::string folder;      // a scratch program folder
    std::string basicSource; // BasicDict.qbs as found or made
    std::string full;        // ecdict-full.qbs
    std::string text;        // the 100k-line text lexicon
    bool real = false;
};

std::string FindBin() {
    for (const char* env : {"QB_DATA_BIN"})
        if (const char* p = std::getenv(env); p && *p) return std::string(p) + "/";
    const std::string bins[] = {QB_BIN_DIR, std::string(QB_BIN_DIR) + "/../../build/bin",
                                std::string(QB_BIN_DIR) + "/../../build-data/bin"};
    for (const std::string& b : bins)
        if (fs::exists(b + "/BasicDict.qbs") && fs::exists(b + "/lexicons/ecdict-full.qbs"))
            return b + "/";
    return {};
}

Data& TheData() {
    static Data d = [] {
        Data data;
        data.folder =
            (fs::temp_directory_path() / ("qb-bench-mgmt-" + std::to_string(::getpid()))).string() + "/";
        fs::create_directories(data.folder);
        const std::string bin = FindBin();
        if (!bin.empty()) {
            data.real = true;
            data.basicSource = bin + "BasicDict.qbs";
            data.full = bin + "lexicons/ecdict-full.qbs";
            WriteAll(data.folder + "verb.spe",
                     fs::exists(bin + "verb.spe") ? ReadAll(bin + "verb.spe") : "");
        } else {
            data.basicSource = data.folder + "BasicDict-source.qbs";
            data.full = data.folder + "ecdict-full.qbs";
            MakeSyntheticLexicons(data.basicSource, data.full, 765115, 172584);
            WriteAll(data.folder + "verb.spe", "went^go^\r\n");
        }
        // The text lexicon: 100,000 lines taken from the full lexicon when it is real (its
        // keys and renderings as a user's text file would hold them), else synthetic.
        data.text = data.folder + "words.txt";
        if (data.real) {
            TQbDict full;
            full.Load(data.full, data.folder + "verb.spe");
            std::string t, k, r;
            const std::size_t n = full.EntryCount();
            for (std::size_t i = 0, taken = 0; taken < 100000 && i < n;
                 i += std::max<std::size_t>(1, n / 100000), ++taken) {
                full.GetEntry(static_cast<long long>(i), k, r);
                t += k + "\t" + r + "\r\n";
            }
            WriteAll(data.text, t);
        } else {
            WriteAll(data.text, SyntheticTextLexicon(100000));
        }
        WriteAll(data.folder + "mydict-source.txt", SyntheticTextLexicon(2000));
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(TheData().folder, ec);
        });
        return data;
    }();
    return d;
}

// ---- the one-by-one references ----

std::string ExpandOneByOne(Data& d) {
    TQbDict target, source;
    target.Load(d.basicSource, d.folder + "verb.spe");
    source.Load(d.full, d.folder + "verb.spe");
    std::string k, r;
    for (std::size_t i = 0, n = source.EntryCount(); i < n; ++i) {
        source.GetEntry(static_cast<long long>(i), k, r);
        target.AddEntry(k, r, true);
    }
    std::string bytes = target.SaveToBytes(true);
    target.SetFileName(d.folder + "reference.qbs"); // its own file, never the data's
    return bytes;
}

std::string MergeOneByOne(Data& d) {
    TQbDict user;
    user.Load(d.folder + "mydict-source.txt", d.folder + "verb.spe");
    for (const std::string& line : qb::SplitLines(ReadAll(d.text))) {
        auto [k, r] = qb::SplitAtFirst(line, '\t');
        user.AddEntry(k, r, true);
    }
    std::string bytes = user.SaveToBytes(false);
    user.SetFileName(d.folder + "reference.txt");
    return bytes;
}

// ---- the benchmarks ----

void BM_ExpandBasicWithEcdictFull(benchmark::State& state) {
    Data& d = TheData();
    const std::string basic = d.folder + "BasicDict.qbs";
    std::string result;
    std::size_t added = 0, entries = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy_file(d.basicSource, basic, fs::copy_options::overwrite_existing);
        auto host = std::make_unique<Host>(d.folder);
        host->dicts.push_back(nullptr); // slot 0, the user lexicon, plays no part here
        host->OpenDict(basic);          // the basic lexicon, loaded at start-up
        state.ResumeTiming();

        added = qb::ExpandLexicon(*host, basic, d.full, nullptr, nullptr);

        state.PauseTiming();
        entries = host->dicts[1]->EntryCount();
        result = host->dicts[1]->SaveToBytes(true);
        host.reset();
        state.ResumeTiming();
    }
    state.counters["added"] = double(added);
    state.counters["entries"] = double(entries);
    state.counters["real_data"] = d.real ? 1 : 0;
    static const std::string reference = ExpandOneByOne(d);
    state.counters["identical"] = (result == reference && ReadAll(basic) == reference) ? 1 : 0;
}

void BM_Merge100kTextIntoUserLexicon(benchmark::State& state) {
    Data& d = TheData();
    std::string result;
    std::size_t before = 0, after = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto user = std::make_unique<TQbDict>();
        user->Load(d.folder + "mydict-source.txt", d.folder + "verb.spe");
        before = user->EntryCount();
        state.ResumeTiming();

        // What 批量添加 does after the file is chosen: read, check, merge.
        const std::string bytes = qb::ReadWholeFile(d.text);
        if (qb::ClassifyTextLexicon(bytes) != qb::TextKind::Gbk) state.SkipWithError("not GBK");
        qb::MergeTextLexicon(*user, bytes, nullptr);

        state.PauseTiming();
        after = user->EntryCount();
        result = user->SaveToBytes(false);
        user.reset();
        state.ResumeTiming();
    }
    state.counters["added"] = double(after - before);
    state.counters["lines"] = 100000;
    state.counters["real_data"] = d.real ? 1 : 0;
    static const std::string reference = MergeOneByOne(d);
    state.counters["identical"] = result == reference ? 1 : 0;
}

// Runs `work` through RunJob and returns the longest the calling thread went without serving its
// event loop, in ms, from the call to its return.
template <class F>
double WindowThreadWorstMs(F&& work) {
    QElapsedTimer clock;
    double worst = 0, last = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double now = double(clock.nsecsElapsed()) / 1e6;
        worst = std::max(worst, now - last);
        last = now;
    });
    tick.start(1);
    clock.start();
    qb::RunJob(nullptr, qb::TJobOptions{}, [&](qb::TProgress& progress) { work(progress); });
    worst = std::max(worst, double(clock.nsecsElapsed()) / 1e6 - last);
    return worst;
}

void BM_ExpandOnWorker(benchmark::State& state) {
    Data& d = TheData();
    const std::string basic = d.folder + "BasicDict.qbs";
    double worst = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy_file(d.basicSource, basic, fs::copy_options::overwrite_existing);
        auto host = std::make_unique<Host>(d.folder);
        host->dicts.push_back(nullptr);
        host->OpenDict(basic);
        state.ResumeTiming();
        worst = std::max(worst, WindowThreadWorstMs([&](qb::TProgress& progress) {
                             qb::ExpandLexicon(*host, basic, d.full, nullptr, &progress);
                         }));
        state.PauseTiming();
        host.reset();
        state.ResumeTiming();
    }
    state.counters["window_thread_worst_ms"] = worst;
}

void BM_MergeOnWorker(benchmark::State& state) {
    Data& d = TheData();
    double worst = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto user = std::make_unique<TQbDict>();
        user->Load(d.folder + "mydict-source.txt", d.folder + "verb.spe");
        const std::string bytes = qb::ReadWholeFile(d.text);
        state.ResumeTiming();
        worst = std::max(worst, WindowThreadWorstMs([&](qb::TProgress& progress) {
                             qb::MergeTextLexicon(*user, bytes, &progress);
                         }));
        state.PauseTiming();
        user.reset();
        state.ResumeTiming();
    }
    state.counters["window_thread_worst_ms"] = worst;
}

} // namespace

BENCHMARK(BM_ExpandBasicWithEcdictFull)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Merge100kTextIntoUserLexicon)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ExpandOnWorker)->Name("Expand/window")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MergeOnWorker)->Name("Merge/window")->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv); // RunJob's event loop and progress window
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
