// TQbDict: loading, lookup, word forms, adding and saving of one lexicon.
#include "DictUnit.h"

#include <algorithm>
#include <cstring>

namespace qb {

namespace {

constexpr std::size_t kIrregularReach = 500;

// Hash of a key as the text order sees it: single-byte 'A'-'Z' folded, two-byte characters
// taken as they are, so texts equal in text order have equal hashes. Eight bytes without a high
// bit (eight single-byte characters) are folded and mixed at once; whether a stretch goes by
// eights or byte by byte depends only on the high bits, which folding never changes.
inline std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
    h = (h ^ v) * 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 29);
}
inline std::uint64_t FoldWord(std::uint64_t x) {
    // Per byte (all below 0x80): +0x3F sets the high bit from 'A' up, +0x25 from '[' up.
    const std::uint64_t upper =
        ((x + 0x3F3F3F3F3F3F3F3Full) & ~(x + 0x2525252525252525ull)) & 0x8080808080808080ull;
    return x | (upper >> 2);
}
inline std::uint64_t FoldedHash(std::string_view text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::uint64_t h = 0x243F6A8885A308D3ull ^ n;
    std::size_t i = 0;
    while (i < n) {
        if (i + 8 <= n) {
            std::uint64_t x;
            std::memcpy(&x, p + i, 8);
            if ((x & 0x8080808080808080ull) == 0) {
                h = Mix(h, FoldWord(x));
                i += 8;
                continue;
            }
        }
        unsigned char c = p[i];
        if (IsLeadByte(c)) {
            const std::uint64_t pair = i + 1 < n ? p[i + 1] : 0x100;
            h = Mix(h, 0x10000u | (std::uint64_t(c) << 8) | pair);
            i += 2;
        } else {
            if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + 32);
            h = Mix(h, c);
            ++i;
        }
    }
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return h;
}

// The first eight bytes of the folded text, big-endian, zero-padded: a smaller prefix means a
// smaller text in text order (equal prefixes decide nothing).
std::uint64_t FoldedPrefix(std::string_view text) {
    std::uint64_t v = 0;
    const std::size_t n = std::min<std::size_t>(text.size(), 8);
    std::size_t i = 0;
    int shift = 56;
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(c)) {
            v |= std::uint64_t(c) << shift;
            shift -= 8;
            if (++i < n) {
                v |= std::uint64_t(static_cast<unsigned char>(text[i])) << shift;
                shift -= 8;
                ++i;
            }
        } else {
            if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + 32);
            v |= std::uint64_t(c) << shift;
            shift -= 8;
            ++i;
        }
    }
    return v;
}

// The first-word index needs only keys of more than 3 words; counting spaces tells.
inline bool HasMoreThanThreeWords(std::string_view key) {
    int spaces = 0;
    const char* p = key.data();
    const char* end = p + key.size();
    while ((p = static_cast<const char*>(std::memchr(p, ' ', std::size_t(end - p)))) != nullptr) {
        if (++spaces >= 3) return true;
        ++p;
    }
    return false;
}

// The boundary spaces of a text as FirstWords and NthWord see them. For t = Trim(text), A holds
// the positions in t of the spaces found at character boundaries, followed by the position of
// the space FirstWords appends (t's length) when that space falls on a boundary: it does not
// when t ends in a lone lead byte, which takes the appended space as its trail.
class SpaceScanner {
public:
    explicit SpaceScanner(std::string_view text) {
        std::size_t b = 0, e = text.size();
        while (b < e && static_cast<unsigned char>(text[b]) <= 0x20) ++b;
        while (e > b && static_cast<unsigned char>(text[e - 1]) <= 0x20) --e;
        t_ = text.substr(b, e - b);
    }
    std::string_view Trimmed() const { return t_; }
    // Makes A hold at least k positions when the text has that many; returns A's size.
    std::size_t Ensure(std::size_t k) {
        const std::size_t n = t_.size();
        while (a_.size() < k && !done_) {
            if (pos_ >= n) {
                if (pos_ == n) a_.push_back(n);
                done_ = true;
                break;
            }
            const unsigned char c = static_cast<unsigned char>(t_[pos_]);
            if (IsLeadByte(c)) {
                pos_ += 2;
            } else {
                if (c == ' ') a_.push_back(pos_);
                ++pos_;
            }
        }
        return a_.size();
    }
    // FirstWords (text, n)
    std::string_view First(int n) {
        if (n <= 0) return {};
        if (Ensure(std::size_t(n)) < std::size_t(n)) return {};
        return t_.substr(0, a_[std::size_t(n) - 1]);
    }
    // NthWord (text, n): between the n-th and (n+1)-th space of " " + t + " ".
    std::string_view Nth(int n) {
        if (n <= 0) return {};
        if (Ensure(std::size_t(n)) < std::size_t(n)) return {};
        const std::size_t start = n == 1 ? 0 : a_[std::size_t(n) - 2] + 1;
        const std::size_t end = a_[std::size_t(n) - 1];
        return t_.substr(start, end - start);
    }

private:
    std::string_view t_;
    std::vector<std::size_t> a_;
    std::size_t pos_ = 0;
    bool done_ = false;
};

