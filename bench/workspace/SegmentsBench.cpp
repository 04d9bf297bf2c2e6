// Moving between the segments of a 10,000-unit catalogue in the real window (offscreen): the
// window's thread work of one move, Ctrl+Down and Ctrl+Up in turn (the source pane selects the
// unit, the target pane's caret goes to its paragraph, the segment list follows, the sentence is
// processed), with the events that follow at once.
//   segments/move/bare        no lexicons: the segments' own part of the move
//   segments/move/lexicons    the basic lexicon, ecdict-full.qbs and two domain lexicons in use,
//                             as a translator works (skipped without the shipped data)
// A move after a typed translation is timed too (segments/move+typed): the paragraph's text
// goes into its segment, the list row and the progress are redrawn.
//
//   build/bench/bench_workspace_segments
#include "DocumentMenu.h"
#include "MainUnit.h"
#include "SegmentList.h"

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <fstream>
#include <memory>

namespace {

const std::string kBin = std::string(QB_BIN_DIR) + "/";
constexpr int kUnits = 10000;

struct TWindow {
    QTemporaryDir dir;
    qb::TScriptedUi ui;
    std::unique_ptr<qb::TfrmMainQB> window;
    std::string error;
    explicit TWindow(bool lexicons) {
        qb::TWorkspaceSetup setup;
        setup.settingsFile = dir.path() + "/qbridge10.ini";
        if (lexicons) {
            for (const char* need : {"BasicDict.qbs", "lexicons/ecdict-full.qbs",
                                     "lexicons/law.qbs", "lexicons/computing.qbs"})
                if (!QFile::exists(QString::fromStdString(kBin + need)))
                    error = std::string("missing shipped data: ") + need;
            std::ofstream ini(setup.settingsFile.toStdString());
            ini << "[inisetup]\nrcdicts1=" << kBin << "lexicons/ecdict-full.qbs\nrcdicts2=" << kBin
                << "lexicons/law.qbs\nrcdicts3=" << kBin << "lexicons/computing.qbs\n";
            setup.programFolder = kBin;
        } else {
            setup.programFolder = dir.path().toStdString() + "/bin/";
        }
        setup.ui = &ui;
        setup.rescueFolder = dir.path().toStdString() + "/rescue/";
        setup.dataFolder = dir.path().toStdString() + "/data/";
        window = std::make_unique<qb::TfrmMainQB>(setup);
        window->CreateOtherWindows();
        window->show();
        const std::string file = dir.path().toStdString() + "/big.po";
        {
            std::ofstream out(file, std::ios::binary);
            out << "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";
            for (int i = 0; i < kUnits; ++i)
                out << "#: src/file.c:" << i << "\nmsgid \"Message " << i
                    << " opens the file, checks the settings and closes the window.\"\nmsgstr \"\"\n\n";
        }
        if (!window->Documents().Open(file)) error = "not opened";
        QApplication::processEvents();
    }
};

void Move(benchmark::State& state, bool lexicons, bool typed) {
    static TWindow* windows[2] = {};
    TWindow*& w = windows[lexicons ? 1 : 0];
    if (!w) w = new TWindow(lexicons); // kept to the end: a window per run would dominate
    if (!w->error.empty()) {
        state.SkipWithError(w->error.c_str());
        return;
    }
    QAction* next = w->window->findChild<QAction*>("actNextSegment");
    QAction* previous = w->window->findChild<QAction*>("actPreviousSegment");
    w->window->Documents().Segments().MoveTo(kUnits / 2);
    int n = 0;
    for (auto _ : state) {
        if (typed) {
            state.PauseTiming();
            w->window->TargetPane().SetSelUnicode(QStringLiteral("译"));
            state.ResumeTiming();
        }
        ((++n % 2) ? next : previous)->trigger();
        QApplication::processEvents();
    }
    state.counters["units"] = kUnits;
}

void BM_Bare(benchmark::State& state) { Move(state, false, false); }
void BM_Lexicons(benchmark::State& state) { Move(state, true, false); }
void BM_Typed(benchmark::State& state) { Move(state, false, true); }
BENCHMARK(BM_Bare)->Name("segments/move/bare")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Typed)->Name("segments/move+typed/bare")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lexicons)->Name("segments/move/lexicons")->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
