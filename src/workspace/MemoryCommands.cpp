#include "MemoryCommands.h"

#include "Dialogs.h"
#include "JobRunner.h"
#include "MemorySearchWindow.h"
#include "MyUtils.h"
#include "TmxFormat.h"
#include "WindowHosts.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <climits>
#include <exception>
#include <memory>
#include <stdexcept>
#include <thread>

namespace qb {

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }
QString PathText(const std::string& path) {
    return QString::fromUtf8(path.data(), qsizetype(path.size()));
}
QString Count(std::size_t n) { return QString::number(qulonglong(n)); }

const char* const kTmxFilter = "TMX 文件 (*.tmx);;所有文件 (*)";

// The import's message, e.g.
//   从/home/ann/old.tmx导入了 3 对译文：新增 2 对，替换 1 对。
//   跳过其他语言的 2 个译文（de-DE, fr-FR）。
//   跳过 1 个缺少英文或中文的翻译单元。
QString ImportMessage(const std::string& path, const tm::ImportReport& r) {
    const std::size_t taken = r.added + r.replaced + r.unchanged + r.history;
    QString m = U("从") + PathText(path) + U("导入了 ") + Count(taken) + U(" 对译文：新增 ") +
                Count(r.added) + U(" 对，替换 ") + Count(r.replaced) + U(" 对");
    if (r.unchanged) m += U("，") + Count(r.unchanged) + U(" 对与已有的相同");
    if (r.history) m += U("，") + Count(r.history) + U(" 对比已有的旧，存为历史译文");
    m += U("。");
    if (r.counts.otherTuvs) {
        QStringList langs;
        for (const std::string& l : r.counts.otherLanguages) langs << PathText(l);
        m += U("\n跳过其他语言的 ") + Count(r.counts.otherTuvs) + U(" 个译文（") +
             langs.join(U(", ")) + U("）。");
    }
    if (r.counts.incomplete)
        m += U("\n跳过 ") + Count(r.counts.incomplete) + U(" 个缺少英文或中文的翻译单元。");
    if (r.rejected) m += U("\n跳过 ") + Count(r.rejected) + U(" 个空的或过长的翻译单元。");
    return m;
}

// The export's target: a name typed without an extension gets ".tmx" ("old" -> "old.tmx",
// "old.xml" stays). True and `path` set when the export may go there: the save dialog asked
// about the name as typed, so a file that ".tmx" made another name is asked about here.
bool ExportTarget(TUi& ui, const QString& chosen, std::string& path) {
    QString name = chosen;
    if (QFileInfo(chosen).suffix().isEmpty()) name += U(".tmx");
    path = name.toStdString();
    if (name != chosen && FileExists(path) && !ui.AskYesNo(name + U("已存在。要替换它吗？")))
        return false;
    return true;
}

// The progress dialog fed from the engine's progress calls.
// The memory file could not be opened: said as such, not as a failed export.
struct MemoryUnopened : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Writes every pair of the memory to a TMX file on a worker with a connection of its own (see
// the memory's policy in MemoryLink.cpp), while the window's thread paints and moves the
// progress window but takes no key or click. Returns the pairs written; a memory that cannot be
// opened throws "译文记忆无法打开：...", a failed export its own error.
std::size_t ExportOnWorker(QWidget& window, const std::string& memoryFile, const std::string& path) {
    TJobOptions job;
    job.label = U("正在导出译文记忆到") + PathText(path) + U("...");
    return RunJob(&window, job, [&](TProgress& progress) {
        std::unique_ptr<tm::TTranslationMemory> memory;
        try {
            memory = std::make_unique<tm::TTranslationMemory>(memoryFile);
        } catch (const std::exception& e) {
            throw MemoryUnopened(std::string("译文记忆无法打开：") + e.what());
        }
        return tm::ExportTmxFile(*memory, path, [&](std::size_t d, std::size_t total) {
            if (progress.Total() != total) progress.Start(total);
            progress.Advance(d);
        });
    });
}

} // namespace

// An import running on a thread of its own, with a connection of its own to the memory file
// (the memory's policy: MemoryLink.cpp). The window polls it for its progress and its end;
// nothing crosses the threads but these fields.
struct TMemoryCommands::ImportJob {
    std::string path;
    std::atomic<bool> cancel{false};
    std::atomic<std::size_t> done{0}, total{0};
    std::atomic<bool> finished{false};
    tm::ImportReport report; // read once `finished`
    std::string error;       // empty: the import ran to its end (or to the cancel)
    bool partial = false;    // the memory file failed halfway: earlier steps are recorded
    std::thread thread;
};

TMemoryCommands::TMemoryCommands(TMemoryWindow& window) : window_(window) {}

