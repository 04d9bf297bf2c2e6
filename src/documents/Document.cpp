#include "Document.h"

#include "Formats.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace qb::doc {

namespace {

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
    if (s.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = s[s.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

// One replacement in a part: a unit's translation, or literal bytes (PO flags and header).
struct Edit {
    std::size_t begin = 0, end = 0;
    const Unit* unit = nullptr;
    std::vector<Piece> pieces;
    std::string literal;
};

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

// HTML text of a unit: a character the source wrote as a reference is written with it again
// ("&nbsp;" stays "&nbsp;", "&#x4e2d;" stays "&#x4e2d;"), '&', '<' and '>' always as references,
// and in an attribute its quote too. Every other character as it is.
std::string HtmlEscape(const Unit& u, std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        const std::string_view ch = s.substr(i, n);
        i += n;
        if (!u.refs.empty()) {
            auto it = std::find_if(u.refs.begin(), u.refs.end(),
                                   [&](const auto& r) { return r.first == ch; });
            if (it != u.refs.end()) {
                out += it->second;
                continue;
            }
        }
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += u.quote == '"' ? "&quot;" : "\""; break;
        case '\'': out += u.quote == '\'' ? "&#39;" : "'"; break;
        default: out.append(ch);
        }
    }
    return out;
}

class Renderer {
public:
    Renderer(const Document& doc, const std::string& text, std::vector<Edit> edits)
        : doc_(doc), text_(text), edits_(std::move(edits)) {
        // Outer edits first where two begin together, so the inner one is skipped at that level.
        std::sort(edits_.begin(), edits_.end(), [](const Edit& a, const Edit& b) {
            return a.begin != b.begin ? a.begin < b.begin : a.end > b.end;
        });
    }

    // text[begin, end) with every edit inside it applied; an edit inside another one is applied
    // when the outer one copies the range that holds it (a placeholder's markup).
    std::string Range(std::size_t begin, std::size_t end) const {
        std::string out;
        std::size_t pos = begin;
        auto it = std::lower_bound(edits_.begin(), edits_.end(), begin,
                                   [](const Edit& e, std::size_t b) { return e.begin < b; });
        for (; it != edits_.end() && it->begin < end; ++it) {
            if (it->begin < pos || it->end > end) continue;
            out.append(text_, pos, it->begin - pos);
            out += Replacement(*it);
            pos = it->end;
        }
        out.append(text_, pos, end - pos);
        return out;
    }

private:
    std::string Raw(std::size_t b, std::size_t e, const std::string& literal) const {
        return b == kNoRange ? literal : Range(b, e);
    }

    std::string Escape(const Unit& u, std::string_view s) const {
        switch (doc_.format) {
        case Format::Html: return HtmlEscape(u, s);
        case Format::Docx:
        case Format::Odt: return XmlEscape(s);
        case Format::Po: return PoEscape(s);
        case Format::Markdown: return u.html ? HtmlEscape(u, s) : std::string(s);
        default: return std::string(s);
        }
    }

    std::string Replacement(const Edit& e) const {
        if (!e.unit) return e.literal;
        const Unit& u = *e.unit;
        std::string body;
        std::vector<std::size_t> open; // tags opened, innermost last
        for (const Piece& p : e.pieces) {
            const Tag* t = p.tag ? &u.tags[p.tag - 1] : nullptr;
            switch (p.kind) {
            case Piece::Text: {
                const std::string* wrapOpen = &u.textOpen;
                const std::string* wrapClose = &u.textClose;
                for (auto i = open.rbegin(); i != open.rend(); ++i) {
                    const Tag& o = u.tags[*i - 1];
                    if (!o.textOpen.empty() || !o.textClose.empty()) {
                        wrapOpen = &o.textOpen;
                        wrapClose = &o.textClose;
                        break;
                    }
                }
                body += *wrapOpen + Escape(u, p.text) + *wrapClose;
                break;
            }
            case Piece::Open:
                body += Raw(t->openBegin, t->openEnd, t->open);
                open.push_back(p.tag);
                break;
            case Piece::Close:
                body += Raw(t->closeBegin, t->closeEnd, t->close);
                if (!open.empty()) open.pop_back();
                break;
            case Piece::Lone: body += Raw(t->openBegin, t->openEnd, t->open); break;
            }
        }
        if (doc_.format != Format::Po) return body;
        const bool crlf = e.end >= 2 && text_[e.end - 2] == '\r';
        return std::string(u.plural ? "msgstr[0] \"" : "msgstr \"") + body + (crlf ? "\"\r\n" : "\"\n");
    }

    const Document& doc_;
    const std::string& text_;
    std::vector<Edit> edits_;
};

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

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

} // namespace

