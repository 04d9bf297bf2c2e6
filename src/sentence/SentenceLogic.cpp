#include "SentenceLogic.h"

#include "CandidateLookup.h"
#include "DictUnit.h"

#include <algorithm>

namespace qb {

namespace {
bool IsEndChar(char c) {
    return c == '\n' || c == '\r' || c == '!' || c == '.' || c == ':' || c == ';' || c == '?';
}
bool IsGapChar(char c) { return c == '\n' || c == '\r' || c == ' '; }
} // namespace

TByteSelection FindSentence(std::string_view text, int selStart, int selLength, bool extend) {
    const int n = int(text.size());
    const int s = std::clamp(selStart, 0, n);
    int p = std::clamp(s + std::max(0, selLength), 0, n);
    while (p < n && IsGapChar(text[std::size_t(p)])) ++p;
    int e = n - 1;
    for (int i = p; i <= n - 2; ++i) {
        if (IsEndChar(text[std::size_t(i)]) && IsGapChar(text[std::size_t(i) + 1])) {
            e = i;
            break;
        }
    }
    if (!extend) return {p, std::max(0, e - p + 1)};
    return {s, std::clamp(e - s + 2, 0, n - s)};
}

void PoolLookups(std::string_view text, const std::vector<std::unique_ptr<TQbDict>>& dicts,
                 StringList& pooled, TReducedFrom* reduced) {
    pooled.clear();
    if (reduced) reduced->clear();
    StringList scratch, from;
    std::unordered_set<std::string> written;
    for (const auto& d : dicts) {
        if (!d) continue;
        scratch.clear();
        d->LookupSentence(text, scratch, reduced ? &from : nullptr);
        if (reduced)
            for (std::size_t i = 0; i < scratch.size(); ++i) {
                std::string key = LowerAscii(SplitAtFirst(scratch[i], '\t').first);
                if (from[i].empty())
                    written.insert(std::move(key));
                else
                    reduced->try_emplace(std::move(key), std::move(from[i]));
            }
        MergeKeyedLines(pooled, scratch, '\t', kSenseSep);
    }
    if (reduced)
        std::erase_if(*reduced, [&](const auto& kv) { return written.count(kv.first) != 0; });
}

std::vector<std::size_t> WrittenFirstOrder(const StringList& lines, const TReducedFrom& reduced) {
    const std::size_t n = lines.size();
    std::vector<std::string> keys(n);
    std::unordered_map<std::string, std::size_t> writtenAt;
    for (std::size_t i = 0; i < n; ++i) {
        keys[i] = LowerAscii(SplitAtFirst(lines[i], '\t').first);
        if (!reduced.count(keys[i])) writtenAt.try_emplace(keys[i], i);
    }
    std::vector<std::vector<std::size_t>> after(n);
    std::vector<bool> moved(n, false);
    for (std::size_t i = 0; i < n; ++i) {
        auto r = reduced.find(keys[i]);
        if (r == reduced.end()) continue;
        auto w = writtenAt.find(r->second);
        if (w == writtenAt.end()) continue;
        after[w->second].push_back(i);
        moved[i] = true;
    }
    std::vector<std::size_t> order;
    order.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (moved[i]) continue;
        order.push_back(i);
        order.insert(order.end(), after[i].begin(), after[i].end());
    }
    return order;
}

std::string ShownPhrase(std::string_view phrase, const TReducedFrom* reduced) {
    if (reduced) {
        auto r = reduced->find(LowerAscii(phrase));
        if (r != reduced->end()) return std::string(phrase) + " \xA1\xFB " + r->second; // ←
    }
    return std::string(phrase);
}

std::string PhraseAbbrev(std::string_view phrase) {
    StringList pieces;
    SplitString(phrase, " ", pieces);
    if (pieces.empty()) return {};
    if (pieces.size() == 1) return pieces[0];
    std::string out;
    for (const std::string& p : pieces) {
        char c = p[0];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (c >= 'a' && c <= 'z') out += c;
    }
    return out;
}

void TKeyedMerger::Add(std::string_view key, std::string_view text) {
    auto [it, fresh] = index_.try_emplace(LowerAscii(key), groups_.size());
    if (fresh) {
        Group g;
        g.key = std::string(key);
        g.out = std::string(text); // a new key holds its text exactly as given
        g.adds = 1;
        groups_.push_back(std::move(g));
        return;
    }
    Group& g = groups_[it->second];
    ++g.adds;
    StringList pieces;
    if (g.adds == 2 || !g.clean || g.out.size() + text.size() + 2 > kMaxTextBytes) {
        // MergeKeyedValue's own step: held + ";" + text through JoinDistinct. Its byte limits
        // (5000 after each separator, 5000 in all) only bite when the joined text is longer.
        std::string joined;
        joined.reserve(g.out.size() + 1 + text.size());
        joined.append(g.out).append(";").append(text);
        g.clean = g.adds == 2 ? joined.size() + 1 <= kMaxTextBytes
                              : g.clean && joined.size() + 1 <= kMaxTextBytes;
        g.out = JoinDistinct(joined, ";");
        g.seen.clear();
        if (g.clean) {
            SplitString(g.out, ";", pieces);
            for (std::string& p : pieces) g.seen.insert(std::move(p));
        }
        return;
    }
    SplitString(text, ";", pieces);
    for (std::string& p : pieces) {
        if (g.seen.count(p)) continue;
        if (!g.out.empty()) g.out += ';';
        g.out += p;
        g.seen.insert(std::move(p));
    }
}

