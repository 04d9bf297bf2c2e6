// Gettext catalogues (.po, .pot): each message a unit, shown as its msgid; the translation is
// written as its msgstr, the fuzzy flag taken off, and the header set for a Chinese catalogue.
#include "Filter.h"
#include "Placeholders.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace qb::doc::detail {

namespace {

// What the catalogue keeps beside the units, for writing them back.
struct PoState : FormatState {
    struct Message {
        // The flags line ("#, fuzzy, c-format\n") as a range, kNoRange when there is none.
        std::size_t flagsBegin = kNoRange, flagsEnd = kNoRange;
        bool plural = false;   // msgid_plural: its msgstr block becomes msgstr[0]
        std::string firstForm; // a plural's msgstr[0] as written (escaped), kept when untranslated
        std::string translation; // the msgstr (msgstr[0]) in the unit's form; empty: none
    };
    std::vector<Message> messages; // by unit
    // The header's msgstr block, kNoRange when the file has no header, and its text unescaped.
    std::size_t headerBegin = kNoRange, headerEnd = kNoRange;
    std::string header;
};

} // namespace

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

// A message's line for the translator: its text with its placeholders, by the rules above.
Unit MessageLine(std::string_view s, std::string_view flags) {
    Unit u;
    std::size_t from = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t len = PlaceholderAt(s, i, flags);
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
    return u;
}

