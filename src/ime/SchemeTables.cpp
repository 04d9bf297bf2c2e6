// the input-scheme tables and the abbreviation codes of a word.
#include "SchemeTables.h"

#include <algorithm>
#include <unordered_set>

namespace qb {

void SchemeTables::Clear() {
    CharKeys.clear();
    CharCodes.clear();
    CodeKeys.clear();
    CodeWords.clear();
}

const std::array<SchemeInfo, 4>& Schemes() {
    // Labels in GBK: 全拼 C8AB C6B4, 双拼 CBAB C6B4, 自然 D7D4 C8BB, 五笔 CEE5 B1CA.
    static const std::array<SchemeInfo, 4> schemes = {{
        {1, "\xC8\xAB\xC6\xB4", "quanpinIme", "useQp"},
        {2, "\xCB\xAB\xC6\xB4", "winsp", "useSp"},
        {3, "\xD7\xD4\xC8\xBB", "zrmwin", "useZr"},
        {4, "\xCE\xE5\xB1\xCA", "wb", "useWb"},
    }};
    return schemes;
}

StringList ReadTableLines(std::string_view bytes) { return SplitLines(bytes); }

void LoadScheme(SchemeTables& tables, const std::string& folder, std::string_view stem, bool on) {
    if (!on) {
        tables.Clear();
        return;
    }
    // Only CharKeys is tested: a scheme left half-loaded by a failed read stays so until it is
    // switched off and on again.
    if (!tables.CharKeys.empty()) return;
    const std::string base = folder + std::string(stem);
    // Each list is replaced only once its file has been read whole; a file that cannot be opened
    // throws and leaves that list and the later ones as they were.
    tables.CharKeys = ReadTableLines(ReadWholeFile(base + ".achr"));
    tables.CharCodes = ReadTableLines(ReadWholeFile(base + ".mpy"));
    tables.CodeKeys = ReadTableLines(ReadWholeFile(base + ".py"));
    tables.CodeWords = ReadTableLines(ReadWholeFile(base + ".mchar"));
}

// Worked example: 银行 with 银 "yin" and 行 "xing hang" gives [yx, yh]; 行行 gives
// [xx, hx, xh, hh]. Keeping duplicates (a character with the readings zhong and zhuo
// would double every code); here each step keeps the first occurrence only, which leaves the
// order of the distinct codes unchanged and bounds the work by 26^n instead of the product of
// all reading counts.
void GetWordCodes(std::string_view word, StringList& codes, const StringList& charKeys,
                  const StringList& charCodes) {
    codes.clear();
    StringList result;
    StringList previous;
    std::unordered_set<std::string> seen;
    int n = 0;
    std::size_t i = 0;
    while (i + 1 < word.size()) { // a lead byte in the very last position is never taken
        const auto b = static_cast<unsigned char>(word[i]);
        if (!IsLeadByte(b)) {
            ++i;
            continue;
        }
        const std::string_view ch = word.substr(i, 2);
        i += 2;
        std::size_t index = 0;
        if (!SortedFind(charKeys, ch, index) || index >= charCodes.size()) continue;

        previous.swap(result);
        if (previous.empty()) previous.emplace_back();
        result.clear();
        seen.clear();
        const std::string& line = charCodes[index];
        // Readings are separated by single spaces; the first byte of each is its initial.
        std::size_t start = 0;
        while (start <= line.size()) {
            std::size_t end = line.find(' ', start);
            if (end == std::string::npos) end = line.size();
            if (end > start) { // an empty reading (malformed line) contributes nothing
                const char initial = line[start];
                for (const std::string& q : previous) {
                    std::string code = q;
                    code.push_back(initial);
                    if (seen.insert(code).second) result.push_back(std::move(code));
                }
            }
            start = end + 1;
        }
        if (result.empty()) result.swap(previous); // a line with no reading changes nothing
        ++n;
        if (n > 11) break; // at most 12 characters take part
    }
    // `previous` may hold the single empty seed when every reading line was empty.
    if (result.size() == 1 && result.front().empty()) result.clear();
    codes = std::move(result);
}

} // namespace qb

namespace qb {

void GetWordSpellings(std::string_view word, StringList& codes, const StringList& charKeys,
                      const StringList& charCodes, std::size_t limit) {
    codes.clear();
    if (word.empty() || word.size() > 2 * kMaxSpelledChars) return;
    StringList result{std::string()};
    StringList next;
    for (std::size_t i = 0; i < word.size(); i += 2) {
        std::size_t index = 0;
        if (!IsLeadByte(static_cast<unsigned char>(word[i])) || i + 1 >= word.size() ||
            !SortedFind(charKeys, word.substr(i, 2), index) || index >= charCodes.size())
            return; // a letter, a symbol or a character the scheme cannot type
        next.clear();
        const std::string& line = charCodes[index];
        for (const std::string& prefix : result) {
            std::size_t start = 0;
            while (start <= line.size() && next.size() < limit) {
                std::size_t end = line.find(' ', start);
                if (end == std::string::npos) end = line.size();
                if (end > start) {
                    std::string code = prefix;
                    code.append(line, start, end - start);
                    if (std::find(next.begin(), next.end(), code) == next.end())
                        next.push_back(std::move(code));
                }
                start = end + 1;
            }
        }
        if (next.empty()) return;
        result.swap(next);
    }
    codes = std::move(result);
}

} // namespace qb
