// candidate lookup and the pure parts of paging and picking.
#include "CandidateLookup.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <unordered_set>

namespace qb {

namespace {

// Calls fn(piece) for each ";"-separated piece of `line`, empty pieces dropped. Returns the number
// of pieces.
template <typename Fn>
int ForEachPiece(std::string_view line, Fn&& fn) {
    int count = 0;
    std::size_t start = 0;
    while (start <= line.size()) {
        std::size_t end = line.find(';', start);
        if (end == std::string_view::npos) end = line.size();
        if (end > start) {
            fn(line.substr(start, end - start));
            ++count;
        }
        start = end + 1;
    }
    return count;
}

bool StartsWithBytes(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// Hash of a text in text order: single-byte 'A'-'Z' folded to small letters, double-byte
// characters (whose trail byte may be a letter code: 乑 is 81 5A) taken as they are.
std::uint64_t TextOrderHash(std::string_view text, std::uint64_t h = 1469598103934665603ull) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto b = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(b) && i + 1 < text.size()) {
            h = (h ^ b) * 1099511628211ull;
            b = static_cast<unsigned char>(text[++i]);
        } else if (b >= 'A' && b <= 'Z') {
            b = static_cast<unsigned char>(b + 32);
        }
        h = (h ^ b) * 1099511628211ull;
    }
    return h;
}

bool TextOrderEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && (a == b || TextCompare(a, b) == 0);
}

// The full-pinyin table spells lüe and nüe as lue and nue; typists write lve and nve as well
// (v for ü, as in lv 绿). No syllable ends in l or n before a syllable that starts with v, so
// "lve" in a full-pinyin code is always lüe: "celve" finds 策略 under celue.
std::string_view FullPinyinSpelling(std::string_view code, std::string& buffer) {
    if (code.find("ve") == std::string_view::npos) return code;
    buffer.assign(code);
    bool changed = false;
    for (std::size_t i = 1; i + 1 < buffer.size(); ++i)
        if (buffer[i] == 'v' && buffer[i + 1] == 'e' && (buffer[i - 1] == 'l' || buffer[i - 1] == 'n')) {
            buffer[i] = 'u';
            changed = true;
        }
    return changed ? std::string_view(buffer) : code;
}

// A row as the merge compares it: its text, and for a prefix row the rest of the longer code,
// so that 中 and 中...ong both stay while 中...ong of two schemes is listed once.
struct RowKey {
    std::string_view text;
    bool prefix = false;
    std::string_view codeRest;
};

RowKey KeyOf(const CandidateRow& row) { return {row.text, row.prefix, row.codeRest}; }

} // namespace

// AppendDistinct over one whole merge: every row drawn equal in text order to an earlier one is
// dropped. An open-addressing table of indices into the rows keeps it linear and free of
// allocations, so merging a crowded code ("yi": about 400 candidates in each of three pinyin
// schemes) stays far below the 100 microseconds of a key press's lookup.
class CandidateLookup::Merger {
public:
    Merger(CandidateRows& rows, std::vector<std::uint32_t>& slots, std::size_t expected)
        : rows_(rows), slots_(slots) {
        std::size_t size = 64;
        while (size < 2 * (expected + rows.size())) size *= 2;
        slots_.assign(size, kEmptySlot);
        mask_ = size - 1;
    }
    // Reserves the place of a row with this key: false when an equal row is listed already.
    // After true the caller appends the row.
    bool Claim(const RowKey& key) {
        const std::size_t slot = Find(key);
        if (slots_[slot] != kEmptySlot) return false;
        slots_[slot] = static_cast<std::uint32_t>(rows_.size());
        return true;
    }
    // A table's hits as rows; simplifiedOnly leaves out words with GBK's traditional forms.
    // At most `limit` rows are added; the number added is returned.
    std::size_t AppendHits(const TableHits& hits, bool prefix, CandidateOrigin origin,
                           std::size_t codeLength, bool simplifiedOnly, int source = 0,
                           std::size_t limit = SIZE_MAX);

private:
    static constexpr std::uint32_t kEmptySlot = 0xFFFFFFFFu;
    std::size_t Find(const RowKey& key) const {
        std::uint64_t h = TextOrderHash(key.text);
        if (key.prefix) h = TextOrderHash(key.codeRest, TextOrderHash(kPrefixMark, h));
        std::size_t slot = static_cast<std::size_t>(h) & mask_;
        while (slots_[slot] != kEmptySlot && !Equal(KeyOf(rows_[slots_[slot]]), key))
            slot = (slot + 1) & mask_;
        return slot;
    }
    static bool Equal(const RowKey& a, const RowKey& b) {
        return a.prefix == b.prefix && TextOrderEqual(a.text, b.text) &&
               (!a.prefix || TextOrderEqual(a.codeRest, b.codeRest));
    }

