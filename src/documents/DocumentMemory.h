// A document's translations as the translation memory holds them: each unit looked up whole as
// an exact (100%) match, else cut into sentences by the rule Ctrl+J selects with, each sentence
// looked up so.
#pragma once

#include "Document.h"

#include <array>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qb::tm {
class TTranslationMemory;
}

namespace qb::doc {

// The sentences of a unit's line, as Ctrl+J selects them one after another, white space at both
// ends removed: "Open the file. Then save it." -> "Open the file.", "Then save it.".
std::vector<std::string> Sentences(std::string_view unitText);

// The memory's current (newest) translation of each stored sentence, read once: the export
// looks up every sentence of a document, and a fuzzy search for each (the match list's way)
// would take half a minute for a 1 MB file where this takes a few milliseconds.
class TExactMatches {
public:
    explicit TExactMatches(tm::TTranslationMemory& memory);
    // The translation of exactly this sentence (a 100% match: the same words, white space
    // aside); empty when none.
    std::string Find(std::string_view sentence) const;
    // A unit's translation: the memory's pair for the whole unit first (a memory made in a PO
    // editor holds "Open the file. Then save it." as one pair), else its sentences' translations
    // joined without spaces (Chinese needs none); empty when any sentence has none.
    std::string FindUnit(std::string_view unitText) const;

private:
    std::unordered_map<std::string, std::string> targets_;
};

// Each unit's translation as TExactMatches::FindUnit gives it; nothing when it has none.
// `progress` is asked with (units done, units).
std::vector<std::optional<std::string>> TranslateFromMemory(const Document& doc,
                                                            tm::TTranslationMemory& memory,
                                                            const Progress& progress = {});

struct DocStats {
    std::size_t units = 0;
    std::size_t words = 0;      // English words of the units
    std::size_t hanzi = 0;      // Chinese characters of the translations
    std::size_t translated = 0; // units with a translation for every sentence
    // What is left, in sentences and their words, by the best match the memory has:
    // 100%, 95-99%, 85-94%, 75-84%, new (below 75% or none).
    std::array<std::size_t, 5> bandSentences{};
    std::array<std::size_t, 5> bandWords{};
};
// `done` (same index as the units, may be shorter): the translations the translator finished
// (the segments translated or checked); those units count as translated whatever the memory has.
DocStats Statistics(const Document& doc, tm::TTranslationMemory* memory, const Progress& progress = {},
                    const std::vector<std::optional<std::string>>& done = {});

std::size_t CountWords(std::string_view text); // runs of ASCII letters and digits, placeholders not counted
std::size_t CountHanzi(std::string_view utf8); // CJK unified ideographs

} // namespace qb::doc
