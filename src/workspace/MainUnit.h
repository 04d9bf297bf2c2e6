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
class TTypedSpan;
struct TMemoryMatch;
class TMainImeHost;
class TMainManagementHost;
class TMemoryCommands;
class TDocumentCommands;
class TRichPane;
class TPhraseList;
struct SchemeChoice;

// The lexicon slots of the window: slot 0 holds the user lexicon, slot 1 the basic one, the
// slots after them the professional lexicons in the order they were opened.
inline constexpr int kUserLexiconSlot = 0;
inline constexpr int kBasicLexiconSlot = 1;

// What the selected sentence gave, rebuilt by ProcessSentence: its phrase lines (source
// phrase, TAB, renderings), the entries reached only through reduced forms ("buff" <- "buffer":
// the phrase list and the preferred words put the word first), the code table the input method
// searches first (sorted codes and their ";"-joined texts) and the senses under their pinyin.
struct TSentenceLists {
    StringList SentencePhrases;
    std::unordered_map<std::string, std::string> SentenceReduced;
    StringList SentenceCodeKeys;
    StringList SentenceCodeWords;
    StringList SentenceSenseKeys;
    StringList SentenceSenseWords;
};

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

// The input method's hold on the target pane. The main window forwards the pane's key events
// here (reTargetKeyDown / KeyPress / KeyUp); each method returns true when it consumed the event
// (the pane then never sees it). The default passes everything through.
class TTargetKeyHandler {
public:
    virtual ~TTargetKeyHandler() = default;
    virtual bool KeyDown(QKeyEvent& e) {
        (void)e;
        return false;
    }
    virtual bool KeyPress(QKeyEvent& e) {
        (void)e;
        return false;
    }
    virtual bool KeyUp(QKeyEvent& e) {
        (void)e;
        return false;
    }
    virtual void Enter() {}
    // A ShortcutOverride of the target pane: true when the input method takes the key itself,
    // so that no shortcut fires (Alt+E joins the code instead of opening 编辑(&E)).
    virtual bool ClaimsShortcut(QKeyEvent& e) {
        (void)e;
        return false;
    }
};

class TfrmMainQB : public QMainWindow {
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
    void FormResize();
    void ActivateFromOutside(); // a second start asked for the front
    // 文件 → 清空原文和译文: empties both panes after a confirmation, so a new job starts empty.
    void mnuClearPanesExecute();
    // Hands the panes' text to the panes file's writer now (the timer does it within 2 s of a
    // change); the file is written off the window's thread, and at shutdown waited for.
    void KeepPanes();

    // ---- lexicons in use ----
    // The lexicon in `slot`; null for a slot emptied by CloseDict or by a lexicon that could
    // not be loaded at start-up (the slot stays, so the later ones keep their numbers), and for
    // a slot past the last.
    TQbDict* Lexicon(int slot) const;
    TQbDict* UserLexicon() const { return Lexicon(kUserLexiconSlot); }
    TQbDict* BasicLexicon() const { return Lexicon(kBasicLexiconSlot); }
    // Every slot in order, the emptied ones as null: what a sentence's lookups pool.
    const std::vector<std::unique_ptr<TQbDict>>& LexiconsInUse() const { return Dicts; }
    int IndexOfDict(const std::string& name) const;
    void OpenDict(const std::string& name);
    void CloseDict(const std::string& name);

    // ---- scheme tables ----
    // The tables of scheme `schemeId` (1 全拼, 2 双拼, 3 自然, 4 五笔); empty while the scheme is
    // switched off.
    const SchemeTables& Table(int schemeId) const;
    // The switches useQp .. useWb, SchemeOrder and ClassicOrder, as the scheme dialog edits
    // them. Setting them loads no table: LoadSchemeTables does, as 确定 in the dialog does.
    SchemeChoice SchemeSettings() const;
    void SetSchemeSettings(const SchemeChoice& choice);
    bool PredictionOn = true; // [inisetup] Prediction: 选项 → 预测下一个词
    // [inisetup] SchemePicks: the picks by scheme, from which the list infers the typist's
    // schemes; 选项 → 重新推断输入方案 forgets them.
    SchemeUsage SchemePicks;
    // The renderings the translator chose in this run, put first among a sentence's senses.
    DocumentRenderings Renderings;
    void LoadSchemeTables();
    bool SchemeOn(int id) const;
    void GetWordCodes(std::string_view word, StringList& codes, int schemeId) const;

