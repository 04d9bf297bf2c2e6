#include "MemoryCommands.h"

#include "Dialogs.h"
#include "JobRunner.h"
#include "MemorySearchWindow.h"
#include "MyUtils.h"
#include "QtText.h"
#include "TmxFormat.h"
#include "WindowHosts.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

#include <atomic>
#include <climits>
#include <exception>
#include <memory>
#include <stdexcept>

namespace qb {

namespace {

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

// What an import running on a worker (StartJob) hands back, with a connection of its own to the
// memory file (the memory's policy: MemoryLink.cpp); read on the window's thread once it ends.
struct TMemoryCommands::ImportResult {
    std::string path;
    tm::ImportReport report;
    std::string error;    // empty: the import ran to its end (or to the cancel)
    bool partial = false; // the memory file failed halfway: earlier steps are recorded
};

TMemoryCommands::TMemoryCommands(TMemoryWindow& window) : window_(window) {}

// Shutdown during an import: destroying the job stops it after the transaction in hand.
TMemoryCommands::~TMemoryCommands() {
    import_.reset();
    delete search_.data();
}

TfrmMemorySearch* TMemoryCommands::SearchWindow() const { return search_.data(); }

void TMemoryCommands::ImportExecute() {
    TUi& ui = window_.Ui();
    if (import_) {
        // One import at a time: the running one's progress window comes forward.
        if (QWidget* w = import_->Window()) w->raise();
        return;
    }
    const QStringList files = ui.OpenFiles(U("导入译文记忆"), U(kTmxFilter), false);
    if (files.isEmpty()) return;
    auto result = std::make_shared<ImportResult>();
    result->path = files.front().toStdString();
    const std::string memoryFile = window_.MemoryFile();

    // Not modal: the window goes on working (Ctrl+J shows matches, pairs are recorded between
    // the import's transactions).
    TJobOptions job;
    job.label = U("正在导入译文记忆") + PathText(result->path) + U("...");
    job.title = U("导入译文记忆");
    job.cancellable = true;
    job.cancellingLabel = U("正在取消导入...");
    import_ = StartJob(
        &window_.Widget(), job,
        [result, memoryFile](TProgress& progress) {
            try {
                tm::TTranslationMemory memory(memoryFile);
                const std::string bytes = ReadWholeFile(result->path);
                result->report = tm::ImportTmxInSteps(
                    memory, bytes,
                    [&](std::size_t done, std::size_t total) {
                        if (progress.Total() != total) progress.Start(total);
                        progress.Advance(done);
                    },
                    progress.CancelFlag());
            } catch (const tm::TmError& e) {
                result->error = e.what();
                result->partial = progress.Done() > 0;
            } catch (const std::exception& e) {
                result->error = e.what(); // not TMX, or unreadable: read whole before any record
            }
        },
        [this, result](std::exception_ptr) { ImportDone(*result); });
}

void TMemoryCommands::ImportDone(const ImportResult& done) {
    import_.reset();
    TUi& ui = window_.Ui();
    if (search_) search_->SearchAgain();
    if (!done.error.empty()) {
        // A file that is not TMX is read whole before anything is recorded; a memory file
        // that fails halfway keeps the transactions committed before.
        ui.ShowMessage(U("无法导入") + PathText(done.path) + U("：\n") + PathText(done.error) +
                       (done.partial ? U("\n出错前导入的部分已记下。") : U("\n译文记忆没有改动。")));
        return;
    }
    QString message = ImportMessage(done.path, done.report);
    if (done.report.cancelled) message = U("导入已取消，取消前的部分已记下。\n") + message;
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