void InsertSortedDistinct(StringList& list, std::string_view line) {
    std::size_t i = 0;
    if (!SortedFind(list, line, i))
        list.insert(list.begin() + std::ptrdiff_t(i), std::string(line));
}

} // namespace

struct TQbDict::LoadState {
    bool unordered = false;
    std::vector<std::uint32_t> pending;
};

TQbDict::TQbDict() = default;

TQbDict::~TQbDict() = default;

// ---- records and the indexes ----

std::string_view TQbDict::KeyOf(std::uint32_t id) const {
    const Record& r = records_[id];
    return std::string_view(pool_.data() + r.off, r.klen);
}

std::string_view TQbDict::RenderingOf(std::uint32_t id) const {
    const Record& r = records_[id];
    return std::string_view(pool_.data() + r.off + r.klen + 1, r.rlen);
}

std::string_view TQbDict::LineOf(std::uint32_t id) const {
    const Record& r = records_[id];
    return std::string_view(pool_.data() + r.off, std::size_t(r.klen) + 1 + r.rlen);
}

// Writes "key TAB rendering" at the end of the pool and points r at it: the one layout LineOf reads.
void TQbDict::PutAtPoolEnd(Record& r, std::string_view key, std::string_view rendering) {
    r.off = pool_.size();
    r.klen = static_cast<std::uint32_t>(key.size());
    r.rlen = static_cast<std::uint32_t>(rendering.size());
    pool_.append(key);
    pool_.push_back('\t');
    pool_.append(rendering);
}

std::uint32_t TQbDict::AppendRecord(std::string_view key, std::string_view rendering) {
    Record r;
    PutAtPoolEnd(r, key, rendering);
    records_.push_back(r);
    return static_cast<std::uint32_t>(records_.size() - 1);
}

void TQbDict::RewriteRecord(std::uint32_t id, const std::string& key, const std::string& rendering) {
    Record& r = records_[id];
    const std::size_t oldSize = std::size_t(r.klen) + 1 + r.rlen;
    if (r.off + oldSize == pool_.size()) {
        pool_.resize(r.off); // the record is the last bytes of the pool: rewrite it in place
    } else {
        garbage_ += oldSize;
    }
    PutAtPoolEnd(r, key, rendering);
}

void TQbDict::KillRecord(std::uint32_t id) {
    Record& r = records_[id];
    const std::size_t size = std::size_t(r.klen) + 1 + r.rlen;
    if (r.off + size == pool_.size()) {
        pool_.resize(r.off);
    } else {
        garbage_ += size;
    }
    r.off = kDeadOffset;
    r.klen = 0;
    r.rlen = 0;
    ++deadRecords_;
}

std::uint32_t TQbDict::FindId(std::string_view key) const {
    if (slots_.empty()) return kNoId;
    const std::uint64_t h = FoldedHash(key);
    const std::uint64_t tag = h >> 32;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t s = std::size_t(h) & mask;; s = (s + 1) & mask) {
        const std::uint64_t v = slots_[s];
        if (v == 0) return kNoId;
        if ((v >> 32) == tag) {
            const std::uint32_t id = static_cast<std::uint32_t>(v & 0xFFFFFFFFu) - 1;
            if (TextCompare(KeyOf(id), key) == 0) return id;
        }
    }
}

