// What each room that hangs off the workbench window may ask of it. The window implements these
// privately; the input method's host, the lexicon-management host and the memory commands see
// only their own interface, so a change to the window's menus or panes recompiles none of them
// and none of them can reach, say, the window's memory link behind its back.
#pragma once

#include "DictUnit.h"
#include "MyUtils.h"
#include "PaneModel.h"
#include "SchemeTables.h"

#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class QKeyEvent;
class QPlainTextEdit;
class QWidget;

namespace qb {

class ClauseConverter;
class SchemeUsage;
class TUi;
class TfrmPopSource;
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
    // The words inside the senses (SensePieceLines).
    StringList SentencePieces;
    // The words of the translation memory's best match (MatchWordLines), once it answers.
    StringList SentenceMatchWords;
};

// The window's modes, as the 选项 menu and the tool bar switch them and the [inisetup] section
// keeps them. StepOffset is the browse step: 1 while Ctrl+Up has moved the pick one sentence on.
struct TWorkspaceModes {
    bool ImeEnabled = true;
    bool FullWidthPunct = true;
    bool FullWidthChars = false;
    bool FollowSource = true;
    bool SmartFollow = false;
    bool BrowseMode = false;
    bool PredictionOn = true; // 选项 → 预测下一个词
    int StepOffset = 0;
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

// The input method's view: the pane it types into, the modes, the sentence's lists and the
// scheme tables.
class TImeWindow {
public:
    virtual TPane& TargetPane() = 0;
    virtual TWorkspaceModes Modes() const = 0;
    virtual const TSentenceLists& SentenceLists() const = 0;
    virtual const SchemeTables& Table(int schemeId) const = 0;
    virtual bool SchemeOn(int id) const = 0;
    virtual SchemeChoice SchemeSettings() const = 0;
    // Null without the whole-clause library's data.
    virtual ClauseConverter* Converter() = 0;
    // The text typed for the selected sentence so far (GBK); empty when none is tracked.
    virtual std::string TypedForSentence() const = 0;
    // The picks so far by scheme, credited at each pick.
    virtual SchemeUsage* SchemePickUsage() = 0;

protected:
    ~TImeWindow() = default;
};

// The lexicon-management commands' view: the lexicon slots, the panes' selections (the
// floating source window's when it is shown), the scheme switches.
class TManagementWindow {
public:
    virtual QWidget& Widget() = 0;
    virtual TUi& Ui() const = 0;
    virtual const std::vector<std::unique_ptr<TQbDict>>& LexiconsInUse() const = 0;
    virtual int IndexOfDict(const std::string& name) const = 0;
    virtual void OpenDict(const std::string& name) = 0;
    virtual void CloseDict(const std::string& name) = 0;
    virtual const std::string& ProgramFolder() const = 0;
    virtual TPane& SourcePane() = 0;
    virtual TPane& TargetPane() = 0;
    // Null before the pop-ups are made.
    virtual TfrmPopSource* PopSource() const = 0;
    virtual void ProcessSentence(const std::string& sentence) = 0;
    virtual SchemeChoice SchemeSettings() const = 0;
    // Sets the switches and shows them (预测下一个词 is greyed in the tables' order); loads
    // no table.
    virtual void ApplySchemeSettings(const SchemeChoice& choice) = 0;
    virtual void LoadSchemeTables() = 0;

protected:
    ~TManagementWindow() = default;
};

// The translation memory's commands and concordance window: the memory's file, the pane a
// found translation goes into, and the window to centre on.
class TMemoryWindow {
public:
    virtual QWidget& Widget() = 0;
    virtual TUi& Ui() const = 0;
    // Empty: no memory.
    virtual const std::string& MemoryFile() const = 0;
    virtual TPane& TargetPane() = 0;

protected:
    ~TMemoryWindow() = default;
};

// The document commands' view: the two panes they fill, the sentence in hand they settle before
// reading the memory's file, and the window's guard their menu commands run in.
class TDocumentWindow {
public:
    virtual QWidget& Widget() = 0;
    virtual TUi& Ui() const = 0;
    // Empty: no memory.
    virtual const std::string& MemoryFile() const = 0;
    virtual QPlainTextEdit& SourceEdit() = 0;
    virtual QPlainTextEdit& TargetEdit() = 0;
    // A pane was given another QTextDocument (a big document laid out on a worker): the GBK
    // views of the panes follow it.
    virtual void PaneDocumentsReplaced() = 0;
    // The panes' text is about to be replaced as a whole: what was typed for the sentence in
    // hand is recorded, and nothing is in hand any more.
    virtual void DropSentenceInHand() = 0;
    // Every pair typed so far is in the memory's file, and its link closed, before the file is
    // read on its own; the sentence stays in hand.
    virtual void SettleSentenceInHand() = 0;
    virtual void KeepPanes() = 0;
    // The source pane's selection taken as the sentence to translate, as Ctrl+L takes it.
    virtual void TakeSourceSelection() = 0;
    // Runs `f` inside the window's error guard; false when it threw.
    virtual bool RunGuarded(const std::function<void()>& f) = 0;

protected:
    ~TDocumentWindow() = default;
};

} // namespace qb