void TKeyedMerger::Finish(StringList& keys, StringList& words) {
    std::vector<std::size_t> order(groups_.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return TextLess(groups_[a].key, groups_[b].key);
    });
    keys.clear();
    words.clear();
    keys.reserve(order.size());
    words.reserve(order.size());
    for (std::size_t i : order) {
        keys.push_back(std::move(groups_[i].key));
        words.push_back(std::move(groups_[i].out));
    }
    groups_.clear();
    index_.clear();
}

void BuildSentenceCodeTable(std::string_view sentence, const StringList& sentencePhrases,
                            const TSchemeSet& schemes, StringList& keys, StringList& words) {
    // "add (key, text)" of the code table is MergeKeyedValue(key, text, Keys, Words, ";"); the merger
    // gives the same lists in one pass.
    TKeyedMerger table;
    StringList tokens;
    SplitString(SeparateSymbols(sentence), " ", tokens);
    // A token with a character GBK cannot hold (na FF ve for naïve) could only be typed as
    // that stand-in byte: it is no candidate.
    for (const std::string& t : tokens)
        if (!HoldsNoGbkCharacter(t)) table.Add(LowerAscii(t), t);

    StringList senses;
    StringList codes;
    for (const std::string& line : sentencePhrases) {
        auto [phrase, rendering] = SplitAtFirst(line, '\t');
        senses.clear();
        SplitString(rendering, kSenseSep, senses);
        const std::string abbrev = PhraseAbbrev(phrase);
        table.Add(abbrev, phrase);
        table.Add(abbrev, ReplaceAll(rendering, kSenseSep, ";"));
        if (!schemes.tables) continue;
        for (const std::string& sense : senses) {
            for (int id : kLoadOrder) {
                if (!schemes.on[std::size_t(id - 1)]) continue;
                const SchemeTables& t = (*schemes.tables)[std::size_t(id - 1)];
                GetWordCodes(sense, codes, t.CharKeys, t.CharCodes);
                for (const std::string& q : codes) table.Add(q, sense);
            }
        }
    }
    table.Finish(keys, words);
}

void BuildSenseCodeTable(const StringList& sentencePhrases, const TSchemeSet& schemes,
                         StringList& keys, StringList& words) {
    TKeyedMerger table;
    StringList parts;
    StringList codes;
    std::unordered_set<std::string> seen;
    for (const std::string& line : sentencePhrases) {
        const std::string rendering = ReplaceAll(SplitAtFirst(line, '\t').second, kSenseSep, ";");
        SplitString(rendering, ";", parts);
        for (const std::string& part : parts) {
            const std::string sense = Trim(part);
            if (sense.empty() || !seen.insert(sense).second || !schemes.tables) continue;
            for (int id : kLoadOrder) {
                if (id == 4 || !schemes.on[std::size_t(id - 1)]) continue;
                const SchemeTables& t = (*schemes.tables)[std::size_t(id - 1)];
                GetWordSpellings(sense, codes, t.CharKeys, t.CharCodes);
                if (codes.empty()) continue; // no pinyin word: no initials either
                for (const std::string& q : codes) table.Add(q, sense);
                GetWordCodes(sense, codes, t.CharKeys, t.CharCodes);
                for (const std::string& q : codes) table.Add(q, sense);
            }
        }
    }
    table.Finish(keys, words);
}

void BuildSenseCodeTable(std::initializer_list<std::reference_wrapper<const StringList>> groups,
                         const TSchemeSet& schemes, StringList& keys, StringList& words) {
    StringList lines;
    for (const StringList& g : groups) lines.insert(lines.end(), g.begin(), g.end());
    BuildSenseCodeTable(lines, schemes, keys, words);
}

namespace {
// Only a sense of a word's length (8 characters) hides the senses inside it: an explanation
// such as "DOS内部命令:本命令用于退出当前的命令处理器" is no word the conversion prefers, and
// must not take 退出 away.
constexpr std::size_t kMaxContainingSense = 16;
} // namespace

