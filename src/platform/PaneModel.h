// The pane over a QPlainTextEdit: one GBK byte string whose line breaks are CR LF, and
// a selection given as a byte offset and a byte length of that string.
//
// Counting, per UTF-16 unit of the document (QPlainTextEdit::toPlainText):
//   a block separator (also U+2028 / U+2029)   -> CR LF, 2 bytes
//   a character GBK holds                      -> its GBK bytes (1 or 2)
//   a character GBK cannot hold (an emoji, one
//   surrogate pair)                            -> 1 byte: FF for a letter, digit or mark (ï, ß,
//                                                 𠀀), 7F for anything else (😀, ™); see
//                                                 kNoGbkLetter in MyUtils.h
// So for "中a\n😀b" the text is D6 D0 61 0D 0A 7F 62 (7 bytes); the 'b' is at byte 6, and
// "naïve" is 6E 61 FF 76 65. What the pane shows is its own Unicode text (SelUnicode).
//
// A byte selection that ends inside a two-byte unit (a sentence ending at a line break selects
// the CR without its LF) is shown without that unit, and the model remembers the byte values it
// was given for as long as the document and its cursor are unchanged, so reading the selection
// back gives exactly the offsets the sentence step set. The pane's own text is never rewritten here.
//
// The GBK form of the text and the byte offset of every position are made once per change of
// the text and kept until the document reports the next change: Ctrl+J on a 500,000-character
// source asks for the text, the selection and the selected text half a dozen times, and each
// conversion of the whole text costs milliseconds.
#pragma once

#include <QPoint>
#include <QString>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QPlainTextEdit;

namespace qb {

// Bytes of one UTF-16 unit at index i of a document text (see above); the low half of a
// surrogate pair counts 0.
int PaneUnitBytes(const QString& doc, qsizetype i);
// The document text as the pane's GBK bytes.
std::string PaneBytes(const QString& doc);
// Byte offset of document position `pos` (a cursor position, 0 .. doc.size()).
int PaneBytesBefore(const QString& doc, qsizetype pos);
// The document position of byte offset `byte`: the first position whose byte offset is >=
// `byte` when `roundUp`, else the last position whose byte offset is <= `byte`.
qsizetype PanePosOfByte(const QString& doc, int byte, bool roundUp);

class TPane {
public:
    explicit TPane(QPlainTextEdit* edit);
    QPlainTextEdit* Edit() const { return edit_; }

    // The pane's text as it holds it (the document's plain text, made once per change).
    QString Unicode() const;

    std::string Text() const;
    void SetText(std::string_view gbk); // CR LF, lone CR and lone LF each become one break
    int TextLength() const;             // bytes of Text()

    int SelStart() const;
    int SelLength() const;
    // Sets the caret to `start` with nothing selected (as SelStart does).
    void SetSelStart(int start);
    // Selects `length` bytes from the current SelStart; cut at the end of the text.
    void SetSelLength(int length);
    void Select(int start, int length);
    std::string SelText() const;
    // The selected text exactly as the pane holds it (emoji, ß and all): what a window that
    // shows the selection elsewhere, or a command that must name such a character, needs.
    QString SelUnicode() const;
    // Sets the text from Unicode, line breaks as in SetText.
    void SetUnicodeText(const QString& text);
    // Replaces the selection (or inserts at the caret) with GBK text.
    void SetSelText(std::string_view gbk);
    // The same with Unicode text, kept as it is: a character GBK cannot hold stays itself (and
    // counts one byte), as in pasted text. A translation taken from the translation memory came
    // from a pane or a TMX file and may hold such characters.
    void SetSelUnicode(const QString& text);

    void SetFocus();
    // A code-page pane must mark the insertion point as GB2312 text; Qt panes are Unicode
    // already, so this only keeps the insertion steps visible in the callers.
    void MarkChinese() {}
    // Top-left of the caret relative to the client area (the viewport), and the client area's
    // screen position.
    QPoint CaretPos() const;
    QPoint ClientScreenPos() const;
    // Lines as wrapped at the viewport's width; a trailing empty line is not counted.
    int DisplayLineCount() const;

private:
    struct Remembered {
        bool valid = false;
        int revision = -1;
        int anchor = -1, position = -1;
        int start = 0, length = 0;
    };
    bool RememberedHolds() const;
    // The text in both forms and the byte offsets, for the document as it is now.
    struct Converted {
        bool valid = false;
        int characters = -1; // the document's characterCount when made: a second check
        QString doc;
        std::string bytes;
        std::vector<int> before; // before[pos]: PaneBytesBefore(doc, pos), pos 0 .. doc.size()
    };
    const Converted& Convert() const;
    qsizetype PosOfByte(int byte, bool roundUp) const; // PanePosOfByte on the converted text

    QPlainTextEdit* edit_;
    Remembered remembered_;
    // Shared with the document's change handler (and with copies of this pane, which show the
    // same edit).
    std::shared_ptr<Converted> converted_;
};

} // namespace qb