    CandidateRows& rows_;
    std::vector<std::uint32_t>& slots_;
    std::size_t mask_ = 0;
};

void FindTableHits(std::string_view code, const StringList& keys, const StringList& words,
                   TableHits& exactHits, TableHits& prefixHits) {
    exactHits.clear();
    prefixHits.clear();
    std::size_t p = 0;
    const bool found = SortedFind(keys, code, p);
    std::size_t index = p;
    if (found) {
        if (p < words.size())
            ForEachPiece(words[p], [&](std::string_view w) { exactHits.push_back({w, {}}); });
        index = p + 1;
    }
    // Worked example (code found at p = "zh"): keys zh, zha, zhai, ... are taken while they begin
    // with zh; the first key after them that does not ends the scan (its index exceeds p by more
    // than 1). Right after the search position one key (found) or two keys (not found, the key
    // at p itself and the next) that do not begin with the code are passed over, which lets the
    // scan step over an entry placed between them by the case-insensitive order.
    int c = 0;
    for (; index < keys.size(); ++index) {
        if (c >= kPrefixLimit || index >= words.size()) break;
        const std::string& key = keys[index];
        if (StartsWithBytes(key, code)) {
            const std::string_view rest = std::string_view(key).substr(code.size(), kMaxCodeRest);
            c += ForEachPiece(words[index], [&](std::string_view w) {
                prefixHits.push_back({w, rest});
            });
        } else if (index > p + 1) {
            break;
        }
    }
}

void LookupCodeTable(std::string_view code, const StringList& keys, const StringList& words,
                     StringList& exactHits, StringList& prefixHits) {
    TableHits exact, prefix;
    FindTableHits(code, keys, words, exact, prefix);
    exactHits.clear();
    prefixHits.clear();
    for (const TableHit& h : exact) exactHits.emplace_back(h.word);
    for (const TableHit& h : prefix) {
        std::string drawn(h.word);
        drawn.append(kPrefixMark);
        drawn.append(h.codeRest);
        prefixHits.push_back(std::move(drawn));
    }
}

std::string DrawnRow(const CandidateRow& row) {
    if (!row.prefix) return row.text;
    std::string drawn = row.text;
    drawn.append(kPrefixMark);
    drawn.append(row.codeRest);
    return drawn;
}

namespace {

// GB2312 holds the simplified characters (and the symbols) of a zh_CN text; GBK's further
// characters are mostly traditional forms (裝 狀 壯) and rare ones. A table word with one of them
// is left out of the list in its likelihood order, as a zh_CN input method does.
bool InGb2312(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (!IsLeadByte(b)) continue;
        if (i + 1 >= text.size()) return false;
        const auto t = static_cast<unsigned char>(text[++i]);
        if (b < 0xA1 || b > 0xF7 || t < 0xA1 || t > 0xFE) return false;
    }
    return true;
}

// Log10 likelihood a scheme gives up for each position it stands after the first enabled
// pinyin scheme in SchemeOrder.
constexpr float kSchemeOrderMargin = 0.5f;

// The code a pick of the first `covered` bytes leaves to compose. 全拼's apostrophe only
// separates syllables: "xi'an" picked as 西 leaves "an".
std::string_view RestAfter(std::string_view code, std::size_t covered) {
    std::string_view rest = code.substr(std::min(covered, code.size()));
    while (!rest.empty() && rest.front() == '\'') rest.remove_prefix(1);
    return rest;
}

} // namespace

std::size_t CandidateLookup::Merger::AppendHits(const TableHits& hits, bool prefix,
                                                CandidateOrigin origin, std::size_t codeLength,
                                                bool simplifiedOnly, int source, std::size_t limit) {
    std::size_t added = 0;
    for (const TableHit& hit : hits) {
        if (added >= limit) break;
        if (simplifiedOnly && !InGb2312(hit.word)) continue;
        if (!Claim({hit.word, prefix, hit.codeRest})) continue;
        CandidateRow& row = rows_.emplace_back();
        row.text.assign(hit.word);
        row.codeLength = codeLength;
        row.origin = origin;
        row.prefix = prefix;
        row.source = source;
        if (prefix) row.codeRest.assign(hit.codeRest);
        ++added;
    }
    return added;
}

void SchemeUsage::Credit(int scheme) {
    if (scheme < 1 || scheme > 4) return;
    for (float& p : picks_) p *= kPickFade;
    picks_[std::size_t(scheme - 1)] += 1.0f;
}

bool SchemeUsage::Inferred() const {
    for (float p : picks_)
        if (p >= kLeadPicks) return true;
    return false;
}

