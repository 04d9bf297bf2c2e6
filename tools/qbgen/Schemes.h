// The sixteen input-scheme tables: readings of the GBK hanzi and the word lists from the Rime
// dictionaries (pinyin_simp, luna_pinyin, wubi86) and Unihan, turned into the four files of
// each scheme (.achr/.mpy: character -> readings; .py/.mchar: code -> candidates).
#pragma once

#include "MyUtils.h"

#include <QString>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace qb::datagen {

// Every GBK double-byte character that is a CJK ideograph, as GBK bytes, with its code point.
struct HanziUniverse {
    std::vector<std::string> gbk;         // in GBK byte order
    std::map<char32_t, std::string> byCp; // code point -> GBK bytes
    static HanziUniverse Build();
    bool Contains(char32_t cp) const { return byCp.count(cp) != 0; }
};
bool IsGb2312Hanzi(std::string_view gbk); // B0A1-F7FE, the first two levels of GB2312

// Rows of a Rime dictionary: the TAB-separated fields of each line after the header line "...";
// comment lines ('#') and blank lines are skipped.
void ForEachRimeRow(std::string_view text,
                    const std::function<void(const std::vector<std::string_view>&)>& row);

struct WeightedText {
    std::string text; // GBK
    long long weight = 0;
    bool weighted = true; // false: readings from luna or Unihan, offered after the weighted ones
};

// Readings of characters and words in full pinyin, gathered from the sources.
struct PinyinData {
    // GBK character -> readings, most frequent first ("行" -> xing, hang).
    std::map<std::string, std::vector<std::pair<std::string, long long>>> charReadings;
    std::map<std::string, bool> charWeighted; // false: readings from luna or Unihan
    struct Word {
        std::string text; // GBK
        std::vector<std::string> syllables;
        long long weight;
    };
    std::vector<Word> words;
    int fromSimp = 0, fromLuna = 0, fromUnihan = 0, fromNfc = 0;
};

// pinyinSimp, luna and unihan are the file contents (Unihan_Readings.txt, uncompressed); luna
// and unihan may be empty.
PinyinData ReadPinyin(const HanziUniverse& u, std::string_view pinyinSimp, std::string_view luna,
                      std::string_view unihan);

// "zhōng" -> "zhong", "lǜ" -> "lv", "lüè" -> "lue".
std::string PlainPinyin(const QString& toned);

struct WubiData {
    std::map<std::string, std::vector<std::string>> charCodes; // all codes, file order
    struct Row {
        std::string text, code;
        long long weight;
    };
    std::vector<Row> rows;
};
WubiData ReadWubi(const HanziUniverse& u, std::string_view wubi86);

// One scheme's four tables, in file order.
struct SchemeFiles {
    StringList achr, mpy, py, mchar;
};

enum class SchemeKind { FullPinyin, Microsoft, Ziranma, Wubi };
SchemeFiles BuildPinyinScheme(const HanziUniverse& u, const PinyinData& p, SchemeKind kind);
SchemeFiles BuildWubiScheme(const HanziUniverse& u, const WubiData& w);
// The full codes of a character among all its Wubi codes: the longest, and any code of three or
// four letters that does not begin a longer one ("中": k kh khk -> khk; "我": q trn trnt -> trnt).
std::vector<std::string> WubiFullCodes(const std::vector<std::string>& codes);

// Orders candidates: weighted before unweighted, weight descending, shorter text, GBK bytes.
bool CandidateBefore(const WeightedText& a, const WeightedText& b);

} // namespace qb::datagen