std::size_t TQbDict::LowerBound(std::string_view key) const {
    std::size_t lo = 0, hi = order_.size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (TextCompare(KeyOf(order_[mid]), key) < 0) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

// The hash index is kept at most three quarters full: with the 32-bit tag in every slot, a probe
// rarely looks at a key that is not the one sought, and the slots of one probe lie together.
static bool HashTooFull(std::size_t entries, std::size_t slots) {
    return (entries + 1) * 4 > slots * 3;
}

void TQbDict::HashInsert(std::uint32_t id) {
    if (HashTooFull(order_.size(), slots_.size())) {
        RebuildHash(true); // order_ already holds id when the caller inserted it there first
        if (FindId(KeyOf(id)) == id) return;
    }
    const std::uint64_t h = FoldedHash(KeyOf(id));
    const std::size_t mask = slots_.size() - 1;
    std::size_t s = std::size_t(h) & mask;
    while (slots_[s] != 0) s = (s + 1) & mask;
    slots_[s] = ((h >> 32) << 32) | (std::uint64_t(id) + 1);
}

void TQbDict::RebuildHash(bool byId) {
    std::size_t cap = 16;
    while (HashTooFull(order_.size(), cap)) cap <<= 1;
    std::vector<std::uint64_t>(cap, 0).swap(slots_);
    const std::size_t mask = cap - 1;
    // In batches: hash a few keys and prefetch their slots, then fill them, so the cache misses
    // of the scattered slots overlap instead of coming one after another. byId (every record is
    // either an entry or dead) walks the records in the order their bytes lie in the pool.
    constexpr std::size_t kBatch = 16;
    std::uint64_t hashes[kBatch];
    std::uint32_t ids[kBatch];
    const std::size_t n = byId ? records_.size() : order_.size();
    std::size_t next = 0;
    while (next < n) {
        std::size_t m = 0;
        while (m < kBatch && next < n) {
            const std::uint32_t id = byId ? static_cast<std::uint32_t>(next) : order_[next];
            ++next;
            if (records_[id].off == kDeadOffset) continue;
            ids[m] = id;
            hashes[m] = FoldedHash(KeyOf(id));
            __builtin_prefetch(&slots_[std::size_t(hashes[m]) & mask], 1);
            ++m;
        }
        for (std::size_t k = 0; k < m; ++k) {
            const std::uint64_t h = hashes[k];
            std::size_t s = std::size_t(h) & mask;
            while (slots_[s] != 0) s = (s + 1) & mask;
            slots_[s] = ((h >> 32) << 32) | (std::uint64_t(ids[k]) + 1);
        }
    }
}

void TQbDict::MaybeCompact() {
    const bool manyGarbageBytes = garbage_ > (std::size_t(1) << 20) && garbage_ > pool_.size() / 2;
    const bool manyDeadRecords = deadRecords_ > 4096 && deadRecords_ > records_.size() / 2;
    if (manyGarbageBytes || manyDeadRecords) Compact();
}

void TQbDict::Compact() {
    std::size_t live = 0;
    for (std::uint32_t id : order_) live += std::size_t(records_[id].klen) + 1 + records_[id].rlen;
    std::string pool;
    pool.reserve(live);
    std::vector<Record> records;
    records.reserve(order_.size());
    for (std::size_t i = 0; i < order_.size(); ++i) {
        const std::uint32_t id = order_[i];
        Record r = records_[id];
        const std::string_view line = LineOf(id);
        r.off = pool.size();
        pool.append(line);
        records.push_back(r);
        order_[i] = static_cast<std::uint32_t>(i);
    }
    pool_.swap(pool);
    records_.swap(records);
    garbage_ = 0;
    deadRecords_ = 0;
    RebuildHash(true);
}

// Folds a batch of records (appended to records_ but not yet in order_ or the hash) into the
// entries with exactly the result of taking them one by one in batch order:
//  Load:    a key met again keeps the stored key; rendering = MergeRenderings (stored, new).
//  Add:     the stored key becomes the new one; rendering = MergeRenderings (new, stored).
//  Replace: the stored key becomes the new one; rendering = the new one.
// The batch is stably sorted by key, so the records of one key stay in batch order.
void TQbDict::AbsorbPending(std::vector<std::uint32_t>& pending, Absorb mode) {
    if (pending.empty()) return;
    {
        // Stable sort by key: by folded 8-byte prefix first (no trip to the pool), then the
        // whole key, then the batch position.
        struct Item {
            std::uint64_t prefix;
            std::uint32_t pos;
            std::uint32_t id;
        };
        std::vector<Item> items(pending.size());
        for (std::size_t k = 0; k < pending.size(); ++k) {
            items[k] = Item{FoldedPrefix(KeyOf(pending[k])), std::uint32_t(k), pending[k]};
        }
        std::sort(items.begin(), items.end(), [this](const Item& a, const Item& b) {
            if (a.prefix != b.prefix) return a.prefix < b.prefix;
            const int c = TextCompare(KeyOf(a.id), KeyOf(b.id));
            if (c != 0) return c < 0;
            return a.pos < b.pos;
        });
        for (std::size_t k = 0; k < items.size(); ++k) pending[k] = items[k].id;
    }
    std::vector<std::uint32_t> fresh; // ids of new entries, in key order
    std::size_t g = 0;
    while (g < pending.size()) {
        std::size_t e = g + 1;
        while (e < pending.size() && TextCompare(KeyOf(pending[g]), KeyOf(pending[e])) == 0) ++e;
        const std::uint32_t existing = FindId(KeyOf(pending[g]));
        std::uint32_t target = existing;
        std::size_t from = g;
        if (existing == kNoId) {
            target = pending[g]; // the first record of the key becomes the entry as it is
            from = g + 1;
        }
        if (from < e) {
            std::string key(KeyOf(target));
            std::string rendering(RenderingOf(target));
            for (std::size_t k = from; k < e; ++k) {
                const std::uint32_t id = pending[k];
                switch (mode) {
                case Absorb::Load:
                    rendering = TQbDict::MergeRenderings(rendering, RenderingOf(id));
                    break;
                case Absorb::Add:
                    rendering = TQbDict::MergeRenderings(RenderingOf(id), rendering);
                    key.assign(KeyOf(id));
                    break;
                case Absorb::Replace:
                    rendering.assign(RenderingOf(id));
                    key.assign(KeyOf(id));
                    break;
                }
            }
            for (std::size_t k = from; k < e; ++k) KillRecord(pending[k]);
            RewriteRecord(target, key, rendering);
        }
        if (existing == kNoId) fresh.push_back(target);
        g = e;
    }
    if (!fresh.empty()) {
        std::vector<std::uint32_t> merged;
        merged.reserve(order_.size() + fresh.size());
        std::merge(order_.begin(), order_.end(), fresh.begin(), fresh.end(),
                   std::back_inserter(merged), [this](std::uint32_t a, std::uint32_t b) {
                       return TextCompare(KeyOf(a), KeyOf(b)) < 0;
                   });
        order_.swap(merged);
        if (HashTooFull(order_.size(), slots_.size())) { // order_ holds the fresh ids already
            RebuildHash(true);
        } else {
            for (std::uint32_t id : fresh) HashInsert(id);
        }
    }
    pending.clear();
    MaybeCompact();
}

// ---- loading ----

void TQbDict::LoadLine(std::string_view line, bool scrambled, LoadState& st) {
    const std::size_t start = pool_.size();
    std::uint32_t klen = 0;
    std::uint32_t rlen = 0;
    if (scrambled) {
        // Unscramble in the pool itself, then keep key TAB rendering of it.
        pool_.append(line);
        char* p = pool_.data() + start;
        const std::size_t n = line.size();
        for (std::size_t k = 1; k <= n / 2; k += 2) std::swap(p[k - 1], p[n - k]);
        const std::string_view plain(p, n);
        const std::size_t tab = FindText(plain, "\t");
        if (tab == std::string_view::npos) {
            pool_.resize(start);
            pool_.push_back('\t');
        } else {
            klen = static_cast<std::uint32_t>(tab);
            rlen = static_cast<std::uint32_t>(std::min(kMaxTextBytes, n - tab - 1));
            pool_.resize(start + tab + 1 + rlen);
        }
    } else {
        const std::size_t tab = FindText(line, "\t");
        if (tab == std::string_view::npos) {
            pool_.push_back('\t');
        } else {
            const std::string key = NormalizeKey(line.substr(0, tab));
            const std::string_view rendering = Head(line.substr(tab + 1));
            pool_.append(key);
            pool_.push_back('\t');
            pool_.append(rendering);
            klen = static_cast<std::uint32_t>(key.size());
            rlen = static_cast<std::uint32_t>(rendering.size());
        }
    }
    const std::string_view key(pool_.data() + start, klen);
    // The first-word index, while the key is at hand: keys equal in text order have the same
    // words, so noting every line's key gives the index BuildFirstWordIndex would build.
    if (HasMoreThanThreeWords(key)) UpdateFirstWordIndex(key);
    if (!st.unordered) {
        int c = 1;
        if (!order_.empty()) c = TextCompare(key, KeyOf(order_.back()));
        if (c > 0) {
            // In order (the usual case for a file written by Save): append.
            records_.push_back(Record{start, klen, rlen});
            order_.push_back(static_cast<std::uint32_t>(records_.size() - 1));
            return;
        }
        if (c == 0) {
            // The same key as the last entry, which is the only entry that can equal it while
            // everything so far came in order: merge now, keeping the stored key.
            const std::uint32_t last = order_.back();
            std::string merged = MergeRenderings(
                RenderingOf(last), std::string_view(pool_.data() + start + klen + 1, rlen));
            std::string storedKey(KeyOf(last));
            pool_.resize(start);
            RewriteRecord(last, storedKey, merged);
            return;
        }
        st.unordered = true;
    }
    records_.push_back(Record{start, klen, rlen});
    st.pending.push_back(static_cast<std::uint32_t>(records_.size() - 1));
}

void TQbDict::FinishLoad(LoadState& st) {
    RebuildHash();
    AbsorbPending(st.pending, Absorb::Load);
}

void TQbDict::Load(const std::string& lexiconPath, const std::string& irregularPath) {
    if (FileExists(lexiconPath)) {
        fileName_ = lexiconPath;
        const bool scrambled = IsScrambledFileName(lexiconPath);
        const std::size_t size = FileSizeOf(lexiconPath);
        pool_.reserve(pool_.size() + size + 16);
        // A file written by Save holds about one line per 30 bytes.
        records_.reserve(records_.size() + size / 24 + 16);
        order_.reserve(order_.size() + size / 24 + 16);
        LoadState st;
        try {
            ForEachFileLine(lexiconPath,
                            [&](std::string_view line) { LoadLine(line, scrambled, st); });
        } catch (...) {
            // The lexicon keeps the lines read before the failure, and never writes them over
            // its file: an unreadable mydict.txt of 3000 entries, one F8 and a save would leave
            // a file of one entry.
            loadFailed_ = true;
            FinishLoad(st);
            throw;
        }
        FinishLoad(st);
        // No shrink_to_fit: the reserved tail was never touched, so it costs no memory, while
        // a shrinking copy would hold both copies at once.
    }
    // BuildFirstWordIndex: done line by line while loading (LoadLine), with the same result.
    if (FileExists(irregularPath)) LoadIrregularFromBytes(ReadWholeFile(irregularPath));
}

void TQbDict::LoadEntriesFromBytes(std::string_view bytes, bool scrambled) {
    pool_.reserve(pool_.size() + bytes.size() + 16);
    LoadState st;
    ForEachLine(bytes, [&](std::string_view line) { LoadLine(line, scrambled, st); });
    FinishLoad(st); // the first-word index was brought up to date line by line
}

void TQbDict::LoadIrregularFromBytes(std::string_view bytes) {
    ForEachLine(bytes, [&](std::string_view line) {
        // went^go^ maps went to go; gone^go^^extra maps gone to go; went^go and went are ignored.
        const std::size_t first = FindText(line, "^");
        if (first == std::string_view::npos) return;
        const std::string_view reach = line.substr(first + 1, kIrregularReach);
        const std::size_t second = FindText(reach, "^");
        if (second == std::string_view::npos) return;
        const std::string_view form = line.substr(0, first);
        std::size_t i = 0;
        if (SortedFind(irregularForms_, form, i)) return; // the first line of a form counts
        irregularForms_.insert(irregularForms_.begin() + std::ptrdiff_t(i), std::string(form));
        irregularBases_.insert(irregularBases_.begin() + std::ptrdiff_t(i),
                               std::string(reach.substr(0, second)));
    });
}

// ---- lookup ----

void TQbDict::WordForms(std::string_view word, StringList& list) const {
    list.clear();
    list.emplace_back(word);
    std::size_t i = 0;
    if (SortedFind(irregularForms_, word, i)) list.push_back(irregularBases_[i]);
    const std::size_t L = word.size();
    if (L <= 3) return;
    auto ends = [&](std::string_view suffix) {
        return L >= suffix.size() && word.substr(L - suffix.size()) == suffix;
    };
    auto minus = [&](std::size_t k) { return std::string(word.substr(0, L - k)); };
    // Positions in the rules are 1-based: byte p of the word is word[p - 1].
    auto byte = [&](std::size_t p) { return word[p - 1]; };
    if (word[L - 1] == 's') {
        if (ends("ies")) list.push_back(minus(3) + "y");
        if (ends("es")) list.push_back(minus(2));
        list.push_back(minus(1));
        return;
    }
    if (ends("ed")) {
        if (byte(L - 2) == byte(L - 3)) list.push_back(minus(3)); // stopped -> stop
        if (ends("ied")) list.push_back(minus(3) + "y");
        list.push_back(minus(1));
        list.push_back(minus(2));
        return;
    }
    if (L > 4 && ends("ing")) {
        list.push_back(minus(3));
        list.push_back(minus(3) + "e");
        if (byte(L - 3) == byte(L - 4)) list.push_back(minus(4)); // running -> run
        return;
    }
    if (ends("er")) {
        if (ends("ier")) list.push_back(minus(3) + "y");
        list.push_back(minus(2));
    } else if (ends("est") && L > 4) {
        list.push_back(minus(3));
    }
}

void TQbDict::LookupSentence(std::string_view sentence, StringList& results,
                             StringList* reducedFrom) const {
    results.clear();
    if (reducedFrom) reducedFrom->clear();
    const std::string normalized = NormalizeKey(sentence);
    std::string_view s = normalized;
    int r = WordCount(s);
    StringList forms;
    std::vector<StringList> lastForms;
    std::string phrase;
    std::vector<std::uint32_t> found;
    StringList origins; // parallel to found, when reducedFrom is asked for
    while (!s.empty()) {
        SpaceScanner current(s);
        const std::string_view w = current.First(1);
        s = Head(s.substr(std::min(s.size(), w.size() + 1)));
        --r;
        WordForms(w, forms);
        int m = MaxPhraseWords(w) - 1;
        if (m > r) m = r;
        if (m < 0) continue;
        // The words after w, and the forms of each possible last word, are the same for every
        // form of w: work them out once.
        SpaceScanner rest(s);
        lastForms.resize(std::size_t(m) + 1);
        for (int n = 0; n <= m; ++n) WordForms(rest.Nth(n), lastForms[std::size_t(n)]);
        for (std::size_t fi = 0; fi < forms.size(); ++fi) {
            const std::string& f = forms[fi];
            for (int n = 0; n <= m; ++n) {
                const std::string_view middle = rest.First(n - 1);
                const StringList& last = lastForms[std::size_t(n)];
                for (std::size_t gi = 0; gi < last.size(); ++gi) {
                    const std::string& g = last[gi];
                    phrase.assign(f);
                    phrase.push_back(' ');
                    if (!middle.empty()) {
                        phrase.append(middle);
                        phrase.push_back(' ');
                    }
                    phrase.append(g);
                    std::size_t b = 0, e = phrase.size();
                    while (b < e && static_cast<unsigned char>(phrase[b]) <= 0x20) ++b;
                    while (e > b && static_cast<unsigned char>(phrase[e - 1]) <= 0x20) --e;
                    const std::uint32_t id = FindId(std::string_view(phrase).substr(b, e - b));
                    if (id == kNoId) continue;
                    // The first form of a word is the word itself (WordForms).
                    const bool asWritten = fi == 0 && gi == 0;
                    const auto at = std::find(found.begin(), found.end(), id);
                    if (at != found.end()) {
                        if (reducedFrom && asWritten)
                            origins[std::size_t(at - found.begin())].clear();
                        continue;
                    }
                    found.push_back(id);
                    if (reducedFrom) {
                        std::string from(w);
                        if (n > 0) {
                            if (!middle.empty()) from.append(" ").append(middle);
                            from.append(" ").append(rest.Nth(n));
                        }
                        origins.push_back(asWritten ? std::string() : std::move(from));
                    }
                    InsertSortedDistinct(results, LineOf(id));
                }
            }
        }
    }
    if (!reducedFrom) return;
    // results holds the lines of found in text order: the origins follow the same order.
    std::vector<std::size_t> order(found.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return TextLess(LineOf(found[a]), LineOf(found[b]));
    });
    reducedFrom->reserve(order.size());
    for (std::size_t i : order) reducedFrom->push_back(std::move(origins[i]));
}