std::array<bool, 4> SchemeUsage::Leading(const std::array<bool, 4>& use,
                                         const std::array<int, 4>& order) const {
    float most = 0;
    for (std::size_t i = 0; i < 4; ++i)
        if (use[i]) most = std::max(most, picks_[i]);
    std::array<bool, 4> lead{};
    bool any = false;
    for (std::size_t i = 0; i < 4; ++i) {
        lead[i] = use[i] && picks_[i] >= kLeadPicks && 2 * picks_[i] >= most;
        any = any || lead[i];
    }
    if (any) return lead;
    for (int id : order)
        if (id >= 1 && id <= 4 && use[std::size_t(id - 1)]) {
            lead[std::size_t(id - 1)] = true;
            return lead;
        }
    return {true, true, true, true}; // nothing enabled: nothing to choose between
}

std::string SchemeUsage::Save() const {
    std::string out;
    for (std::size_t i = 0; i < 4; ++i) {
        if (i) out += ',';
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.3g", double(picks_[i]));
        out += buf;
    }
    return out;
}

SchemeUsage SchemeUsage::Load(std::string_view text) {
    SchemeUsage u;
    const std::string s(text);
    const char* p = s.c_str();
    for (std::size_t i = 0; i < 4; ++i) {
        char* end = nullptr;
        const float v = std::strtof(p, &end);
        if (end == p || !(v >= 0 && v < 1e6f)) return {};
        u.picks_[i] = v;
        p = end;
        if (i < 3) {
            if (*p != ',') return {};
            ++p;
        }
    }
    if (*p != '\0') return {};
    return u;
}

void CandidateLookup::LookupCandidates(std::string_view code, const CandidateSources& sources,
                                       CandidateRows& rows) {
    rows.clear();
    SenseHits.clear();
    SensePrefixHits.clear();
    if (code.empty()) return;
    static const StringList kEmpty;
    const StringList& sk = sources.sentenceKeys ? *sources.sentenceKeys : kEmpty;
    const StringList& sw = sources.sentenceWords ? *sources.sentenceWords : kEmpty;
    FindTableHits(code, sk, sw, ExactHits[0], PrefixHits[0]);
    for (int id = 1; id <= 4; ++id) {
        const SchemeTables* t = sources.schemes[id - 1];
        if (sources.use[id - 1] && t) {
            const std::string_view c = id == kQuanpin ? FullPinyinSpelling(code, spelled_) : code;
            FindTableHits(c, t->CodeKeys, t->CodeWords, ExactHits[id], PrefixHits[id]);
        } else {
            ExactHits[id].clear();
            PrefixHits[id].clear();
        }
    }
    if (sources.classicOrder) {
        LookupClassic(code, sources, rows);
        return;
    }
    if (sources.senseKeys && sources.senseWords)
        FindTableHits(code, *sources.senseKeys, *sources.senseWords, SenseHits, SensePrefixHits);
    LookupMerged(code, sources, rows);
}

void CandidateLookup::LookupCandidates(std::string_view code, const CandidateSources& sources,
                                       StringList& drawn) {
    LookupCandidates(code, sources, drawnRows_);
    drawn.clear();
    drawn.reserve(drawnRows_.size());
    for (const CandidateRow& row : drawnRows_) drawn.push_back(DrawnRow(row));
}

void CandidateLookup::Convert(std::string_view code, const CandidateSources& sources, bool leadOnly) {
    clauseSchemes_.clear();
    for (int id : sources.order)
        if (id >= 1 && id <= 3 && sources.use[id - 1] && sources.schemes[id - 1] &&
            (!leadOnly || sources.lead[id - 1]))
            clauseSchemes_.push_back(id);
    sources.converter->ConvertSchemes(clauseSchemes_, code, clauseRows_);
}

void CandidateLookup::FindSenseCombos(std::string_view code, const CandidateSources& sources) {
    SenseCombos.clear();
    comboTexts_.clear();
    if (!sources.senseKeys || !sources.senseWords || code.size() < 4 ||
        code.size() > kMaxSenseComboKeys ||
        code.find_first_not_of("bcdfghjklmnpqrstwxyz") != std::string_view::npos)
        return;
    // The senses whose initials are the whole part (as many hanzi as letters), the first few.
    auto senses = [&](std::string_view part, std::vector<std::string>& out) {
        TableHits exact, prefix;
        FindTableHits(part, *sources.senseKeys, *sources.senseWords, exact, prefix);
        out.clear();
        for (const TableHit& h : exact)
            if (out.size() < kSenseComboChoices && h.word.size() == 2 * part.size() && AllHanzi(h.word))
                out.emplace_back(h.word);
    };
    // Of the pairs, the one the language model finds likeliest ("bfwj" in "failed to remove old
    // backup", after a day of 文件: 备份文件, not 备份忘记); without a model, the first senses.
    struct Combo {
        std::string text;
        float score;
    };
    std::vector<Combo> combos;
    std::vector<std::string> a, b;
    for (std::size_t k = 2; k + 2 <= code.size(); ++k) {
        senses(code.substr(0, k), a);
        if (a.empty()) continue;
        senses(code.substr(k), b);
        std::optional<Combo> best;
        for (const std::string& x : a)
            for (const std::string& y : b) {
                Combo c{x + y, 0.0f};
                if (!sources.converter) {
                    best = std::move(c);
                    break;
                }
                c.score = sources.converter->FollowScore({}, c.text);
                if (!best || c.score > best->score) best = std::move(c);
            }
        if (best) combos.push_back(std::move(*best));
    }
    std::stable_sort(combos.begin(), combos.end(),
                     [](const Combo& x, const Combo& y) { return x.score > y.score; });
    for (std::size_t i = 0; i < combos.size() && i < kMaxSenseCombos; ++i)
        comboTexts_.push_back(std::move(combos[i].text));
    for (const std::string& t : comboTexts_) SenseCombos.push_back({t, {}});
}

