// The program's start as quillbridge runs it (single instance, splash, FormCreate with every
// lexicon and table, the other windows), ending as soon as the main window is shown. Used only
// by bench_workspace_startup:  qb_startup_probe <program folder> <settings file>
// Prints "shown <CLOCK_MONOTONIC ns>" once the window is up, and the number of messages that
// start-up would have shown; then "converter <ns> <1 or 0>" once the whole-clause conversion
// has loaded (0: the library's data is missing).
#include "Startup.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {
long long MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: qb_startup_probe <program folder> <settings file>\n");
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::string folder = argv[1];
    if (folder.back() != '/') folder += '/';
    qb::TScriptedUi ui; // a message would wait for a click; count them instead
    qb::TProgramSetup setup;
    setup.programFolder = folder;
    setup.settingsFile = QString::fromLocal8Bit(argv[2]);
    setup.instanceName = QStringLiteral("qbbench-%1").arg(QCoreApplication::applicationPid());
    setup.ui = &ui;
    setup.handleSignals = false;
    // The language model loads as in the real start; benchmarks run without the user's history.
    setup.makeConverter = [] {
        qb::ClauseConverterOptions options;
        options.loadInBackground = true; // as the real start
        return qb::MakeClauseConverter(options);
    };
    qb::TProgram program(setup);
    if (!program.Start()) return 3;
    // The first turn of the event loop after show(): the window has been laid out and painted.
    QTimer::singleShot(0, &app, [&] {
        std::printf("shown %lld\nmessages %zu\n", MonotonicNs(), ui.messages.size());
        for (const QString& m : ui.messages) std::printf("message %s\n", m.toUtf8().constData());
        std::fflush(stdout);
        // Then the whole-clause conversion ready to type (its load runs beside the start).
        const bool converter = program.MainWindow()->Converter() != nullptr;
        std::printf("converter %lld %d\n", MonotonicNs(), converter ? 1 : 0);
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    return QApplication::exec();
}