std::vector<std::string> SentenceSenses(const StringList& sentencePhrases, const TReducedFrom* reduced) {
    std::vector<std::string> senses;
    std::unordered_set<std::string> seen;
    StringList parts;
    // The entries as written first; then the reduced forms whose words have no entry as written.
    StringList lines;
    lines.reserve(sentencePhrases.size());
    std::unordered_set<std::string> written;
    for (const std::string& line : sentencePhrases) {
        std::string key = LowerAscii(SplitAtFirst(line, '\t').first);
        if (reduced && reduced->count(key)) continue;
        lines.push_back(line);
        written.insert(std::move(key));
    }
    if (reduced)
        for (const std::string& line : sentencePhrases) {
            auto r = reduced->find(LowerAscii(SplitAtFirst(line, '\t').first));
            if (r != reduced->end() && !written.count(r->second)) lines.push_back(line);
        }
    for (const std::string& line : lines) {
        const std::string rendering = ReplaceAll(SplitAtFirst(line, '\t').second, kSenseSep, ";");
        SplitString(rendering, ";", parts);
        for (const std::string& part : parts) {
            std::string sense = Trim(part);
            if (!sense.empty() && seen.insert(sense).second) senses.push_back(std::move(sense));
        }
    }
    // Every piece of a short sense that FindText could find in it (a start on a character
    // boundary, any length short of the whole), once: a sense is left out when it is such a
    // piece. At most 136 pieces of a 16-byte sense, so a long sentence's 2,000 senses cost a
    // few hundred thousand hash operations, not four million searches.
    std::unordered_set<std::string_view> pieces;
    for (const std::string& longer : senses) {
        if (longer.size() > kMaxContainingSense) continue;
        for (std::size_t start = 0; start < longer.size();
             start += IsLeadByte(static_cast<unsigned char>(longer[start])) ? 2 : 1)
            for (std::size_t length = 1; start + length <= longer.size(); ++length)
                if (length < longer.size())
                    pieces.insert(std::string_view(longer).substr(start, length));
    }
    std::vector<std::string> kept;
    kept.reserve(senses.size());
    for (const std::string& s : senses)
        if (!pieces.contains(s)) kept.push_back(s);
    return kept;
}

namespace {
std::vector<std::size_t> ShowOrder(const StringList& lines, const TReducedFrom* reduced) {
    if (reduced) return WrittenFirstOrder(lines, *reduced);
    std::vector<std::size_t> order(lines.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    return order;
}
} // namespace

StringList PhraseListLines(const StringList& sentencePhrases, const TReducedFrom* reduced,
                           StringList* inserted) {
    StringList lines;
    StringList senses;
    if (inserted) inserted->clear();
    for (std::size_t i : ShowOrder(sentencePhrases, reduced)) {
        auto [phrase, rendering] = SplitAtFirst(sentencePhrases[i], '\t');
        if (WordCount(phrase) <= 1) continue;
        lines.push_back(ShownPhrase(phrase, reduced));
        if (inserted) inserted->push_back(phrase);
        senses.clear();
        SplitString(rendering, kSenseSep, senses);
        for (const std::string& s : senses) {
            lines.push_back(" " + s);
            if (inserted) inserted->push_back(s);
        }
    }
    return lines;
}

TExplanation BuildExplanation(StringList pooled, const TReducedFrom* reduced) {
    std::stable_sort(pooled.begin(), pooled.end(),
                     [](const std::string& a, const std::string& b) { return TextLess(a, b); });
    TExplanation out;
    StringList senses;
    for (std::size_t i : ShowOrder(pooled, reduced)) {
        auto [key, rendering] = SplitAtFirst(pooled[i], '\t');
        const std::string phrase = ShownPhrase(key, reduced);
        if (phrase.size() > out.longest.size()) out.longest = phrase;
        out.lines.push_back(phrase);
        senses.clear();
        SplitString(rendering, kSenseSep, senses);
        for (const std::string& s : senses) {
            out.lines.push_back("  " + s);
            if (s.size() > out.longest.size()) out.longest = s;
        }
    }
    return out;
}

std::string ExampleText() {
    return " Welcome to use Quillbridge Translating Environment!\r\n"
           " From now on, you'll have more time to enjoy life.\r\n";
}

StringList MatchWordLines(std::string_view matchTarget, const StringList& oldPieces,
                          const std::vector<std::unique_ptr<TQbDict>>& dicts,
                          ClauseConverter* converter) {
    // The senses of what the sentence lacks: those parts of the translation went with it.
    StringList touched, pooled, senses;
    for (const std::string& piece : oldPieces) {
        PoolLookups(piece, dicts, pooled);
        for (const std::string& line : pooled) {
            SensesOf(line, senses);
            touched.insert(touched.end(), senses.begin(), senses.end());
        }
    }
    StringList words, out;
    TranslationWords(matchTarget, converter, words);
    std::unordered_set<std::string> seen;
    for (const std::string& word : words) {
        // 打开 is a sense of "open"; 存档 is inside its "把…存档"; a two-character sense inside
        // the word (打开 in 打开的) takes it too.
        const bool gone = std::any_of(touched.begin(), touched.end(), [&](const std::string& t) {
            return FindText(t, word) != std::string_view::npos ||
                   (t.size() >= 4 && FindText(word, t) != std::string_view::npos);
        });
        if (!gone && seen.insert(word).second) out.push_back("\t" + word);
    }
    return out;
}

} // namespace qb