void CandidateLookup::LookupMerged(std::string_view code, const CandidateSources& sources,
                                   CandidateRows& rows) {
    auto enabled = [&](int id) {
        return id >= 1 && id <= 4 && sources.use[id - 1] && sources.schemes[id - 1];
    };
    std::size_t clauseCount = 0;
    if (sources.converter) {
        Convert(code, sources, true);
        for (const auto& r : clauseRows_) clauseCount += r.size();
    } else {
        clauseSchemes_.clear();
        clauseRows_.clear();
    }
    std::size_t expected = clauseCount + SenseHits.size() + SensePrefixHits.size();
    for (int i = 0; i < 5; ++i) expected += ExactHits[i].size() + PrefixHits[i].size();
    rows.reserve(expected);
    Merger merge(rows, mergeSlots_, expected);
    const std::size_t n = code.size();

    // The sentence's own words first: "ku" gives 库 while "library" is in the sentence.
    merge.AppendHits(ExactHits[0], false, CandidateOrigin::Sentence, n, false);
    merge.AppendHits(SenseHits, false, CandidateOrigin::Sentence, n, false);
    // Two senses by their initials, after the library's best readings of the whole code: a pair
    // such as 备份忘记 is no reading to put first, and the library's 备份文件 stays row 1.
    FindSenseCombos(code, sources);
    bool combosIn = false;
    auto addCombos = [&] {
        if (!combosIn) merge.AppendHits(SenseCombos, false, CandidateOrigin::Sentence, n, false);
        combosIn = true;
    };

    // The library's readings. A scheme that reads the whole code from full syllables hides
    // the other schemes' readings padded with bare initials ("wenjian" is no 双拼 code with
    // initials between its syllables). Each scheme's rows keep their order; between the
    // schemes the likelier head goes first: the library's best readings of the whole code
    // (scored as sentences), then its other words of the whole code, then shorter words, each
    // group by score. The library's dictionary is simplified Chinese, but its single characters
    // take in traditional forms (結, 節 for "jie"): those are left out. A later scheme in
    // SchemeOrder pays kSchemeOrderMargin a position, so that near ties go to the typist's first
    // scheme: "jx" reads 进行 (全拼, -12.14) before 自然's 皆 (-12.11), and 皆 still comes on the
    // first page.
    bool readWhole = false;
    for (const auto& r : clauseRows_)
        for (const ClauseCandidate& c : r)
            readWhole = readWhole || (c.codeLength >= n && !c.padded);
    auto usable = [&](const ClauseCandidate& c) {
        return !c.text.empty() && c.text.find(kPrefixMark) == std::string::npos &&
               !(readWhole && c.padded) && (c.text.size() > 2 || InGb2312(c.text));
    };
    auto group = [&](const ClauseCandidate& c) { return c.best ? 0 : c.codeLength >= n ? 1 : 2; };
    std::array<std::size_t, 3> next{};
    const std::size_t schemes = std::min(clauseRows_.size(), next.size());
    for (;;) {
        std::size_t best = schemes;
        for (std::size_t i = 0; i < schemes; ++i) {
            auto& r = clauseRows_[i];
            while (next[i] < r.size() && !usable(r[next[i]])) ++next[i];
            if (next[i] >= r.size()) continue;
            if (best == schemes) {
                best = i;
                continue;
            }
            const ClauseCandidate& a = r[next[i]];
            const ClauseCandidate& b = clauseRows_[best][next[best]];
            const int ga = group(a), gb = group(b);
            const float sa = a.score - kSchemeOrderMargin * float(i);
            const float sb = b.score - kSchemeOrderMargin * float(best);
            if (ga != gb ? ga < gb : sa > sb) best = i;
        }
        if (best == schemes) break;
        if (group(clauseRows_[best][next[best]]) > 0) addCombos();
        ClauseCandidate& c = clauseRows_[best][next[best]++];
        if (!merge.Claim({c.text, false, {}})) continue;
        CandidateRow& row = rows.emplace_back();
        row.text = std::move(c.text);
        row.codeLength = std::min(c.codeLength, n);
        row.rest.assign(RestAfter(code, row.codeLength));
        row.scheme = clauseSchemes_[best];
        row.source = row.scheme;
        row.origin = CandidateOrigin::Library;
    }
    addCombos(); // the library read nothing but its best, or nothing at all

    bool anyLead = false;
    for (int id = 1; id <= 4; ++id) anyLead = anyLead || (enabled(id) && sources.lead[id - 1]);
    auto leads = [&](int id) { return enabled(id) && (!anyLead || sources.lead[id - 1]); };
    for (int id : sources.order)
        if (leads(id)) merge.AppendHits(ExactHits[id], false, CandidateOrigin::Table, n, true, id);
    // The other schemes' exact hits go on the first page, after as many leading rows as leave
    // room for them: a 五笔 typist not inferred yet still sees 中国 for "khlg".
    const std::size_t othersAt = rows.size();
    std::size_t others = 0;
    for (int id : sources.order)
        if (enabled(id) && !leads(id))
            others += merge.AppendHits(ExactHits[id], false, CandidateOrigin::Table, n, true, id,
                                       kOtherSchemeRows);
    merge.AppendHits(PrefixHits[0], true, CandidateOrigin::Sentence, n, false);
    merge.AppendHits(SensePrefixHits, true, CandidateOrigin::Sentence, n, false);
    for (int id : sources.order)
        if (leads(id)) merge.AppendHits(PrefixHits[id], true, CandidateOrigin::Table, n, true, id);
    // Moved only now: the merge's table points at the rows by their places.
    const std::size_t room = std::size_t(kPageSize) - std::min<std::size_t>(others, kPageSize);
    if (others > 0 && othersAt > room) {
        const auto first = rows.begin() + std::ptrdiff_t(room);
        const auto block = rows.begin() + std::ptrdiff_t(othersAt);
        std::rotate(first, block, block + std::ptrdiff_t(others));
    }
}