// A msgstr already in the file, in the unit's placeholder form, so the translator sees it as
// the message's translation: "已保存 %d 个文件。\n" of "Saved %d files.\n" becomes
// "已保存 {1} 个文件。{2}". Each of its placeholders is the unit's placeholder of the same text
// (the first not yet taken: "%s 和 %s" takes {1} and {2}). One the message does not have
// cannot be shown: empty, and the export keeps that msgstr as the file has it.
std::string InUnitForm(const Unit& unit, std::string_view msgstr, std::string_view flags) {
    Unit m = MessageLine(msgstr, flags);
    TrimUnit(m);
    std::vector<bool> taken(unit.tags.size(), false);
    std::vector<std::size_t> number(m.tags.size(), 0);
    for (std::size_t k = 0; k < m.tags.size(); ++k) {
        for (std::size_t j = 0; j < unit.tags.size() && !number[k]; ++j)
            if (!taken[j] && unit.tags[j].open == m.tags[k].open) {
                taken[j] = true;
                number[k] = j + 1;
            }
        if (!number[k]) return {};
    }
    std::string out;
    const std::string& t = m.text;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '{') {
            std::size_t j = i + 1;
            std::size_t n = 0;
            while (j < t.size() && t[j] >= '0' && t[j] <= '9')
                n = n * 10 + std::size_t(t[j++] - '0');
            if (j > i + 1 && j < t.size() && t[j] == '}' && n >= 1 && n <= number.size()) {
                out += "{" + std::to_string(number[n - 1]) + "}";
                i = j;
                continue;
            }
        }
        out += t[i];
    }
    return out;
}

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
    auto state = std::make_shared<PoState>();
    std::size_t reported = 0;
    PoEntry e;
    enum { None, Ctxt, Id, Plural, Str } last = None;

    auto finish = [&] {
        if (e.hasMsgid && !e.obsolete) {
            if (e.strBegin == kNoRange)
                throw DocError("第 " + std::to_string(LineOf(text, e.firstLine)) +
                               " 行：消息缺少 msgstr");
            if (e.msgid.empty() && !e.hasCtxt) {
                state->headerBegin = e.strBegin;
                state->headerEnd = e.strEnd;
                state->header = e.msgstr;
            } else {
                const std::string_view flags =
                    e.flagsBegin == kNoRange
                        ? std::string_view()
                        : std::string_view(text).substr(e.flagsBegin, e.flagsEnd - e.flagsBegin);
                Unit u = MessageLine(e.hasPlural ? e.plural : e.msgid, flags);
                u.begin = e.strBegin;
                u.end = e.strEnd;
                // Every message is offered, punctuation alone too: Django's catalogue translates
                // ", " as "，" and ":" as "：". Only a message of white space gives no line.
                TrimUnit(u);
                if (!u.text.empty()) {
                    std::string own =
                        e.msgstr.empty() ? std::string() : InUnitForm(u, e.msgstr, flags);
                    doc.units.push_back(std::move(u));
                    state->messages.push_back(
                        {e.flagsBegin, e.flagsEnd, e.hasPlural, e.firstForm, std::move(own)});
                } else
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
    doc.state = std::move(state);
}

std::string PoEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

// "#, fuzzy, c-format\n" -> "#, c-format\n"; "#, fuzzy\n" -> "".
std::string WithoutFuzzy(std::string_view line) {
    std::string_view body = line.substr(2);
    std::string eol;
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) {
        eol.insert(eol.begin(), body.back());
        body.remove_suffix(1);
    }
    std::string kept;
    std::size_t pos = 0;
    while (pos <= body.size()) {
        std::size_t comma = body.find(',', pos);
        if (comma == std::string_view::npos) comma = body.size();
        std::string flag = OneLine(body.substr(pos, comma - pos));
        if (!flag.empty() && flag != "fuzzy") kept += (kept.empty() ? " " : ", ") + flag;
        pos = comma + 1;
    }
    return kept.empty() ? std::string() : "#," + kept + eol;
}

// The header's text with the fields a Chinese catalogue needs set.
std::string ChineseHeader(std::string header) {
    auto set = [&](std::string_view key, std::string_view value) {
        const std::string head = std::string(key) + ":";
        std::size_t at = 0;
        while (at < header.size()) {
            std::size_t eol = header.find('\n', at);
            if (eol == std::string::npos) eol = header.size();
            if (header.compare(at, head.size(), head) == 0) {
                header.replace(at, eol - at, head + " " + std::string(value));
                return;
            }
            at = eol + 1;
        }
        if (!header.empty() && header.back() != '\n') header += '\n';
        header += head + " " + std::string(value) + "\n";
    };
    set("Content-Type", "text/plain; charset=UTF-8");
    set("Language", "zh_CN");
    set("Plural-Forms", "nplurals=1; plural=0;");
    return header;
}

std::string HeaderBlock(const std::string& header) {
    std::string out = "msgstr \"\"\n";
    std::size_t at = 0;
    while (at < header.size()) {
        std::size_t eol = header.find('\n', at);
        const std::size_t end = eol == std::string::npos ? header.size() : eol + 1;
        out += "\"" + PoEscape(std::string_view(header).substr(at, end - at)) + "\"\n";
        at = end;
    }
    return out;
}

// A translation as the message's msgstr line.
class PoWriter : public UnitWriter {
public:
    explicit PoWriter(const PoState& state) : state_(state) {}
    std::string Text(std::size_t, const std::vector<std::size_t>&, std::string_view text) const override {
        return PoEscape(text);
    }
    std::string Whole(std::size_t unit, std::string body, const std::string& part,
                      std::size_t end) const override {
        const bool crlf = end >= 2 && part[end - 2] == '\r';
        const bool plural = unit < state_.messages.size() && state_.messages[unit].plural;
        return std::string(plural ? "msgstr[0] \"" : "msgstr \"") + body + (crlf ? "\"\r\n" : "\"\n");
    }

private:
    const PoState& state_;
};

class PoFilterImpl final : public Filter {
public:
    bool Recognises(std::string_view path) const override {
        return HasExtension(path, {".po", ".pot"});
    }
    void Read(Document& doc, const Limits&, const Progress& progress) const override {
        ReadPo(doc, progress);
    }

    std::string Write(const Document& doc, const std::vector<std::optional<std::string>>& translations,
                      WriteReport& report) const override {
        const PoState& st = StateOf<PoState>(doc);
        std::vector<std::vector<Edit>> edits = TranslationEdits(doc, translations, report);
        if (!AnyEdit(edits)) return doc.original;
        std::vector<Edit>& pe = edits[0];
        const std::string& text = doc.parts[0].text;
        std::vector<bool> done(doc.units.size(), false);
        const std::size_t translated = pe.size();
        for (std::size_t k = 0; k < translated; ++k) {
            const std::size_t i = pe[k].unit;
            done[i] = true;
            if (i >= st.messages.size()) continue;
            const PoState::Message& m = st.messages[i];
            if (m.flagsBegin != kNoRange)
                pe.push_back({m.flagsBegin,
                              m.flagsEnd,
                              kNoRange,
                              {},
                              WithoutFuzzy(std::string_view(text).substr(
                                  m.flagsBegin, m.flagsEnd - m.flagsBegin))});
        }
        // Chinese has one plural form: every plural message keeps msgstr[0] alone, to agree with
        // the header's nplurals=1 (msgfmt refuses a catalogue where they disagree).
        for (std::size_t i = 0; i < doc.units.size() && i < st.messages.size(); ++i)
            if (st.messages[i].plural && !done[i])
                pe.push_back({doc.units[i].begin,
                              doc.units[i].end,
                              kNoRange,
                              {},
                              "msgstr[0] \"" + st.messages[i].firstForm + "\"\n"});
        if (st.headerBegin != kNoRange)
            pe.push_back(
                {st.headerBegin, st.headerEnd, kNoRange, {}, HeaderBlock(ChineseHeader(st.header))});
        else
            pe.push_back({0, 0, kNoRange, {}, "msgid \"\"\n" + HeaderBlock(ChineseHeader({})) + "\n"});
        return *Splice(doc, std::move(edits), PoWriter(st))[0];
    }

    std::string TranslationInFile(const Document& doc, std::size_t unit) const override {
        const PoState& st = StateOf<PoState>(doc);
        return unit < st.messages.size() ? st.messages[unit].translation : std::string();
    }

    bool FuzzyInFile(const Document& doc, std::size_t unit) const override {
        const PoState& st = StateOf<PoState>(doc);
        if (unit >= st.messages.size() || st.messages[unit].flagsBegin == kNoRange) return false;
        const PoState::Message& m = st.messages[unit];
        return std::string_view(doc.parts[0].text)
                   .substr(m.flagsBegin, m.flagsEnd - m.flagsBegin)
                   .find("fuzzy") != std::string_view::npos;
    }
};

} // namespace

const Filter& PoFilter() {
    static const PoFilterImpl filter;
    return filter;
}

} // namespace qb::doc::detail
