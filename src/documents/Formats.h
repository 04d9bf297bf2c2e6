// The readers of each format and the office package writer, behind Read and Write.
#pragma once

#include "Document.h"

namespace qb::doc::detail {

void ReadText(Document& doc, const Progress& progress);
void ReadSrt(Document& doc, const Progress& progress);
void ReadPo(Document& doc, const Progress& progress);
void ReadMarkdown(Document& doc, const Progress& progress);
void ReadHtml(Document& doc, const Progress& progress);
void ReadOffice(Document& doc, const Limits& limits, const Progress& progress);

// The package again: every entry copied as it was stored, except the parts given in `changed`
// (same order as doc.parts; nothing = unchanged), which are compressed anew.
std::string WriteOffice(const Document& doc, const std::vector<std::optional<std::string>>& changed);

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

} // namespace qb::doc::detail

namespace qb::doc::detail {

// Building a unit's line: text (white space runs shown as one space; a literal "{2}" in the
// source becomes a placeholder of its own, so that it cannot be taken for one of the unit's
// tags), lone tags and pairs.
void AppendText(Unit& u, std::string_view text, const std::string& wrapOpen = {},
                const std::string& wrapClose = {});
void AppendLone(Unit& u, Tag tag);
std::size_t AppendOpen(Unit& u, Tag tag); // the tag's number, for AppendClose
void AppendClose(Unit& u, std::size_t number);
// Trims the line and adds the unit when it holds something to translate (a letter, a digit or
// any character beyond ASCII outside its placeholders): "{1}" or " - " alone is not a unit.
void FinishUnit(Document& doc, Unit&& u);
// The trimming of FinishUnit alone, for a reader that offers every unit (a PO message).
void TrimUnit(Unit& u);

// Markup-like tags of a subtitle or plain text between begin and end of the part: <i>..</i>,
// <font ...>..</font>, {\an8}; everything else is text.
void AppendWithTags(Unit& u, const std::string& part, std::size_t begin, std::size_t end);

} // namespace qb::doc::detail
