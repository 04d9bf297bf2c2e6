// Opening a 50 MB .txt in the window (offscreen, no lexicons): how long the window's thread is
// held at a stretch, against the pane's own setPlainText of the same units. Both include the
// events that follow at once (the first paint, what was put off until then).
//   open/50MB       TDocumentCommands::Open: wall time, and the longest gap between the ticks of
//                   a 5 ms timer while it ran (the reading and the laying out run on worker
//                   threads behind the progress dialog, so the window answers between them)
//   setplain/50MB   the units put into the pane with setPlainText, timed the same way
//
//   build/bench/bench_documents_open
#include "DocumentMenu.h"
#include "MainUnit.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <fstream>
#include <functional>
#include <memory>

namespace {

constexpr std::size_t kBytes = std::size_t(50) << 20;

struct TWindow {
    QTemporaryDir dir;
    qb::TScriptedUi ui;
    std::unique_ptr<qb::TfrmMainQB> window;
    std::string file;
    TWindow() {
        qb::TWorkspaceSetup setup;
        setup.programFolder = dir.path().toStdString() + "/bin/"; // no lexicons
        setup.settingsFile = dir.path() + "/qbridge10.ini";
        setup.ui = &ui;
        setup.rescueFolder = dir.path().toStdString() + "/rescue/";
        setup.dataFolder = dir.path().toStdString() + "/data/";
        window = std::make_unique<qb::TfrmMainQB>(setup);
        window->CreateOtherWindows();
        window->show();
        // Paragraphs of one or two lines, as a long plain text has them.
        file = dir.path().toStdString() + "/big.txt";
        std::ofstream out(file, std::ios::binary);
        const std::string para =
            "The quick brown fox jumps over the lazy dog, and then it runs away to the forest.\n"
            "There it sleeps until the morning comes again.\n\n";
        for (std::size_t n = 0; n < kBytes; n += para.size()) out << para;
    }
};

// What follows at once in the window: the event loop a while, as after the command returns
// (the timer's ticks between its events count the holds apart).
void RunEventLoop() {
    QEventLoop loop;
    QTimer::singleShot(200, &loop, &QEventLoop::quit);
    loop.exec();
}

// Wall time of `run` and the longest stretch the window's thread went without its timer.
std::pair<double, double> Held(const std::function<void()>& run) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    tick.start();
    run();
    const qint64 end = clock.elapsed();
    longest = std::max(longest, end - last);
    return {double(end), double(longest)};
}

void BM_Open50MB(benchmark::State& state) {
    TWindow w;
    double longest = 0, wall = 0;
    for (auto _ : state) {
        const auto [t, held] = Held([&] {
            if (!w.window->Documents().Open(w.file)) state.SkipWithError("not opened");
            RunEventLoop(); // the first paint, the earlier document's deletion
        });
        wall = t;
        longest = std::max(longest, held);
    }
    state.counters["wall_ms"] = wall;
    state.counters["longest_hold_ms"] = longest;
    state.counters["characters"] = double(w.window->SourcePane().Edit()->document()->characterCount());
}
BENCHMARK(BM_Open50MB)->Name("open/50MB")->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SetPlain50MB(benchmark::State& state) {
    TWindow w;
    if (!w.window->Documents().Open(w.file)) state.SkipWithError("not opened");
    const QString text = w.window->SourcePane().Edit()->toPlainText();
    double longest = 0;
    for (auto _ : state) {
        QPlainTextEdit edit;
        edit.show();
        const auto [t, held] = Held([&] {
            edit.setPlainText(text);
            RunEventLoop();
        });
        longest = std::max(longest, held);
    }
    state.counters["longest_hold_ms"] = longest;
}
BENCHMARK(BM_SetPlain50MB)->Name("setplain/50MB")->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