void CandidateLookup::LookupClassic(std::string_view code, const CandidateSources& sources,
                                    CandidateRows& rows) {
    auto enabled = [&](int id) {
        return id >= 1 && id <= 4 && sources.use[id - 1] && sources.schemes[id - 1];
    };
    bool anyExact = !ExactHits[0].empty();
    for (int id = 1; id <= 4; ++id) anyExact = anyExact || (enabled(id) && !ExactHits[id].empty());

    // No table knows the code itself: the whole-clause readings of every enabled pinyin scheme,
    // those read from full syllables only (no abbreviation, no padding).
    clauseAll_.clear();
    if (!anyExact && sources.converter) {
        Convert(code, sources, false);
        for (std::size_t i = 0; i < clauseSchemes_.size(); ++i)
            for (ClauseCandidate& c : clauseRows_[i])
                if (!c.abbreviation && !c.padded)
                    clauseAll_.emplace_back(clauseSchemes_[i], std::move(c));
    }

    std::size_t expected = clauseAll_.size();
    for (int i = 0; i < 5; ++i) expected += ExactHits[i].size() + PrefixHits[i].size();
    rows.reserve(expected);
    Merger merge(rows, mergeSlots_, expected);
    const std::size_t n = code.size();
    // Readings of the whole code first, scheme by scheme, then the words of the first syllables:
    // "womfyygl" with 全拼 before 自然 puts 自然's 我们应该 on row 1, not 全拼's 我 of "wo".
    for (const bool whole : {true, false}) {
        for (auto& [scheme, c] : clauseAll_) {
            if ((c.codeLength >= n) != whole) continue;
            if (c.text.empty() || c.text.find(kPrefixMark) != std::string::npos) continue;
            if (!merge.Claim({c.text, false, {}})) continue;
            CandidateRow& row = rows.emplace_back();
            row.text = std::move(c.text);
            row.rest.assign(whole ? std::string_view() : RestAfter(code, c.codeLength));
            row.codeLength = n - row.rest.size();
            row.scheme = scheme;
            row.source = scheme;
            row.origin = CandidateOrigin::Library;
        }
    }
    merge.AppendHits(ExactHits[0], false, CandidateOrigin::Sentence, n, false);
    for (int id : sources.order)
        if (enabled(id))
            merge.AppendHits(ExactHits[id], false, CandidateOrigin::Table, n, false, id);
    merge.AppendHits(PrefixHits[0], true, CandidateOrigin::Sentence, n, false);
    for (int id : sources.order)
        if (enabled(id))
            merge.AppendHits(PrefixHits[id], true, CandidateOrigin::Table, n, false, id);
}

