// Plain text, subtitles and gettext catalogues: formats read line by line, without a library.
#include "Formats.h"
#include "GbkText.h"
#include "Placeholders.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <optional>

namespace qb::doc::detail {

namespace {

constexpr std::size_t kProgressStep = 1 << 20;

std::string_view LineAt(std::string_view text, std::size_t pos, std::size_t& next) {
    std::size_t eol = text.find('\n', pos);
    next = eol == std::string_view::npos ? text.size() : eol + 1;
    std::string_view line =
        text.substr(pos, (eol == std::string_view::npos ? text.size() : eol) - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

bool Blank(std::string_view line) {
    for (char c : line)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\f') return false;
    return true;
}

// Control characters that no text file holds: a binary file given a text file's name.
bool LooksBinary(std::string_view utf8) {
    std::size_t controls = 0;
    for (char ch : utf8) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == 0) return true;
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1B) ++controls;
    }
    return controls > 0 && controls * 1000 >= utf8.size(); // a stray one in a long text is no sign
}

std::string Decode(QStringConverter::Encoding enc, std::string_view bytes) {
    QStringDecoder dec(enc, QStringConverter::Flag::Stateless);
    const QString s = dec.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (dec.hasError()) throw DocError("含有不合这种编码的字节");
    return s.toStdString();
}

} // namespace

namespace {

std::string EncoderName(Encoding encoding, const std::string& charset) {
    switch (encoding) {
    case Encoding::Utf16LE: return "UTF-16LE";
    case Encoding::Utf16BE: return "UTF-16BE";
    case Encoding::Gbk: return "GBK";
    case Encoding::Named: return charset;
    default: return "UTF-8";
    }
}

// `s` in the named encoding when every character fits, else nothing.
std::optional<QByteArray> EncodeExactly(const QString& s, const std::string& name) {
    QStringEncoder enc(name.c_str(), QStringConverter::Flag::Stateless);
    if (!enc.isValid()) throw DocError("不认识的字符集“" + name + "”");
    const QByteArray b = enc.encode(s);
    if (enc.hasError()) return std::nullopt;
    // Some converters put '?' for what they lack without saying so: read the bytes back.
    QStringDecoder dec(name.c_str(), QStringConverter::Flag::Stateless);
    if (QString(dec.decode(b)) != s) return std::nullopt;
    return b;
}

} // namespace

bool IsUtf8Name(std::string_view charset) {
    std::string n;
    for (char c : charset)
        if (c != '-' && c != '_') n += char(std::tolower(static_cast<unsigned char>(c)));
    return n == "utf8";
}

std::string DecodeCharset(std::string_view bytes, const std::string& charset) {
    QStringDecoder dec(charset.c_str(), QStringConverter::Flag::Stateless);
    if (!dec.isValid()) throw DocError("不认识的字符集“" + charset + "”");
    const QString s = dec.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (dec.hasError()) throw DocError("含有不合所声明字符集“" + charset + "”的字节");
    std::string out = s.toStdString();
    // What is written back must be these very bytes where nothing was translated.
    const std::optional<QByteArray> again = EncodeExactly(s, charset);
    if (!again || std::string_view(again->constData(), std::size_t(again->size())) != bytes)
        throw DocError("字符集“" + charset + "”的文本无法原样写回");
    return out;
}

std::string DecodeText(std::string_view bytes, Encoding& encoding) {
    std::string out;
    if (bytes.size() >= 3 && std::memcmp(bytes.data(), "\xEF\xBB\xBF", 3) == 0) {
        encoding = Encoding::Utf8Bom;
        out = std::string(bytes.substr(3));
        if (!IsUtf8Text(out)) throw DocError("以 UTF-8 标记开头，却含有不是 UTF-8 的字节");
    } else if (bytes.size() >= 2 && (std::memcmp(bytes.data(), "\xFF\xFE", 2) == 0 ||
                                     std::memcmp(bytes.data(), "\xFE\xFF", 2) == 0)) {
        const bool le = bytes[0] == '\xFF';
        encoding = le ? Encoding::Utf16LE : Encoding::Utf16BE;
        if (bytes.size() % 2) throw DocError("UTF-16 文本的字节数是奇数，文件不完整");
        out = Decode(le ? QStringConverter::Utf16LE : QStringConverter::Utf16BE, bytes.substr(2));
    } else if (IsUtf8Text(bytes)) {
        encoding = Encoding::Utf8;
        out = std::string(bytes);
    } else {
        if (std::memchr(bytes.data(), 0, bytes.size()))
            throw DocError("不是文本文件（含有二进制数据）");
        encoding = Encoding::Gbk;
        const std::optional<QString> s = GbkAvailable() ? FromGbkStrict(bytes) : std::nullopt;
        if (!s) throw DocError("既不是 UTF-8 也不是 GBK 编码的文本");
        out = s->toStdString();
        if (ToGbkStrict(*s) != std::optional<std::string>(bytes))
            throw DocError("这种编码的文本无法原样写回");
    }
    if (LooksBinary(out)) throw DocError("不是文本文件（含有二进制数据）");
    if (encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE) {
        if (EncodeText(out, encoding) != bytes) throw DocError("这种编码的文本无法原样写回");
    }
    return out;
}

