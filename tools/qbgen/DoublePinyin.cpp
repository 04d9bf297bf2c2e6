#include "DoublePinyin.h"

#include <array>
#include <utility>

namespace qb::datagen {

namespace {

struct FinalKey {
    std::string_view final;
    char microsoft;
    char ziranma;
};

// The final of a syllable with an initial (y and w count as initials) -> its key. After j, q,
// x and y, "u" is ü but stays "u" in both spelling and key (ju, xu, yu); ü after l and n is
// written v. "o" in "lo" and "uo" share the key o, so "lo" and "luo" give the same code, as in
// the schemes themselves.
// clang-format off
constexpr std::array<FinalKey, 33> kFinals = {{
    {"a", 'a', 'a'},    {"o", 'o', 'o'},     {"e", 'e', 'e'},    {"i", 'i', 'i'},
    {"u", 'u', 'u'},    {"v", 'y', 'v'},     {"ai", 'l', 'l'},   {"ei", 'z', 'z'},
    {"ao", 'k', 'k'},   {"ou", 'b', 'b'},    {"an", 'j', 'j'},   {"en", 'f', 'f'},
    {"ang", 'h', 'h'},  {"eng", 'g', 'g'},   {"ong", 's', 's'},  {"iong", 's', 's'},
    {"ia", 'w', 'w'},   {"ua", 'w', 'w'},    {"ie", 'x', 'x'},   {"iao", 'c', 'c'},
    {"iu", 'q', 'q'},   {"ian", 'm', 'm'},   {"in", 'n', 'n'},   {"iang", 'd', 'd'},
    {"uang", 'd', 'd'}, {"ing", ';', 'y'},   {"uai", 'y', 'y'},  {"uo", 'o', 'o'},
    {"ui", 'v', 'v'},   {"uan", 'r', 'r'},   {"van", 'r', 'r'},  {"un", 'p', 'p'},
    {"vn", 'p', 'p'},
}};
// clang-format on

char FinalFor(std::string_view fin, DoubleScheme s) {
    if (fin == "ue" || fin == "ve") return 't';
    for (const FinalKey& f : kFinals)
        if (f.final == fin) return s == DoubleScheme::Microsoft ? f.microsoft : f.ziranma;
    return 0;
}

// Syllables without an initial: a o e ai ei ao ou an en ang eng er.
std::string ZeroInitial(std::string_view syl, DoubleScheme s) {
    static constexpr std::array<std::string_view, 12> kZero = {
        "a", "o", "e", "ai", "ei", "ao", "ou", "an", "en", "ang", "eng", "er"};
    bool known = false;
    for (std::string_view z : kZero) known = known || z == syl;
    if (!known) return {};
    if (s == DoubleScheme::Microsoft) {
        // 'o' then the final's key: a=oa, ai=ol, er=or, ang=oh.
        char k = syl == "er" ? 'r' : syl.size() == 1 ? syl[0] : FinalFor(syl, s);
        return std::string{'o', k};
    }
    // Ziranma: one letter doubled (a=aa), two letters as written (ai, er), three letters as
    // the first letter and the final's key (ang=ah, eng=eg).
    if (syl.size() == 1) return std::string(2, syl[0]);
    if (syl.size() == 2) return std::string(syl);
    return std::string{syl[0], FinalFor(syl, s)};
}

} // namespace

std::string NormalizeSyllable(std::string_view syl) {
    if (syl == "lve") return "lue";
    if (syl == "nve") return "nue";
    return std::string(syl);
}

std::string DoublePinyinCode(std::string_view syllable, DoubleScheme scheme) {
    std::string syl = NormalizeSyllable(syllable);
    if (syl.empty()) return {};
    for (char c : syl)
        if (c < 'a' || c > 'z') return {};
    char initial = 0;
    std::string_view rest = syl;
    if (syl.size() >= 2 && syl[1] == 'h' && (syl[0] == 'z' || syl[0] == 'c' || syl[0] == 's')) {
        initial = syl[0] == 'z' ? 'v' : syl[0] == 'c' ? 'i' : 'u';
        rest.remove_prefix(2);
    } else if (std::string_view("bpmfdtnlgkhjqxrzcsyw").find(syl[0]) != std::string_view::npos) {
        initial = syl[0];
        rest.remove_prefix(1);
    }
    if (!initial) return ZeroInitial(syl, scheme);
    if (rest.empty()) return {}; // m, n, hm: no final, no code
    if (rest == "er") return {}; // er takes no initial
    char f = FinalFor(rest, scheme);
    if (!f) return {};
    return std::string{initial, f};
}

} // namespace qb::datagen
