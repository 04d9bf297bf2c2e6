// The translation memory behind Ctrl+J in the real main window (offscreen), on a memory of
// 100,000 pairs (QB_BENCH_PAIRS for another size): 300 sentences stepped through Ctrl+J by
// Ctrl+J, each a variant of a stored one (a word changed), a translation typed for each.
//   memory/ctrlj/1  counters: gui_* = the Ctrl+J handler's time on the window's thread (the
//                   record and the lookup only posted to the worker); shown_* = from Ctrl+J until
//                   the match list shows the new sentence's matches (the worker's record of the
//                   previous pair and its fuzzy search included)
//                   (gui_cpu_*: the window thread's own CPU time, apart from a busy machine)
//   memory/ctrlj/0  the same window without a memory: gui_* to compare
//
//   build/bench/bench_workspace_memory
#include "MainUnit.h"
#include "TranslationMemory.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Vocabulary(std::mt19937& rng) {
    std::vector<std::string> v = {"the",  "of",  "and", "to",   "a",   "in", "is",
                                  "that", "for", "it",  "with", "be",  "on", "not",
                                  "this", "by",  "are", "or",   "from"};
    while (v.size() < 20000) {
        std::string w;
        const int n = std::uniform_int_distribution<int>(3, 10)(rng);
        for (int i = 0; i < n; ++i) w += char('a' + std::uniform_int_distribution<int>(0, 25)(rng));
        v.push_back(w);
    }
    return v;
}

struct Words {
    std::vector<std::string> w;
    std::string Sentence() const {
        std::string s;
        for (const std::string& x : w) s += (s.empty() ? "" : " ") + x;
        s[0] = char(s[0] - 'a' + 'A');
        return s + ".";
    }
};

void BM_CtrlJ(benchmark::State& state) {
    std::size_t pairs = 100000;
    if (const char* n = std::getenv("QB_BENCH_PAIRS"))
        pairs = std::size_t(std::max(1000L, std::atol(n)));
    std::mt19937 rng(7);
    const std::vector<std::string> vocabulary = Vocabulary(rng);
    std::discrete_distribution<std::size_t> zipf = [&] {
        std::vector<double> weights;
        for (std::size_t i = 0; i < vocabulary.size(); ++i) weights.push_back(1.0 / double(i + 1));
        return std::discrete_distribution<std::size_t>(weights.begin(), weights.end());
    }();
    QTemporaryDir dir;
    const std::string memoryFile = dir.path().toStdString() + "/translation-memory.db";
    std::vector<Words> stored;
    {
        qb::tm::TTranslationMemory memory(memoryFile);
        qb::tm::TTranslationMemory::Batch batch(memory);
        for (std::size_t i = 0; i < pairs; ++i) {
            Words s;
            s.w.resize(std::uniform_int_distribution<std::size_t>(6, 30)(rng));
            for (std::string& x : s.w) x = vocabulary[zipf(rng)];
            memory.Record(s.Sentence(), "译文" + std::to_string(i));
            if (i % (pairs / 300) == 0) stored.push_back(s);
        }
        batch.Commit();
    }
    std::string text;
    for (Words s : stored) {
        s.w[std::uniform_int_distribution<std::size_t>(0, s.w.size() - 1)(rng)] = "changed";
        text += s.Sentence() + " ";
    }

    qb::TScriptedUi ui;
    qb::TWorkspaceSetup setup;
    setup.programFolder = dir.path().toStdString() + "/bin/"; // no lexicons: the memory's share
    setup.settingsFile = dir.path() + "/qbridge10.ini";
    setup.ui = &ui;
    setup.rescueFolder = dir.path().toStdString() + "/rescue/";
    setup.dataFolder = dir.path().toStdString() + "/data/";
    if (state.range(0)) setup.memoryFile = memoryFile;
    qb::TfrmMainQB window(setup);
    window.CreateOtherWindows();
    window.show();

    auto cpuMs = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
    };
    std::vector<double> gui, guiCpu, shown;
    int withMatches = 0;
    for (auto _ : state) {
        window.SourcePane().SetText(text);
        window.SourcePane().SetSelStart(0);
        for (std::size_t i = 0; i < stored.size(); ++i) {
            QElapsedTimer t;
            t.start();
            const double c0 = cpuMs();
            window.findChild<QAction*>("DoGetASent")->trigger();
            guiCpu.push_back(cpuMs() - c0);
            gui.push_back(double(t.nsecsElapsed()) / 1e6);
            while (!window.findChild<QListWidget*>("lbMemory")->isEnabled() && t.elapsed() < 5000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            shown.push_back(double(t.nsecsElapsed()) / 1e6);
            QCoreApplication::processEvents(); // painted and laid out, with or without a memory
            if (window.findChild<QListWidget*>("lbMemory")->isVisible()) ++withMatches;
            window.TargetPane().SetSelText("\xD2\xEB\xCE\xC4"); // 译文, as the input method types it
        }
    }
    window.FormDestroy();
    auto counters = [&](const char* name, std::vector<double> v) {
        std::sort(v.begin(), v.end());
        state.counters[std::string(name) + "_median_ms"] = v[v.size() / 2];
        state.counters[std::string(name) + "_p99_ms"] = v[v.size() * 99 / 100];
        state.counters[std::string(name) + "_worst_ms"] = v.back();
    };
    counters("gui", gui);
    counters("gui_cpu", guiCpu);
    counters("shown", shown);
    state.counters["pairs"] = double(pairs);
    state.counters["with_matches"] = double(withMatches) / double(shown.size());
}

} // namespace

BENCHMARK(BM_CtrlJ)->Name("memory/ctrlj")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
