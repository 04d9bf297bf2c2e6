// How much of a real English text the basic lexicon finds: the share of word tokens with an
// entry (word forms applied as the lookup applies them) and the share of the text's most frequent
// two-to-four-word phrases that are keys.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qb {
class TQbDict;
}

namespace qb::datagen {

struct CoverageFigures {
    long long tokens = 0, found = 0; // alphabetic tokens, and those with an entry
    std::vector<std::pair<std::string, long long>> missing; // most frequent tokens not found
    int phrases = 0;     // the most frequent phrases examined (at most 500)
    int phraseKeys = 0;  // ... that are keys as they stand
    int phraseFound = 0; // ... that the lookup finds, word forms applied at either end
    std::vector<std::string> foundSamples, missingSamples;
};

// `text` is ASCII or UTF-8 English; tokens are runs of the letters A-Z and a-z. Phrases are runs
// of 2 to 4 tokens separated by spaces or line breaks only (no punctuation between them).
CoverageFigures MeasureCoverage(const qb::TQbDict& dict, std::string_view text, int topPhrases = 500);
void PrintCoverage(const CoverageFigures& f, std::ostream& out);

} // namespace qb::datagen