    // ---- width and punctuation modes ----
    bool ImeEnabled = true;
    bool FullWidthPunct = true;
    bool FullWidthChars = false;
    bool FollowSource = true;
    bool SmartFollow = false;
    bool BrowseMode = false;
    int StepOffset = 0;
    void UpdateModeDisplay();

    // ---- whole-clause pinyin ----
    // The converter, waiting for its load when that still runs; null without the library's data
    // (the tables alone then; the status bar says so the first time).
    ClauseConverter* Converter();
    static inline const QString kNoClauseConverterMessage =
        QString::fromUtf8("没有找到整句输入所需的拼音库数据（libime-data），输入法只用码表打字。");

    // ---- Sentence selection, suggestions and browse mode ----
    const TSentenceLists& SentenceLists() const { return sentence_; }
    // Puts lists in place of the selected sentence's, until the next sentence is processed:
    // the input method's tests give it a code table of their own this way.
    void SetSentenceLists(TSentenceLists lists) { sentence_ = std::move(lists); }
    // The text typed for the selected sentence so far (GBK); empty when none is tracked.
    std::string TypedForSentence() const;
    void DoGetASentExecute();
    void ProcessSentence(const std::string& sentence);
    void BuildSentenceCodeTable(const std::string& sentence);
    void FillPhraseList();
    void reTargetSelectionChange();
    void PlaceInputWindows();
    void ExplainSelection(const std::string& text);

    // ---- the target pane's keys (the input method plugs in here) ----
    // Null restores the pass-through handler.
    void SetTargetKeyHandler(TTargetKeyHandler* handler) {
        keyHandler_ = handler ? handler : &defaultKeys_;
    }
    bool reTargetKeyDown(QKeyEvent& e);

    // ---- the panes, lists and windows ----
    TPane Source; // reSource as a GBK pane
    TPane Target; // reTarget
    QPlainTextEdit* reSource = nullptr;
    QPlainTextEdit* reTarget = nullptr;
    QListWidget* lbLongPhrase = nullptr;
    // The translation memory's matches of the selected sentence, "[95%] translation", above
    // lbLongPhrase; hidden when there is none.
    QListWidget* lbMemory = nullptr;
    QSplitter* Panel1 = nullptr;         // the two panes (Splitter1 between them)
    QSplitter* Splitter2 = nullptr;      // Panel1 | lbLongPhrase
    QString StatusText(int panel) const; // the status bar's panels 0-4

    TfrmPopSource* frmPopSource = nullptr;
    TfrmShowExplain* frmShowExplain = nullptr;
    // The composition box and candidate window the pop-ups are placed with; the input method's
    // own unless a test puts others in their place.
    QWidget* frmBianma = nullptr;
    QWidget* frmCandidates = nullptr;

    // ---- the commands that tests and the pop-ups trigger ----
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

    const std::string& ProgramFolder() const { return setup_.programFolder; }
    // The translation memory's file (TWorkspaceSetup::memoryFile); empty: none.
    const std::string& MemoryFile() const { return setup_.memoryFile; }
    // The concordance window and the TMX commands (the window is made on first use).
    TMemoryCommands& MemoryCommands() const { return *memoryCommands_; }
    // 打开文档, 导出译文文档, 文档统计, 用记忆填充全文 and the open document.
    TDocumentCommands& Documents() const { return *documents_; }
    TUi& Ui() const { return *setup_.ui; }
    // Runs a handler inside the general error guard.
    template <class F>
    bool Guard(F&& f) {
        return Guarded(*setup_.ui, std::forward<F>(f));
    }

Q_SIGNALS:
    void closed();

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    friend class TDocumentCommands; // replaces the panes' text as 清空原文和译文 does

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
    std::uint64_t lexiconSubmitted_ = 0;  // the user lexicon's revision last handed to the writer
    bool autosaveFailShown_ = false;      // shown once until a write succeeds again
    std::unique_ptr<TMemoryLink> memory_; // made at the first sentence selected
    TTypedSpan* typed_ = nullptr;         // the target pane's text typed for pendingSource_
    QString pendingSource_;               // the selected sentence, as the source pane holds it
    int pendingStart_ = -1;               // its byte offset in the source pane
    bool memoryFailShown_ = false;        // one message a run
    bool memoryKeptShown_ = false;        // one message a run: where refused pairs wait
    bool converterMissingShown_ = false;  // one status text a run

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
    QToolButton* btTransSelection = nullptr;
    QToolButton* btAdd = nullptr;
    QToolButton* btUndo = nullptr;
    QToolButton* btCopy = nullptr;
    QToolButton* btCut = nullptr;
    QToolButton* btPaste = nullptr;
};

} // namespace qb