namespace {

// Log10 terms that rank the sentence's senses after the language model's word-follows-text
// score. The first sense of a phrase is its usual rendering. A longer sense pays per character
// beyond the first: the model reads a word it does not know as the average of its parts, so a
// long gloss (失去知觉的, 用户界面设计) scored as well as 的 and took the first page after every
// word typed. Typing the published translations of 300 program messages, predictions took
// 5360 keys with a bonus of 1 and +0.5 a character, 5109 with these (and the stems below).
constexpr float kFirstSenseBonus = 3.0f;
constexpr float kPerExtraChar = -1.0f;
constexpr std::size_t kMaxPredictedChars = 6;
// Log10 bonus of the senses of a phrase of several words: "status code" is a term, its 状态码
// what the translator writes, where the first sense of "the" (那) is seldom written at all;
// without it 那 came before 状态码 after 打印.
constexpr float kTermBonus = 3.0f;
// Log10 bonus of a word of the translation memory's best match: a little under a first
// sense's, so that of two words as likely the sentence's own sense comes first. In the session
// run of the typing measure, 1 to 3.5 all gave 4781-4784 keys (4809 without the match).
constexpr float kMatchWordBonus = 2.5f;
// Log10 a word of the library's prediction gives up against the sentence's senses.
constexpr float kLibraryPredictionMargin = 3.0f;
// GBK 的: a sense ending in it (无效的, 当前的) is predicted as its stem.
constexpr std::string_view kDe = "\xB5\xC4";
// GBK … (A1AD), which stands for the object in a gloss, and the particle 之.
constexpr std::string_view kEllipsis = "\xA1\xAD";
constexpr std::string_view kZhi = "\xD6\xAE";

// The words a translator types of a gloss: the gloss itself, or for a frame around the object
// the side after it. "when verifying checksums" is 验证校验和时, and "in the archive" 归档中:
// of "when"'s 当…的时候 the translator types 的时候, 时候 or 时, of "in"'s 处于…之中 之中 or
// 中. So the tail is offered as the dictionary has it, without its leading particle, and, of
// two characters, by its first (时 of 时候; 接 of "process"'s 使…接受处理 would be noise). The
// head (在, 当) is not: offered as well, it took rows from likelier words (typing the 300
// program messages with prediction, 5038 keys against 5035).
void GlossWords(const std::string& gloss, StringList& out) {
    out.clear();
    const std::size_t at = FindText(gloss, kEllipsis);
    if (at == std::string_view::npos) {
        out.push_back(gloss);
        return;
    }
    const std::string tail = Trim(gloss.substr(at + kEllipsis.size()));
    if (tail.empty() || FindText(tail, kEllipsis) != std::string_view::npos) return;
    out.push_back(tail);
    std::string_view bare(tail);
    if (bare.size() > 2 && (bare.substr(0, 2) == kZhi || bare.substr(0, 2) == kDe))
        bare.remove_prefix(2);
    if (bare.size() < tail.size()) out.emplace_back(bare);
    if (bare.size() == 4) out.emplace_back(bare.substr(0, 2));
}

} // namespace

