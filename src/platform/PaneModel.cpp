#include "PaneModel.h"

#include "GbkText.h"
#include "MyUtils.h"

#include <QAbstractTextDocumentLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace qb {

namespace {

// The byte that stands for a character GBK cannot hold (see kNoGbkLetter in MyUtils.h): a
// letter, digit or mark is part of a word, anything else (😀, ™, ½) a symbol of its own.
char NoGbkPlaceholder(char32_t ucs4) {
    switch (QChar::category(ucs4)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing: return kNoGbkLetter;
    default: return kNoGbkSymbol;
    }
}

// The code point of a surrogate pair starting at i, or 0 for a lone surrogate.
char32_t PairAt(const QString& doc, qsizetype i) {
    if (QChar::isHighSurrogate(doc.at(i).unicode()) && i + 1 < doc.size() &&
        QChar::isLowSurrogate(doc.at(i + 1).unicode()))
        return QChar::surrogateToUcs4(doc.at(i), doc.at(i + 1));
    return 0;
}

// GBK bytes of each BMP character, found once per character on first use: bits 0-15 the bytes
// (first byte high), bits 16-17 the length. 0 = not yet known.
std::uint32_t GbkOfUnit(char16_t u) {
    static std::array<std::uint32_t, 65536> cache{};
    std::uint32_t& slot = cache[u];
    if (slot == 0) {
        if (u < 0x80) {
            slot = (1u << 16) | u;
        } else {
            QChar c(u);
            std::optional<std::string> b = ToGbkStrict(QString(c));
            if (!b || b->empty() || b->size() > 2) {
                slot = (1u << 16) | std::uint8_t(NoGbkPlaceholder(u));
            } else if (b->size() == 1) {
                slot = (1u << 16) | std::uint8_t((*b)[0]);
            } else {
                slot = (2u << 16) | (std::uint32_t(std::uint8_t((*b)[0])) << 8) |
                       std::uint8_t((*b)[1]);
            }
        }
    }
    return slot;
}

bool IsBreak(char16_t u) { return u == u'\n' || u == 0x2028 || u == 0x2029 || u == u'\r'; }

QString DocText(const QPlainTextEdit* edit) { return edit->document()->toPlainText(); }

} // namespace

int PaneUnitBytes(const QString& doc, qsizetype i) {
    char16_t u = doc.at(i).unicode();
    if (IsBreak(u)) return 2;
    if (QChar::isLowSurrogate(u) && i > 0 && QChar::isHighSurrogate(doc.at(i - 1).unicode()))
        return 0;
    if (QChar::isHighSurrogate(u) || QChar::isLowSurrogate(u)) return 1; // a placeholder
    return int(GbkOfUnit(u) >> 16);
}

namespace {
// The pane's bytes of `doc`; with `before`, also the byte offset of every position (one pass:
// each unit adds exactly PaneUnitBytes bytes).
std::string BytesOf(const QString& doc, std::vector<int>* before) {
    std::string out;
    out.reserve(std::size_t(doc.size()) + std::size_t(doc.size()) / 2);
    if (before) before->resize(std::size_t(doc.size()) + 1);
    for (qsizetype i = 0; i < doc.size(); ++i) {
        if (before) (*before)[std::size_t(i)] = int(out.size());
        char16_t u = doc.at(i).unicode();
        if (IsBreak(u)) {
            out += "\r\n";
        } else if (QChar::isHighSurrogate(u) || QChar::isLowSurrogate(u)) {
            // No character beyond the BMP has a GBK code: 𠀀 (U+20000) is a letter, 😀 not.
            if (PaneUnitBytes(doc, i) == 1) {
                const char32_t c = PairAt(doc, i);
                out += c ? NoGbkPlaceholder(c) : kNoGbkSymbol;
            }
        } else {
            std::uint32_t g = GbkOfUnit(u);
            if ((g >> 16) == 2) out += char((g >> 8) & 0xFF);
            out += char(g & 0xFF);
        }
    }
    if (before) before->back() = int(out.size());
    return out;
}
} // namespace

