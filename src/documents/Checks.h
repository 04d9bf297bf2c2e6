// Checks of a document's translations before export: what would break the exported file
// ("%(key)r" dropped from a Python message, which msgfmt refuses) and what a reviewer would
// send back (a number changed, a term of the lexicon not used, the same message translated two
// ways, an input-method slip: 全线 picked where 权限 was meant). Plain C++: the window's export
// and qblex doc-check list the same problems.
#pragma once

#include "Document.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qb::doc {

struct Problem {
    enum Kind {
        Placeholders, // missing, extra, doubled or reordered where the format forbids it
        Numbers,      // a number of the source not in the translation, or one added
        Untranslated,
        Fuzzy,        // marked fuzzy (by the file or the memory) and not yet confirmed
        Term,         // a lexicon term of the source whose rendering the translation lacks
        Inconsistent, // the same source translated differently elsewhere
        Spaces,       // white space at the translation's start or end
        Punctuation,  // the source ends a sentence and the translation does not, or the reverse
        InputSlip,    // a word whose reading is a sense's but whose characters are not
    };
    std::size_t unit = 0; // index into Document::units
    Kind kind = Placeholders;
    std::string message; // Chinese, for the list: "缺少占位符 %(key)r"
    // True when exporting would write a broken file (the writer leaves such a unit untranslated).
    bool breaksExport = false;
};

// A term of the lexicon the source uses, with its renderings ("kernel" -> 内核, 核心).
struct TermUse {
    std::string term;
    std::vector<std::string> renderings;
};

struct CheckOptions {
    // Units the translator or the memory marked fuzzy, by unit index (may be shorter than the
    // units or empty). The caller knows whose a translation is: a PO message flagged "fuzzy"
    // (FuzzyInFile) is fuzzy while its translation is the file's own, not once the memory's.
    std::vector<bool> fuzzy;
    // Terms of the lexicons in use found in a unit's source; unset: no term check.
    std::function<std::vector<TermUse>(std::string_view source)> terms;
    // The input-method slip check: the pinyin readings of a Chinese word ("全线" -> "quanxian"),
    // and the senses the lookup gives for the source's words. Unset: no such check.
    std::function<std::vector<std::string>(std::string_view source)> senses;
    std::function<std::string(std::string_view word)> reading;
};

// The problems of each unit's translation (same index as units; nothing = not translated), in
// unit order.
std::vector<Problem> CheckTranslations(const Document& doc,
                                       const std::vector<std::optional<std::string>>& translations,
                                       const CheckOptions& options = {});

// Whether a PO message's flags line says "fuzzy".
bool FuzzyInFile(const Document& doc, const Unit& unit);

// One line for a list: "第 12 条：缺少占位符 %(key)r".
std::string Describe(const Problem& problem);

// The text a unit's placeholder stands for ("%(key)r", "**", "<b>"): its opening markup.
std::string TagText(const Document& doc, const Unit& unit, std::size_t tagIndex, bool close = false);

} // namespace qb::doc