std::size_t TQbDict::EntryCount() const { return order_.size(); }

void TQbDict::GetEntry(long long index, std::string& key, std::string& rendering) const {
    if (index < 0 || static_cast<unsigned long long>(index) >= order_.size()) {
        ThrowIndexOutOfBounds(index);
    }
    const std::uint32_t id = order_[static_cast<std::size_t>(index)];
    key.assign(KeyOf(id));
    rendering.assign(RenderingOf(id));
}

std::string_view TQbDict::KeyAt(std::size_t i) const { return KeyOf(order_[i]); }
std::string_view TQbDict::RenderingAt(std::size_t i) const { return RenderingOf(order_[i]); }

std::string TQbDict::FirstWords(std::string_view text, int n) {
    SpaceScanner scanner(text);
    return std::string(scanner.First(n));
}

std::string TQbDict::NthWord(std::string_view text, int n) {
    SpaceScanner scanner(text);
    return std::string(scanner.Nth(n));
}

int TQbDict::MaxPhraseWords(std::string_view word) const {
    if (firstWordMax_.empty()) return 3;
    const auto it = firstWordMax_.find(LowerAscii(word));
    return it == firstWordMax_.end() ? 3 : it->second;
}

void TQbDict::BuildFirstWordIndex() {
    for (std::uint32_t id : order_) UpdateFirstWordIndex(KeyOf(id));
}

