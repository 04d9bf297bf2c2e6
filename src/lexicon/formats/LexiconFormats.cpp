// Text lexicons in UTF-8 and UTF-16 beside GBK, the errors of every format, and the file shell.
#include "LexiconFormats.h"

#include "GbkText.h"
#include "LexiconFormatsDetail.h"

#include <QList>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace qb {

namespace {

QString EnglishMessage(LexiconFormatError::Kind kind, long long line, const QString& character,
                       const QString& detail) {
    using K = LexiconFormatError::Kind;
    const QString at = line > 0 ? QStringLiteral("line %1: ").arg(line) : QString();
    const QString entry = QStringLiteral("entry %1: ").arg(line);
    switch (kind) {
    case K::NoGbkCode:
        return at + QStringLiteral("the character \"%1\" (%2) has no GBK code")
                        .arg(character, formats::CodePointName(character));
    case K::BadUtf8: return at + QStringLiteral("bytes that are not %1").arg(detail);
    case K::NotGbk: return at + QStringLiteral("bytes that are neither UTF-8 nor GBK");
    case K::NoKey: return at + QStringLiteral("no English key (an entry is: key, TAB, rendering)");
    case K::BadXml: return at + QStringLiteral("not well-formed XML (%1)").arg(detail);
    case K::NotTbx: return QStringLiteral("not a TBX file (its root element is <%1>)").arg(detail);
    case K::MissingColumn:
        return at + QStringLiteral("the header has no column \"%1\"").arg(detail);
    case K::FieldCount:
        return at + QStringLiteral("%1 (a field holding a comma must be quoted)").arg(detail);
    case K::UnclosedQuote: return at + QStringLiteral("a quoted field is not closed");
    case K::TextAfterQuote: return at + QStringLiteral("text after the closing quote of a field");
    case K::NotUnicode: return entry + QStringLiteral("bytes that are not GBK");
    case K::NotXmlChar:
        return entry + QStringLiteral("the character %1 cannot be written in XML")
                           .arg(formats::CodePointName(character));
    }
    return at;
}

// How a text file declares or shows its encoding. `valid` is the length of the longest prefix
// that is valid UTF-8; `multiByte` whether that prefix holds a multi-byte sequence; `cutAtEnd`
// whether what follows it is only the start of a sequence cut off by the end of the text.
struct Utf8Scan {
    std::size_t valid = 0;
    bool multiByte = false;
    bool cutAtEnd = false;
};

Utf8Scan ScanUtf8(std::string_view s) {
    Utf8Scan r;
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        std::size_t len = 0;
        unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
            if (b == 0xE0) lo = 0xA0; // no overlong forms
            if (b == 0xED) hi = 0x9F; // no surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F; // nothing above U+10FFFF
        } else {
            break;
        }
        std::size_t k = 1;
        for (; k < len && i + k < n; ++k) {
            const unsigned char c = p[i + k];
            if (k == 1 ? (c < lo || c > hi) : (c < 0x80 || c > 0xBF)) break;
        }
        if (k < len) {
            r.cutAtEnd = i + k == n;
            break;
        }
        r.multiByte = true;
        i += len;
    }
    r.valid = i;
    return r;
}

std::string_view BeforeNul(std::string_view bytes) {
    if (const void* nul = std::memchr(bytes.data(), 0, bytes.size()))
        return bytes.substr(0, std::size_t(static_cast<const char*>(nul) - bytes.data()));
    return bytes;
}

long long LineOfByte(std::string_view bytes, std::size_t at) {
    const QString head = QString::fromLatin1(bytes.data(), qsizetype(std::min(at, bytes.size())));
    return formats::LineAt(head, head.size());
}

// UTF-8 or UTF-16 bytes (without their mark) as a QString, up to a NUL; invalid bytes throw.
QString DecodeUnicode(std::string_view bytes, TextEncoding enc) {
    if (enc == TextEncoding::Utf8) {
        bytes = BeforeNul(bytes);
        const Utf8Scan scan = ScanUtf8(bytes);
        if (scan.valid != bytes.size())
            throw LexiconFormatError(LexiconFormatError::Kind::BadUtf8,
                                     LineOfByte(bytes, scan.valid), {}, QStringLiteral("UTF-8"));
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    }
    QStringDecoder dec(enc == TextEncoding::Utf16Le ? QStringConverter::Utf16LE
                                                    : QStringConverter::Utf16BE,
                       QStringConverter::Flag::Stateless);
    QString text = dec.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (dec.hasError() || bytes.size() % 2 != 0)
        throw LexiconFormatError(LexiconFormatError::Kind::BadUtf8, 0, {}, QStringLiteral("UTF-16"));
    if (const qsizetype nul = text.indexOf(QChar(0)); nul >= 0) text.truncate(nul);
    return text;
}

