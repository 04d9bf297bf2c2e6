#include "MemoryCommands.h"

#include "MainUnit.h"
#include "MemorySearchWindow.h"
#include "MyUtils.h"
#include "TmxFormat.h"
#include "WorkProgressDialog.h"

#include <QFileInfo>

#include <exception>

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
tm::TmxProgress Feeding(WorkProgressDialog& dialog) {
    return [&dialog](std::size_t done, std::size_t total) {
        if (done == 0)
            dialog.Start(total);
        else
            dialog.Advance(done);
    };
}

} // namespace

TMemoryCommands::TMemoryCommands(TfrmMainQB& window) : window_(window) {}

TMemoryCommands::~TMemoryCommands() { delete search_.data(); }

TfrmMemorySearch* TMemoryCommands::SearchWindow() const { return search_.data(); }

tm::TTranslationMemory& TMemoryCommands::Memory() {
    if (!memory_) {
        try {
            memory_ = std::make_unique<tm::TTranslationMemory>(window_.MemoryFile());
        } catch (const std::exception& e) {
            throw std::runtime_error(std::string("译文记忆无法打开：") + e.what());
        }
    }
    return *memory_;
}

void TMemoryCommands::ImportExecute() {
    TUi& ui = window_.Ui();
    const QStringList files = ui.OpenFiles(U("导入译文记忆"), U(kTmxFilter), false);
    if (files.isEmpty()) return;
    const std::string path = files.front().toStdString();
    tm::TTranslationMemory& memory = Memory();
    tm::ImportReport report;
    try {
        TBusyPointer busy(ui);
        WorkProgressDialog progress(&window_, U("正在导入译文记忆") + PathText(path) + U("..."));
        report = tm::ImportTmxFile(memory, path, Feeding(progress));
    } catch (const std::exception& e) {
        // The import is one transaction: nothing of the file was kept.
        ui.ShowMessage(U("无法导入") + PathText(path) + U("：\n") + PathText(e.what()) +
                       U("\n译文记忆没有改动。"));
        return;
    }
    if (search_) search_->SearchAgain();
    ui.ShowMessage(ImportMessage(path, report));
}

void TMemoryCommands::ExportExecute() {
    TUi& ui = window_.Ui();
    const QString chosen = ui.SaveFile(U("导出译文记忆"), U(kTmxFilter), true);
    if (chosen.isEmpty()) return;
    std::string path;
    if (!ExportTarget(ui, chosen, path)) return;
    tm::TTranslationMemory& memory = Memory();
    std::size_t n = 0;
    try {
        TBusyPointer busy(ui);
        WorkProgressDialog progress(&window_, U("正在导出译文记忆到") + PathText(path) + U("..."));
        n = tm::ExportTmxFile(memory, path, Feeding(progress));
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