std::string PaneBytes(const QString& doc) { return BytesOf(doc, nullptr); }

int PaneBytesBefore(const QString& doc, qsizetype pos) {
    pos = std::clamp<qsizetype>(pos, 0, doc.size());
    int bytes = 0;
    for (qsizetype i = 0; i < pos; ++i) bytes += PaneUnitBytes(doc, i);
    return bytes;
}

qsizetype PanePosOfByte(const QString& doc, int byte, bool roundUp) {
    if (byte <= 0) return 0;
    int bytes = 0;
    for (qsizetype i = 0; i < doc.size(); ++i) {
        int w = PaneUnitBytes(doc, i);
        if (w == 0) continue; // inside a surrogate pair: never a position of its own
        if (bytes + w > byte) {
            // `byte` lies at the start of unit i (bytes == byte) or inside it.
            if (bytes == byte || !roundUp) return i;
            qsizetype next = i + 1;
            while (next < doc.size() && PaneUnitBytes(doc, next) == 0) ++next;
            return next;
        }
        bytes += w;
        if (bytes == byte) {
            qsizetype next = i + 1;
            while (next < doc.size() && PaneUnitBytes(doc, next) == 0) ++next;
            return next;
        }
    }
    return doc.size();
}

TPane::TPane(QPlainTextEdit* edit) : edit_(edit), converted_(std::make_shared<Converted>()) {
    // Any change of the text, typed, pasted, undone or set whole, passes through contentsChange.
    // The edit is the connection's context: the connection goes with the edit.
    if (edit_)
        QObject::connect(edit_->document(), &QTextDocument::contentsChange, edit_,
                         [converted = converted_](int, int removed, int added) {
                             if (removed || added) converted->valid = false;
                         });
}

const TPane::Converted& TPane::Convert() const {
    const int characters = edit_->document()->characterCount();
    Converted& c = *converted_;
    if (c.valid && c.characters == characters) return c;
    c.doc = DocText(edit_);
    c.bytes = BytesOf(c.doc, &c.before);
    c.characters = characters;
    c.valid = true;
    return c;
}

// PanePosOfByte without the walk: every unit but the low half of a surrogate pair counts at
// least one byte, so the positions (the units that count) have strictly rising offsets and a
// binary search finds them. A unit that counts 0 is no position: before[i] == before[i + 1].
qsizetype TPane::PosOfByte(int byte, bool roundUp) const {
    const Converted& c = Convert();
    if (byte <= 0) return 0;
    const std::vector<int>& before = c.before;
    const qsizetype size = c.doc.size();
    auto noPosition = [&](qsizetype i) {
        return i < size && before[std::size_t(i)] == before[std::size_t(i) + 1];
    };
    if (roundUp) {
        // The first position at or after `byte`.
        qsizetype i = std::lower_bound(before.begin(), before.end(), byte) - before.begin();
        while (i < size && noPosition(i)) ++i;
        return std::min(i, size);
    }
    // The last position at or before `byte`.
    qsizetype i = std::upper_bound(before.begin(), before.end(), byte) - before.begin() - 1;
    while (i > 0 && noPosition(i)) --i;
    return i;
}

QString TPane::Unicode() const { return Convert().doc; }

std::string TPane::Text() const { return Convert().bytes; }

int TPane::TextLength() const { return int(Convert().bytes.size()); }

void TPane::SetText(std::string_view gbk) {
    QString s = FromGbk(gbk);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QChar(u'\r'), QChar(u'\n'));
    edit_->setPlainText(s);
    remembered_.valid = false;
}

bool TPane::RememberedHolds() const {
    if (!remembered_.valid) return false;
    QTextCursor c = edit_->textCursor();
    return remembered_.revision == edit_->document()->revision() &&
           remembered_.anchor == c.anchor() && remembered_.position == c.position();
}

