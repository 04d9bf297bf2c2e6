#include "Coverage.h"

#include "DictUnit.h"
#include "MyUtils.h"

#include <algorithm>
#include <unordered_map>

namespace qb::datagen {

namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Whether the lookup of `text` yields an entry of `words` words; `exact`: that entry's key is
// the text itself.
bool Finds(const qb::TQbDict& dict, const std::string& text, int words, bool exact) {
    StringList results;
    dict.LookupSentence(text, results);
    for (const std::string& line : results) {
        const std::string key = line.substr(0, line.find('\t'));
        if (exact ? key == text : qb::WordCount(key) == words) return true;
    }
    return false;
}

} // namespace

CoverageFigures MeasureCoverage(const qb::TQbDict& dict, std::string_view text, int topPhrases) {
    CoverageFigures f;
    std::unordered_map<std::string, bool> known;
    std::unordered_map<std::string, long long> missing;
    struct Count {
        long long n = 0;
        std::size_t first = 0;
    };
    std::unordered_map<std::string, Count> phrases;
    std::vector<std::string> run; // tokens since the last punctuation
    std::size_t i = 0, order = 0;
    while (i < text.size()) {
        if (!IsLetter(text[i])) {
            if (text[i] != ' ' && text[i] != '\n' && text[i] != '\r' && text[i] != '\t')
                run.clear();
            ++i;
            continue;
        }
        std::size_t e = i;
        while (e < text.size() && IsLetter(text[e])) ++e;
        std::string token = qb::LowerAscii(text.substr(i, e - i));
        i = e;
        ++f.tokens;
        auto it = known.find(token);
        if (it == known.end()) it = known.emplace(token, Finds(dict, token, 1, false)).first;
        if (it->second)
            ++f.found;
        else
            ++missing[token];
        run.push_back(token);
        for (std::size_t n = 2; n <= 4 && n <= run.size(); ++n) {
            std::string p;
            for (std::size_t k = run.size() - n; k < run.size(); ++k)
                p += (p.empty() ? "" : " ") + run[k];
            Count& c = phrases[p];
            if (c.n++ == 0) c.first = order++;
        }
        if (run.size() > 4) run.erase(run.begin());
    }
    f.missing.assign(missing.begin(), missing.end());
    std::sort(f.missing.begin(), f.missing.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    if (f.missing.size() > 30) f.missing.resize(30);

    std::vector<std::pair<std::string, Count>> top(phrases.begin(), phrases.end());
    std::sort(top.begin(), top.end(), [](const auto& a, const auto& b) {
        return a.second.n != b.second.n ? a.second.n > b.second.n : a.second.first < b.second.first;
    });
    if (top.size() > std::size_t(topPhrases)) top.resize(std::size_t(topPhrases));
    f.phrases = int(top.size());
    for (const auto& [p, c] : top) {
        const int words = qb::WordCount(p);
        const bool key = Finds(dict, p, words, true);
        const bool found = key || Finds(dict, p, words, false);
        f.phraseKeys += key;
        f.phraseFound += found;
        auto& samples = found ? f.foundSamples : f.missingSamples;
        if (samples.size() < 25) samples.push_back(p + " (" + std::to_string(c.n) + ")");
    }
    return f;
}

void PrintCoverage(const CoverageFigures& f, std::ostream& out) {
    auto pct = [](long long a, long long b) { return b ? 100.0 * double(a) / double(b) : 0.0; };
    out << "word tokens: " << f.tokens << ", found: " << f.found << " (" << pct(f.found, f.tokens)
        << "%)\n";
    out << "most frequent tokens not found:";
    for (const auto& [t, n] : f.missing) out << " " << t << "(" << n << ")";
    out << "\nthe " << f.phrases << " most frequent 2-4-word phrases: keys " << f.phraseKeys << " ("
        << pct(f.phraseKeys, f.phrases) << "%), found with word forms " << f.phraseFound << " ("
        << pct(f.phraseFound, f.phrases) << "%)\n";
    out << "found:";
    for (const std::string& s : f.foundSamples) out << " [" << s << "]";
    out << "\nnot found:";
    for (const std::string& s : f.missingSamples) out << " [" << s << "]";
    out << "\n";
}

} // namespace qb::datagen
