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
#include "ClauseConverterLoad.h"
#include "Dialogs.h"
#include "PaneModel.h"

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
    std::vector<std::unique_ptr<TQbDict>> Dicts; // slot 0 user, 1 basic, 2.. professional
    int IndexOfDict(const std::string& name) const;
    void OpenDict(const std::string& name);
    void CloseDict(const std::string& name);

    // ---- scheme tables ----
    std::array<SchemeTables, 4> Tables; // indexed by scheme id - 1
    bool useQp = true, useSp = true, useZr = true, useWb = true;
    std::array<int, 4> SchemeOrder{1, 2, 3, 4};
    bool ClassicOrder = false; // [inisetup] ClassicOrder: 按码表顺序排列候选
    bool PredictionOn = true;  // [inisetup] Prediction: 选项 → 预测下一个词
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
    void ToggleMyIMEExecute();
    void ToggleFullPunctExecute();
    void ToggleFullWideExecute();
    void ToggleFollowExecute();

    // ---- whole-clause pinyin ----
    // The converter, waiting for its load when that still runs; null without the library's data
    // (the tables alone then; the status bar says so the first time).
    ClauseConverter* Converter();
    static inline const QString kNoClauseConverterMessage =
        QString::fromUtf8("没有找到整句输入所需的拼音库数据（libime-data），输入法只用码表打字。");
    // 选项 → 清除输入法学习记录...: forgets what the input method learned, after asking.
    void actForgetHistoryExecute();

    // ---- Sentence selection, suggestions and browse mode ----
    StringList SentencePhrases;
    // The entries of SentencePhrases reached only through reduced forms, and the words they came
    // from ("buff" <- "buffer"): the phrase list and the preferred words put the word first.
    std::unordered_map<std::string, std::string> SentenceReduced;
    StringList SentenceCodeKeys;   // SentenceCodeTable: sorted codes ...
    StringList SentenceCodeWords;  // ... and their ";"-joined texts
    StringList SentenceSenseKeys;  // the senses under their pinyin (BuildSenseCodeTable) ...
    StringList SentenceSenseWords; // ... and their ";"-joined texts
    // The text typed for the selected sentence so far (GBK); empty when none is tracked.
    std::string TypedForSentence() const;
    void actPredictionExecute();
    void FindSentence(bool extend);
    void DoGetASentExecute();
    void DoExpandExecute();
    void DoConfirmSelectionExecute();
    void ProcessSentence(const std::string& sentence);
    void BuildSentenceCodeTable(const std::string& sentence);
    void FillPhraseList();
    void lbLongPhraseMouseUp(const QPoint& pos);
    void reTargetSelectionChange();
    void PlaceInputWindows();
    void actSmartFollowExecute();
    void actStepUpExecute();
    void actStepDownExecute();
    void actFindWordsExecute();
    void reSourceMouseUp();
    void ExplainSelection(const std::string& text);
    void PlaceExplainWindow();
    void actFillExampleExecute();

    // ---- the translation memory ----
    // Inserts match `index` (0 = the best) of lbMemory at the target pane's caret as typed
    // text; nothing when there is no such match. A click on the list and Ctrl+1 .. Ctrl+5 in
    // the target pane come here.
    void InsertMemoryMatch(int index);

    // ---- the target pane's keys (the input method plugs in here) ----
    // Null restores the pass-through handler.
    void SetTargetKeyHandler(TTargetKeyHandler* handler) {
        keyHandler_ = handler ? handler : &defaultKeys_;
    }
    bool reTargetKeyDown(QKeyEvent& e);
    bool reTargetKeyPress(QKeyEvent& e);
    bool reTargetKeyUp(QKeyEvent& e);
    void reTargetEnter();

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
    QAction* actSearchMemory = nullptr; // 编辑 → 检索译文记忆, Ctrl+T
    QAction* mnuExit = nullptr;
    QAction* mnuIMESetup = nullptr;
    QAction* ToggleMyIME = nullptr;
    QAction* ToggleFullPunct = nullptr;
    QAction* ToggleFullWide = nullptr;
    QAction* actFindWords = nullptr;
    QAction* ToggleFollow = nullptr;
    QAction* actSmartFollow = nullptr;
    QAction* actForgetHistory = nullptr;
    QAction* actPrediction = nullptr;
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
    const QString& SettingsFile() const { return setup_.settingsFile; }
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
    void BuildLayout();
    void BuildCommands();
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
    void RecordTypedTranslation();
    TMemoryLink* Memory();
    void ShowMatches(const QString& sentence, const QList<TMemoryMatch>& matches);
    void MemoryFailed(const QString& message);
    void MemoryKept(const QString& reason, const QString& journal);
    void WriteKeptPairs();
    void EndMemory();

    TWorkspaceSetup setup_;
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
