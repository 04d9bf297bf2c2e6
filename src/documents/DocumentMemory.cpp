#include "DocumentMemory.h"

#include "SentenceLogic.h"
#include "TranslationMemory.h"

#include <algorithm>

namespace qb::doc {

std::vector<std::string> Sentences(std::string_view unitText) {
    // The pane ends a unit's line with a line break; with it the rule ends the last sentence
    // there, as it does in the pane.
    const std::string text = std::string(unitText) + "\n";
    std::vector<std::string> out;
    int pos = 0;
    while (pos < int(text.size())) {
        const TByteSelection sel = qb::FindSentence(text, pos, 0, false);
        if (sel.length <= 0) break;
        std::string s =
            OneLine(std::string_view(text).substr(std::size_t(sel.start), std::size_t(sel.length)));
        if (!s.empty()) out.push_back(std::move(s));
        pos = sel.start + sel.length;
    }
    return out;
}

TExactMatches::TExactMatches(tm::TTranslationMemory& memory) {
    memory.ForEachPair([&](const tm::Pair& p) { targets_[p.source] = p.target; });
}

std::string TExactMatches::Find(std::string_view sentence) const {
    auto it = targets_.find(tm::NormalizeSource(sentence));
    return it == targets_.end() ? std::string() : it->second;
}

std::string TExactMatches::FindUnit(std::string_view unitText) const {
    std::string whole = Find(OneLine(unitText));
    if (!whole.empty()) return whole;
    std::string joined;
    for (const std::string& s : Sentences(unitText)) {
        const std::string t = Find(s);
        if (t.empty()) return {};
        joined += t;
    }
    return joined;
}

std::vector<std::optional<std::string>>
TranslateFromMemory(const Document& doc, tm::TTranslationMemory& memory, const Progress& progress) {
    std::vector<std::optional<std::string>> out(doc.units.size());
    const TExactMatches exact(memory);
    for (std::size_t i = 0; i < doc.units.size(); ++i) {
        if (progress && i % 64 == 0 && !progress(i, doc.units.size())) throw Cancelled{};
        std::string t = exact.FindUnit(doc.units[i].text);
        if (!t.empty()) out[i] = std::move(t);
    }
    return out;
}

std::size_t CountWords(std::string_view text) {
    std::size_t n = 0;
    bool in = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '{') {
            const std::size_t close = text.find('}', i);
            if (close != std::string_view::npos && close - i <= 8) {
                i = close;
                in = false;
                continue;
            }
        }
        const bool w =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '\'';
        if (w && !in) ++n;
        in = w;
    }
    return n;
}

std::size_t CountHanzi(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i + 2 < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if ((c & 0xF0) != 0xE0) continue;
        const unsigned cp = ((c & 0x0Fu) << 12) |
                            ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6) |
                            (static_cast<unsigned char>(s[i + 2]) & 0x3Fu);
        if ((cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0x3400 && cp <= 0x4DBF)) ++n;
        i += 2;
    }
    return n;
}

namespace {
std::size_t Band(int score) {
    if (score >= 100) return 0;
    if (score >= 95) return 1;
    if (score >= 85) return 2;
    if (score >= 75) return 3;
    return 4;
}
} // namespace

DocStats Statistics(const Document& doc, tm::TTranslationMemory* memory, const Progress& progress,
                    const std::vector<std::optional<std::string>>& done) {
    DocStats st;
    st.units = doc.units.size();
    std::optional<TExactMatches> exact;
    if (memory) exact.emplace(*memory);
    for (std::size_t i = 0; i < doc.units.size(); ++i) {
        if (progress && i % 64 == 0 && !progress(i, doc.units.size())) throw Cancelled{};
        const Unit& u = doc.units[i];
        st.words += CountWords(u.text);
        if (i < done.size() && done[i]) {
            ++st.translated;
            st.hanzi += CountHanzi(*done[i]);
            continue;
        }
        if (exact) {
            // The whole unit's pair counts as its translation, as the export takes it.
            if (const std::string whole = exact->Find(OneLine(u.text)); !whole.empty()) {
                ++st.translated;
                st.hanzi += CountHanzi(whole);
                continue;
            }
        }
        std::string joined;
        std::vector<int> scores;
        const std::vector<std::string> sentences = Sentences(u.text);
        for (const std::string& s : sentences) {
            int best = 0;
            if (memory) {
                const std::string t = exact->Find(s);
                if (!t.empty()) {
                    best = 100;
                    joined += t;
                } else if (const std::vector<tm::Match> m = memory->Matches(s, 75, 1); !m.empty()) {
                    best = std::min(m.front().score, 99);
                }
            }
            scores.push_back(best);
        }
        const bool all = !sentences.empty() && std::count(scores.begin(), scores.end(), 100) ==
                                                   std::ptrdiff_t(scores.size());
        if (all) {
            ++st.translated;
            st.hanzi += CountHanzi(joined);
            continue;
        }
        // What is left of a unit: each sentence by its best match (a 100% one is still to be
        // filled, the unit not being whole).
        for (std::size_t k = 0; k < sentences.size(); ++k) {
            ++st.bandSentences[Band(scores[k])];
            st.bandWords[Band(scores[k])] += CountWords(sentences[k]);
        }
    }
    return st;
}

} // namespace qb::doc
