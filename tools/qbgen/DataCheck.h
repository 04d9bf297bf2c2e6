// The whole-output checker: every shipped file in the form the program relies on.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace qb::datagen {

struct CheckReport {
    std::vector<std::string> errors; // "file: line n: what" (UTF-8)
    std::vector<std::string> notes;  // figures
    void Error(const std::string& file, std::size_t line, const std::string& what);
};

// One scheme's four files as bytes. Each must be valid GBK; .achr one character per line and
// .py one code per line, both strictly ascending in text order (so unique); .mpy and .mchar
// parallel to them; .mpy readings single-space separated, none empty; .mchar candidates not
// empty, none holding "..." (";" separates them). Codes use a-z and ' ; . only.
void CheckScheme(const std::string& stem, std::string_view achr, std::string_view mpy,
                 std::string_view py, std::string_view mchar, CheckReport& r);

// A professional lexicon file (scrambled lines): valid GBK; key TAB rendering; keys in lookup
// form, strictly ascending in text order; renderings in normal form (non-empty distinct senses
// joined by "；", no half-width ";", at most 5000 bytes); and the engine, loading the bytes and
// saving them again, gives the same bytes (its own order and scrambling). No sense holds noise
// (SenseNoise: private-use characters, command explanations, English in brackets, the source
// and countries of a name, grammar notes); the counts of each kind go to the notes.
void CheckLexicon(const std::string& name, std::string_view bytes, CheckReport& r);

// An ordinary word's entry of `name` must not carry the senses of the abbreviation written the
// same: an entry that shares senses with the abbreviation lexicon's entry of its key and also
// has senses of its own ("is": 是 beside 信息系统) is an error. Returns how many there are.
std::size_t CheckAbbreviationsApart(const std::string& name, std::string_view bytes,
                                    std::string_view abbreviationBytes, CheckReport& r);

// verb.spe: lines form^base^ with a form of a-z letters, each form once.
void CheckIrregular(const std::string& name, std::string_view bytes, CheckReport& r);

// Every file of the program's folder, the coverage of GB2312 by every scheme and the spot checks
// a user would make. Prints the figures and the errors (at most a few per file); returns the
// number of errors.
int CheckDataFolder(const std::string& dir, std::ostream& out);

} // namespace qb::datagen