// The text in GBK, or NoGbkCode naming the line of its first character GBK cannot hold.
std::string EncodeGbkNamingLine(const QString& text) {
    if (std::optional<std::string> gbk = ToGbkStrict(text)) return *std::move(gbk);
    // Rare path: find the line, then the character within it.
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text.at(end) != u'\n' && text.at(end) != u'\r') ++end;
        qsizetype bad = -1;
        if (!ToGbkStrict(text.mid(start, end - start), &bad) && bad >= 0) {
            const qsizetype at = start + bad;
            throw LexiconFormatError(LexiconFormatError::Kind::NoGbkCode, formats::LineAt(text, at),
                                     formats::CodePointAt(text, at));
        }
        start = end + 1;
    }
    throw LexiconFormatError(LexiconFormatError::Kind::NoGbkCode, 0, QString());
}

} // namespace

LexiconFormatError::LexiconFormatError(Kind k, long long l, QString c, QString d)
    : std::runtime_error(EnglishMessage(k, l, c, d).toStdString()), kind(k), line(l),
      character(std::move(c)), detail(std::move(d)) {}

QString ChineseMessage(const LexiconFormatError& e, const std::string& path) {
    using K = LexiconFormatError::Kind;
    const QString file = QStringLiteral("文件") + QString::fromUtf8(path.c_str());
    const QString at = e.line > 0 ? file + QStringLiteral("第%1行").arg(e.line) : file;
    const QString nothing = QStringLiteral("没有添加任何词条。");
    switch (e.kind) {
    case K::NoGbkCode:
        return at +
               QStringLiteral("的字符“%1”（%2）不在GBK编码中，词库无法保存它。")
                   .arg(e.character, formats::CodePointName(e.character)) +
               nothing;
    case K::BadUtf8: return at + QStringLiteral("不是有效的%1文本。").arg(e.detail) + nothing;
    case K::NotGbk: return at + QStringLiteral("既不是UTF-8也不是GBK编码的文本。") + nothing;
    case K::NoKey:
        return at + QStringLiteral("没有英文原文（每行应为：原文、制表符、解释）。") + nothing;
    case K::BadXml: return at + QStringLiteral("的XML格式有误（%1）。").arg(e.detail) + nothing;
    case K::NotTbx: return file + QStringLiteral("不是TBX术语文件。") + nothing;
    case K::MissingColumn: return at + QStringLiteral("的表头没有“%1”列。").arg(e.detail) + nothing;
    case K::FieldCount:
        return at + QStringLiteral("的字段数与表头不符（含逗号的字段须加双引号）。") + nothing;
    case K::UnclosedQuote: return at + QStringLiteral("开始的双引号没有配对。") + nothing;
    case K::TextAfterQuote: return at + QStringLiteral("的字段在右引号后还有文字。") + nothing;
    case K::NotUnicode:
        return QStringLiteral("第%1个词条含有不是GBK编码的字节，没有写入").arg(e.line) + file +
               QStringLiteral("。");
    case K::NotXmlChar:
        return QStringLiteral("第%1个词条含有XML不能保存的控制字符，没有写入").arg(e.line) + file +
               QStringLiteral("。");
    }
    return file;
}

LexiconFormat LexiconFormatOf(std::string_view path) {
    if (TQbDict::IsScrambledFileName(path)) return LexiconFormat::Scrambled;
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return LexiconFormat::Text;
    const std::string ext = LowerAscii(path.substr(dot));
    if (ext == ".tsv") return LexiconFormat::Tsv;
    if (ext == ".csv") return LexiconFormat::Csv;
    if (ext == ".tbx") return LexiconFormat::Tbx;
    return LexiconFormat::Text;
}