std::string EncodeText(std::string_view utf8, Encoding encoding, const std::string& charset,
                       const std::function<std::string(char32_t)>& unfit) {
    switch (encoding) {
    case Encoding::Utf8: return std::string(utf8);
    case Encoding::Utf8Bom: return "\xEF\xBB\xBF" + std::string(utf8);
    default: break;
    }
    const QString s = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    const std::string name = EncoderName(encoding, charset);
    const char* bom = encoding == Encoding::Utf16LE   ? "\xFF\xFE"
                      : encoding == Encoding::Utf16BE ? "\xFE\xFF"
                                                      : "";
    if (std::optional<QByteArray> b = EncodeExactly(s, name))
        return std::string(bom) + std::string(b->constData(), std::size_t(b->size()));
    // Character by character, to find (or replace) what does not fit: only a translation that
    // holds such a character comes here ("😀" in a GBK file, "中" in a windows-1252 page).
    std::string out = bom;
    for (qsizetype i = 0; i < s.size();) {
        const qsizetype n = s[i].isHighSurrogate() && i + 1 < s.size() ? 2 : 1;
        const QString ch = s.mid(i, n);
        if (std::optional<QByteArray> b = EncodeExactly(ch, name)) {
            out.append(b->constData(), std::size_t(b->size()));
        } else {
            const char32_t cp = n == 2 ? QChar::surrogateToUcs4(s[i], s[i + 1]) : s[i].unicode();
            if (!unfit)
                throw DocError("译文中的“" + ch.toStdString() + "”无法用原文件的编码（" + name +
                               "）写出；请改用别的字，或把原文件另存为 UTF-8 后再打开");
            out += unfit(cp);
        }
        i += n;
    }
    return out;
}

// Paragraphs: runs of lines between blank lines. "Line one\nline two\n\nNext" gives
// "Line one line two" and "Next"; writing puts a translation on one line in place of both.
void ReadText(Document& doc, const Progress& progress) {
    DocPart part;
    part.text = DecodeText(doc.original, doc.encoding);
    doc.parts.push_back(std::move(part));
    const std::string& text = doc.parts[0].text;
    std::size_t pos = 0, paraBegin = std::string::npos, paraEnd = 0, reported = 0;
    auto flush = [&] {
        if (paraBegin == std::string::npos) return;
        Unit u;
        u.begin = paraBegin;
        u.end = paraEnd;
        AppendText(u, std::string_view(text).substr(paraBegin, paraEnd - paraBegin));
        FinishUnit(doc, std::move(u));
        paraBegin = std::string::npos;
    };
    while (pos < text.size()) {
        std::size_t next = 0;
        std::string_view line = LineAt(text, pos, next);
        if (Blank(line)) {
            flush();
        } else {
            std::size_t lead = 0;
            while (line[lead] == ' ' || line[lead] == '\t') ++lead;
            std::size_t trail = line.size();
            while (trail > 0 && (line[trail - 1] == ' ' || line[trail - 1] == '\t')) --trail;
            if (paraBegin == std::string::npos) paraBegin = pos + lead;
            paraEnd = pos + trail;
        }
        pos = next;
        if (pos - reported >= kProgressStep) Report(progress, reported = pos, text.size());
    }
    flush();
}

