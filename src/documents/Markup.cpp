#include "Markup.h"

#include <algorithm>
#include <cctype>

namespace qb::doc {

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

// "#x4e2d", "#20013": the character, or false for a number that is none (0, a surrogate,
// past U+10FFFF).
bool Numeric(std::string_view name, std::string& out) {
    if (name.size() < 2 || name[0] != '#') return false;
    const bool hex = name[1] == 'x' || name[1] == 'X';
    if (hex && name.size() < 3) return false;
    unsigned cp = 0;
    for (std::size_t k = hex ? 2 : 1; k < name.size(); ++k) {
        const char c = name[k];
        const int d = c >= '0' && c <= '9'          ? c - '0'
                      : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                    : -1;
        if (d < 0 || cp >= 0x110000) return false;
        cp = cp * (hex ? 16u : 10u) + unsigned(d);
    }
    if (cp == 0 || cp >= 0x110000 || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    AppendUtf8(out, cp);
    return true;
}

} // namespace

std::string MarkupEscape(std::string_view s, char quote, const References* refs) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        const std::string_view ch = s.substr(i, n);
        i += n;
        if (refs && !refs->empty()) {
            auto it = std::find_if(refs->begin(), refs->end(),
                                   [&](const auto& r) { return r.first == ch; });
            if (it != refs->end()) {
                out += it->second;
                continue;
            }
        }
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += quote == '"' ? "&quot;" : "\""; break;
        case '\'': out += quote == '\'' ? "&#39;" : "'"; break;
        default: out.append(ch);
        }
    }
    return out;
}

std::string MarkupUnescape(std::string_view text, Markup markup, References* refs) {
    static const struct {
        std::string_view name;
        char c;
    } kXml[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        std::size_t e = i + 1;
        while (e < text.size() && e - i < 40 &&
               (std::isalnum(static_cast<unsigned char>(text[e])) || (e == i + 1 && text[e] == '#')))
            ++e;
        if (e >= text.size() || text[e] != ';' || e == i + 1) {
            out += '&';
            continue;
        }
        const std::string_view ref = text.substr(i, e + 1 - i);
        const std::string_view name = ref.substr(1, ref.size() - 2);
        std::string value;
        if (!Numeric(name, value)) {
            for (const auto& k : kXml)
                if (name == k.name) value = k.c;
            if (value.empty() && markup == Markup::Html && name[0] != '#')
                value = detail::NamedReference(std::string(ref));
        }
        if (value.empty()) {
            out.append(ref);
        } else {
            out += value;
            if (refs && std::none_of(refs->begin(), refs->end(),
                                     [&](const auto& r) { return r.first == value; }))
                refs->emplace_back(value, std::string(ref));
        }
        i = e;
    }
    return out;
}

} // namespace qb::doc
