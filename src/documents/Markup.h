// Character references of XML and HTML, both ways: the one escaper and the one unescaper of
// every reader and writer of markup here (HTML pages and the HTML blocks of Markdown, the XML of
// Word and OpenDocument packages). Plain C++.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qb::doc {

// Characters the source wrote as references, each with that reference ("\xC2\xA0" -> "&nbsp;",
// "中" -> "&#x4e2d;"), so that a translation writes them the same way.
using References = std::vector<std::pair<std::string, std::string>>;

// `text` as markup: '&', '<' and '>' always as references, `quote` ('"' or '\'') too when the
// text is an attribute's value in those quotes, and a character of `refs` as the source wrote
// it. Every other character as it is: "Fish & chips" -> "Fish &amp; chips".
std::string MarkupEscape(std::string_view text, char quote = 0, const References* refs = nullptr);

enum class Markup { Xml, Html };

// `text` with its character references decoded: numeric ones and XML's five, and in HTML every
// named one ("&nbsp;", "&eacute;", "&mdash;"). One not ended by ';' or unknown stays as written.
// Each reference decoded is added to `refs`.
std::string MarkupUnescape(std::string_view text, Markup markup, References* refs = nullptr);

inline std::string XmlUnescape(std::string_view text) { return MarkupUnescape(text, Markup::Xml); }
inline std::string HtmlUnescape(std::string_view text, References* refs = nullptr) {
    return MarkupUnescape(text, Markup::Html, refs);
}

namespace detail {
// A named reference's characters as HTML reads it ("&mdash;" -> "—"), empty when it names none.
std::string NamedReference(const std::string& ref);
} // namespace detail

} // namespace qb::doc
