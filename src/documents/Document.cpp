#include "Document.h"

#include "Filter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace qb::doc {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

} // namespace

std::size_t TagRef(std::string_view t, std::size_t i, std::size_t& n, bool& closing) {
    if (t[i] != '{') return 0;
    std::size_t j = i + 1;
    closing = j < t.size() && t[j] == '/';
    if (closing) ++j;
    n = 0;
    const std::size_t start = j;
    while (j < t.size() && j - start < 6 && t[j] >= '0' && t[j] <= '9')
        n = n * 10 + std::size_t(t[j++] - '0');
    if (j == start || j >= t.size() || t[j] != '}') return 0;
    return j + 1 - i;
}

Document Read(Format format, std::string_view bytes, const Limits& limits, const Progress& progress) {
    if (bytes.size() > limits.maxFileBytes)
        throw DocError("文件太大（" + std::to_string(bytes.size() >> 20) + " MB），超过 " +
                       std::to_string(limits.maxFileBytes >> 20) + " MB 的上限");
    Document doc;
    doc.format = format;
    doc.original = std::string(bytes);
    format.filter().Read(doc, limits, progress);
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
        std::size_t n = 0;
        bool closing = false;
        if (const std::size_t len = TagRef(text, i, n, closing)) {
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
            i += len;
            continue;
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
    std::string out = doc.format.filter().Write(doc, translations, r);
    if (report) *report = r;
    return out;
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
        std::size_t n = 0;
        bool closing = false;
        if (const std::size_t len = TagRef(text, i, n, closing)) {
            Tag t;
            t.open = wrapOpen + std::string(text.substr(i, len)) + wrapClose;
            AppendLone(u, std::move(t));
            i += len - 1;
            continue;
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

bool FinishUnit(Document& doc, Unit&& u) {
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
    return content;
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

std::vector<std::vector<Edit>>
TranslationEdits(const Document& doc, const std::vector<std::optional<std::string>>& translations,
                 WriteReport& r) {
    std::vector<std::vector<Edit>> edits(doc.parts.size());
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
        Edit e;
        e.begin = u.begin;
        e.end = u.end;
        e.unit = i;
        e.pieces = std::move(*pieces);
        edits[u.part].push_back(std::move(e));
    }
    return edits;
}

bool AnyEdit(const std::vector<std::vector<Edit>>& edits) {
    return std::any_of(edits.begin(), edits.end(), [](const auto& e) { return !e.empty(); });
}

namespace {

class Renderer {
public:
    Renderer(const Document& doc, const std::string& text, std::vector<Edit> edits,
             const UnitWriter& writer)
        : doc_(doc), text_(text), edits_(std::move(edits)), writer_(writer) {
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

    std::string Replacement(const Edit& e) const {
        if (e.unit == kNoRange) return e.literal;
        const Unit& u = doc_.units[e.unit];
        std::string body;
        std::vector<std::size_t> open; // tags opened, innermost last
        for (const Piece& p : e.pieces) {
            const Tag* t = p.tag ? &u.tags[p.tag - 1] : nullptr;
            switch (p.kind) {
            case Piece::Text: body += writer_.Text(e.unit, open, p.text); break;
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
        return writer_.Whole(e.unit, std::move(body), text_, e.end);
    }

    const Document& doc_;
    const std::string& text_;
    std::vector<Edit> edits_;
    const UnitWriter& writer_;
};

} // namespace

std::vector<std::optional<std::string>>
Splice(const Document& doc, std::vector<std::vector<Edit>> edits, const UnitWriter& writer) {
    std::vector<std::optional<std::string>> rendered(doc.parts.size());
    for (std::size_t p = 0; p < doc.parts.size() && p < edits.size(); ++p) {
        if (edits[p].empty()) continue;
        const std::string& text = doc.parts[p].text;
        Renderer renderer(doc, text, std::move(edits[p]), writer);
        rendered[p] = renderer.Range(0, text.size());
    }
    return rendered;
}

} // namespace qb::doc::detail