int TPane::SelStart() const {
    if (RememberedHolds()) return remembered_.start;
    const QTextCursor c = edit_->textCursor();
    const Converted& t = Convert();
    return t.before[std::size_t(std::clamp<qsizetype>(c.selectionStart(), 0, t.doc.size()))];
}

int TPane::SelLength() const {
    if (RememberedHolds()) return remembered_.length;
    const QTextCursor c = edit_->textCursor();
    const Converted& t = Convert();
    auto before = [&](int pos) {
        return t.before[std::size_t(std::clamp<qsizetype>(pos, 0, t.doc.size()))];
    };
    return before(c.selectionEnd()) - before(c.selectionStart());
}

void TPane::SetSelStart(int start) { Select(start, 0); }

void TPane::SetSelLength(int length) { Select(SelStart(), length); }

void TPane::Select(int start, int length) {
    const int total = TextLength();
    start = std::clamp(start, 0, total);
    length = std::clamp(length, 0, total - start);
    // Shown: the whole units inside the byte range. Only a line break can be cut by the byte
    // arithmetic (a sentence that ends at CR selects the CR without its LF); it is then left out of the visible selection.
    qsizetype a = PosOfByte(start, true);
    qsizetype p = std::max(a, PosOfByte(start + length, false));
    QTextCursor c = edit_->textCursor();
    c.setPosition(int(a));
    if (p != a) c.setPosition(int(p), QTextCursor::KeepAnchor);
    edit_->setTextCursor(c);
    QTextCursor now = edit_->textCursor();
    remembered_ = {true,  edit_->document()->revision(), now.anchor(), now.position(), start,
                   length};
}

QString TPane::SelUnicode() const {
    const int s = std::max(0, SelStart());
    const int l = std::max(0, SelLength());
    // Whole units: a selection that takes the CR of a line break takes the break.
    const qsizetype a = PosOfByte(s, true);
    const qsizetype p = std::max(a, PosOfByte(s + l, true));
    return Convert().doc.mid(a, p - a);
}

void TPane::SetUnicodeText(const QString& text) {
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QChar(u'\r'), QChar(u'\n'));
    edit_->setPlainText(s);
    remembered_.valid = false;
}

std::string TPane::SelText() const {
    const std::size_t s = std::size_t(std::max(0, SelStart()));
    const std::size_t l = std::size_t(std::max(0, SelLength()));
    const std::string& text = Convert().bytes;
    if (s > text.size()) return {};
    return text.substr(s, l);
}

void TPane::SetSelText(std::string_view gbk) { SetSelUnicode(FromGbk(gbk)); }

void TPane::SetSelUnicode(const QString& text) {
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QChar(u'\r'), QChar(u'\n'));
    QTextCursor c = edit_->textCursor();
    c.insertText(s);
    edit_->setTextCursor(c);
    remembered_.valid = false;
}

void TPane::SetFocus() { edit_->setFocus(Qt::OtherFocusReason); }

QPoint TPane::CaretPos() const { return edit_->cursorRect().topLeft(); }

QPoint TPane::ClientScreenPos() const { return edit_->viewport()->mapToGlobal(QPoint(0, 0)); }

int TPane::DisplayLineCount() const {
    QTextDocument* doc = edit_->document();
    qreal margin = doc->documentMargin();
    qreal width = qreal(edit_->viewport()->width()) - 2 * margin;
    if (width < 1) width = 1;
    QTextOption option = doc->defaultTextOption();
    option.setWrapMode(edit_->wordWrapMode());
    int lines = 0;
    QTextBlock last = doc->lastBlock();
    for (QTextBlock b = doc->firstBlock(); b.isValid(); b = b.next()) {
        if (b == last && b.text().isEmpty()) break; // a trailing empty line is not counted
        QTextLayout layout(b.text(), edit_->font());
        layout.setTextOption(option);
        layout.beginLayout();
        int n = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            ++n;
        }
        layout.endLayout();
        lines += std::max(1, n);
    }
    return lines;
}

} // namespace qb
