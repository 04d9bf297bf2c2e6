// What the window's thread spends on a large source pane (offscreen, no lexicons, so the time is
// the panes' own):
//   panes/ctrlj     Ctrl+J (DoGetASentExecute) stepping through a source of 500,000 characters:
//                   the window thread's CPU time per press, median and worst; after_change_*
//                   the press that follows a change of the source (one character added)
//   panes/keep      handing both panes to the panes file (KeepPanes) with that source: the
//                   window thread's wall time per call, the write itself included where it is
//                   made on that thread
//   senses/2000     SentenceSenses over 2,000 different senses of two to four characters
#include "GbkText.h"
#include "MainUnit.h"
#include "SentenceLogic.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextCursor>

#include <algorithm>
#include <ctime>
#include <memory>
#include <random>

namespace {

constexpr int kSourceCharacters = 500000;

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// English sentences with some Chinese in them, as a pasted job holds: the GPL-3 text when the
// system has it, repeated to the size asked.
QString SourceText() {
    QString unit;
    QFile f(QStringLiteral("/usr/share/common-licenses/GPL-3"));
    if (f.open(QIODevice::ReadOnly)) unit = QString::fromUtf8(f.readAll());
    if (unit.isEmpty())
        unit =
            QStringLiteral("Take care of the whole text, and from now on enjoy life. ").repeated(500);
    unit += QString::fromUtf8("译者注：本段保留原文。\n");
    QString text;
    while (text.size() < kSourceCharacters) text += unit;
    text.truncate(kSourceCharacters);
    return text;
}

struct TWindow {
    QTemporaryDir dir;
    qb::TScriptedUi ui;
    std::unique_ptr<qb::TfrmMainQB> window;
    explicit TWindow(bool keepPanes) {
        qb::TWorkspaceSetup setup;
        setup.programFolder = dir.path().toStdString() + "/bin/"; // no lexicons
        setup.settingsFile = dir.path() + "/qbridge10.ini";
        setup.ui = &ui;
        setup.rescueFolder = dir.path().toStdString() + "/rescue/";
        setup.dataFolder = dir.path().toStdString() + "/data/";
        if (keepPanes) setup.panesFile = dir.path().toStdString() + "/data/panes.state";
        window = std::make_unique<qb::TfrmMainQB>(setup);
        window->CreateOtherWindows();
        window->show();
        window->SourcePane().Edit()->setPlainText(SourceText());
    }
};

void Percentiles(benchmark::State& state, const char* name, std::vector<double> v) {
    if (v.empty()) return;
    std::sort(v.begin(), v.end());
    state.counters[std::string(name) + "_median_ms"] = v[v.size() / 2];
    state.counters[std::string(name) + "_worst_ms"] = v.back();
}

void BM_CtrlJ(benchmark::State& state) {
    TWindow w(false);
    std::vector<double> cpu;
    for (auto _ : state) {
        w.window->SourcePane().SetSelStart(0);
        for (int i = 0; i < 200; ++i) {
            const double c0 = ThreadCpuMs();
            w.window->findChild<QAction*>("DoGetASent")->trigger();
            cpu.push_back(ThreadCpuMs() - c0);
            QCoreApplication::processEvents();
        }
    }
    Percentiles(state, "cpu", cpu);
    // The press after a change of the text pays for the one conversion of that change.
    std::vector<double> changed;
    for (int i = 0; i < 20; ++i) {
        QTextCursor c = w.window->SourcePane().Edit()->textCursor();
        c.movePosition(QTextCursor::End);
        c.insertText(QStringLiteral("x"));
        c.setPosition(0); // the caret back to the start without asking the pane model
        w.window->SourcePane().Edit()->setTextCursor(c);
        const double c0 = ThreadCpuMs();
        w.window->findChild<QAction*>("DoGetASent")->trigger();
        changed.push_back(ThreadCpuMs() - c0);
        QCoreApplication::processEvents();
    }
    Percentiles(state, "after_change_cpu", changed);
    state.counters["characters"] = double(w.window->SourcePane().Edit()->toPlainText().size());
    w.window->FormDestroy();
}

void BM_Keep(benchmark::State& state) {
    TWindow w(true);
    std::vector<double> wall;
    for (auto _ : state) {
        for (int i = 0; i < 20; ++i) {
            w.window->TargetPane().Edit()->insertPlainText(QStringLiteral("x"));
            QElapsedTimer t;
            t.start();
            w.window->KeepPanes();
            wall.push_back(double(t.nsecsElapsed()) / 1e6);
            QCoreApplication::processEvents();
        }
    }
    Percentiles(state, "wall", wall);
    w.window->FormDestroy();
}

void BM_Senses(benchmark::State& state) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> han(0x4E00, 0x9FA5), len(2, 4);
    qb::StringList phrases;
    for (int i = 0; phrases.size() < 2000; ++i) {
        QString sense;
        for (int k = len(rng); k > 0; --k) sense += QChar(han(rng));
        phrases.push_back("word" + std::to_string(i) + "\t" + qb::ToGbk(sense));
    }
    std::size_t kept = 0;
    for (auto _ : state) kept = qb::SentenceSenses(phrases).size();
    state.counters["senses"] = double(kept);
}

} // namespace

BENCHMARK(BM_CtrlJ)->Name("panes/ctrlj")->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Keep)->Name("panes/keep")->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Senses)->Name("senses/2000")->Unit(benchmark::kMillisecond);

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
