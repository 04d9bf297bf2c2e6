// TfrmMainQB, the workbench window: start-up and shutdown, sentences, suggestions, browse mode,
// the floating window, the scheme tables and the modes. It owns the lexicons in use (`Dicts`),
// the four scheme tables, the mode flags and the per-sentence lists; the pop-up windows, the
// input method and the lexicon-management commands hang off it.
//
// Made with its program folder and its settings file (the test seam): main passes the
// executable's folder and the user's store, tests a temporary folder and file.
#pragma once

#include "DictUnit.h"
#include "MyUtils.h"
#include "SchemeTables.h"

#include "BackgroundWriter.h"
#include "CandidateLookup.h"
#include "ClauseConverterLoad.h"
#include "Dialogs.h"
#include "PaneModel.h"
#include "SentenceLogic.h"
#include "WindowHosts.h"

#include <QKeySequence>
#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class QAction;
class QKeyEvent;
class QLabel;
class QListWidget;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QSplitter;
class QTimer;
class QToolBar;
class QToolButton;

namespace qb {

class TfrmPopSource;
class TfrmShowExplain;
class TMemoryLink;
class TPaneFileWriter;
class TSentenceInHand;
struct TMemoryMatch;
class TMainImeHost;
class TMainManagementHost;
class TMemoryCommands;
class TDocumentCommands;
class TRichPane;
class TPhraseList;
struct SchemeChoice;

struct TWorkspaceSetup {
    std::string programFolder; // with its trailing '/'
    QString settingsFile;      // the ini file of the settings store
    TUi* ui = nullptr;         // message boxes, dialogs, busy pointer; not owned
    std::string rescueFolder;  // empty: RescueFolder() ($XDG_DATA_HOME/quillbridge/rescued/)
    // The user's data folder: the user lexicon lives there when the program folder cannot be
    // written. Empty: UserDataFolder() ($XDG_DATA_HOME/quillbridge/).
    std::string dataFolder;
    // Makes the whole-clause converter (with the user's pinyin history); it runs on a worker
    // thread from the start of FormCreate. Null: the input method types from the tables alone.
    std::function<std::unique_ptr<ClauseConverter>()> makeConverter;
    // Where the text of both panes is kept (written within 2 s of a change and at shutdown,
    // restored when the window is made); empty: the panes are not kept.
    std::string panesFile;
    // The translation memory (TranslationMemoryFile() for the program), opened at the first
    // sentence selected; empty: no memory, no match list.
    std::string memoryFile;
};

// The status text shown the first time the whole-clause converter is missing.
inline const QString kNoClauseConverterMessage =
    QString::fromUtf8("没有找到整句输入所需的拼音库数据（libime-data），输入法只用码表打字。");

// The composition box and candidate window the pop-ups are placed with.
struct TInputWindows {
    QWidget* box = nullptr;
    QWidget* candidates = nullptr;
};

class TfrmMainQB : public QMainWindow,
                   private TImeWindow,
                   private TManagementWindow,
                   private TMemoryWindow,
                   private TDocumentWindow {
    Q_OBJECT
public:
    explicit TfrmMainQB(TWorkspaceSetup setup, QWidget* parent = nullptr);
    ~TfrmMainQB() override;

    // ---- start-up and shutdown ----
    // FormCreate runs in the constructor; FormDestroy runs once, at the latest in the destructor
    // (the program calls it when its message loop ends).
    void FormDestroy();
    bool FormCreateCompleted() const { return formCreateCompleted_; }
    // Creates the windows that hang off this one, all hidden: the input method's composition
    // box and candidate window, the floating source window, the add-entry dialog (with the
    // lexicon-management commands) and the explanation window. A second call adds nothing.
    void CreateOtherWindows();
    // The lexicon-management commands' host; null before CreateOtherWindows.
    TMainManagementHost* Management() const { return management_.get(); }
    void ActivateFromOutside(); // a second start asked for the front
    // Hands the panes' text to the panes file's writer now (the timer does it within 2 s of a
    // change); the file is written off the window's thread, and at shutdown waited for.
    void KeepPanes() override;

    // ---- lexicons in use ----
    // The lexicon in `slot`; null for a slot emptied by CloseDict or by a lexicon that could
    // not be loaded at start-up (the slot stays, so the later ones keep their numbers), and for
    // a slot past the last.
    TQbDict* Lexicon(int slot) const;
    TQbDict* UserLexicon() const { return Lexicon(kUserLexiconSlot); }
    TQbDict* BasicLexicon() const { return Lexicon(kBasicLexiconSlot); }
    // Every slot in order, the emptied ones as null: what a sentence's lookups pool.
    const std::vector<std::unique_ptr<TQbDict>>& LexiconsInUse() const override { return Dicts; }
    int IndexOfDict(const std::string& name) const override;
    void OpenDict(const std::string& name) override;
    void CloseDict(const std::string& name) override;

    // ---- scheme tables ----
    // The tables of scheme `schemeId` (1 全拼, 2 双拼, 3 自然, 4 五笔); empty while the scheme is
    // switched off.
    const SchemeTables& Table(int schemeId) const override;
    // The switches useQp .. useWb, SchemeOrder and ClassicOrder, as the scheme dialog edits
    // them. Setting them loads no table: LoadSchemeTables does, as 确定 in the dialog does.
    SchemeChoice SchemeSettings() const override;
    void SetSchemeSettings(const SchemeChoice& choice);
    void LoadSchemeTables() override;
    bool SchemeOn(int id) const override;
    void GetWordCodes(std::string_view word, StringList& codes, int schemeId) const;

    // ---- modes ----
    TWorkspaceModes Modes() const override;
    // Sets the modes and shows them on the menus, the tool bar and the status bar.
    void SetModes(const TWorkspaceModes& modes);

    // ---- whole-clause pinyin ----
    // The converter, waiting for its load when that still runs; null without the library's data
    // (the tables alone then; the status bar says kNoClauseConverterMessage the first time).
    ClauseConverter* Converter() override;

    // ---- Sentence selection, suggestions and browse mode ----
    const TSentenceLists& SentenceLists() const override { return sentence_; }
    // Puts lists in place of the selected sentence's, until the next sentence is processed:
    // the input method's tests give it a code table of their own this way.
    void SetSentenceLists(TSentenceLists lists) { sentence_ = std::move(lists); }
    void ProcessSentence(const std::string& sentence) override;
    // Rebuilds the selected sentence's code table, as ProcessSentence does after its lookups.
    void BuildSentenceCodeTable(const std::string& sentence);
    void BuildSenseTable();            // the senses' code table from the sentence lists
    TSchemeSet EnabledSchemes() const; // the tables and the schemes switched on
    // Refills the phrase list from the sentence's lists and places the pop-ups after it.
    void FillPhraseList();
    void ExplainSelection(const std::string& text);

    // ---- the target pane's keys (the input method plugs in here) ----
    // Null restores the pass-through handler.
    void SetTargetKeyHandler(TTargetKeyHandler* handler) {
        keyHandler_ = handler ? handler : &defaultKeys_;
    }

    // ---- the panes and windows ----
    // The two panes as GBK panes; Edit() is the widget (object names reSource, reTarget). The
    // lists, splitters, pop-ups and commands are found by object name: lbLongPhrase, lbMemory
    // ("[95%] translation", hidden when there is none), Panel1, Splitter2, frmPopSource,
    // frmShowExplain, and the QAction of each menu command (mnuMerge, DoGetASent, ...).
    TPane& SourcePane() override { return Source; }
    TPane& TargetPane() override { return Target; }
    QString StatusText(int panel) const; // the status bar's panels 0-4
    // The composition box and candidate window the pop-ups are placed with; the input method's
    // own unless a test puts others in their place.
    TInputWindows InputWindows() const { return inputWindows_; }
    void SetInputWindows(TInputWindows windows) { inputWindows_ = windows; }

    // The concordance window and the TMX commands (the window is made on first use).
    TMemoryCommands& MemoryCommands() const { return *memoryCommands_; }
    // 打开文档, 导出译文文档, 文档统计, 用记忆填充全文 and the open document.
    TDocumentCommands& Documents() const { return *documents_; }

Q_SIGNALS:
    void closed();

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // The rooms' views of the window (the interfaces above), besides the public ones.
    QWidget& Widget() override { return *this; }
    TUi& Ui() const override { return *setup_.ui; }
    const std::string& ProgramFolder() const override { return setup_.programFolder; }
    // The translation memory's file (TWorkspaceSetup::memoryFile); empty: none.
    const std::string& MemoryFile() const override { return setup_.memoryFile; }
    TfrmPopSource* PopSource() const override { return frmPopSource; }
    void ApplySchemeSettings(const SchemeChoice& choice) override;
    std::string TypedForSentence() const override;
    QPlainTextEdit& SourceEdit() override { return *reSource; }
    QPlainTextEdit& TargetEdit() override { return *reTarget; }
    void PaneDocumentsReplaced() override;
    void DropSentenceInHand() override;
    void SettleSentenceInHand() override;
    void TakeSourceSelection() override { DoConfirmSelectionExecute(); }
    bool RunGuarded(const std::function<void()>& f) override { return Guard(f); }
    // Runs a handler inside the general error guard.
    template <class F>
    bool Guard(F&& f) {
        return Guarded(*setup_.ui, std::forward<F>(f));
    }

    SchemeUsage* SchemePickUsage() override { return &SchemePicks; }
    // [inisetup] SchemePicks: the picks by scheme, from which the list infers the typist's
    // schemes; 选项 → 重新推断输入方案 forgets them.
    SchemeUsage SchemePicks;
    // The renderings the translator chose in this run, put first among a sentence's senses.
    DocumentRenderings Renderings;

    // The state the modes are kept in ([inisetup] of the settings).
    bool PredictionOn = true;
    bool ImeEnabled = true;
    bool FullWidthPunct = true;
    bool FullWidthChars = false;
    bool FollowSource = true;
    bool SmartFollow = false;
    bool BrowseMode = false;
    int StepOffset = 0;
    void UpdateModeDisplay();
    // 文件 → 清空原文和译文: empties both panes after a confirmation, so a new job starts empty.
    void mnuClearPanesExecute();
    void FormResize();
    void DoGetASentExecute();
    void reTargetSelectionChange();
    void PlaceInputWindows();
    bool reTargetKeyDown(QKeyEvent& e);

    TPane Source; // reSource as a GBK pane
    TPane Target; // reTarget
    QPlainTextEdit* reSource = nullptr;
    QPlainTextEdit* reTarget = nullptr;
    QListWidget* lbLongPhrase = nullptr;
    QListWidget* lbMemory = nullptr;
    QSplitter* Panel1 = nullptr;    // the two panes (Splitter1 between them)
    QSplitter* Splitter2 = nullptr; // Panel1 | lbLongPhrase
    TfrmPopSource* frmPopSource = nullptr;
    TfrmShowExplain* frmShowExplain = nullptr;
    TInputWindows inputWindows_;

    QAction* mnuClearPanes = nullptr;
    QAction* mnuImportMemory = nullptr; // 文件 → 导入译文记忆... (TMX)
    QAction* mnuExportMemory = nullptr;
    QAction* mnuExit = nullptr;
    QAction* mnuIMESetup = nullptr;
    QAction* ToggleMyIME = nullptr;
    QAction* ToggleFullPunct = nullptr;
    QAction* ToggleFullWide = nullptr;
    QAction* actFindWords = nullptr;
    QAction* ToggleFollow = nullptr;
    QAction* actSmartFollow = nullptr;
    QAction* actForgetHistory = nullptr;
    QAction* actForgetSchemes = nullptr;
    QAction* mnuMerge = nullptr;
    QAction* actAdjust = nullptr;
    QAction* mnuPro = nullptr;
    QAction* mnuWebSite = nullptr;
    QAction* mnuMovie = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* DoGetASent = nullptr;
    QAction* DoConfirmSelection = nullptr;
    QToolButton* btBrowseMode = nullptr;
    QToolButton* btGetNextSent = nullptr;
    QToolButton* btExpandSelection = nullptr;

    // The menus, each with its commands, and the tool bar over them.
    void BuildCommands();
    QAction* MakeCommand(const char* name, const char* caption, QKeySequence key = {});
    void OnTriggered(QAction* action, void (TfrmMainQB::*handler)());
    QMenu* BuildFileMenu(QMenuBar* bar);
    QMenu* BuildEditMenu(QMenuBar* bar);
    void BuildOptionsMenu(QMenuBar* bar);
    void BuildLexiconMenu(QMenuBar* bar);
    void BuildHelpMenu(QMenuBar* bar);
    void BuildSentenceCommands();
    void BuildToolBar();
    // The status bar, the two panes, and the memory's matches above the phrase list.
    void BuildLayout();
    void BuildStatusBar();
    void BuildPanes();
    QWidget* BuildSuggestionLists();

    // The commands behind the menus, the tool bar and the panes' mouse.
    void ToggleMyIMEExecute();
    void ToggleFullPunctExecute();
    void ToggleFullWideExecute();
    void ToggleFollowExecute();
    // 选项 → 清除输入法学习记录...: forgets what the input method learned, after asking.
    void actForgetHistoryExecute();
    void actForgetSchemesExecute();
    void actPredictionExecute();
    void FindSentence(bool extend);
    void DoExpandExecute();
    void DoConfirmSelectionExecute();
    void lbLongPhraseMouseUp(const QPoint& pos);
    void actSmartFollowExecute();
    void actStepUpExecute();
    void actStepDownExecute();
    void actInsertPlaceholderExecute();
    void actFindWordsExecute();
    void reSourceMouseUp();
    void PlaceExplainWindow();
    void actFillExampleExecute();
    // Inserts match `index` (0 = the best) of lbMemory at the target pane's caret as typed
    // text; nothing when there is no such match. A click on the list and Ctrl+1 .. Ctrl+5 in
    // the target pane come here.
    void InsertMemoryMatch(int index);
    bool reTargetKeyPress(QKeyEvent& e);
    bool reTargetKeyUp(QKeyEvent& e);
    void reTargetEnter();

    void FormCreate();
    void FormCreateSteps();
    void ReadSettings();
    void WriteSettings();
    void FreeLexiconsForShutdown();
    void RescueLexicon(TQbDict& dict, const std::string& error);
    std::string RescueFolderPath() const;
    std::string DataFolderPath() const;
    std::string UserLexiconPath();
    void MergeRescuedEntries();
    void EnsureOnScreen();
    void EditCommand(int which);
    void CreateImeWindows();
    void CreateManagement();
    bool IsOwnShortcut(const QKeyEvent& e) const;
    void RestorePanes();
    void PanesChanged();
    void StartLexiconAutosave();
    void AutosaveUserLexicon();
    void SentenceChosen();
    // Records what was typed (the memory's pairs) and learns its phrases' renderings; true when
    // a rendering was learned.
    bool RecordTypedTranslation();
    TMemoryLink* Memory();
    TSentenceInHand& InHand(); // made at its first use
    void ShowMatches(const QString& sentence, const QList<TMemoryMatch>& matches);
    void MemoryFailed(const QString& message);
    void MemoryKept(const QString& reason, const QString& journal);
    void WriteKeptPairs();
    void EndMemory();

    TWorkspaceSetup setup_;
    // The lexicons in use, by slot (kUserLexiconSlot, kBasicLexiconSlot, then the professional
    // ones); an emptied slot holds null.
    std::vector<std::unique_ptr<TQbDict>> Dicts;
    std::array<SchemeTables, 4> Tables; // indexed by scheme id - 1
    bool useQp = true, useSp = true, useZr = true, useWb = true;
    std::array<int, 4> SchemeOrder{1, 2, 3, 4};
    bool ClassicOrder = false; // [inisetup] ClassicOrder: 按码表顺序排列候选
    TSentenceLists sentence_;
    TClauseConverterLoad converterLoad_;
    std::unique_ptr<TQtUi> ownUi_;
    TTargetKeyHandler defaultKeys_;
    std::unique_ptr<TMainImeHost> ime_;
    std::unique_ptr<TMainManagementHost> management_;
    std::unique_ptr<TMemoryCommands> memoryCommands_;
    std::unique_ptr<TDocumentCommands> documents_;
    TTargetKeyHandler* keyHandler_ = &defaultKeys_;
    std::vector<QAction*> ownShortcuts_;
    bool formCreateCompleted_ = false;
    bool formDestroyed_ = false;
    bool settingsRead_ = false;
    QTimer* keepPanesTimer_ = nullptr;
    TPaneFileWriter* panesWriter_ = nullptr; // writes the panes file off the window's thread
    bool restoringPanes_ = false;
    bool keepPanesFailed_ = false;    // shown once until a write succeeds again
    TBackgroundWriter lexiconWriter_; // the user lexicon's writes between start and shutdown
    QTimer* autosaveTimer_ = nullptr;
    std::uint64_t lexiconSubmitted_ = 0; // the user lexicon's revision last handed to the writer
    bool autosaveFailShown_ = false;     // shown once until a write succeeds again
    // The selected sentence, what was typed for it and the memory's link.
    std::unique_ptr<TSentenceInHand> inHand_;
    bool memoryFailShown_ = false;       // one message a run
    bool memoryKeptShown_ = false;       // one message a run: where refused pairs wait
    bool converterMissingShown_ = false; // one status text a run

    QToolBar* ToolBar1 = nullptr;
    std::array<QLabel*, 5> StatusPanels{};
    QAction* actSearchMemory = nullptr; // 编辑 → 检索译文记忆, Ctrl+T
    QAction* actPrediction = nullptr;
    QAction* EditUndo = nullptr;
    QAction* EditCopy = nullptr;
    QAction* EditCut = nullptr;
    QAction* EditPaste = nullptr;
    QAction* actAddDirect = nullptr;
    QAction* actHelp = nullptr;
    QAction* DoExpand = nullptr;
    QAction* actFillExample = nullptr;
    QAction* actStepUp = nullptr;
    QAction* actStepDown = nullptr;
    QAction* actInsertPlaceholder = nullptr;
    QToolButton* btTransSelection = nullptr;
    QToolButton* btAdd = nullptr;
    QToolButton* btUndo = nullptr;
    QToolButton* btCopy = nullptr;
    QToolButton* btCut = nullptr;
    QToolButton* btPaste = nullptr;
};

} // namespace qb
