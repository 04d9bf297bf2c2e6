// A document to translate: the file's bytes, the parts of it that hold text, and its units (a
// paragraph, a heading, a list item, a table cell, a PO message, a subtitle cue), each shown as
// one line of UTF-8 with its inline markup as numbered placeholders.
//
// Writing never renders the document again: every unit knows the byte range of its text in its
// part, and the writer splices the translations into the original bytes, so whatever it does not
// translate stays byte for byte as it was. "Click **here** now." gives the unit
//   Click {1}here{/1} now.          tags[0] = open "**" (bytes 6-8), close "**" (bytes 12-14)
// and the translation "现在点击{1}这里{/1}。" is written back as "现在点击**这里**。".
//
// Readers and the writer work on bytes in memory; reading and writing files is the caller's.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Markup.h"

namespace qb::doc {

// Input that cannot be read as its format. what() is a Chinese sentence saying what is wrong,
// without the file's name (the caller adds it): "第 12 行：字符串缺少结尾的引号".
class DocError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Thrown out of a reader when its progress callback answered false.
struct Cancelled {};

// Called now and then while reading with (bytes done, bytes in all); false stops the reading.
using Progress = std::function<bool(std::size_t done, std::size_t total)>;

class Filter; // Filter.h: the reader and writer of one format

// A format: the filter that reads and writes its files. Format::Po and the others name the
// filters the program has (Filters.cpp lists them); FormatOfPath finds one by a file's name.
class Format {
public:
    static const Format Text, Po, Srt, Markdown, Html, Docx, Odt;

    constexpr explicit Format(const Filter& (*filter)()) : filter_(filter) {}
    const Filter& filter() const { return filter_(); }
    friend bool operator==(Format a, Format b) { return a.filter_ == b.filter_; }

private:
    const Filter& (*filter_)();
};

// The format a file's name says (".po", ".pot", ".md", ".markdown", ".htm", ".html", ".srt",
// ".txt", ".docx", ".odt", case ignored), nothing for any other name.
std::optional<Format> FormatOfPath(std::string_view path);

inline constexpr std::size_t kNoRange = std::size_t(-1);

// A placeholder: the markup it stands for, as a byte range of the unit's part (so that a unit
// inside it, an image's alt text, is translated there too) or, for markup the writer makes, as
// literal text. A paired tag shows as {n}...{/n}, a lone one as {n}.
struct Tag {
    std::size_t openBegin = kNoRange, openEnd = kNoRange;
    std::size_t closeBegin = kNoRange, closeEnd = kNoRange;
    std::string open, close; // used when the range is kNoRange
    bool paired = false;
};

struct Unit {
    std::string text; // one line of UTF-8 with placeholders
    std::vector<Tag> tags;
    std::size_t part = 0;           // index into Document::parts
    std::size_t begin = 0, end = 0; // the bytes of the part that a translation replaces
};

// Named: the charset a file declares (an HTML page's <meta charset>, a PO header's charset),
// by the name in Document::charset.
enum class Encoding { Utf8, Utf8Bom, Utf16LE, Utf16BE, Gbk, Named };

struct DocPart {
    std::string name; // the entry of an office package; empty for a text file
    std::string text; // UTF-8 (a text file decoded from its encoding) or the part's XML bytes
};

// What a format keeps of a file beside its units, for writing it back: a PO message's flags
// line and plural, an HTML unit's character references, a Word run's formatting. Each filter
// defines its own (Filter.h).
struct FormatState {
    virtual ~FormatState() = default;
};

// Visible text a reader met and made no unit of, with why ("代码，保持原样"): a code block, a
// cell holding only "|". Nothing the reader passes over goes unmentioned.
struct Skipped {
    std::size_t part = 0;
    std::size_t begin = 0, end = 0; // bytes of the part
    std::string why;
};

struct Document {
    Format format = Format::Text;
    std::string original; // the file's bytes
    Encoding encoding = Encoding::Utf8;
    std::string charset; // Encoding::Named: its name as the file gives it ("windows-1252")
    std::vector<DocPart> parts;
    std::vector<Unit> units;
    std::vector<Skipped> skipped;             // in the order of the file
    std::shared_ptr<const FormatState> state; // the filter's, never changed once read
};

// Limits against input made to exhaust the machine.
struct Limits {
    std::size_t maxFileBytes = std::size_t(200) << 20;     // any file
    std::size_t maxEntries = 5000;                         // entries of an office package
    std::size_t maxUnpackedBytes = std::size_t(400) << 20; // all entries unpacked
    // The XML the text parts unpack to: at most textBytesBase + textBytesPerByte x the file,
    // and never past maxTextBytes. Reading takes a few times the XML's size, so this keeps a
    // package within about 100 MB plus 20x its size however well it compresses.
    std::size_t maxTextBytes = std::size_t(64) << 20;
    std::size_t textBytesBase = std::size_t(8) << 20;
    std::size_t textBytesPerByte = 4;
};

// Reads `bytes` as `format`. DocError for input that is not that format; Cancelled when
// `progress` said stop.
Document Read(Format format, std::string_view bytes, const Limits& limits = {},
              const Progress& progress = {});

// How the writing went: units written translated, units left in the source language (not
// translated, or any sentence of them untranslated), and units whose translation lost, doubled
// or invented a placeholder (also left), by unit index.
struct WriteReport {
    std::size_t translated = 0;
    std::size_t left = 0;
    std::vector<std::size_t> mismatched;
};

// The document with each unit that has a translation (same index as units; nothing = leave it)
// replaced. With no translation at all, the result is the original bytes.
std::string Write(const Document& doc, const std::vector<std::optional<std::string>>& translations,
                  WriteReport* report = nullptr);

// What the source pane shows: the units' texts, a blank line between two units.
std::string PaneText(const Document& doc);

// ---- placeholders ----

// A translation cut at its placeholders: text pieces and tag numbers (1-based), in order.
struct Piece {
    enum Kind { Text, Open, Close, Lone } kind = Text;
    std::string text; // Text
    std::size_t tag = 0;
};
// The pieces of `text` checked against the unit's tags: every tag exactly once (a paired tag as
// {n} ... {/n} in that order, a lone one as {n}), no number the unit does not have. Nothing
// when the translation does not fit. "{1}这里{/1}" fits a unit with one paired tag; "这里{/1}"
// and "{1}{1}这里{/1}" do not.
std::optional<std::vector<Piece>> CheckPlaceholders(const Unit& unit, std::string_view text);

// ---- helpers the readers share ----

// A placeholder "{n}" or "{/n}" (at most six digits) at byte `i` of a unit's text: its length,
// with its number and whether it closes; 0 when there is none ("{integer|undefined}", "{}").
std::size_t TagRef(std::string_view text, std::size_t i, std::size_t& n, bool& closing);
// True when the bytes are UTF-8 without NUL bytes.
bool IsUtf8Text(std::string_view bytes);
// 1-based line number of byte `offset`.
std::size_t LineOf(std::string_view text, std::size_t offset);
// Collapses every run of white space (space, tab, CR, LF) to one space and trims both ends.
std::string OneLine(std::string_view text);
} // namespace qb::doc
