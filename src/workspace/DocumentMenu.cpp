#include "DocumentMenu.h"

#include "Checks.h"
#include "Dialogs.h"
#include "DocumentMemory.h"
#include "JobRunner.h"
#include "PaneDocument.h"
#include "QtText.h"
#include "SegmentList.h"
#include "Segments.h"
#include "TranslationMemory.h"
#include "WindowHosts.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

namespace qb {

namespace {

QString FileName(const std::string& p) { return QFileInfo(PathText(p)).fileName(); }

const char* const kCaption = "文渡翻译环境";
// Files above this are read behind a progress dialog.
constexpr std::size_t kQuietBytes = std::size_t(1) << 20;

// Runs `work` through RunJob: a progress window with 取消 after half a second, no other input
// meanwhile; 取消 stops the work at its next report. False when cancelled; the work's own
// exception is thrown again here.
bool RunWithProgress(QWidget* parent, const QString& label,
                     const std::function<void(const doc::Progress&)>& work) {
    TJobOptions job;
    job.label = label;
    job.cancellable = true;
    return RunJob(parent, job, [&](TProgress& progress) {
        try {
            work([&](std::size_t d, std::size_t total) {
                if (progress.Total() != total) progress.Start(total);
                progress.Advance(d);
                return !progress.Cancelled();
            });
        } catch (const doc::Cancelled&) {
            return false;
        }
        return true;
    });
}

// The problems one a line, untranslated units counted at the end, at most 20 lines: a box of a
// thousand lines would not fit the screen.
QString ProblemList(const std::vector<doc::Problem>& problems) {
    QStringList lines;
    std::size_t untranslated = 0, more = 0;
    for (const doc::Problem& p : problems) {
        if (p.kind == doc::Problem::Untranslated)
            ++untranslated;
        else if (lines.size() < 20)
            lines << QString::fromStdString(doc::Describe(p));
        else
            ++more;
    }
    if (more) lines << U("……另有 %1 个问题").arg(more);
    if (untranslated) lines << U("未翻译的单元 %1 个").arg(untranslated);
    return lines.join('\n');
}

// The segments still fuzzy (the file's flag, a fill from the memory) for the checks to list.
doc::CheckOptions FuzzyOptions(const doc::TSegments& segments) {
    doc::CheckOptions options;
    options.fuzzy.resize(segments.Size());
    for (std::size_t i = 0; i < segments.Size(); ++i)
        options.fuzzy[i] = segments[i].status == doc::SegmentStatus::Fuzzy;
    return options;
}

} // namespace

TDocumentCommands::TDocumentCommands(TDocumentWindow& window)
    : window_(window), context_(std::make_unique<QObject>()),
      segments_(std::make_unique<TDocumentSegments>(window)) {}

TDocumentCommands::~TDocumentCommands() = default;

void TDocumentCommands::AddMenuItems(QMenu* file, QMenu* edit) {
    auto make = [this](const char* name, const char* caption, void (TDocumentCommands::*handler)()) {
        auto* a = new QAction(U(caption), &window_.Widget());
        a->setObjectName(QString::fromLatin1(name));
        QObject::connect(a, &QAction::triggered, &window_.Widget(),
                         [this, handler] { window_.RunGuarded([&] { (this->*handler)(); }); });
        return a;
    };
    QAction* open = make("mnuOpenDocument", "打开文档...(&O)", &TDocumentCommands::OpenExecute);
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    open->setShortcutContext(Qt::WindowShortcut);
    window_.Widget().addAction(open);
    QAction* before = file->actions().value(0);
    file->insertActions(
        before, {open, make("mnuExportDocument", "导出译文文档...", &TDocumentCommands::ExportExecute),
                 make("mnuCheckDocument", "检查译文", &TDocumentCommands::CheckExecute),
                 make("mnuDocumentStats", "文档统计", &TDocumentCommands::StatisticsExecute)});
    file->insertSeparator(before);
    edit->addAction(make("mnuFillFromMemory", "用记忆填充全文", &TDocumentCommands::FillExecute));
}

std::optional<doc::Document> TDocumentCommands::ReadDocument(const std::string& path, QString& error) {
    const std::optional<doc::Format> format = doc::FormatOfPath(path);
    if (!format) {
        error = U("不认识的文档格式（可打开 .txt .po .pot .srt .md .html .docx .odt）");
        return std::nullopt;
    }
    std::string bytes;
    try {
        bytes = ReadWholeFile(path);
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
        return std::nullopt;
    }
    std::optional<doc::Document> doc;
    auto read = [&](const doc::Progress& progress) { doc = doc::Read(*format, bytes, {}, progress); };
    try {
        if (bytes.size() <= kQuietBytes) {
            read({});
        } else if (!RunWithProgress(&window_.Widget(), U("正在读取 %1 ...").arg(FileName(path)), read)) {
            error.clear(); // cancelled: nothing to say
            return std::nullopt;
        }
    } catch (const doc::DocError& e) {
        error = QString::fromUtf8(e.what());
        return std::nullopt;
    }
    return doc;
}

void TDocumentCommands::OpenExecute() {
    const QStringList files = window_.Ui().OpenFiles(
        U("打开文档"),
        U("文档 (*.txt *.po *.pot *.srt *.md *.markdown *.html *.htm *.docx *.odt);;所有文件 (*)"),
        false);
    if (files.isEmpty()) return;
    Open(files.front().toStdString());
}

bool TDocumentCommands::Open(const std::string& path) {
    QString error;
    std::optional<doc::Document> doc = ReadDocument(path, error);
    if (!doc) {
        if (!error.isEmpty())
            window_.Ui().ShowMessage(U("无法打开文档 %1：%2").arg(PathText(path), error));
        return false;
    }
    if (doc->units.empty()) {
        window_.Ui().ShowMessage(U("文档 %1 中没有可翻译的文字。").arg(PathText(path)));
        return false;
    }
    if (!window_.TargetEdit().toPlainText().trimmed().isEmpty() &&
        !window_.Ui().AskYesNo(
            U("打开文档将替换原文栏并清空译文栏（已按 Ctrl+J 记下的译文都在译文记忆中）。继续吗？")))
        return false;
    std::string paneText;
    std::unique_ptr<QTextDocument> laidOut, targetLaidOut;
    doc::TSegments segments;
    if (!LayOut(*doc, FileName(path), paneText, laidOut, &segments, &targetLaidOut))
        return false; // cancelled: nothing changed
    // The sentence in hand keeps what was typed for it, as when the panes are cleared.
    window_.DropSentenceInHand();
    segments_->Close(); // an earlier document's segments end here
    ShowSourceText(paneText, std::move(laidOut));
    SetOpen(std::move(*doc), path);
    segments_->Open(*doc_, std::move(segments), std::move(targetLaidOut));
    // The caret to the start without Source.Select, which would make the GBK view of all the
    // text here (0.6 s for 50 MB); the first Ctrl+J makes it.
    window_.SourceEdit().moveCursor(QTextCursor::Start);
    window_.KeepPanes();
    return true;
}

// A big document's panes are built on a worker thread behind the progress dialog (which can
// cancel it): the source pane's units and the target pane's one paragraph a unit.
bool TDocumentCommands::LayOut(const doc::Document& document, const QString& name,
                               std::string& utf8, std::unique_ptr<QTextDocument>& laidOut,
                               doc::TSegments* segments, std::unique_ptr<QTextDocument>* target) {
    laidOut.reset();
    if (target) target->reset();
    if (document.original.size() <= kQuietBytes) {
        if (utf8.empty()) utf8 = doc::PaneText(document);
        if (segments) segments->Reset(document);
        return true;
    }
    const TPaneLook sourceLook = LookOf(window_.SourceEdit());
    const TPaneLook targetLook = LookOf(window_.TargetEdit());
    QThread* const home = QThread::currentThread();
    std::unique_ptr<QTextDocument> builtSource, builtTarget;
    auto work = [&](const doc::Progress& progress) {
        if (utf8.empty()) utf8 = doc::PaneText(document);
        if (segments) segments->Reset(document);
        const QString source = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
        QString translations;
        if (segments && target)
            translations = QString::fromStdString(doc::TargetPaneText(*segments));
        const std::size_t total = std::size_t(source.size() + translations.size());
        std::size_t done = 0;
        auto advanced = [&](qsizetype n) {
            done += std::size_t(n);
            if (progress && !progress(done, total)) throw doc::Cancelled{};
        };
        builtSource = BuildPaneDocument(source, sourceLook, home, advanced);
        if (segments && target)
            builtTarget = BuildPaneDocument(translations, targetLook, home, advanced);
    };
    if (!RunWithProgress(&window_.Widget(), U("正在显示 %1 ...").arg(name), work)) return false;
    laidOut = std::move(builtSource); // nothing for one line
    if (target) *target = std::move(builtTarget);
    return true;
}

void TDocumentCommands::ShowSourceText(const std::string& utf8, std::unique_ptr<QTextDocument> laidOut) {
    TBusyPointer busy(window_.Ui());
    settingText_ = true;
    QPlainTextEdit* pane = &window_.SourceEdit();
    if (!laidOut) {
        pane->setPlainText(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
    } else {
        ReplacePaneDocument(*pane, std::move(laidOut));
        // The GBK view of the pane watches its document's changes: it watches the new one.
        window_.PaneDocumentsReplaced();
    }
    settingText_ = false;
}

void TDocumentCommands::SetOpen(doc::Document doc, const std::string& path) {
    if (!watching_) {
        // Any change of the source pane's text that is not ours (清空原文和译文, the example
        // text) ends the document: the pane no longer shows its units.
        QObject::connect(&window_.SourceEdit(), &QPlainTextEdit::textChanged, context_.get(), [this] {
            if (!settingText_ && doc_) Close();
        });
        watching_ = true;
    }
    // An earlier big document (50 MB of text and 500,000 units) takes ~70 ms to free: on a
    // thread of its own, since nothing refers to it once its segments are closed.
    if (doc_ && doc_->original.size() > kQuietBytes)
        std::thread([old = std::move(*doc_)] { (void)old; }).detach();
    doc_ = std::move(doc);
    path_ = path;
    // Read-only, yet the caret moves and selects with the keys as before (Ctrl+J selects there).
    window_.SourceEdit().setReadOnly(true);
    window_.SourceEdit().setTextInteractionFlags(Qt::TextSelectableByMouse |
                                                 Qt::TextSelectableByKeyboard);
    window_.Widget().setWindowTitle(U(kCaption) + U(" - ") + FileName(path));
}

void TDocumentCommands::Close() {
    segments_->Close();
    doc_.reset();
    path_.clear();
    window_.SourceEdit().setReadOnly(false);
    window_.Widget().setWindowTitle(U(kCaption));
}

void TDocumentCommands::ExportExecute() {
    if (!doc_) {
        window_.Ui().ShowMessage(U("没有打开的文档。请先用“文件 → 打开文档...”打开要翻译的文件。"));
        return;
    }
    const QString suffix = QFileInfo(PathText(path_)).suffix();
    QString chosen = window_.Ui().SaveFile(U("导出译文文档"),
                                           U("同类文档 (*.%1);;所有文件 (*)").arg(suffix), false);
    if (chosen.isEmpty()) return;
    if (QFileInfo(chosen).suffix().isEmpty()) chosen += "." + suffix;
    const std::string out = chosen.toStdString();
    const bool same =
        QFileInfo(chosen).absoluteFilePath() == QFileInfo(PathText(path_)).absoluteFilePath() ||
        (QFileInfo::exists(chosen) &&
         QFileInfo(chosen).canonicalFilePath() == QFileInfo(PathText(path_)).canonicalFilePath());
    if (same &&
        !window_.Ui().AskYesNo(U("要用译文覆盖打开的原文档 %1 吗？原文将无法找回。").arg(chosen)))
        return;
    if (!same && QFileInfo::exists(chosen) &&
        !window_.Ui().AskYesNo(U("%1 已存在。要替换它吗？").arg(chosen)))
        return;
    ExportTo(out);
}

bool TDocumentCommands::ExportTo(const std::string& path) {
    if (!doc_) return false;
    if (window_.MemoryFile().empty()) {
        window_.Ui().ShowMessage(U("没有译文记忆，无法导出译文。"));
        return false;
    }
    window_.SettleSentenceInHand();
    std::vector<std::optional<std::string>> translations;
    std::string bytes;
    doc::WriteReport report;
    std::vector<doc::Problem> problems;
    bool done = false;
    std::size_t asInFile = 0; // the file's own translations, written back as they stand
    const doc::TSegments segments = segments_->Model(); // the worker's own copy
    try {
        // The memory's connection is made, used and closed on the worker, as every connection of
        // the memory is: the window's thread opens none.
        auto work = [&](const doc::Progress& progress) {
            tm::TTranslationMemory memory(window_.MemoryFile());
            translations =
                doc::OwnTranslationsFirst(segments, doc::TranslateFromMemory(*doc_, memory, progress));
            problems = doc::CheckTranslations(*doc_, translations, FuzzyOptions(segments));
            asInFile = doc::LeaveFileTranslations(segments, translations);
            bytes = doc::Write(*doc_, translations, &report);
        };
        done = RunWithProgress(&window_.Widget(), U("正在导出 %1 ...").arg(FileName(path)), work);
    } catch (const std::exception& e) {
        window_.Ui().ShowMessage(U("无法导出 %1：%2").arg(PathText(path), QString::fromUtf8(e.what())));
        return false;
    }
    if (!done) return false;
    // Units left untranslated are said after the export, as before; anything else the checks
    // find is shown first, and the translator decides.
    const bool worth = std::any_of(problems.begin(), problems.end(), [](const doc::Problem& p) {
        return p.kind != doc::Problem::Untranslated;
    });
    if (worth && !window_.Ui().AskYesNo(
                     U("导出前的检查发现问题：\n%1\n\n仍然导出吗？（占位符不符的单元保留原文）")
                         .arg(ProblemList(problems))))
        return false;
    WriteWholeFileSafely(path, bytes); // "Cannot create file ..." through the window's guard
    QString text = U("已导出 %1。\n译出 %2 个单元，保留原文 %3 个")
                       .arg(PathText(path))
                       .arg(report.translated)
                       .arg(report.left - report.mismatched.size() - asInFile);
    if (asInFile) text += U("，文件原有的译文 %1 个照旧").arg(asInFile);
    if (!report.mismatched.empty()) {
        QStringList numbers;
        for (std::size_t i : report.mismatched) numbers << QString::number(i + 1);
        text += U("，占位符不符 %1 个（第 %2 个单元，保留原文）")
                    .arg(report.mismatched.size())
                    .arg(numbers.join(U("、")));
    }
    window_.Ui().ShowMessage(text + U("。"));
    return true;
}

void TDocumentCommands::CheckExecute() {
    if (!doc_) {
        window_.Ui().ShowMessage(U("没有打开的文档。"));
        return;
    }
    if (window_.MemoryFile().empty()) {
        window_.Ui().ShowMessage(U("没有译文记忆，无从检查译文。"));
        return;
    }
    window_.SettleSentenceInHand();
    std::vector<doc::Problem> problems;
    const doc::TSegments segments = segments_->Model();
    auto work = [&](const doc::Progress& progress) {
        tm::TTranslationMemory memory(window_.MemoryFile());
        problems = doc::CheckTranslations(
            *doc_,
            doc::OwnTranslationsFirst(segments, doc::TranslateFromMemory(*doc_, memory, progress)),
            FuzzyOptions(segments));
    };
    try {
        if (!RunWithProgress(&window_.Widget(), U("正在检查译文 ..."), work)) return;
    } catch (const std::exception& e) {
        window_.Ui().ShowMessage(U("无法检查译文：%1").arg(QString::fromUtf8(e.what())));
        return;
    }
    window_.Ui().ShowMessage(
        problems.empty()
            ? U("检查完毕，没有发现问题。")
            : U("检查发现 %1 个问题：\n%2").arg(problems.size()).arg(ProblemList(problems)));
}

void TDocumentCommands::StatisticsExecute() {
    if (!doc_) {
        window_.Ui().ShowMessage(U("没有打开的文档。"));
        return;
    }
    window_.SettleSentenceInHand();
    doc::DocStats st;
    // The segments the status bar counts done are translated here too, so the two agree.
    const doc::TSegments& segments = segments_->Model();
    std::vector<std::optional<std::string>> done(segments.Size());
    for (std::size_t i = 0; i < segments.Size(); ++i)
        if (doc::IsDone(segments[i].status)) done[i] = segments[i].translation;
    auto work = [&](const doc::Progress& progress) {
        std::unique_ptr<tm::TTranslationMemory> memory;
        if (!window_.MemoryFile().empty())
            memory = std::make_unique<tm::TTranslationMemory>(window_.MemoryFile());
        st = doc::Statistics(*doc_, memory.get(), progress, done);
    };
    if (!RunWithProgress(&window_.Widget(), U("正在统计..."), work)) return;
    static const char* const kBands[] = {"100%", "95-99%", "85-94%", "75-84%", "新句"};
    QString text =
        U("文档：%1\n单元：%2，英文词：%3\n已译单元：%4，译文汉字：%5\n\n未译部分按记忆匹配：\n")
            .arg(PathText(path_))
            .arg(st.units)
            .arg(st.words)
            .arg(st.translated)
            .arg(st.hanzi);
    for (std::size_t b = 0; b < 5; ++b)
        text +=
            U("  %1：%2 句，%3 词\n").arg(U(kBands[b])).arg(st.bandSentences[b]).arg(st.bandWords[b]);
    window_.Ui().ShowMessage(text.trimmed());
}

void TDocumentCommands::FillExecute() {
    if (!doc_) {
        window_.Ui().ShowMessage(U("没有打开的文档。"));
        return;
    }
    if (window_.MemoryFile().empty()) return;
    window_.SettleSentenceInHand();
    std::optional<doc::TExactMatches> found;
    if (!RunWithProgress(&window_.Widget(), U("正在读取译文记忆..."), [&](const doc::Progress&) {
            tm::TTranslationMemory memory(window_.MemoryFile());
            found.emplace(memory);
        }))
        return;
    const doc::TExactMatches& exact = *found;
    const doc::TSegments& segments = segments_->Model();
    std::vector<std::optional<std::string>> texts(doc_->units.size());
    std::size_t filled = 0, sentences = 0;
    for (std::size_t i = 0; i < doc_->units.size(); ++i) {
        const doc::Unit& u = doc_->units[i];
        const std::vector<std::string> parts = doc::Sentences(u.text);
        sentences += parts.size();
        // A segment translated already keeps its own translation.
        if (i < segments.Size() && !segments[i].translation.empty()) continue;
        // A pair for the whole unit (a memory made in a PO editor) fills all its sentences.
        if (const std::string whole = exact.Find(doc::OneLine(u.text)); !whole.empty()) {
            filled += parts.size();
            texts[i] = whole;
            continue;
        }
        std::string line;
        std::size_t matched = 0;
        for (const std::string& s : parts) {
            const std::string t = exact.Find(s);
            if (!t.empty()) ++matched;
            if (t.empty() && !line.empty()) line += ' ';
            line += t.empty() ? s : t;
        }
        if (!matched) continue; // nothing of the memory's: the paragraph stays empty
        filled += matched;
        texts[i] = std::move(line);
    }
    segments_->Fill(texts);
    window_.Ui().ShowMessage(U("用记忆填充了 %1 句（共 %2 句）。").arg(filled).arg(sentences));
}

void TDocumentCommands::SourceSelected() { segments_->SourceSelected(); }

QString TDocumentCommands::SegmentsForPanes() const { return segments_->StatusLetters(); }

QString TDocumentCommands::PathForPanes() const { return doc_ ? PathText(path_) : QString(); }

void TDocumentCommands::Restore(const QString& path, const QString& segments) {
    if (path.isEmpty()) return;
    const std::string p = path.toStdString();
    QString error;
    std::optional<doc::Document> doc = ReadDocument(p, error);
    if (!doc) {
        window_.Ui().ShowMessage(
            U("上次打开的文档 %1 无法读出：%2").arg(path, error.isEmpty() ? U("已取消") : error));
        return;
    }
    const std::string text = doc::PaneText(*doc);
    if (window_.SourceEdit().toPlainText().toStdString() != text) {
        std::string shown = text;
        std::unique_ptr<QTextDocument> laidOut;
        if (!LayOut(*doc, FileName(p), shown, laidOut)) return;
        ShowSourceText(shown, std::move(laidOut));
        window_.Ui().ShowMessage(U("上次打开的文档 %1 已有改动，原文栏按它现在的内容显示。").arg(path));
    }
    SetOpen(std::move(*doc), p);
    segments_->Restore(*doc_, segments);
}

} // namespace qb