void BuildPredictions(std::string_view typed, const StringList& sentencePhrases,
                      ClauseConverter* converter, StringList& out, const StringList* pieces,
                      const StringList* matchWords) {
    out.clear();
    struct Sense {
        std::string text;
        float score;
    };
    std::vector<Sense> ranked;
    std::unordered_set<std::string> seen;
    StringList parts, words;
    // How likely the word follows the typed text, less its length beyond one character.
    auto likely = [&](const std::string& word) {
        const float chars = float(word.size() / 2);
        return (converter ? converter->FollowScore(typed, word) : 0.0f) +
               kPerExtraChar * (std::min(chars, 4.0f) - 1);
    };
    const std::size_t senseLines = sentencePhrases.size();
    const std::size_t allLines = senseLines + (pieces ? pieces->size() : 0);
    for (std::size_t l = 0; l < allLines; ++l) {
        const std::string& line = l < senseLines ? sentencePhrases[l] : (*pieces)[l - senseLines];
        const std::string rendering = ReplaceAll(SplitAtFirst(line, '\t').second, kSenseSep, ";");
        SplitString(rendering, ";", parts);
        // A phrase whose rendering is typed already is done: its other senses are the words the
        // typist did not choose ("打印" typed: 版, 印刷物 of "print" are no longer offered).
        bool done = false;
        for (std::string& part : parts) {
            part = Trim(part);
            done = done || (!part.empty() && FindText(typed, part) != std::string_view::npos);
        }
        if (done) continue;
        bool first = l < senseLines;
        for (const std::string& gloss : parts) {
            GlossWords(gloss, words);
            // The phrase's first gloss that is a word is its usual rendering; one of letters or
            // brackets ("(一段)时间" of "while") leaves the bonus to the next (5035 keys against
            // 5025). A frame's words rank as second senses: with the bonus, 时 came first in
            // every sentence with "when" (5062 keys).
            const bool frame = words.size() != 1 || words[0] != gloss;
            const bool firstWord = first && !frame;
            if (frame || AllHanzi(gloss)) first = false;
            for (std::string sense : words) {
                // The dictionary's adjective glosses end in 的, which the translator rarely
                // types with the word: "current" reads 当前的, the translation 当前值. The stem
                // is offered (of three characters or more: 目的 stays), and 的 comes from the
                // library next.
                if (sense.size() >= 6 && std::string_view(sense).substr(sense.size() - 2) == kDe)
                    sense.resize(sense.size() - 2);
                if (!AllHanzi(sense) || sense.size() > 2 * kMaxPredictedChars) continue;
                if (!seen.insert(sense).second) continue;
                float score = likely(sense) + (firstWord ? kFirstSenseBonus : 0);
                if (SplitAtFirst(line, '\t').first.find(' ') != std::string_view::npos)
                    score += kTermBonus;
                ranked.push_back({sense, score});
            }
        }
    }
    // The memory's match: its words as likely as the senses' first ones, a near tie going to
    // the sense. A word typed already is done.
    if (matchWords)
        for (const std::string& line : *matchWords) {
            const std::string word(SplitAtFirst(line, '\t').second);
            if (!AllHanzi(word) || FindText(typed, word) != std::string_view::npos ||
                !seen.insert(word).second)
                continue;
            ranked.push_back({word, likely(word) + kMatchWordBonus});
        }
    // The library's words by the same likelihood of following the typed text, less
    // kLibraryPredictionMargin: after "归档的格式" its 的 and 中 come before a sense's rare
    // second reading, and the sentence's likely senses stay first.
    if (converter) {
        std::vector<std::string> more;
        converter->Predict(typed, kMaxPredictions, more);
        for (std::string& w : more) {
            if (!seen.insert(w).second) continue;
            const float score = converter->FollowScore(typed, w) - kLibraryPredictionMargin;
            ranked.push_back({std::move(w), score});
        }
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const Sense& a, const Sense& b) { return a.score > b.score; });
    for (Sense& sense : ranked) {
        if (out.size() >= kMaxPredictions) break;
        out.push_back(std::move(sense.text));
    }
}

void SensesOf(const std::string& line, StringList& senses) {
    StringList parts;
    SplitString(ReplaceAll(SplitAtFirst(line, '\t').second, kSenseSep, ";"), ";", parts);
    senses.clear();
    for (const std::string& part : parts) {
        std::string sense = Trim(part);
        if (!sense.empty()) senses.push_back(std::move(sense));
    }
}

namespace {

// Bytes of the longest sense cut into pieces: an explanation such as
// "DOS内部命令:本命令用于退出当前的命令处理器" is no word, and its pieces would be noise.
constexpr std::size_t kMaxPiecedSense = 16;

} // namespace

StringList SensePieceLines(const StringList& sentencePhrases, ClauseConverter* converter) {
    StringList out;
    if (!converter) return out;
    std::unordered_set<std::string> seen;
    StringList senses;
    for (const std::string& line : sentencePhrases) {
        SensesOf(line, senses);
        for (std::string& sense : senses) seen.insert(std::move(sense));
    }
    std::vector<std::string> parts;
    for (const std::string& line : sentencePhrases) {
        SensesOf(line, senses);
        std::string pieced;
        for (const std::string& sense : senses) {
            if (sense.size() > kMaxPiecedSense) continue;
            converter->SplitWords(sense, parts);
            for (std::string& part : parts) {
                if (part.size() < 4 || part.size() > 2 * kMaxPredictedChars ||
                    part.size() >= sense.size() || !AllHanzi(part) || !seen.insert(part).second)
                    continue;
                if (!pieced.empty()) pieced.append(kSenseSep);
                pieced += part;
            }
        }
        if (pieced.empty()) continue;
        std::string piecesLine(SplitAtFirst(line, '\t').first);
        piecesLine += '\t';
        piecesLine += pieced;
        out.push_back(std::move(piecesLine));
    }
    return out;
}

std::size_t DocumentRenderings::Learn(const StringList& sentencePhrases, std::string_view translation) {
    std::size_t learned = 0;
    StringList senses;
    for (const std::string& line : sentencePhrases) {
        SensesOf(line, senses);
        const std::string* best = nullptr;
        for (const std::string& sense : senses)
            if (AllHanzi(sense) && (!best || sense.size() > best->size()) &&
                FindText(translation, sense) != std::string_view::npos)
                best = &sense;
        if (!best) continue;
        chosen_[LowerAscii(SplitAtFirst(line, '\t').first)] = *best;
        ++learned;
    }
    return learned;
}

