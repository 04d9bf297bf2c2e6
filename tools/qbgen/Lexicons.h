// The lexicons built from ECDICT: the basic lexicon, the full one and one per domain.
#pragma once

#include "DictUnit.h"
#include "MyUtils.h"

#include <array>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace qb::datagen {

struct LexEntry {
    std::string key;       // lookup form
    std::string rendering; // GBK senses joined by "；", first met first
};
using LexEntries = std::vector<LexEntry>;

struct DomainLexicon {
    const char16_t* label; // ECDICT's line label: u"医" for "[医] ..."
    const char* file;      // file name under lexicons/
};
inline constexpr std::array<DomainLexicon, 7> kDomains = {{
    {u"医", "medicine.qbs"},
    {u"化", "chemistry.qbs"},
    {u"计", "computing.qbs"},
    {u"经", "economics.qbs"},
    {u"法", "law.qbs"},
    {u"电", "electrical.qbs"},
    {u"机", "mechanical.qbs"},
}};

struct LexiconSet {
    LexEntries basic, full;
    LexEntries abbreviations; // the senses of abbreviations, kept apart from the words they spell
    std::array<LexEntries, kDomains.size()> domains;
    long long rows = 0, droppedEmpty = 0, droppedNoSense = 0;
};

// Lemmas of lemma.en.txt ("be/4109826 -> is,was,..." gives "be").
std::unordered_set<std::string> ReadLemmas(std::string_view text);

// One pass over ecdict.csv. `threads` workers clean the rows; the result does not depend on it.
// `forms` (may be null) is a lexicon whose irregular forms are loaded: an inflected-form row goes
// into the basic selection only when its word forms do not lead to its lemma. `technical` (may
// be null): words of software documentation (lower case) whose single-word rows join the basic
// selection whatever their labels ("makefile", "posix", "stdout").
LexiconSet BuildLexicons(std::string_view csv, const std::unordered_set<std::string>& lemmas,
                         const qb::TQbDict* forms, int threads = 2,
                         const std::unordered_set<std::string>* technical = nullptr);

// The vocabulary of manual pages (troff sources): every word met at least `minCount` times,
// lower case, outside comments, macro names and font escapes ("\fBprintf\fP" gives printf).
std::unordered_set<std::string> ManPageWords(std::string_view troff, int minCount);

// Sorts the entries in text order of their keys and merges entries whose keys are equal in that
// order (their senses joined, first met first), e.g. "a.m." and "A. M." both give "a . m .".
void SortAndMerge(LexEntries& entries);

// The bytes of a professional lexicon file (".qbs") holding `entries` (sorted and merged):
// the engine's own line form, scrambling and line breaks.
std::string LexiconFileBytes(const LexEntries& entries);

} // namespace qb::datagen
