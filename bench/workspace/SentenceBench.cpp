// ProcessSentence through the real main window (offscreen) on the shipped data: the basic
// lexicon, ecdict-full.qbs and two domain lexicons in use, all four schemes on. The time covers
// the lookups in every lexicon, the pooling, the code table, the phrase list and the floating
// window.
//   sentence/40words   one sentence of 40 words, repeated
//   sentence/text      every sentence of a real English text (the GPL-3 licence, 5,600 words,
//                      stepped through as Ctrl+J steps): median and worst in the counters
#include "GbkText.h"
#include "MainUnit.h"
#include "PopSourceUnit.h"
#include "SentenceLogic.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>

namespace {

const std::string kBin = std::string(QB_BIN_DIR) + "/";

struct TBench {
    QTemporaryDir dir;
    qb::TScriptedUi ui;
    std::unique_ptr<qb::TfrmMainQB> window;
    std::string error;
};

TBench& Bench() {
    static TBench* b = [] {
        auto* t = new TBench;
        for (const char* need : {"BasicDict.qbs", "lexicons/ecdict-full.qbs", "lexicons/law.qbs",
                                 "lexicons/computing.qbs"}) {
            if (!QFile::exists(QString::fromStdString(kBin + need))) {
                t->error = std::string("missing shipped data: ") + need;
                return t;
            }
        }
        const QString settings = t->dir.path() + "/qbridge10.ini";
        QFile f(settings);
        f.open(QIODevice::WriteOnly);
        f.write(("[inisetup]\nrcdicts1=" + kBin + "lexicons/ecdict-full.qbs\nrcdicts2=" + kBin +
                 "lexicons/law.qbs\nrcdicts3=" + kBin + "lexicons/computing.qbs\n")
                    .c_str());
        f.close();
        qb::TWorkspaceSetup setup;
        setup.programFolder = kBin;
        setup.settingsFile = settings;
        setup.ui = &t->ui;
        t->window = std::make_unique<qb::TfrmMainQB>(setup);
        t->window->CreateOtherWindows();
        t->window->show();
        if (!t->ui.messages.empty()) t->error = t->ui.messages.front().toStdString();
        return t;
    }();
    return *b;
}

const std::string kForty =
    "The translator takes care of the whole text, and from now on she will have more time to "
    "enjoy life, because the program looks up every phrase of each sentence in all the "
    "lexicons and shows their senses in the list.";

void BM_Forty(benchmark::State& state) {
    TBench& b = Bench();
    if (!b.error.empty()) {
        state.SkipWithError(b.error.c_str());
        return;
    }
    for (auto _ : state) b.window->ProcessSentence(kForty);
    state.counters["words"] = qb::WordCount(kForty);
    state.counters["phrases"] = double(b.window->SentenceLists().SentencePhrases.size());
    state.counters["codes"] = double(b.window->SentenceLists().SentenceCodeKeys.size());
}

// The parts of one ProcessSentence, to see where the time goes.
void BM_FortyLookups(benchmark::State& state) {
    TBench& b = Bench();
    if (!b.error.empty()) {
        state.SkipWithError(b.error.c_str());
        return;
    }
    qb::StringList pooled;
    for (auto _ : state) qb::PoolLookups(kForty, b.window->LexiconsInUse(), pooled);
}

void BM_FortyCodeTable(benchmark::State& state) {
    TBench& b = Bench();
    if (!b.error.empty()) {
        state.SkipWithError(b.error.c_str());
        return;
    }
    b.window->ProcessSentence(kForty);
    for (auto _ : state) b.window->BuildSentenceCodeTable(kForty);
}

void BM_FortyWindow(benchmark::State& state) {
    TBench& b = Bench();
    if (!b.error.empty()) {
        state.SkipWithError(b.error.c_str());
        return;
    }
    b.window->ProcessSentence(kForty);
    for (auto _ : state) {
        qb::TfrmPopSource* pop = b.window->findChild<qb::TfrmPopSource*>("frmPopSource");
        pop->SetText(kForty);
        pop->FitHeight();
        b.window->FillPhraseList(); // places the pop-ups after the list
    }
}

void BM_Text(benchmark::State& state) {
    TBench& b = Bench();
    if (!b.error.empty()) {
        state.SkipWithError(b.error.c_str());
        return;
    }
    QFile f(QStringLiteral("/usr/share/common-licenses/GPL-3"));
    if (!f.open(QIODevice::ReadOnly)) {
        state.SkipWithError("no /usr/share/common-licenses/GPL-3");
        return;
    }
    QByteArray raw = f.readAll();
    raw.replace("\n", "\r\n");
    const std::string text(raw.constData(), std::size_t(raw.size()));
    std::vector<std::string> sentences;
    qb::TByteSelection sel{0, 0};
    while (true) {
        sel = qb::FindSentence(text, sel.start, sel.length, false);
        if (sel.length == 0) break;
        sentences.push_back(text.substr(std::size_t(sel.start), std::size_t(sel.length)));
    }
    // Wall time per sentence, and the thread's CPU time (robust when the machine is busy).
    auto cpuMs = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
    };
    std::vector<double> ms, cpu;
    for (auto _ : state) {
        ms.clear();
        cpu.clear();
        for (const std::string& s : sentences) {
            const double c0 = cpuMs();
            auto t0 = std::chrono::steady_clock::now();
            b.window->ProcessSentence(s);
            auto t1 = std::chrono::steady_clock::now();
            cpu.push_back(cpuMs() - c0);
            ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        }
    }
    std::vector<double> cpuSorted = cpu;
    std::sort(cpuSorted.begin(), cpuSorted.end());
    if (!cpuSorted.empty()) {
        state.counters["median_cpu_ms"] = cpuSorted[cpuSorted.size() / 2];
        state.counters["worst_cpu_ms"] = cpuSorted.back();
    }
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    state.counters["sentences"] = double(sentences.size());
    state.counters["median_ms"] = sorted.empty() ? 0 : sorted[sorted.size() / 2];
    state.counters["worst_ms"] = sorted.empty() ? 0 : sorted.back();
    if (!ms.empty()) {
        const std::size_t worst = std::size_t(std::max_element(ms.begin(), ms.end()) - ms.begin());
        state.counters["worst_words"] = qb::WordCount(sentences[worst]);
        state.counters["worst_at"] = double(worst);
    }
    state.counters["words"] = qb::WordCount(text);
}

} // namespace

BENCHMARK(BM_Forty)->Name("sentence/40words")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FortyLookups)->Name("sentence/40words/lookups")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FortyCodeTable)->Name("sentence/40words/codetable")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FortyWindow)->Name("sentence/40words/window")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Text)->Name("sentence/text")->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home; // no user files touched
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
