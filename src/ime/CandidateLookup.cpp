// candidate lookup and the pure parts of paging and picking.
#include "CandidateLookup.h"

#include <cstdint>

namespace qb {

namespace {

// Appends the ";"-separated pieces of `line` (empty pieces dropped), each followed by `suffix`.
// Returns the number appended.
int AppendPieces(std::string_view line, std::string_view suffix, StringList& out) {
    int count = 0;
    std::size_t start = 0;
    while (start <= line.size()) {
        std::size_t end = line.find(';', start);
        if (end == std::string_view::npos) end = line.size();
        if (end > start) {
            std::string piece(line.substr(start, end - start));
            piece.append(suffix);
            out.push_back(std::move(piece));
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
std::uint64_t TextOrderHash(std::string_view text) {
    std::uint64_t h = 1469598103934665603ull;
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

} // namespace

// AppendDistinct over one whole merge: every entry equal in text order to an earlier
// one is dropped. An open-addressing table of indices into the output keeps it linear and free
// of allocations, so merging a crowded code ("yi": about 400 candidates in each of three pinyin
// schemes) stays far below the 100 microseconds of a key press's lookup.
class CandidateLookup::Merger {
public:
    Merger(StringList& out, std::vector<std::uint32_t>& slots, std::size_t expected)
        : out_(out), slots_(slots) {
        std::size_t size = 64;
        while (size < 2 * (expected + out.size())) size *= 2;
        slots_.assign(size, kEmptySlot);
        mask_ = size - 1;
        for (std::size_t i = 0; i < out_.size(); ++i) Insert(i);
    }
    void Append(const StringList& source) {
        for (const std::string& s : source) AppendOne(s);
    }
    bool AppendOne(const std::string& s) {
        const std::size_t slot = Find(s);
        if (slots_[slot] != kEmptySlot) return false;
        slots_[slot] = static_cast<std::uint32_t>(out_.size());
        out_.push_back(s);
        return true;
    }

private:
    static constexpr std::uint32_t kEmptySlot = 0xFFFFFFFFu;
    std::size_t Find(std::string_view s) const {
        std::size_t slot = static_cast<std::size_t>(TextOrderHash(s)) & mask_;
        while (slots_[slot] != kEmptySlot && !TextOrderEqual(out_[slots_[slot]], s))
            slot = (slot + 1) & mask_;
        return slot;
    }
    void Insert(std::size_t index) {
        const std::size_t slot = Find(out_[index]);
        if (slots_[slot] == kEmptySlot) slots_[slot] = static_cast<std::uint32_t>(index);
    }

    StringList& out_;
    std::vector<std::uint32_t>& slots_;
    std::size_t mask_ = 0;
};

void LookupCodeTable(std::string_view code, const StringList& keys, const StringList& words,
                     StringList& exactHits, StringList& prefixHits) {
    exactHits.clear();
    prefixHits.clear();
    std::size_t p = 0;
    const bool found = SortedFind(keys, code, p);
    std::size_t index = p;
    if (found) {
        if (p < words.size()) AppendPieces(words[p], {}, exactHits);
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
            std::string suffix(kPrefixMark);
            suffix.append(std::string_view(key).substr(code.size(), kMaxCodeRest));
            c += AppendPieces(words[index], suffix, prefixHits);
        } else if (index > p + 1) {
            break;
        }
    }
}

void CandidateLookup::LookupCandidates(std::string_view code, const CandidateSources& sources,
                                       StringList& output) {
    output.clear();
    PickRest.clear();
    PickScheme.clear();
    if (code.empty()) return;
    static const StringList kEmpty;
    const StringList& sk = sources.sentenceKeys ? *sources.sentenceKeys : kEmpty;
    const StringList& sw = sources.sentenceWords ? *sources.sentenceWords : kEmpty;
    LookupCodeTable(code, sk, sw, ExactHits[0], PrefixHits[0]);
    for (int id = 1; id <= 4; ++id) {
        const SchemeTables* t = sources.schemes[id - 1];
        if (sources.use[id - 1] && t) {
            const std::string_view c = id == 1 ? FullPinyinSpelling(code, spelled_) : code;
            LookupCodeTable(c, t->CodeKeys, t->CodeWords, ExactHits[id], PrefixHits[id]);
        } else {
            ExactHits[id].clear();
            PrefixHits[id].clear();
        }
    }
    auto enabled = [&](int id) {
        return id >= 1 && id <= 4 && sources.use[id - 1] && sources.schemes[id - 1];
    };
    bool anyExact = !ExactHits[0].empty();
    for (int id = 1; id <= 4; ++id) anyExact = anyExact || (enabled(id) && !ExactHits[id].empty());

    // No table knows the code itself: the whole-clause readings of every enabled pinyin scheme.
    clauseAll_.clear();
    if (!anyExact && sources.converter) {
        clauseSchemes_.clear();
        for (int id : sources.order)
            if (id >= 1 && id <= 3 && enabled(id)) clauseSchemes_.push_back(id);
        sources.converter->ConvertSchemes(clauseSchemes_, code, clauseRows_);
        for (std::size_t i = 0; i < clauseSchemes_.size(); ++i)
            for (ClauseCandidate& c : clauseRows_[i])
                clauseAll_.emplace_back(clauseSchemes_[i], std::move(c));
    }

    std::size_t expected = clauseAll_.size();
    for (int i = 0; i < 5; ++i) expected += ExactHits[i].size() + PrefixHits[i].size();
    output.reserve(expected);
    Merger merge(output, mergeSlots_, expected);
    // Readings of the whole code first, scheme by scheme, then the words of the first syllables:
    // "womfyygl" with 全拼 before 自然 puts 自然's 我们应该 on row 1, not 全拼's 我 of "wo".
    for (const bool whole : {true, false}) {
        for (const auto& [scheme, c] : clauseAll_) {
            if ((c.codeLength >= code.size()) != whole) continue;
            if (c.text.empty() || c.text.find(kPrefixMark) != std::string::npos) continue;
            if (!merge.AppendOne(c.text)) continue;
            std::string_view rest = whole ? std::string_view() : code.substr(c.codeLength);
            // 全拼's apostrophe only separates syllables: "xi'an" picked as 西 leaves "an".
            while (!rest.empty() && rest.front() == '\'') rest.remove_prefix(1);
            PickRest.emplace_back(rest);
            PickScheme.push_back(scheme);
        }
    }
    merge.Append(ExactHits[0]);
    for (int id : sources.order)
        if (enabled(id)) merge.Append(ExactHits[id]);
    merge.Append(PrefixHits[0]);
    for (int id : sources.order)
        if (enabled(id)) merge.Append(PrefixHits[id]);
    PickRest.resize(output.size());
    PickScheme.resize(output.size());
}

ComposeOutcome DecideCompose(const StringList& candidates, const std::vector<int>& schemes) {
    if (candidates.empty()) return ComposeOutcome::NoCandidates;
    const bool conversion = !schemes.empty() && schemes.front() != 0;
    if (candidates.size() == 1 && !conversion &&
        candidates.front().find(kPrefixMark) == std::string::npos)
        return ComposeOutcome::Commit;
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

PageText BuildPageText(const StringList& buffer, int pageNo) {
    PageText page;
    if (pageNo <= 0) return page;
    const int count = static_cast<int>(buffer.size());
    for (int i = (pageNo - 1) * kPageSize + 1; i <= pageNo * kPageSize && i <= count; ++i) {
        const std::string& entry = buffer[static_cast<std::size_t>(i - 1)];
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
