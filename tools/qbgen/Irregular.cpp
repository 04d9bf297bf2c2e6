#include "Irregular.h"

#include <unordered_set>

namespace qb::datagen {

namespace {

bool AllLetters(std::string_view w) {
    if (w.empty()) return false;
    for (char c : w)
        if (c < 'a' || c > 'z') return false;
    return true;
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        std::size_t e = i;
        while (e < line.size() && line[e] != ' ' && line[e] != '\t' && line[e] != '\r') ++e;
        if (e > i) out.push_back(line.substr(i, e - i));
        i = e;
    }
    return out;
}

} // namespace

StringList IrregularForms(const std::vector<std::string_view>& lists) {
    // Modal verbs and two Latin plurals that the exception lists do not carry.
    static constexpr std::string_view kExtra[][2] = {
        {"could", "can"},  {"would", "will"},         {"should", "shall"},
        {"algae", "alga"}, {"bacteria", "bacterium"}, {"furthest", "far"}};
    StringList out;
    std::unordered_set<std::string> seen;
    auto add = [&](std::string_view form, std::string_view base) {
        if (!AllLetters(form) || !seen.insert(std::string(form)).second) return;
        out.push_back(std::string(form) + "^" + std::string(base) + "^");
    };
    for (std::string_view text : lists) {
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t e = text.find('\n', pos);
            if (e == std::string_view::npos) e = text.size();
            std::vector<std::string_view> w = Words(text.substr(pos, e - pos));
            pos = e + 1;
            if (w.size() < 2) continue;
            for (std::size_t k = 1; k < w.size(); ++k) {
                if (w[k].find('_') != std::string_view::npos || w[k] == w[0]) continue;
                add(w[0], w[k]);
                break;
            }
        }
    }
    for (const auto& x : kExtra) add(x[0], x[1]);
    return out;
}

} // namespace qb::datagen
