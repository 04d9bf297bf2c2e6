// TfrmZYCK "专业词库": the professional lexicon manager. Three tabs: 选用 (the professional
// lexicons in use: add, remove, move up), 新建 (write a new, empty .qbs file) and 扩充 (expand a
// target lexicon with the entries of another lexicon or a text file). Made when opened,
// destroyed when closed; its commands act on the lexicons in use directly.
#pragma once

#include "Dialogs.h"
#include "LexiconTasks.h"

#include <QDialog>

#include <string>

class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace qb {

class TfrmZYCK : public QDialog {
    Q_OBJECT
public:
    TfrmZYCK(LexiconHost& host, TUi& ui, QWidget* parent = nullptr);

    // Handlers, public so that the main window's tests can drive them like a click.
    void btAddLibClick();
    void btDeleteSelLibClick();
    void btUpMoveClick();
    void btGetLibPathNameClick();
    void btCreateNewLibClick();
    void btSpecifyTargetClick();
    void btSpecifySourceClick();
    void btBeginExpandClick();

    QTabWidget* PagesOfCiku = nullptr;
    QListWidget* ListZYKUsing = nullptr;
    QPushButton* btAddLib = nullptr;
    QPushButton* btDeleteSelLib = nullptr;
    QPushButton* btUpMove = nullptr;
    QLineEdit* edtFilePathName = nullptr;
    QPushButton* btGetLibPathName = nullptr;
    QPushButton* btCreateNewLib = nullptr;
    QLineEdit* edtTargetLib = nullptr;
    QPushButton* btSpecifyTarget = nullptr;
    QLineEdit* edtSourceFile = nullptr;
    QPushButton* btSpecifySource = nullptr;
    QPushButton* btBeginExpand = nullptr;

    // Paths shown in the read-only fields (UTF-8, as the file system spells them).
    std::string FilePathName() const;
    std::string TargetLib() const;
    std::string SourceFile() const;

private:
    void FillList();
    void BuildChooseTab();
    void BuildNewTab();
    void BuildExpandTab();

    LexiconHost& host_;
    TUi& ui_;
    // The path whose replacement the user has already agreed to (in the save dialog or in our
    // own question), so that "新建" does not ask twice.
    std::string overwriteAgreed_;
};

// Opens the manager modally on the main window's lexicons (the menu item 专业词库...).
void ShowLexiconManager(LexiconHost& host, TUi& ui, QWidget* parent);

// The texts the manager shows, kept in one place for the dialog and its tests.
namespace zyck_text {
inline constexpr const char* kAddTitle = "打开专业词库文件";
inline constexpr const char* kQbsFilter = "文渡专业词库文件(*.qbs)|*.qbs";
inline constexpr const char* kSourceFilter = "文渡专业词库文件(*.qbs)|*.qbs|文本词库文件(*.txt)|*.txt|"
                                             "术语表(*.tsv;*.csv;*.tbx)|*.tsv;*.csv;*.tbx";
// 批量添加's filter: text lexicons, and the term lists translation tools exchange.
inline constexpr const char* kMergeFilter =
    "文本词库(*.txt)|*.txt|术语表(*.tsv;*.csv;*.tbx)|*.tsv;*.csv;*.tbx";
inline constexpr const char* kInUse = "此库已在使用中！";
inline constexpr const char* kCreated = "专业词库（无内容）创建成功！";
inline constexpr const char* kExpanded = "扩充完成！新增条目：";
} // namespace zyck_text

// Qt's filter syntax ("文本词库 (*.txt)") for a filter written as description|pattern pairs
// ("文本词库(*.txt)|*.txt").
QString QtFilter(const char* pairsUtf8);

// Reads a file of entries the user chose, in the format of its name (a text lexicon in GBK,
// UTF-8 or UTF-16, or a .tsv, .csv or .tbx term list), as GBK text lexicon lines. Returns false
// (after telling the user why, e.g. the line of a character GBK cannot hold) when nothing must
// be merged; an unreadable file throws "Cannot open file …".
bool ReadTextLexiconForMerge(TUi& ui, const std::string& path, std::string& gbkBytes);

} // namespace qb
