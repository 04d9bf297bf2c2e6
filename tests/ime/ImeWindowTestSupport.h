// A target pane for the input method's window tests: a real QPlainTextEdit in a real top-level
// window, with the controller installed as its key-event filter, and scheme tables made in
// memory. Keys are typed with QTest (or sent as X11 delivers them) and go through VirtualKeyMap.
#pragma once

#include "GbkText.h"
#include "ImeController.h"
#include "ImeTestSupport.h"

#include <QPlainTextEdit>
#include <QTextCursor>

namespace qbtest {

struct PaneHost : qb::ImeHost {
    QPlainTextEdit* edit = nullptr;
    bool ime = true, punct = true, chars = false;
    qb::StringList keys, words;
    qb::SchemeTables schemes[4];
    std::array<bool, 4> on{true, true, true, true};
    std::array<int, 4> order{1, 2, 3, 4};
    int marks = 0;

    void MarkTargetChinese() override { ++marks; }
    void ReplaceTargetSelection(std::string_view gbk) override {
        QTextCursor c = edit->textCursor();
        c.insertText(qb::FromGbk(gbk));
        edit->setTextCursor(c);
    }
    void FocusTarget() override { edit->setFocus(); }
    bool ImeEnabled() const override { return ime; }
    bool FullWidthPunct() const override { return punct; }
    bool FullWidthChars() const override { return chars; }
    const qb::StringList& SentenceCodeKeys() const override { return keys; }
    const qb::StringList& SentenceCodeWords() const override { return words; }
    const qb::SchemeTables& Scheme(int id) const override { return schemes[id - 1]; }
    bool SchemeOn(int id) const override { return on[static_cast<std::size_t>(id - 1)]; }
    std::array<int, 4> SchemeOrder() const override { return order; }
    bool ClassicOrder() const override { return true; }

    std::string Text() const { return qb::ToGbk(edit->toPlainText()); }
};

// Adds a code line to one scheme's code table; codes must be added in text order.
inline void AddCode(qb::SchemeTables& t, const std::string& code, std::string_view wordsUtf8) {
    t.CodeKeys.push_back(code);
    t.CodeWords.push_back(G(wordsUtf8));
}

} // namespace qbtest