std::optional<Format> FormatOfPath(std::string_view path) {
    static const struct {
        const char* ext;
        Format format;
    } kExt[] = {{".txt", Format::Text},  {".po", Format::Po},       {".pot", Format::Po},
                {".srt", Format::Srt},   {".md", Format::Markdown}, {".markdown", Format::Markdown},
                {".html", Format::Html}, {".htm", Format::Html},    {".xhtml", Format::Html},
                {".docx", Format::Docx}, {".odt", Format::Odt}};
    for (const auto& e : kExt)
        if (EndsWithNoCase(path, e.ext)) return e.format;
    return std::nullopt;
}

Document Read(Format format, std::string_view bytes, const Limits& limits, const Progress& progress) {
    if (bytes.size() > limits.maxFileBytes)
        throw DocError("文件太大（" + std::to_string(bytes.size() >> 20) + " MB），超过 " +
                       std::to_string(limits.maxFileBytes >> 20) + " MB 的上限");
    Document doc;
    doc.format = format;
    doc.original = std::string(bytes);
    switch (format) {
    case Format::Text: detail::ReadText(doc, progress); break;
    case Format::Srt: detail::ReadSrt(doc, progress); break;
    case Format::Po: detail::ReadPo(doc, progress); break;
    case Format::Markdown: detail::ReadMarkdown(doc, progress); break;
    case Format::Html: detail::ReadHtml(doc, progress); break;
    case Format::Docx:
    case Format::Odt: detail::ReadOffice(doc, limits, progress); break;
    }
    return doc;
}

std::optional<std::vector<Piece>> CheckPlaceholders(const Unit& unit, std::string_view text) {
    std::vector<Piece> pieces;
    std::vector<int> seenOpen(unit.tags.size(), 0), seenClose(unit.tags.size(), 0);
    std::vector<std::size_t> stack;
    std::string plain;
    std::size_t i = 0;
    auto flush = [&] {
        if (!plain.empty()) pieces.push_back({Piece::Text, std::move(plain), 0});
        plain.clear();
    };
    while (i < text.size()) {
        if (text[i] == '{') {
            std::size_t j = i + 1;
            const bool closing = j < text.size() && text[j] == '/';
            if (closing) ++j;
            std::size_t n = 0, digits = 0;
            while (j < text.size() && text[j] >= '0' && text[j] <= '9' && digits < 6) {
                n = n * 10 + std::size_t(text[j] - '0');
                ++j;
                ++digits;
            }
            if (digits > 0 && j < text.size() && text[j] == '}') {
                if (n == 0 || n > unit.tags.size()) return std::nullopt; // a number the unit lacks
                const Tag& t = unit.tags[n - 1];
                flush();
                if (closing) {
                    if (!t.paired || seenOpen[n - 1] != 1 || ++seenClose[n - 1] != 1)
                        return std::nullopt;
                    if (stack.empty() || stack.back() != n) return std::nullopt; // crossed pairs
                    stack.pop_back();
                    pieces.push_back({Piece::Close, {}, n});
                } else {
                    if (++seenOpen[n - 1] != 1) return std::nullopt;
                    if (t.paired) stack.push_back(n);
                    pieces.push_back({t.paired ? Piece::Open : Piece::Lone, {}, n});
                }
                i = j + 1;
                continue;
            }
        }
        plain += text[i++];
    }
    flush();
    for (std::size_t k = 0; k < unit.tags.size(); ++k)
        if (seenOpen[k] != 1 || (unit.tags[k].paired && seenClose[k] != 1)) return std::nullopt;
    return pieces;
}

