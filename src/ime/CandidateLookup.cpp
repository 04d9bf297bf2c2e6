// Part 3.2: candidate lookup and the pure parts of paging and picking.
#include "CandidateLookup.h"

#include <unordered_set>

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

// The form under which two texts equal in text order are equal bytes: single-byte 'A'-'Z'
// folded, double-byte characters (whose trail byte may be a letter code) left alone.
std::string TextOrderFold(std::string_view text) {
    std::string folded(text);
    for (std::size_t i = 0; i < folded.size(); ++i) {
        const auto b = static_cast<unsigned char>(folded[i]);
        if (IsLeadByte(b)) {
            ++i; // skip the trail byte
        } else if (b >= 'A' && b <= 'Z') {
            folded[i] = static_cast<char>(b + 32);
        }
    }
    return folded;
}

// AppendDistinct (Part 2.1) over a whole merge, with one hash set of what the output holds, so
// merging a crowded code ("yi": hundreds of candidates) stays linear.
class DistinctAppender {
public:
    explicit DistinctAppender(StringList& out) : out_(out) {
        seen_.reserve(256);
        for (const std::string& s : out_) seen_.insert(TextOrderFold(s));
    }
    void Append(const StringList& source) {
        for (const std::string& s : source)
            if (seen_.insert(TextOrderFold(s)).second) out_.push_back(s);
    }

private:
    StringList& out_;
    std::unordered_set<std::string> seen_;
};

} // namespace

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
    if (code.empty()) return;
    static const StringList kEmpty;
    const StringList& sk = sources.sentenceKeys ? *sources.sentenceKeys : kEmpty;
    const StringList& sw = sources.sentenceWords ? *sources.sentenceWords : kEmpty;
    LookupCodeTable(code, sk, sw, ExactHits[0], PrefixHits[0]);
    for (int id = 1; id <= 4; ++id) {
        const SchemeTables* t = sources.schemes[id - 1];
        if (sources.use[id - 1] && t) {
            LookupCodeTable(code, t->CodeKeys, t->CodeWords, ExactHits[id], PrefixHits[id]);
        } else {
            ExactHits[id].clear();
            PrefixHits[id].clear();
        }
    }
    auto enabled = [&](int id) {
        return id >= 1 && id <= 4 && sources.use[id - 1] && sources.schemes[id - 1];
    };
    DistinctAppender merge(output);
    merge.Append(ExactHits[0]);
    for (int id : sources.order)
        if (enabled(id)) merge.Append(ExactHits[id]);
    merge.Append(PrefixHits[0]);
    for (int id : sources.order)
        if (enabled(id)) merge.Append(PrefixHits[id]);
}

ComposeOutcome DecideCompose(const StringList& candidates) {
    if (candidates.empty()) return ComposeOutcome::NoCandidates;
    if (candidates.size() == 1 && candidates.front().find(kPrefixMark) == std::string::npos)
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
    return std::string(text.substr(0, kMaxPickBytes));
}

} // namespace qb
