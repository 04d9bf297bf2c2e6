// The translation memory's commands of the main window that are not part of the sentence flow:
// 文件 → 导入译文记忆... / 导出译文记忆... (TMX 1.4) and 编辑 → 检索译文记忆 (the concordance
// window). They use a connection of their own to the memory file, opened on first use, so a
// start-up never waits for the database and the sentence flow's connection is left to itself.
#pragma once

#include "JobRunner.h"

#include <QPointer>

#include <memory>
#include <string>

namespace qb {

namespace tm {
class TTranslationMemory;
}

class TMemoryWindow;
class TfrmMemorySearch;

class TMemoryCommands {
public:
    explicit TMemoryCommands(TMemoryWindow& window);
    ~TMemoryCommands();
    TMemoryCommands(const TMemoryCommands&) = delete;
    TMemoryCommands& operator=(const TMemoryCommands&) = delete;

    // 导入译文记忆...: a TMX file chosen in the open dialog is recorded on a thread of its own,
    // in transactions of a few thousand units, while a progress window with 取消 shows how far
    // it is and the main window goes on working; at its end a message tells what was added,
    // replaced and skipped. A file that is not TMX (or breaks off halfway) records nothing,
    // and the message names the file and the reason.
    void ImportExecute();
    // An import is running (its progress window is up).
    bool Importing() const;
    // 导出译文记忆...: every pair to a TMX file chosen in the save dialog (".tmx" added to a
    // name without an extension).
    void ExportExecute();
    // 检索译文记忆: shows the concordance window with its search field ready.
    void SearchExecute();
    // The concordance window; null until first shown.
    TfrmMemorySearch* SearchWindow() const;

private:
    struct ImportResult;
    void ImportDone(const ImportResult& result);

    TMemoryWindow& window_;
    QPointer<TfrmMemorySearch> search_;
    std::unique_ptr<TJob> import_; // the running import
};

} // namespace qb