void TQbDict::UpdateFirstWordIndex(std::string_view key) {
    if (!HasMoreThanThreeWords(key)) return;
    const int count = WordCount(key);
    if (count <= 3) return;
    SpaceScanner scanner(key);
    int& max = firstWordMax_.try_emplace(LowerAscii(scanner.First(1)), 0).first->second;
    if (count > max) max = count;
}

std::string TQbDict::MergeRenderings(std::string_view a, std::string_view b) {
    std::string t;
    t.reserve(a.size() + kSenseSep.size() + b.size());
    t.append(a);
    t.append(kSenseSep);
    t.append(b);
    // Cut into senses; each remainder after a "；" is cut to 5000 bytes.
    std::vector<std::string_view> senses;
    std::string_view rest = t;
    while (!rest.empty()) {
        const std::size_t p = FindText(rest, kSenseSep);
        if (p == std::string_view::npos) {
            senses.push_back(rest);
            break;
        }
        senses.push_back(rest.substr(0, p));
        rest = Head(rest.substr(p + kSenseSep.size()));
    }
    // Distinct senses in text order; of senses equal in text order the first met stays.
    std::stable_sort(senses.begin(), senses.end(),
                     [](std::string_view x, std::string_view y) { return TextCompare(x, y) < 0; });
    std::string out;
    std::string_view prev;
    bool havePrev = false;
    for (std::string_view sense : senses) {
        if (havePrev && TextCompare(prev, sense) == 0) continue;
        prev = sense;
        havePrev = true;
        if (sense.empty()) continue;
        if (!out.empty()) out.append(kSenseSep);
        out.append(sense);
        if (out.size() >= kMaxTextBytes) break;
    }
    if (out.size() > kMaxTextBytes) out.resize(kMaxTextBytes);
    return out;
}

