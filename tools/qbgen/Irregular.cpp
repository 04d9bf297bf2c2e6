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
    StringList w;
    for (std::string_view text : lists) {
        qb::ForEachLine(text, [&](std::string_view line) {
            qb::SplitString(line, " ", w);
            for (std::size_t k = 1; k < w.size(); ++k) {
                if (w[k].find('_') != std::string::npos || w[k] == w[0]) continue;
                add(w[0], w[k]);
                break;
            }
        });
    }
    for (const auto& x : kExtra) add(x[0], x[1]);
    return out;
}

} // namespace qb::datagen