std::string Write(const Document& doc, const std::vector<std::optional<std::string>>& translations,
                  WriteReport* report) {
    WriteReport r;
    std::vector<std::vector<Edit>> edits(doc.parts.size());
    bool any = false;
    for (std::size_t i = 0; i < doc.units.size(); ++i) {
        const Unit& u = doc.units[i];
        const std::optional<std::string>* t = i < translations.size() ? &translations[i] : nullptr;
        if (!t || !*t || (*t)->empty()) {
            ++r.left;
            continue;
        }
        std::optional<std::vector<Piece>> pieces = CheckPlaceholders(u, **t);
        if (!pieces) {
            ++r.left;
            r.mismatched.push_back(i);
            continue;
        }
        ++r.translated;
        any = true;
        Edit e;
        e.begin = u.begin;
        e.end = u.end;
        e.unit = &u;
        e.pieces = std::move(*pieces);
        edits[u.part].push_back(std::move(e));
        if (doc.format == Format::Po && u.flagsBegin != kNoRange) {
            const std::string& text = doc.parts[u.part].text;
            edits[u.part].push_back(
                {u.flagsBegin,
                 u.flagsEnd,
                 nullptr,
                 {},
                 WithoutFuzzy(std::string_view(text).substr(u.flagsBegin, u.flagsEnd - u.flagsBegin))});
        }
    }
    if (report) *report = r;
    if (!any) return doc.original;

    if (doc.format == Format::Po) {
        // Chinese has one plural form: every plural message keeps msgstr[0] alone, to agree with
        // the header's nplurals=1 (msgfmt refuses a catalogue where they disagree).
        std::vector<Edit>& pe = edits[0];
        std::vector<bool> done(doc.units.size(), false);
        for (const Edit& e : pe)
            if (e.unit) done[std::size_t(e.unit - doc.units.data())] = true;
        for (std::size_t i = 0; i < doc.units.size(); ++i) {
            const Unit& u = doc.units[i];
            if (u.plural && !done[i])
                pe.push_back({u.begin, u.end, nullptr, {}, "msgstr[0] \"" + u.firstForm + "\"\n"});
        }
        if (doc.headerBegin != kNoRange)
            pe.push_back(
                {doc.headerBegin, doc.headerEnd, nullptr, {}, HeaderBlock(ChineseHeader(doc.header))});
        else
            pe.push_back({0, 0, nullptr, {}, "msgid \"\"\n" + HeaderBlock(ChineseHeader({})) + "\n"});
    }

    std::vector<std::optional<std::string>> rendered(doc.parts.size());
    for (std::size_t p = 0; p < doc.parts.size(); ++p) {
        if (edits[p].empty()) continue;
        const std::string& text = doc.parts[p].text;
        Renderer renderer(doc, text, std::move(edits[p]));
        rendered[p] = renderer.Range(0, text.size());
    }
    switch (doc.format) {
    case Format::Text:
    case Format::Srt:
    case Format::Markdown: return detail::EncodeText(*rendered[0], doc.encoding, doc.charset);
    case Format::Html:
        // A page in a charset without Chinese ("windows-1252") gets what it lacks as character
        // references, which every browser shows: "&#x4E2D;" for 中.
        return detail::EncodeText(*rendered[0], doc.encoding, doc.charset, [](char32_t cp) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "&#x%X;", unsigned(cp));
            return std::string(buf);
        });
    case Format::Docx:
    case Format::Odt: return detail::WriteOffice(doc, rendered);
    default: return *rendered[0];
    }
}

std::string PaneText(const Document& doc) {
    std::string out;
    for (const Unit& u : doc.units) {
        if (!out.empty()) out += "\n\n";
        out += u.text;
    }
    return out;
}

bool IsUtf8Text(std::string_view s) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == 0) return false;
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len = 0;
        unsigned cp = 0;
        if ((c & 0xE0) == 0xC0)
            len = 2, cp = c & 0x1F;
        else if ((c & 0xF0) == 0xE0)
            len = 3, cp = c & 0x0F;
        else if ((c & 0xF8) == 0xF0)
            len = 4, cp = c & 0x07;
        else
            return false;
        if (i + std::size_t(len) > n) return false;
        for (int k = 1; k < len; ++k) {
            const unsigned char d = static_cast<unsigned char>(s[i + std::size_t(k)]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) ||
            (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += std::size_t(len);
    }
    return true;
}

std::size_t LineOf(std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    return std::size_t(std::count(text.begin(), text.begin() + std::ptrdiff_t(offset), '\n')) + 1;
}

std::string OneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool gap = false;
    for (char c : text) {
        if (IsSpace(c)) {
            gap = !out.empty();
            continue;
        }
        if (gap) out += ' ';
        gap = false;
        out += c;
    }
    return out;
}

std::string XmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break; // an attribute may be in single quotes
        default: out += c;
        }
    }
    return out;
}

namespace {
void AppendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}
} // namespace

std::string XmlUnescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        const std::size_t semi = text.find(';', i);
        if (semi == std::string_view::npos || semi - i > 10) {
            out += '&';
            continue;
        }
        const std::string_view name = text.substr(i + 1, semi - i - 1);
        static const struct {
            const char* name;
            char c;
        } kNamed[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        bool done = false;
        for (const auto& k : kNamed)
            if (name == k.name) {
                out += k.c;
                done = true;
            }
        if (!done && name.size() > 1 && name[0] == '#') {
            unsigned cp = 0;
            bool ok = true;
            const bool hex = name[1] == 'x' || name[1] == 'X';
            for (std::size_t k = hex ? 2 : 1; k < name.size() && ok; ++k) {
                const char c = name[k];
                const int d = c >= '0' && c <= '9'          ? c - '0'
                              : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                            : -1;
                ok = d >= 0 && cp < 0x110000;
                cp = cp * (hex ? 16u : 10u) + unsigned(d);
            }
            if (ok && cp > 0 && cp < 0x110000 && !(cp >= 0xD800 && cp <= 0xDFFF)) {
                AppendUtf8(out, cp);
                done = true;
            }
        }
        if (!done) {
            out.append(text.substr(i, semi - i + 1));
        }
        i = semi;
    }
    return out;
}

} // namespace qb::doc