std::string TQbDict::NormalizeRendering(std::string_view text) {
    std::string s = ReplaceAll(text, "\r", " ");
    s = ReplaceAll(s, "\n", " ");
    s = ReplaceAll(s, ";", kSenseSep);
    s = ReplaceAll(s, "  ", " ");
    return MergeRenderings(s, "");
}

bool TQbDict::IsScrambledFile() const { return IsScrambledFileName(fileName_); }

bool TQbDict::IsScrambledFileName(std::string_view fileName) {
    if (fileName.size() <= 3) return false;
    std::size_t sep = fileName.find_last_of("\\:/");
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos) return false;
    if (sep != std::string_view::npos && dot < sep) return false;
    return LowerAscii(fileName.substr(dot)) == ".qbs";
}

// ---- adding ----

void TQbDict::AddEntry(std::string_view source, std::string_view rendering, bool merging) {
    const std::string key = NormalizeKey(source);
    const std::string r = NormalizeRendering(rendering);
    const std::uint32_t id = FindId(key);
    if (id != kNoId) {
        RewriteRecord(id, key, merging ? MergeRenderings(r, RenderingOf(id)) : r);
        MaybeCompact();
    } else {
        const std::size_t pos = LowerBound(key);
        const std::uint32_t nid = AppendRecord(key, r);
        order_.insert(order_.begin() + std::ptrdiff_t(pos), nid);
        HashInsert(nid);
    }
    UpdateFirstWordIndex(key);
    modified_ = true;
    ++revision_;
}

