// Full pinyin syllable -> double-pinyin key pair, for the two schemes we ship: 双拼 (the
// Microsoft layout, tables "winsp") and 自然 (Ziranma, tables "zrmwin").
#pragma once

#include <string>
#include <string_view>

namespace qb::datagen {

enum class DoubleScheme { Microsoft, Ziranma };

// Syllables are written as the pinyin sources write them: lower case, ü as v ("lv", "nv"),
// üe as ue ("lue"; "lve" is accepted too). Returns the two-key code ("zhong" -> "vs",
// "ying" -> "y;" (Microsoft) / "yy" (Ziranma), "ai" -> "ol" / "ai"), or an empty text for a
// syllable that has no code in the scheme (m, n, ng, hm, hng, ê and anything unknown).
std::string DoublePinyinCode(std::string_view syllable, DoubleScheme scheme);

// "lve" -> "lue", "nve" -> "nue"; other syllables unchanged.
std::string NormalizeSyllable(std::string_view syllable);

} // namespace qb::datagen