void TranslationWords(std::string_view translation, ClauseConverter* converter, StringList& out) {
    out.clear();
    if (!converter) return;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < translation.size();) {
        std::size_t end = i;
        while (end < translation.size() && IsHanziAt(translation, end)) end += 2;
        if (end == i) {
            i += IsLeadByte(static_cast<unsigned char>(translation[i])) ? 2 : 1;
            continue;
        }
        converter->SplitWords(translation.substr(i, end - i), words);
        i = end;
        for (std::string& w : words)
            if (w.size() >= 4 && w.size() <= 2 * kMaxPredictedChars && AllHanzi(w))
                out.push_back(std::move(w));
    }
}

void DocumentRenderings::LearnWords(std::string_view translation, ClauseConverter* converter) {
    if (!converter) return;
    StringList fresh;
    TranslationWords(translation, converter, fresh);
    for (std::string& w : fresh) w.insert(0, "\t");
    // The words used most first, the latest first among those used as often.
    ++sentences_;
    for (std::size_t i = 0; i < fresh.size(); ++i) {
        Use& use = uses_[fresh[i]];
        ++use.count;
        if (use.last != sentences_) use.at = i;
        use.last = sentences_;
    }
    std::vector<const std::pair<const std::string, Use>*> ranked;
    ranked.reserve(uses_.size());
    for (const auto& entry : uses_) ranked.push_back(&entry);
    const auto first = [](const auto* a, const auto* b) {
        return a->second.count != b->second.count ? a->second.count > b->second.count
               : a->second.last != b->second.last ? a->second.last > b->second.last
                                                  : a->second.at < b->second.at;
    };
    const std::size_t kept = std::min(ranked.size(), kMaxDocumentWords);
    std::partial_sort(ranked.begin(), ranked.begin() + std::ptrdiff_t(kept), ranked.end(), first);
    wordLines_.clear();
    for (std::size_t i = 0; i < kept; ++i) wordLines_.push_back(ranked[i]->first);
}

void DocumentRenderings::Apply(StringList& sentencePhrases) const {
    if (chosen_.empty()) return;
    StringList senses;
    for (std::string& line : sentencePhrases) {
        const auto [phrase, rendering] = SplitAtFirst(line, '\t');
        const auto it = chosen_.find(LowerAscii(phrase));
        if (it == chosen_.end()) continue;
        SensesOf(line, senses);
        const auto at = std::find(senses.begin(), senses.end(), it->second);
        if (at == senses.end() || at == senses.begin()) continue;
        std::rotate(senses.begin(), at, at + 1);
        std::string rebuilt = phrase;
        rebuilt += '\t';
        for (std::size_t i = 0; i < senses.size(); ++i) {
            if (i) rebuilt.append(kSenseSep);
            rebuilt += senses[i];
        }
        line = std::move(rebuilt);
    }
}

ComposeOutcome DecideCompose(const CandidateRows& candidates) {
    if (candidates.empty()) return ComposeOutcome::NoCandidates;
    const CandidateRow& only = candidates.front();
    if (candidates.size() == 1 && !only.prefix && only.scheme == 0) return ComposeOutcome::Commit;
    return ComposeOutcome::ShowFirstPage;
}

int StepPage(int pageNo, int candidateCount, bool forward) {
    if (forward) {
        if (pageNo * kPageSize < candidateCount) ++pageNo;
    } else if (pageNo > 0) {
        --pageNo;
    }
    return pageNo;
}

PageText BuildPageText(const CandidateRows& buffer, int pageNo) {
    PageText page;
    if (pageNo <= 0) return page;
    const int count = static_cast<int>(buffer.size());
    for (int i = (pageNo - 1) * kPageSize + 1; i <= pageNo * kPageSize && i <= count; ++i) {
        const std::string entry = DrawnRow(buffer[static_cast<std::size_t>(i - 1)]);
        page.text += std::to_string(i % 10);
        page.text += ':';
        page.text += entry;
        page.text += "\r\n";
        if (entry.size() > page.longest.size()) page.longest = entry;
        ++page.rows;
    }
    if (page.text.size() > 2) page.text.resize(page.text.size() - 2);
    return page;
}

std::string PickFromRows(const StringList& rows, int d) {
    if (d < 0 || d > 9) return {};
    const std::size_t row = d == 0 ? 10 : static_cast<std::size_t>(d);
    if (rows.size() < row) return {};
    std::string_view text = rows[row - 1];
    // A GBK trail byte is never '.', so a plain search finds the marker on a character boundary.
    const std::size_t mark = text.find(kPrefixMark);
    if (mark != std::string_view::npos) text = text.substr(0, mark);
    text = text.size() > 2 ? text.substr(2) : std::string_view{};
    return std::string(CutAtCharBoundary(text, kMaxPickBytes));
}

std::string_view CutAtCharBoundary(std::string_view text, std::size_t max) {
    if (text.size() <= max) return text;
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t step =
            IsLeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size() ? 2 : 1;
        if (end + step > max) break;
        end += step;
    }
    return text.substr(0, end);
}

} // namespace qb
