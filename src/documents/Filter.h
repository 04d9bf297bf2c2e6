// One filter per format: what recognises its files, reads them into units and the format's own
// state, and writes them back from that state. Each lives in a file of its own
// (TextFormat.cpp, PoFormat.cpp, SrtFormat.cpp, MarkdownFormat.cpp, HtmlFormat.cpp,
// OfficeFormat.cpp) and Filters.cpp lists them. What they share: the splicing writer, the
// building of a unit's line, and the text encodings.
#pragma once

#include "Document.h"

#include <memory>

namespace qb::doc {

class Filter {
public:
    virtual ~Filter() = default;
    // Whether a file of this name is this format's (".po" and ".pot" for PO, case ignored).
    virtual bool Recognises(std::string_view path) const = 0;
    // doc.original into doc.parts, doc.units, doc.skipped and doc.state. DocError for input
    // that is not the format; Cancelled when `progress` said stop.
    virtual void Read(Document& doc, const Limits& limits, const Progress& progress) const = 0;
    // The file again with the translations in (see doc::Write).
    virtual std::string Write(const Document& doc,
                              const std::vector<std::optional<std::string>>& translations,
                              WriteReport& report) const = 0;
    // Whether the file itself marks the unit as unsure (a PO message flagged "fuzzy").
    virtual bool FuzzyInFile(const Document&, std::size_t /*unit*/) const { return false; }
    // The translation the file itself holds for the unit, in the unit's form (a PO message's
    // msgstr); empty: none.
    virtual std::string TranslationInFile(const Document&, std::size_t /*unit*/) const {
        return {};
    }
};

} // namespace qb::doc

namespace qb::doc::detail {

// The filters, for Format's names (Filters.cpp holds the list).
const Filter& TextFilter();
const Filter& PoFilter();
const Filter& SrtFilter();
const Filter& MarkdownFilter();
const Filter& HtmlFilter();
const Filter& DocxFilter();
const Filter& OdtFilter();

// True when `path` ends in one of `exts` (".po"), case ignored.
bool HasExtension(std::string_view path, std::initializer_list<std::string_view> exts);

// The state a filter left in the document, as its own type.
template <class State>
const State& StateOf(const Document& doc) {
    static const State kNone{};
    const auto* s = dynamic_cast<const State*>(doc.state.get());
    return s ? *s : kNone;
}

// ---- the splicing writer ----

// One replacement in a part: a unit's translation, or literal bytes (a PO message's flags).
struct Edit {
    std::size_t begin = 0, end = 0;
    std::size_t unit = kNoRange; // kNoRange: `literal`
    std::vector<Piece> pieces;
    std::string literal;
};

// How a filter writes a translation's pieces.
class UnitWriter {
public:
    virtual ~UnitWriter() = default;
    // A text piece of unit `unit` inside the pairs `open` (tag numbers, innermost last).
    virtual std::string Text(std::size_t unit, const std::vector<std::size_t>& open,
                             std::string_view text) const = 0;
    // What replaces the unit's bytes, from the pieces written (`end`: where they end in `part`).
    virtual std::string Whole(std::size_t /*unit*/, std::string body, const std::string& /*part*/,
                              std::size_t /*end*/) const {
        return body;
    }
};

// The edits of the units whose translation fits their placeholders, by part; `report` counts
// them and the others.
std::vector<std::vector<Edit>>
TranslationEdits(const Document& doc, const std::vector<std::optional<std::string>>& translations,
                 WriteReport& report);
// Each part with its edits made; nothing for a part without any. Everything outside the
// edits stays byte for byte.
std::vector<std::optional<std::string>>
Splice(const Document& doc, std::vector<std::vector<Edit>> edits, const UnitWriter& writer);
bool AnyEdit(const std::vector<std::vector<Edit>>& edits);
// The translations spliced in as they are and the text encoded as the file was (plain text,
// subtitles); the original bytes when nothing is translated.
std::string WritePlain(const Document& doc, const std::vector<std::optional<std::string>>& translations,
                       WriteReport& report);

// ---- text encodings ----

// Text formats: the file's bytes as UTF-8 (decoded from the encoding found: a BOM, UTF-8, else
// GBK), or DocError.
std::string DecodeText(std::string_view bytes, Encoding& encoding);
// The bytes in a charset by name ("windows-1252", "GBK"): DocError when the name is unknown to
// the converter or the bytes do not come back the same when written again.
std::string DecodeCharset(std::string_view bytes, const std::string& charset);
// UTF-8 text in `encoding` (`charset` for Encoding::Named). A character the encoding lacks is
// handed to `unfit`, whose answer is written instead (an HTML page: "&#x4E2D;"); without one,
// DocError names the character.
std::string EncodeText(std::string_view utf8, Encoding encoding, const std::string& charset = {},
                       const std::function<std::string(char32_t)>& unfit = {});
// True for the names of UTF-8 ("UTF-8", "utf8", case ignored).
bool IsUtf8Name(std::string_view charset);

// Throws Cancelled when the callback says stop.
inline void Report(const Progress& progress, std::size_t done, std::size_t total) {
    if (progress && !progress(done, total)) throw Cancelled{};
}

// ---- building a unit's line ----

// Text (white space runs shown as one space; a literal "{2}" in the source becomes a
// placeholder of its own, so that it cannot be taken for one of the unit's tags), lone tags and
// pairs. `wrapOpen`/`wrapClose` go around such a literal placeholder (a Word run).
void AppendText(Unit& u, std::string_view text, const std::string& wrapOpen = {},
                const std::string& wrapClose = {});
void AppendLone(Unit& u, Tag tag);
std::size_t AppendOpen(Unit& u, Tag tag); // the tag's number, for AppendClose
void AppendClose(Unit& u, std::size_t number);
// Trims the line and adds the unit when it holds something to translate (a letter, a digit or
// any character beyond ASCII outside its placeholders): "{1}" or " - " alone is not a unit.
// True when it was added.
bool FinishUnit(Document& doc, Unit&& u);
// The trimming of FinishUnit alone, for a reader that offers every unit (a PO message).
void TrimUnit(Unit& u);

// Markup-like tags of a subtitle or plain text between begin and end of the part: <i>..</i>,
// <font ...>..</font>, {\an8}; everything else is text.
void AppendWithTags(Unit& u, const std::string& part, std::size_t begin, std::size_t end);

// Helpers of the line-based formats.
std::string_view LineAt(std::string_view text, std::size_t pos, std::size_t& next);
bool Blank(std::string_view line);
inline constexpr std::size_t kProgressStep = 1 << 20;

// The HTML reader's units of a page, each with its references and quote (for Markdown's HTML
// blocks, whose units are written as HTML).
struct MarkupUnit {
    References refs;
    char quote = 0; // the quote around an attribute unit's value, 0 for text
};
void ReadHtmlUnits(Document& doc, std::vector<MarkupUnit>& extras, const Progress& progress);

} // namespace qb::doc::detail