TMemoryCommands::~TMemoryCommands() {
    if (import_) {
        // Shutdown during an import: it stops after the transaction in hand.
        import_->cancel = true;
        if (import_->thread.joinable()) import_->thread.join();
    }
    delete progress_.data();
    delete search_.data();
}

TfrmMemorySearch* TMemoryCommands::SearchWindow() const { return search_.data(); }

void TMemoryCommands::ImportExecute() {
    TUi& ui = window_.Ui();
    if (import_) {
        // One import at a time: the running one's progress window comes forward.
        if (progress_) progress_->raise();
        return;
    }
    const QStringList files = ui.OpenFiles(U("导入译文记忆"), U(kTmxFilter), false);
    if (files.isEmpty()) return;
    auto job = std::make_shared<ImportJob>();
    job->path = files.front().toStdString();
    const std::string memoryFile = window_.MemoryFile();
    job->thread = std::thread([job, memoryFile] {
        try {
            tm::TTranslationMemory memory(memoryFile);
            const std::string bytes = ReadWholeFile(job->path);
            job->report = tm::ImportTmxInSteps(
                memory, bytes,
                [&](std::size_t done, std::size_t total) {
                    job->total = total;
                    job->done = done;
                },
                &job->cancel);
        } catch (const tm::TmError& e) {
            job->error = e.what();
            job->partial = job->done > 0;
        } catch (const std::exception& e) {
            job->error = e.what(); // not TMX, or unreadable: read whole before any record
        }
        job->finished = true;
    });
    import_ = job;

    // Not modal: the window goes on working (Ctrl+J shows matches, pairs are recorded between
    // the import's transactions).
    progress_ = new QProgressDialog(U("正在导入译文记忆") + PathText(job->path) + U("..."),
                                    U("取消"), 0, 0, &window_.Widget());
    progress_->setWindowTitle(U("导入译文记忆"));
    progress_->setWindowModality(Qt::NonModal);
    progress_->setAutoReset(false);
    progress_->setAutoClose(false);
    progress_->setMinimumDuration(0);
    QObject::connect(progress_, &QProgressDialog::canceled, progress_, [job, this] {
        job->cancel = true;
        if (progress_) progress_->setLabelText(U("正在取消导入..."));
    });
    progress_->show();
    auto* timer = new QTimer(progress_);
    QObject::connect(timer, &QTimer::timeout, progress_, [this] { PollImport(); });
    timer->start(100);
}

void TMemoryCommands::PollImport() {
    if (!import_) return;
    ImportJob& job = *import_;
    if (!job.finished) {
        if (progress_ && job.total > 0) {
            progress_->setMaximum(int(std::min<std::size_t>(job.total, INT_MAX)));
            progress_->setValue(int(std::min<std::size_t>(job.done, INT_MAX)));
        }
        return;
    }
    job.thread.join();
    const std::shared_ptr<ImportJob> done = std::move(import_);
    delete progress_.data();
    TUi& ui = window_.Ui();
    if (search_) search_->SearchAgain();
    if (!done->error.empty()) {
        // A file that is not TMX is read whole before anything is recorded; a memory file
        // that fails halfway keeps the transactions committed before.
        ui.ShowMessage(U("无法导入") + PathText(done->path) + U("：\n") + PathText(done->error) +
                       (done->partial ? U("\n出错前导入的部分已记下。") : U("\n译文记忆没有改动。")));
        return;
    }
    QString message = ImportMessage(done->path, done->report);
    if (done->report.cancelled) message = U("导入已取消，取消前的部分已记下。\n") + message;
    ui.ShowMessage(message);
}

bool TMemoryCommands::Importing() const { return bool(import_); }

void TMemoryCommands::ExportExecute() {
    TUi& ui = window_.Ui();
    const QString chosen = ui.SaveFile(U("导出译文记忆"), U(kTmxFilter), true);
    if (chosen.isEmpty()) return;
    std::string path;
    if (!ExportTarget(ui, chosen, path)) return;
    std::size_t n = 0;
    try {
        TBusyPointer busy(ui);
        n = ExportOnWorker(window_.Widget(), window_.MemoryFile(), path);
    } catch (const MemoryUnopened&) {
        throw; // the window's error guard shows it
    } catch (const std::exception& e) {
        ui.ShowMessage(U("无法导出译文记忆：\n") + PathText(e.what()));
        return;
    }
    ui.ShowMessage(U("已把 ") + Count(n) + U(" 对译文导出到") + PathText(path) + U("。"));
}

void TMemoryCommands::SearchExecute() {
    if (!search_) search_ = new TfrmMemorySearch(window_, window_.MemoryFile());
    search_->ShowSearch();
}

} // namespace qb
