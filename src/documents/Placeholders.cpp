#include "Placeholders.h"

#include <cctype>
#include <cstring>

namespace qb::doc {

namespace {

bool IsIdent(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// "%(name)s", "%(count)5.2f", "%(key)r".
std::size_t PythonNamed(std::string_view s, std::size_t i) {
    if (i + 2 >= s.size() || s[i] != '%' || s[i + 1] != '(') return 0;
    std::size_t j = i + 2;
    while (j < s.size() && IsIdent(s[j])) ++j;
    if (j == i + 2 || j >= s.size() || s[j] != ')') return 0;
    ++j;
    while (j < s.size() && std::strchr("-+ #0", s[j])) ++j;
    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
    if (j < s.size() && s[j] == '.') {
        ++j;
        while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
    }
    if (j < s.size() && std::strchr("diouxXeEfFgGcrsa", s[j])) return j + 1 - i;
    return 0;
}

// "{name}", "{0}", "{}", "{user.name}", "{0!r:>10}"; "{{" is a literal brace. Without
// python-brace-format only a name qualifies: "{0}" there is the unit's own placeholder syntax,
// which the readers already keep apart.
std::size_t Brace(std::string_view s, std::size_t i, bool braceFormat) {
    if (s[i] != '{' || (i + 1 < s.size() && s[i + 1] == '{') || (i > 0 && s[i - 1] == '{'))
        return 0;
    std::size_t j = i + 1;
    const std::size_t start = j;
    while (j < s.size() && (IsIdent(s[j]) || s[j] == '.' || s[j] == '[' || s[j] == ']')) ++j;
    const std::string_view field = s.substr(start, j - start);
    if (!braceFormat) {
        if (field.empty() || std::isdigit(static_cast<unsigned char>(field[0]))) return 0;
        return j < s.size() && s[j] == '}' ? j + 1 - i : 0;
    }
    if (j < s.size() && s[j] == '!') {
        ++j;
        if (j < s.size() && IsIdent(s[j])) ++j;
    }
    if (j < s.size() && s[j] == ':') {
        while (j < s.size() && s[j] != '}' && s[j] != '{' && j - i < 64) ++j;
    }
    return j < s.size() && s[j] == '}' ? j + 1 - i : 0;
}

// "%1" .. "%99", "%L1".
std::size_t QtArg(std::string_view s, std::size_t i) {
    if (s[i] != '%') return 0;
    std::size_t j = i + 1;
    if (j < s.size() && s[j] == 'L') ++j;
    const std::size_t digits = j;
    while (j < s.size() && j - digits < 2 && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
    if (j == digits || s[digits] == '0') return 0;
    return j - i;
}

// "<b>", "</b>", "<br/>", "<a href=\"x\">"; "a < b" and "<3" are text.
std::size_t HtmlTag(std::string_view s, std::size_t i) {
    if (s[i] != '<' || i + 1 >= s.size()) return 0;
    std::size_t j = i + 1;
    if (s[j] == '/') ++j;
    if (j >= s.size() || !std::isalpha(static_cast<unsigned char>(s[j]))) return 0;
    while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '-')) ++j;
    if (j < s.size() && !std::isspace(static_cast<unsigned char>(s[j])) && s[j] != '/' && s[j] != '>')
        return 0;
    char quote = 0;
    for (; j < s.size() && j - i < 512; ++j) {
        const char c = s[j];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return j + 1 - i;
        } else if (c == '<') {
            return 0;
        }
    }
    return 0;
}

} // namespace

std::size_t PrintfDirective(std::string_view s, std::size_t i) {
    if (s[i] != '%' || i + 1 >= s.size()) return 0;
    std::size_t j = i + 1;
    if (s[j] == '%') return 2;
    auto digits = [&] {
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j;
    };
    const std::size_t save = j;
    digits();
    if (j < s.size() && s[j] == '$' && j > save)
        ++j;
    else
        j = save;
    while (j < s.size() && std::strchr("-+ #0'I", s[j])) ++j;
    if (j < s.size() && s[j] == '*')
        ++j;
    else
        digits();
    if (j < s.size() && s[j] == '.') {
        ++j;
        if (j < s.size() && s[j] == '*')
            ++j;
        else
            digits();
    }
    while (j < s.size() && std::strchr("hlLqjzZt", s[j])) ++j;
    if (j < s.size() && std::strchr("diouxXeEfFgGaAcspnm", s[j])) return j + 1 - i;
    return 0;
}

unsigned FormatFlagsOf(std::string_view line) {
    unsigned flags = 0;
    static constexpr struct {
        std::string_view name;
        unsigned flag;
    } kNames[] = {{"c-format", kCFormat},
                  {"python-format", kPythonFormat},
                  {"python-brace-format", kPythonBraceFormat},
                  {"qt-format", kQtFormat}};
    // The flags are comma-separated words after "#,".
    std::size_t i = line.starts_with("#,") ? 2 : 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == ',' || line[i] == '\t')) ++i;
        std::size_t j = i;
        while (j < line.size() && line[j] != ',' && line[j] != ' ' && line[j] != '\r' &&
               line[j] != '\n' && line[j] != '\t')
            ++j;
        const std::string_view word = line.substr(i, j - i);
        for (const auto& n : kNames)
            if (word == n.name) flags |= n.flag;
        i = j == i ? j + 1 : j;
    }
    return flags;
}

std::size_t PlaceholderAt(std::string_view s, std::size_t i, unsigned flags) {
    if (i >= s.size()) return 0;
    switch (s[i]) {
    case '%': {
        if (std::size_t n = PythonNamed(s, i)) return n;
        if (flags & kQtFormat)
            if (std::size_t n = QtArg(s, i)) return n;
        if (flags & (kCFormat | kPythonFormat)) return PrintfDirective(s, i);
        return 0;
    }
    case '{': return Brace(s, i, (flags & kPythonBraceFormat) != 0);
    case '<': return HtmlTag(s, i);
    default: return 0;
    }
}

std::size_t PlaceholderAt(std::string_view s, std::size_t i, std::string_view flagsLine) {
    return PlaceholderAt(s, i, flagsLine.empty() ? 0u : FormatFlagsOf(flagsLine));
}

bool IsPositionalOnly(std::string_view p) {
    if (p.size() < 2 || p[0] != '%' || p == "%%" || p[1] == '(') return false;
    std::size_t j = 1;
    while (j < p.size() && std::isdigit(static_cast<unsigned char>(p[j]))) ++j;
    if (j < p.size() && p[j] == '$') return false; // "%1$s"
    if (j == p.size() && j > 1) return false;      // Qt's "%1"
    if (p[1] == 'L' && p.size() > 2 && std::isdigit(static_cast<unsigned char>(p[2]))) return false;
    return true;
}

} // namespace qb::doc