TextEncoding DetectTextEncoding(std::string_view bytes, std::size_t* bomBytes) {
    std::size_t bom = 0;
    TextEncoding enc = TextEncoding::Gbk;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bom = 3;
        enc = TextEncoding::Utf8;
    } else if (bytes.substr(0, 2) == "\xFF\xFE") {
        bom = 2;
        enc = TextEncoding::Utf16Le;
    } else if (bytes.substr(0, 2) == "\xFE\xFF") {
        bom = 2;
        enc = TextEncoding::Utf16Be;
    } else {
        const std::string_view text = BeforeNul(bytes);
        const Utf8Scan scan = ScanUtf8(text);
        // A character cut off at the very end still makes the text UTF-8 (with an error then),
        // rather than GBK bytes that would become garbled entries.
        if (scan.multiByte && (scan.valid == text.size() || scan.cutAtEnd))
            enc = TextEncoding::Utf8;
    }
    if (bomBytes) *bomBytes = bom;
    return enc;
}

std::string TextLexiconToGbk(std::string_view bytes) {
    std::size_t bom = 0;
    const TextEncoding enc = DetectTextEncoding(bytes, &bom);
    if (enc == TextEncoding::Gbk) return std::string(bytes);
    return EncodeGbkNamingLine(DecodeUnicode(bytes.substr(bom), enc));
}

std::string KeyedLinesOnly(std::string_view gbk, long long firstLine) {
    std::string out;
    out.reserve(gbk.size());
    long long line = firstLine;
    ForEachLine(gbk, [&](std::string_view text) {
        const std::size_t tab = FindText(text, "\t");
        const std::string_view key = tab == std::string_view::npos ? text : text.substr(0, tab);
        if (NormalizeKey(key).empty()) {
            if (!Trim(text).empty())
                throw LexiconFormatError(LexiconFormatError::Kind::NoKey, line);
        } else if (tab == std::string_view::npos) {
            throw LexiconFormatError(LexiconFormatError::Kind::NoKey, line);
        } else {
            out.append(text);
            out.push_back('\n');
        }
        ++line;
    });
    return out;
}

namespace formats {

long long LineAt(const QString& text, qsizetype at) {
    long long line = 1;
    const qsizetype end = std::min(at, text.size());
    for (qsizetype i = 0; i < end; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\n') {
            ++line;
        } else if (c == u'\r') {
            if (i + 1 < text.size() && text.at(i + 1) == u'\n') {
                if (i + 1 < end) ++i; // CR LF is one line break
            }
            ++line;
        }
    }
    return line;
}

QString DecodeText(std::string_view bytes) {
    std::size_t bom = 0;
    const TextEncoding enc = DetectTextEncoding(bytes, &bom);
    if (enc != TextEncoding::Gbk) return DecodeUnicode(bytes.substr(bom), enc);
    const std::string_view text = BeforeNul(bytes);
    if (std::optional<QString> s = FromGbkStrict(text)) return *std::move(s);
    // Name the first line that does not decode.
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        if (!FromGbkStrict(text.substr(start, end - start)))
            throw LexiconFormatError(LexiconFormatError::Kind::NotGbk, LineOfByte(text, start));
        start = end + 1;
    }
    throw LexiconFormatError(LexiconFormatError::Kind::NotGbk, 0);
}

namespace {
QString Flattened(QString s, bool tabsToo) {
    for (QChar& c : s)
        if (c == u'\r' || c == u'\n' || (tabsToo && c == u'\t')) c = u' ';
    return s;
}
} // namespace

void GbkLines::Key(const QString& key, long long line) {
    marks_.emplace_back(text_.size(), line);
    text_ += Flattened(key, true);
    text_ += u'\t';
    firstSense_ = true;
}

void GbkLines::Sense(const QString& sense, long long line) {
    if (!firstSense_) text_ += QChar(0xFF1B); // "；"
    firstSense_ = false;
    marks_.emplace_back(text_.size(), line);
    text_ += Flattened(sense, false);
}

void GbkLines::Rendering(const QString& rendering, long long line) {
    marks_.emplace_back(text_.size(), line);
    text_ += Flattened(rendering, false);
}

void GbkLines::EndEntry() { text_ += u'\n'; }

