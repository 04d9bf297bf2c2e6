// The four in-memory tables of one input scheme and the computations that run on them.
// Plain C++ over GBK byte strings: no Qt.
#pragma once

#include "MyUtils.h"

#include <array>
#include <string>
#include <string_view>

namespace qb {

struct SchemeTables {
    StringList CharKeys;  // .achr: one character per line, ascending in text order
    StringList CharCodes; // .mpy: readings of that character, single-space separated
    StringList CodeKeys;  // .py: one typable code per line, ascending in text order
    StringList CodeWords; // .mchar: ";"-separated candidates of that code
    void Clear();
};

// The input schemes by the ids the settings keep (Pos1..Pos4 hold them, in the user's order) and
// the scheme dialog lists: 双拼 is the MS double-pinyin layout, 自然 the Ziranma one.
enum SchemeId : int { kQuanpin = 1, kShuangpin = 2, kZiranma = 3, kWubi = 4 };

struct SchemeInfo {
    int id;                  // a SchemeId
    const char* label;       // GBK caption shown in the scheme dialog
    const char* stem;        // file stem beside the program: stem + ".achr" ...
    const char* settingName; // value name in [inisetup]
};
// Indexed by id - 1.
const std::array<SchemeInfo, 4>& Schemes();
// The fixed order in which tables are loaded and word codes are computed: 全拼, 自然, 双拼, 五笔.
inline constexpr std::array<int, 4> kLoadOrder = {kQuanpin, kZiranma, kShuangpin, kWubi};

// Records of one table file: lines as the lexicon files cut them, nothing trimmed.
StringList ReadTableLines(std::string_view bytes);

// Brings one scheme's tables into line with its switch: on and CharKeys empty -> read the four
// files folder + stem + ext in the order .achr .mpy .py .mchar (a failure throws "Cannot open
// file <path>" and leaves what was read so far); off -> empty all four lists.
void LoadScheme(SchemeTables& tables, const std::string& folder, std::string_view stem, bool on);

// Abbreviation codes of a GBK word in one scheme: the first letters of one reading per
// character, at most 12 characters; distinct codes, first occurrence kept.
void GetWordCodes(std::string_view word, StringList& codes, const StringList& charKeys,
                  const StringList& charCodes);

// Full codes of a GBK word in one scheme: one reading of each character joined, every
// combination up to `limit` codes in reading order. 银行 with 银 "yin" and 行 "xing hang" gives
// yinxing, yinhang. Nothing for a word with a letter, a symbol or a character the scheme does
// not read, or longer than kMaxSpelledChars characters.
inline constexpr std::size_t kMaxSpelledChars = 8;
void GetWordSpellings(std::string_view word, StringList& codes, const StringList& charKeys,
                      const StringList& charCodes, std::size_t limit = 16);

} // namespace qb