namespace qb::doc::detail {

namespace {
bool WantsSpace(const std::string& s) { return !s.empty() && s.back() != ' '; }
} // namespace

void AppendText(Unit& u, std::string_view text, const std::string& wrapOpen,
                const std::string& wrapClose) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsSpace(c)) {
            if (WantsSpace(u.text)) u.text += ' ';
            continue;
        }
        if (c == '{') {
            std::size_t j = i + 1;
            if (j < text.size() && text[j] == '/') ++j;
            const std::size_t digits = j;
            while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j;
            if (j > digits && j < text.size() && text[j] == '}') {
                Tag t;
                t.open = wrapOpen + std::string(text.substr(i, j + 1 - i)) + wrapClose;
                AppendLone(u, std::move(t));
                i = j;
                continue;
            }
        }
        u.text += c;
    }
}

void AppendLone(Unit& u, Tag tag) {
    tag.paired = false;
    u.tags.push_back(std::move(tag));
    u.text += "{" + std::to_string(u.tags.size()) + "}";
}

std::size_t AppendOpen(Unit& u, Tag tag) {
    tag.paired = true;
    u.tags.push_back(std::move(tag));
    u.text += "{" + std::to_string(u.tags.size()) + "}";
    return u.tags.size();
}

void AppendClose(Unit& u, std::size_t number) { u.text += "{/" + std::to_string(number) + "}"; }

void TrimUnit(Unit& u) {
    while (!u.text.empty() && u.text.back() == ' ') u.text.pop_back();
    std::size_t lead = 0;
    while (lead < u.text.size() && u.text[lead] == ' ') ++lead;
    u.text.erase(0, lead);
}

void FinishUnit(Document& doc, Unit&& u) {
    TrimUnit(u);
    bool content = false;
    for (std::size_t i = 0; i < u.text.size() && !content; ++i) {
        const unsigned char c = static_cast<unsigned char>(u.text[i]);
        if (c == '{') {
            // Only a placeholder is skipped: "{1} {Object}" holds a word to translate.
            const std::size_t close = u.text.find('}', i);
            if (close != std::string::npos && close > i + 1 &&
                u.text.find_first_not_of("/0123456789", i + 1) == close) {
                i = close;
                continue;
            }
        }
        content = c >= 0x80 || (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
    }
    if (content) doc.units.push_back(std::move(u));
}

void AppendWithTags(Unit& u, const std::string& part, std::size_t begin, std::size_t end) {
    std::vector<std::pair<std::string, std::size_t>> open; // tag name, number
    std::size_t pos = begin, textFrom = begin;
    auto flushText = [&](std::size_t to) {
        AppendText(u, std::string_view(part).substr(textFrom, to - textFrom));
    };
    while (pos < end) {
        const char c = part[pos];
        std::size_t close = std::string::npos;
        if (c == '<')
            close = part.find('>', pos);
        else if (c == '{' && pos + 1 < end && part[pos + 1] == '\\')
            close = part.find('}', pos);
        if (close == std::string::npos || close >= end ||
            (c == '<' && !(pos + 1 < end && (std::isalpha(static_cast<unsigned char>(part[pos + 1])) ||
                                             part[pos + 1] == '/')))) {
            ++pos;
            continue;
        }
        flushText(pos);
        Tag t;
        t.openBegin = pos;
        t.openEnd = close + 1;
        std::string name;
        bool closing = false;
        if (c == '<') {
            std::size_t k = pos + 1;
            closing = part[k] == '/';
            if (closing) ++k;
            while (k < close && std::isalnum(static_cast<unsigned char>(part[k])))
                name += char(std::tolower(static_cast<unsigned char>(part[k++])));
        }
        if (closing && !open.empty() && open.back().first == name) {
            Tag& o = u.tags[open.back().second - 1];
            o.closeBegin = pos;
            o.closeEnd = close + 1;
            AppendClose(u, open.back().second);
            open.pop_back();
        } else if (!closing && !name.empty() && part[close - 1] != '/') {
            open.push_back({name, AppendOpen(u, t)});
        } else {
            AppendLone(u, t);
        }
        pos = textFrom = close + 1;
    }
    flushText(end);
    // A tag opened and never closed within the unit stands alone.
    for (auto& [name, n] : open) u.tags[n - 1].paired = false;
}

} // namespace qb::doc::detail