std::string GbkLines::Finish() const {
    if (std::optional<std::string> gbk = ToGbkStrict(text_)) return *std::move(gbk);
    qsizetype start = 0;
    while (start < text_.size()) {
        qsizetype end = text_.indexOf(u'\n', start);
        if (end < 0) end = text_.size();
        qsizetype bad = -1;
        if (!ToGbkStrict(text_.mid(start, end - start), &bad) && bad >= 0) {
            const qsizetype at = start + bad;
            const auto mark = std::upper_bound(
                marks_.begin(), marks_.end(), at,
                [](qsizetype a, const std::pair<qsizetype, long long>& m) { return a < m.first; });
            const long long line = mark == marks_.begin() ? 0 : std::prev(mark)->second;
            throw LexiconFormatError(LexiconFormatError::Kind::NoGbkCode, line, CodePointAt(text_, at));
        }
        start = end + 1;
    }
    throw LexiconFormatError(LexiconFormatError::Kind::NoGbkCode, 0, QString());
}

std::vector<std::pair<QString, QString>> DecodeEntries(const TQbDict& dict) {
    std::vector<std::pair<QString, QString>> out;
    out.reserve(dict.EntryCount());
    // One decoder for everything; the entry is only looked for when it fails.
    std::string all = dict.SaveToBytes(false);
    std::optional<QString> text = FromGbkStrict(all);
    if (!text) {
        for (std::size_t i = 0; i < dict.EntryCount(); ++i) {
            if (!FromGbkStrict(dict.KeyAt(i)) || !FromGbkStrict(dict.RenderingAt(i)))
                throw LexiconFormatError(LexiconFormatError::Kind::NotUnicode,
                                         static_cast<long long>(i) + 1);
        }
        // Every entry on its own is fine: decode them one by one.
        for (std::size_t i = 0; i < dict.EntryCount(); ++i)
            out.emplace_back(*FromGbkStrict(dict.KeyAt(i)), *FromGbkStrict(dict.RenderingAt(i)));
        return out;
    }
    // Save's lines: key TAB rendering CR LF, one per entry; neither part holds CR or LF, and
    // the key no TAB.
    qsizetype pos = 0;
    const QString& t = *text;
    while (pos < t.size()) {
        const qsizetype end = t.indexOf(QStringLiteral("\r\n"), pos);
        const qsizetype lineEnd = end < 0 ? t.size() : end;
        const qsizetype tab = t.indexOf(u'\t', pos);
        if (tab < 0 || tab > lineEnd)
            out.emplace_back(t.mid(pos, lineEnd - pos), QString());
        else
            out.emplace_back(t.mid(pos, tab - pos), t.mid(tab + 1, lineEnd - tab - 1));
        pos = lineEnd + 2;
    }
    return out;
}

QString CodePointAt(const QString& text, qsizetype at) {
    if (at < 0 || at >= text.size()) return {};
    const bool pair =
        text.at(at).isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate();
    return text.mid(at, pair ? 2 : 1);
}

QString CodePointName(const QString& character) {
    const QList<uint> ucs4 = character.toUcs4();
    return QStringLiteral("U+") +
           QString::number(ucs4.value(0), 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

} // namespace formats

// ---- the files ----

void LoadLexiconFile(TQbDict& fresh, const std::string& path, const std::string& irregularPath) {
    const LexiconFormat format = LexiconFormatOf(path);
    if (format == LexiconFormat::Scrambled || !FileExists(path)) {
        fresh.Load(path, irregularPath);
        return;
    }
    // Read and converted before the lexicon is touched: a failure leaves it empty.
    const std::string lines = ReadGbkLines(path);
    fresh.Load(std::string(), irregularPath);
    fresh.LoadEntriesFromBytes(lines, false);
    fresh.SetFileName(path);
}

std::string ReadGbkLines(const std::string& path) {
    const LexiconFormat format = LexiconFormatOf(path);
    if (format == LexiconFormat::Scrambled)
        throw std::logic_error("ReadGbkLines: a professional lexicon is loaded, not read as lines");
    return LexiconBytesToGbkLines(ReadWholeFile(path), format);
}

void WriteLexiconFile(const TQbDict& dict, const std::string& path) {
    WriteWholeFileSafely(path, LexiconToBytes(dict, LexiconFormatOf(path)));
}

} // namespace qb