void TQbDict::AddPair(std::string_view source, std::string_view rendering,
                      std::vector<std::uint32_t>& pending) {
    const std::string key = NormalizeKey(source);
    UpdateFirstWordIndex(key); // the index depends on the keys alone, in the order given
    pending.push_back(AppendRecord(key, NormalizeRendering(rendering)));
}

void TQbDict::FinishAdd(std::vector<std::uint32_t>& pending, bool merging) {
    if (pending.empty()) return;
    modified_ = true;
    ++revision_;
    AbsorbPending(pending, merging ? Absorb::Add : Absorb::Replace);
}

void TQbDict::AddEntries(const StringList& sources, const StringList& renderings, bool merging) {
    // A rendering missing at the end of a shorter list counts as empty.
    std::vector<std::uint32_t> pending;
    pending.reserve(sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
        AddPair(sources[i],
                i < renderings.size() ? std::string_view(renderings[i]) : std::string_view(), pending);
    }
    FinishAdd(pending, merging);
}

void TQbDict::MergeTextBytes(std::string_view bytes, bool merging) {
    std::vector<std::uint32_t> pending;
    ForEachLine(bytes, [&](std::string_view line) {
        const std::size_t tab = FindText(line, "\t");
        if (tab == std::string_view::npos) {
            AddPair({}, {}, pending);
        } else {
            AddPair(line.substr(0, tab), Head(line.substr(tab + 1)), pending);
        }
    });
    FinishAdd(pending, merging);
}

