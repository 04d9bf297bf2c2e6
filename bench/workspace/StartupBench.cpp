// From process start to the main window shown, measured as whole processes: each iteration
// spawns qb_startup_probe on the shipped data in <build>/bin with a fresh settings file, and
// takes the time from just before the spawn to the probe's "shown" mark. Peak memory is the
// child's maximum resident set (wait4); converter_s, the slowest run's time until the
// whole-clause conversion had loaded beside the start.
//   start/basic      user + basic lexicons, all four schemes
//   start/ecdict     the same with lexicons/ecdict-full.qbs saved as a professional lexicon
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

long long MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

const std::string kBin = std::string(QB_BIN_DIR) + "/";

struct TRun {
    double seconds = -1;
    double converterSeconds = -1; // until the whole-clause conversion could be typed with
    double peakMb = 0;
    int messages = -1;
    std::string error;
};

TRun RunProbe(const std::string& settingsFile) {
    TRun r;
    int fds[2];
    if (pipe(fds) != 0) {
        r.error = "pipe";
        return r;
    }
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
    posix_spawn_file_actions_addclose(&fa, fds[0]);
    std::string probe = QB_STARTUP_PROBE;
    std::string folder = kBin;
    char* args[] = {probe.data(), folder.data(), const_cast<char*>(settingsFile.c_str()), nullptr};
    const long long t0 = MonotonicNs();
    pid_t pid = 0;
    int rc = posix_spawn(&pid, probe.c_str(), &fa, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&fa);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        r.error = "spawn failed";
        return r;
    }
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, std::size_t(n));
    close(fds[0]);
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    r.peakMb = double(ru.ru_maxrss) / 1024.0;
    long long shown = 0;
    if (const char* p = std::strstr(out.c_str(), "shown ")) shown = std::atoll(p + 6);
    if (const char* p = std::strstr(out.c_str(), "messages ")) r.messages = std::atoi(p + 9);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || shown == 0) {
        r.error = "probe failed: " + out;
        return r;
    }
    r.seconds = double(shown - t0) / 1e9;
    if (const char* p = std::strstr(out.c_str(), "converter ")) {
        char* end = nullptr;
        const long long ready = std::strtoll(p + 10, &end, 10);
        if (end && std::strtol(end, nullptr, 10) == 1)
            r.converterSeconds = double(ready - t0) / 1e9;
    }
    return r;
}

void Start(benchmark::State& state, bool withEcdict) {
    if (!QFile::exists(QString::fromStdString(kBin + "BasicDict.qbs"))) {
        state.SkipWithError("no shipped data in <build>/bin (run the set-up first)");
        return;
    }
    const std::string ecdict = kBin + "lexicons/ecdict-full.qbs";
    if (withEcdict && !QFile::exists(QString::fromStdString(ecdict))) {
        state.SkipWithError("no lexicons/ecdict-full.qbs");
        return;
    }
    QTemporaryDir dir;
    const std::string settings = dir.path().toStdString() + "/qbridge10.ini";
    double peak = 0, converter = 0;
    int messages = 0;
    for (auto _ : state) {
        {
            QFile f(QString::fromStdString(settings));
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            if (withEcdict) f.write(("[inisetup]\nrcdicts1=" + ecdict + "\n").c_str());
        }
        TRun r = RunProbe(settings);
        if (!r.error.empty()) {
            state.SkipWithError(r.error.c_str());
            return;
        }
        state.SetIterationTime(r.seconds);
        peak = std::max(peak, r.peakMb);
        converter = std::max(converter, r.converterSeconds);
        messages = r.messages;
    }
    state.counters["peak_MB"] = peak;
    state.counters["messages"] = messages;
    // The slowest of the runs until the conversion was loaded; -1 without the library's data.
    state.counters["converter_s"] = converter;
}

void BM_StartBasic(benchmark::State& state) { Start(state, false); }
void BM_StartEcdict(benchmark::State& state) { Start(state, true); }

} // namespace

BENCHMARK(BM_StartBasic)->Name("start/basic")->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartEcdict)->Name("start/ecdict")->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