// Cues: an optional number, a timecode line ("00:00:01,000 --> 00:00:04,000") and text lines up
// to a blank line. The text lines are the unit; numbers and timecodes are never touched.
void ReadSrt(Document& doc, const Progress& progress) {
    DocPart part;
    part.text = DecodeText(doc.original, doc.encoding);
    doc.parts.push_back(std::move(part));
    const std::string& text = doc.parts[0].text;
    std::size_t pos = 0, reported = 0;
    while (pos < text.size()) {
        std::size_t next = 0;
        std::string_view line = LineAt(text, pos, next);
        if (Blank(line)) {
            pos = next;
            continue;
        }
        // The cue's head: a number line (optional) and its timecode line.
        const std::size_t headLine = pos;
        if (line.find("-->") == std::string_view::npos) {
            std::size_t after = 0;
            std::string_view second = LineAt(text, next, after);
            if (next >= text.size() || second.find("-->") == std::string_view::npos)
                throw DocError("第 " + std::to_string(LineOf(text, headLine)) +
                               " 行：字幕缺少时间码行（“开始 --> 结束”）");
            next = after;
        }
        pos = next;
        std::size_t textBegin = std::string::npos, textEnd = 0;
        while (pos < text.size()) {
            std::string_view l = LineAt(text, pos, next);
            if (Blank(l)) break;
            if (textBegin == std::string::npos) textBegin = pos;
            textEnd = pos + l.size();
            pos = next;
        }
        if (textBegin != std::string::npos) {
            Unit u;
            u.begin = textBegin;
            u.end = textEnd;
            AppendWithTags(u, text, textBegin, textEnd);
            FinishUnit(doc, std::move(u));
        }
        if (pos - reported >= kProgressStep) Report(progress, reported = pos, text.size());
    }
}

namespace {

// One string of a PO line: `"..."` with C escapes; `pos` at the opening quote, left after the
// closing one. Also the escaped bytes as written, for a msgstr[0] kept as it was.
std::string PoString(std::string_view text, std::size_t& pos, std::size_t lineEnd, std::string* raw) {
    // The line number is counted only when a string is refused: counting it for every string
    // read from the file's start made a 1.9 MB catalogue take 43 s.
    const std::size_t at = pos;
    auto fail = [&](const std::string& what) -> DocError {
        return DocError("第 " + std::to_string(LineOf(text, at)) + " 行：" + what);
    };
    if (pos >= lineEnd || text[pos] != '"') throw fail("应有以引号开头的字符串");
    std::string out;
    std::size_t i = pos + 1;
    const std::size_t start = i;
    for (;; ++i) {
        if (i >= lineEnd) throw fail("字符串缺少结尾的引号");
        const char c = text[i];
        if (c == '"') break;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= lineEnd) throw fail("字符串缺少结尾的引号");
        switch (text[i]) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'a': out += '\a'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'v': out += '\v'; break;
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case '\'': out += '\''; break;
        case '?': out += '?'; break;
        case 'x': {
            // "\xE4": a byte in hex, as some catalogues write what is not ASCII.
            unsigned v = 0;
            int n = 0;
            while (i + 1 < lineEnd && n < 2 && std::isxdigit(static_cast<unsigned char>(text[i + 1]))) {
                const char h = text[++i];
                v = v * 16 + unsigned(h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
                ++n;
            }
            if (n == 0) throw fail("字符串中有无效的转义 \\x");
            out += char(v);
            break;
        }
        default:
            if (text[i] >= '0' && text[i] <= '7') { // "\302\240": bytes in octal
                unsigned v = unsigned(text[i] - '0');
                for (int n = 1;
                     n < 3 && i + 1 < lineEnd && text[i + 1] >= '0' && text[i + 1] <= '7'; ++n)
                    v = v * 8 + unsigned(text[++i] - '0');
                out += char(v & 0xFF);
                break;
            }
            throw fail(std::string("字符串中有无效的转义 \\") + text[i]);
        }
    }
    if (raw) raw->append(text.substr(start, i - start));
    pos = i + 1;
    while (pos < lineEnd && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\r')) ++pos;
    if (pos < lineEnd && text[pos] != '#') throw fail("字符串之后有多余的内容");
    return out;
}

// The charset named by the header's Content-Type ("...; charset=GB2312\n"): the first
// "charset=" of the file's first 64 KB, where the header is. Empty when there is none.
std::string PoCharset(std::string_view po) {
    const std::size_t limit = std::min<std::size_t>(po.size(), 64 * 1024);
    const std::string_view head = po.substr(0, limit);
    const std::size_t at = head.find("charset=");
    if (at == std::string_view::npos) return {};
    std::size_t e = at + 8;
    while (e < head.size() &&
           (std::isalnum(static_cast<unsigned char>(head[e])) || std::strchr("-_.:", head[e])))
        ++e;
    return std::string(head.substr(at + 8, e - at - 8));
}

struct PoEntry {
    std::size_t firstLine = 0;
    bool hasMsgid = false, hasCtxt = false, obsolete = false, cFormat = false, hasPlural = false;
    std::string msgid, plural;
    std::size_t flagsBegin = kNoRange, flagsEnd = kNoRange;
    std::size_t strBegin = kNoRange, strEnd = kNoRange;
    std::string msgstr, firstForm;
    bool inFirstForm = false;
};

} // namespace