void TQbDict::MergeTextFile(const std::string& path, bool merging) {
    const std::string bytes = ReadWholeFile(path); // read whole before the first entry is added
    MergeTextBytes(bytes, merging);
}

// ---- saving ----

std::string TQbDict::SaveToBytes(bool scrambled) const {
    std::size_t total = 0;
    for (std::uint32_t id : order_) total += std::size_t(records_[id].klen) + records_[id].rlen + 3;
    std::string out;
    out.reserve(total);
    for (std::uint32_t id : order_) {
        const std::string_view line = LineOf(id);
        const std::size_t start = out.size();
        out.append(line);
        if (scrambled) {
            char* p = out.data() + start;
            const std::size_t n = line.size();
            for (std::size_t k = 1; k <= n / 2; k += 2) std::swap(p[k - 1], p[n - k]);
        }
        out.append("\r\n");
    }
    return out;
}

void TQbDict::Save() {
    if (!modified_) return;
    // A lexicon without a file (its file did not exist at loading) has nowhere to write: say
    // so rather than drop the entries.
    if (fileName_.empty()) ThrowCannotCreate(fileName_);
    if (loadFailed_) ThrowNotReadWhole(fileName_);
    WriteWholeFileSafely(fileName_, SaveToBytes(IsScrambledFile()));
}

} // namespace qb
