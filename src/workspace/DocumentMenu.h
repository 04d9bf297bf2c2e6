// The main window's documents: 文件 → 打开文档... (Ctrl+O), 导出译文文档..., 文档统计 and
// 编辑 → 用记忆填充全文. An open document's units stand in the source pane, one a line with a
// blank line between two, and the pane is read-only while they do; the target pane holds each
// unit's own translation in the paragraph beside it (see SegmentList.h). Exporting takes a
// unit's own translation first, then the translation memory's pairs (each Ctrl+J records
// one): the whole unit, then sentence by sentence. The document's path and its segments'
// statuses are kept with the panes, so a restart goes on with them.
#pragma once

#include "Document.h"

#include <QString>

#include <memory>
#include <optional>
#include <string>

class QMenu;
class QObject;
class QTextDocument;

namespace qb::doc {
class TSegments;
}

namespace qb {

class TDocumentSegments;
class TDocumentWindow;

class TDocumentCommands {
public:
    explicit TDocumentCommands(TDocumentWindow& window);
    ~TDocumentCommands();
    TDocumentCommands(const TDocumentCommands&) = delete;
    TDocumentCommands& operator=(const TDocumentCommands&) = delete;

    // Puts the four commands at the top of 文件 and at the end of 编辑.
    void AddMenuItems(QMenu* file, QMenu* edit);

    // 打开文档...: the file chosen in the open dialog, as Open does.
    void OpenExecute();
    // Reads `path` and shows its units in the source pane (the target pane emptied, after
    // asking when it holds text). Bad input: a message naming the file and the reason, and the
    // panes as they were. A big file is read on a worker thread behind a progress dialog that
    // can cancel it. False when nothing was opened.
    bool Open(const std::string& path);
    // 导出译文文档...: the document with every translated unit replaced, to a file chosen in the
    // save dialog (asked first when it is the opened file), written safely; a message gives the
    // units translated, left and mismatched. The checks run first: any problem but untranslated
    // units is listed in a question, and No writes nothing.
    void ExportExecute();
    // Writes the translated document to `path` without dialogs but the message; false when
    // nothing was written.
    bool ExportTo(const std::string& path);
    // 检查译文: the checks an export runs (placeholders, numbers, punctuation, the same source
    // translated two ways...) on the memory's translations, listed in a message.
    void CheckExecute();
    // 文档统计: units, English words, hanzi of the translations, units translated, and the
    // memory's match bands of what is left.
    void StatisticsExecute();
    // 用记忆填充全文: every segment without a translation of its own whose unit the memory
    // matches (whole, or any of its sentences: those without a match stay English) gets that
    // translation, fuzzy; a message says how many sentences were filled.
    void FillExecute();

    bool IsOpen() const { return doc_.has_value(); }
    // The open document's segments (inactive when none is open).
    TDocumentSegments& Segments() const { return *segments_; }
    // The source pane's selection was taken as the sentence to translate.
    void SourceSelected();
    const std::string& Path() const { return path_; }
    const doc::Document* Opened() const { return doc_ ? &*doc_ : nullptr; }

    // The panes file's record: the open document's path (empty: none) and its segments'
    // statuses ...
    QString PathForPanes() const;
    QString SegmentsForPanes() const;
    // ... and the way back at start-up: the document read again, its units in the source pane
    // if the file changed meanwhile, the target pane's paragraphs its translations; a file that
    // is gone or no longer reads is said once and the panes stay as restored.
    void Restore(const QString& path, const QString& segments = {});

private:
    void SetOpen(doc::Document doc, const std::string& path);
    void Close();
    // The panes' texts made ready: `utf8` (when empty) the units, `segments` (when given) the
    // document's segments; for a big document the source pane's text laid out on a worker
    // thread into `laidOut` and, with `target`, the target pane's paragraphs into it. A small
    // one is left to ShowSourceText and the segments. False when cancelled.
    bool LayOut(const doc::Document& document, const QString& name, std::string& utf8,
                std::unique_ptr<QTextDocument>& laidOut, doc::TSegments* segments = nullptr,
                std::unique_ptr<QTextDocument>* target = nullptr);
    void ShowSourceText(const std::string& utf8, std::unique_ptr<QTextDocument> laidOut);
    std::optional<doc::Document> ReadDocument(const std::string& path, QString& error);

    TDocumentWindow& window_;
    std::optional<doc::Document> doc_;
    std::string path_;
    bool settingText_ = false;
    bool watching_ = false;
    std::unique_ptr<QObject> context_; // the source pane's watch ends with this object
    std::unique_ptr<TDocumentSegments> segments_;
};

} // namespace qb
