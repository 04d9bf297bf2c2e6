// The pane model: GBK bytes with CR LF over a QPlainTextEdit, byte offsets <-> cursor positions.
#include "PaneModel.h"

#include "GbkText.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>

#include <functional>
#include <vector>

namespace qb {
namespace {

std::string G(const char* utf8) { return ToGbk(QString::fromUtf8(utf8)); }

class PaneModel : public testing::Test {
protected:
    QPlainTextEdit edit;
    TPane pane{&edit};
    QString Selected() const { return edit.textCursor().selectedText(); }
};

TEST_F(PaneModel, LineBreaksAreCrLf) {
    pane.SetText("ab\r\ncd\ref\ngh");
    EXPECT_EQ(edit.document()->blockCount(), 4);
    EXPECT_EQ(pane.Text(), "ab\r\ncd\r\nef\r\ngh");
    EXPECT_EQ(pane.TextLength(), 14);
}

TEST_F(PaneModel, ChineseCountsTwoBytes) {
    pane.SetText(G("中文a\r\nb"));
    ASSERT_EQ(pane.Text(), G("中文a\r\nb"));
    pane.Select(2, 3); // 文a
    EXPECT_EQ(Selected(), QString::fromUtf8("文a"));
    EXPECT_EQ(pane.SelStart(), 2);
    EXPECT_EQ(pane.SelLength(), 3);
    EXPECT_EQ(pane.SelText(), G("文a"));
    pane.Select(7, 1); // after CR LF
    EXPECT_EQ(Selected(), QStringLiteral("b"));
}

TEST_F(PaneModel, EmojiCountsAsOneSymbolByte) {
    // "中a\n😀b": D6 D0 61 0D 0A 7F 62
    edit.setPlainText(QString::fromUtf8("中a\n\xF0\x9F\x98\x80"
                                        "b"));
    EXPECT_EQ(pane.Text(), std::string("\xD6\xD0"
                                       "a\r\n\x7F"
                                       "b"));
    pane.Select(6, 1);
    EXPECT_EQ(Selected(), QStringLiteral("b"));
    pane.Select(5, 2);
    EXPECT_EQ(Selected(), QString::fromUtf8("\xF0\x9F\x98\x80"
                                            "b"));
    // A selection made by the user reads back in bytes.
    QTextCursor c = edit.textCursor();
    c.setPosition(3);                          // before the emoji (positions: 中 a \n 😀😀 b)
    c.setPosition(6, QTextCursor::KeepAnchor); // after "b"
    edit.setTextCursor(c);
    EXPECT_EQ(pane.SelStart(), 5);
    EXPECT_EQ(pane.SelLength(), 2);
    EXPECT_EQ(pane.SelText(), "\x7F"
                              "b");
    EXPECT_EQ(pane.SelUnicode(), QString::fromUtf8("\xF0\x9F\x98\x80"
                                                   "b"));
}

TEST_F(PaneModel, CharactersGbkCannotHoldAreOneByteEachAndShownAsTheyAre) {
    // A letter, digit or mark stands as FF inside its word, anything else as the symbol 7F;
    // é and ’ have GBK codes (A8 A6, A1 AF). 𠀀 (U+20000) is a surrogate pair and a letter.
    const QString text = QString::fromUtf8("café’s naïve Straße 😀 ™ \xF0\xA0\x80\x80x ½ i\xCC\x88");
    edit.setPlainText(text);
    EXPECT_EQ(pane.Text(), std::string("caf\xA8\xA6\xA1\xAFs na\xFFve Stra\xFF"
                                       "e \x7F \x7F \xFFx \x7F i\xFF"));
    // Offsets: "Straße" is bytes 15-20; the pane shows exactly those characters.
    pane.Select(15, 6);
    EXPECT_EQ(Selected(), QString::fromUtf8("Straße"));
    EXPECT_EQ(pane.SelUnicode(), QString::fromUtf8("Straße"));
    pane.Select(0, pane.TextLength());
    EXPECT_EQ(pane.SelUnicode(), text);
    EXPECT_EQ(edit.toPlainText(), text); // the pane's own text is never rewritten
}

TEST_F(PaneModel, UnicodeSelectionTakesTheLineBreakWhoseCrItTakes) {
    pane.SetText("First line\r\nsecond");
    pane.Select(0, 11);
    EXPECT_EQ(pane.SelUnicode(), QStringLiteral("First line\n"));
    QPlainTextEdit other;
    TPane copy(&other);
    copy.SetUnicodeText(QString::fromUtf8("a😀\r\nb\rc"));
    EXPECT_EQ(other.toPlainText(), QString::fromUtf8("a😀\nb\nc"));
}

TEST_F(PaneModel, SelectionEndingBetweenCrAndLfReadsBackAsGiven) {
    pane.SetText("First line\r\nsecond line");
    pane.Select(0, 11); // "First line" + CR, as the sentence rule selects it
    EXPECT_EQ(pane.SelStart(), 0);
    EXPECT_EQ(pane.SelLength(), 11);
    EXPECT_EQ(pane.SelText(), "First line\r");
    // Shown: the line without its break (half a break cannot be shown).
    EXPECT_EQ(edit.textCursor().selectionEnd(), 10);
    // Once the user moves the cursor, the pane's own selection counts again.
    QTextCursor c = edit.textCursor();
    c.setPosition(11); // the start of "second line"
    edit.setTextCursor(c);
    EXPECT_EQ(pane.SelStart(), 12);
    EXPECT_EQ(pane.SelLength(), 0);
}

TEST_F(PaneModel, LengthPastTheEndIsCut) {
    pane.SetText("abc");
    pane.Select(1, 100);
    EXPECT_EQ(pane.SelLength(), 2);
    EXPECT_EQ(pane.SelText(), "bc");
    pane.SetSelStart(3);
    EXPECT_EQ(pane.SelStart(), 3);
    EXPECT_EQ(pane.SelLength(), 0);
}

TEST_F(PaneModel, SetSelLengthExtendsFromSelStart) {
    pane.SetText("hello world");
    pane.SetSelStart(6);
    pane.SetSelLength(5);
    EXPECT_EQ(Selected(), QStringLiteral("world"));
}

TEST_F(PaneModel, ReplacingTheSelectionInsertsGbkText) {
    pane.SetText("abc");
    pane.Select(1, 1);
    pane.SetSelText(G("保重\r\nx"));
    EXPECT_EQ(pane.Text(), G("a保重\r\nxc"));
}

TEST_F(PaneModel, TypedTextInvalidatesTheRememberedSelection) {
    pane.SetText("abc\r\ndef");
    pane.Select(0, 4); // "abc" + CR: shown without the line break, which typing keeps
    edit.setFocus();
    QTest::keyClicks(&edit, "Z");
    EXPECT_EQ(pane.Text(), "Z\r\ndef");
    EXPECT_EQ(pane.SelStart(), 1);
    EXPECT_EQ(pane.SelLength(), 0);
}

TEST_F(PaneModel, PastedLoneCrBecomesCrLf) {
    edit.insertPlainText(QStringLiteral("one\rtwo"));
    EXPECT_EQ(pane.Text(), "one\r\ntwo");
}

TEST_F(PaneModel, DisplayLinesIgnoreATrailingEmptyLine) {
    edit.resize(300, 200);
    edit.show();
    pane.SetText("");
    EXPECT_EQ(pane.DisplayLineCount(), 0);
    pane.SetText("a");
    EXPECT_EQ(pane.DisplayLineCount(), 1);
    pane.SetText("a\r\n");
    EXPECT_EQ(pane.DisplayLineCount(), 1);
    pane.SetText("a\r\nb");
    EXPECT_EQ(pane.DisplayLineCount(), 2);
    std::string longText;
    for (int i = 0; i < 60; ++i) longText += "word ";
    pane.SetText(longText);
    EXPECT_GT(pane.DisplayLineCount(), 3);
}

// The text and offsets kept from the last change are those of the document as it is after each
// kind of change, a replacement of the same length and an undo included; every byte offset maps
// as the walk over the whole text maps it (the low half of 😀 is never a position).
TEST_F(PaneModel, KeptConversionFollowsEveryChange) {
    const std::vector<std::function<void()>> changes = {
        [&] { edit.setPlainText(QString::fromUtf8("中a\n😀b\u2029ß")); },
        [&] { edit.setPlainText(QString::fromUtf8("文b\n😀c\u2029ß")); }, // same length
        [&] { edit.moveCursor(QTextCursor::End), edit.insertPlainText(QStringLiteral("x\ny")); },
        [&] { edit.undo(); },
        [&] {
            QTextCursor c(edit.document());
            c.setPosition(1);
            c.setPosition(2, QTextCursor::KeepAnchor);
            c.insertText(QString::fromUtf8("国")); // a → 国: one unit for one unit
        },
        [&] { QTest::keyClicks(&edit, "z"); },
    };
    for (std::size_t k = 0; k < changes.size(); ++k) {
        SCOPED_TRACE(k);
        (void)pane.Text(); // kept from before the change
        changes[k]();
        const QString doc = edit.toPlainText();
        const std::string bytes = PaneBytes(doc);
        EXPECT_EQ(pane.Unicode(), doc);
        EXPECT_EQ(pane.Text(), bytes);
        EXPECT_EQ(pane.TextLength(), int(bytes.size()));
        for (int start = 0; start <= int(bytes.size()) + 1; ++start) {
            pane.Select(start, 2);
            const qsizetype a = PanePosOfByte(doc, std::min(start, int(bytes.size())), true);
            const int end = std::min(start + 2, int(bytes.size()));
            EXPECT_EQ(edit.textCursor().selectionStart(), a) << start;
            EXPECT_EQ(edit.textCursor().selectionEnd(), std::max(a, PanePosOfByte(doc, end, false)))
                << start;
        }
        for (int pos = 0; pos <= doc.size(); ++pos) {
            QTextCursor c = edit.textCursor();
            c.setPosition(pos);
            edit.setTextCursor(c);
            EXPECT_EQ(pane.SelStart(), PaneBytesBefore(doc, edit.textCursor().position())) << pos;
        }
    }
}

TEST(PaneOffsets, PositionsRoundInsideATwoByteUnit) {
    const QString doc = QString::fromUtf8("中\nx");
    EXPECT_EQ(PaneBytesBefore(doc, 2), 4);
    EXPECT_EQ(PaneBytesBefore(doc, 3), 5);
    EXPECT_EQ(PanePosOfByte(doc, 1, false), 0);
    EXPECT_EQ(PanePosOfByte(doc, 1, true), 1);
    EXPECT_EQ(PanePosOfByte(doc, 3, true), 2);  // between CR and LF: after the break
    EXPECT_EQ(PanePosOfByte(doc, 3, false), 1); // ... or before it
    EXPECT_EQ(PanePosOfByte(doc, 99, true), 3);
}

} // namespace
} // namespace qb