// Messages, each shown as its msgid (a plural message as its msgid_plural: Chinese has one
// form, and that form must carry the plural's "%d"). A line break, a tab and every other control
// character in a message, printf directives of a c-format message, and spaces at its start or
// two or more together are placeholders: "Saved %d files.\n" shows as "Saved {1} files.{2}", so
// a translation cannot drop what msgfmt checks nor the layout of a program's help text.
void ReadPo(Document& doc, const Progress& progress) {
    if (!IsUtf8Text(doc.original)) {
        if (std::memchr(doc.original.data(), 0, doc.original.size()))
            throw DocError("不是 PO 文件（含有二进制数据）");
        // A catalogue in another charset says so in its header ("charset=ISO-8859-1"): read in
        // that charset. The export is UTF-8 with the header saying so, as gettext's own tools
        // write a catalogue converted for a Chinese translation.
        const std::string charset = PoCharset(doc.original);
        if (charset.empty() || IsUtf8Name(charset))
            throw DocError("不是 UTF-8 编码，文件头也没有声明别的字符集（charset=）");
        doc.encoding = Encoding::Named;
        doc.charset = charset;
        doc.parts.push_back({{}, DecodeCharset(doc.original, charset)});
    } else {
        doc.parts.push_back({{}, doc.original});
    }
    const std::string& text = doc.parts[0].text;
    std::size_t reported = 0;
    PoEntry e;
    enum { None, Ctxt, Id, Plural, Str } last = None;

    auto finish = [&] {
        if (e.hasMsgid && !e.obsolete) {
            if (e.strBegin == kNoRange)
                throw DocError("第 " + std::to_string(LineOf(text, e.firstLine)) +
                               " 行：消息缺少 msgstr");
            if (e.msgid.empty() && !e.hasCtxt) {
                doc.headerBegin = e.strBegin;
                doc.headerEnd = e.strEnd;
                doc.header = e.msgstr;
            } else {
                Unit u;
                u.begin = e.strBegin;
                u.end = e.strEnd;
                u.flagsBegin = e.flagsBegin;
                u.flagsEnd = e.flagsEnd;
                u.plural = e.hasPlural;
                u.firstForm = e.firstForm;
                const std::string& s = u.plural ? e.plural : e.msgid;
                std::size_t from = 0;
                for (std::size_t i = 0; i < s.size(); ++i) {
                    const unsigned char c = static_cast<unsigned char>(s[i]);
                    std::size_t len = PlaceholderAt(
                        s, i,
                        e.flagsBegin == kNoRange
                            ? std::string_view()
                            : std::string_view(text).substr(e.flagsBegin, e.flagsEnd - e.flagsBegin));
                    std::string open;
                    if (c < 0x20) {
                        // "\r\n" and "\a" as well: msgfmt checks a message's first and last
                        // line end, and white space in the line would lose them.
                        static const char kEsc[] = "0123456abtnvfr"; // by code, from 7
                        char oct[5];
                        std::snprintf(oct, sizeof oct, "\\%03o", unsigned(c));
                        open = c < 14 && c >= 7 ? std::string("\\") + kEsc[c] : std::string(oct);
                        len = 1;
                    } else if (c == ' ') {
                        // Spaces that lay out a program's output ("  -v, --verbose   explain")
                        // are kept: at the message's start or a line's, and two or more
                        // together. One at its end is not: ", " is translated "，".
                        std::size_t k = i;
                        while (k < s.size() && s[k] == ' ') ++k;
                        if (i == 0 || k - i >= 2 || static_cast<unsigned char>(s[i - 1]) < 0x20) {
                            len = k - i;
                            open = s.substr(i, len);
                        }
                    } else if (len) {
                        // Written as the file writes it: the quotes of '<a href="x">' escaped,
                        // or the msgstr would end at the first one.
                        for (char ch : std::string_view(s).substr(i, len)) {
                            if (ch == '"' || ch == '\\') open += '\\';
                            open += ch;
                        }
                    }
                    if (!len) continue;
                    AppendText(u, std::string_view(s).substr(from, i - from));
                    Tag t;
                    t.open = std::move(open);
                    AppendLone(u, std::move(t));
                    i += len - 1;
                    from = i + 1;
                }
                AppendText(u, std::string_view(s).substr(from));
                // Every message is offered, punctuation alone too: Django's catalogue translates
                // ", " as "，" and ":" as "：". Only a message of white space gives no line.
                TrimUnit(u);
                if (!u.text.empty())
                    doc.units.push_back(std::move(u));
                else
                    doc.skipped.push_back({0, e.firstLine, e.strEnd, "消息只有空白"});
            }
        }
        e = PoEntry{};
        last = None;
    };

    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t eol = text.find('\n', pos);
        const std::size_t next = eol == std::string::npos ? text.size() : eol + 1;
        if (eol == std::string::npos) eol = text.size();
        std::size_t i = pos;
        while (i < eol && (text[i] == ' ' || text[i] == '\t')) ++i;
        const std::string_view line = std::string_view(text).substr(i, eol - i);
        auto startsWith = [&](std::string_view w) { return line.substr(0, w.size()) == w; };
        auto after = [&](std::size_t n) {
            std::size_t k = i + n;
            while (k < eol && (text[k] == ' ' || text[k] == '\t')) ++k;
            return k;
        };
        const bool blank = line.empty() || line == "\r";
        if (blank) {
            finish();
        } else if (line[0] == '#') {
            // An obsolete entry ends where a line that is not "#~" follows it, blank line or
            // not: "#~ msgstr \"x\"\n#: a.c:3\nmsgid \"Live\"" holds two entries.
            const bool obsolete = startsWith("#~");
            if (last == Str || (e.obsolete && !obsolete)) finish();
            if (e.firstLine == 0 && !e.hasMsgid) e.firstLine = pos;
            if (obsolete)
                e.obsolete = true;
            else if (startsWith("#,")) {
                e.flagsBegin = pos;
                e.flagsEnd = next;
                e.cFormat = line.find("c-format") != std::string_view::npos &&
                            line.find("no-c-format") == std::string_view::npos;
            }
        } else if (line[0] == '"') {
            if (last == None)
                throw DocError("第 " + std::to_string(LineOf(text, pos)) +
                               " 行：字符串不属于任何关键字");
            std::size_t k = i;
            std::string* raw = (last == Str && e.inFirstForm) ? &e.firstForm : nullptr;
            const std::string s = PoString(text, k, eol, raw);
            if (last == Id)
                e.msgid += s;
            else if (last == Plural)
                e.plural += s;
            else if (last == Str) {
                if (e.inFirstForm || !e.hasPlural) e.msgstr += s;
                e.strEnd = next;
            }
        } else if (startsWith("msgctxt")) {
            if (last == Str || e.obsolete) finish();
            if (!e.firstLine) e.firstLine = pos;
            std::size_t k = after(7);
            PoString(text, k, eol, nullptr);
            e.hasCtxt = true;
            last = Ctxt;
        } else if (startsWith("msgid_plural")) {
            if (last != Id)
                throw DocError("第 " + std::to_string(LineOf(text, pos)) +
                               " 行：msgid_plural 之前没有 msgid");
            std::size_t k = after(12);
            e.plural = PoString(text, k, eol, nullptr);
            e.hasPlural = true;
            last = Plural;
        } else if (startsWith("msgid")) {
            if (last == Str || e.obsolete) finish();
            if (e.hasMsgid)
                throw DocError("第 " + std::to_string(LineOf(text, pos)) + " 行：msgid 重复");
            if (!e.firstLine) e.firstLine = pos;
            std::size_t k = after(5);
            e.msgid = PoString(text, k, eol, nullptr);
            e.hasMsgid = true;
            last = Id;
        } else if (startsWith("msgstr")) {
            if (!e.hasMsgid)
                throw DocError("第 " + std::to_string(LineOf(text, pos)) + " 行：msgstr 之前没有 msgid");
            std::size_t k = i + 6;
            e.inFirstForm = false;
            if (k < eol && text[k] == '[') {
                const std::size_t close = text.find(']', k);
                if (close == std::string::npos || close > eol)
                    throw DocError("第 " + std::to_string(LineOf(text, pos)) + " 行：msgstr[ 缺少 ]");
                e.inFirstForm = text.compare(k, close + 1 - k, "[0]") == 0;
                k = close + 1;
            }
            while (k < eol && (text[k] == ' ' || text[k] == '\t')) ++k;
            if (e.strBegin == kNoRange) e.strBegin = pos;
            std::string* raw = e.inFirstForm ? &e.firstForm : nullptr;
            const std::string s = PoString(text, k, eol, raw);
            if (e.inFirstForm || !e.hasPlural) e.msgstr += s;
            e.strEnd = next;
            last = Str;
        } else {
            throw DocError("第 " + std::to_string(LineOf(text, pos)) + " 行：不认识的关键字");
        }
        pos = next;
        if (pos - reported >= kProgressStep) Report(progress, reported = pos, text.size());
    }
    finish();
}

} // namespace qb::doc::detail
