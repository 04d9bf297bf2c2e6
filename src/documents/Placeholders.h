// The placeholders a message of a program holds: what a translation must carry over as it is,
// recognised by the formats its catalogue names ("#, python-format") and the markup a
// translator meets in any message. "Welcome, %(name)s! <b>%d</b> new" holds "%(name)s", "<b>",
// "%d" and "</b>" when the message is python-format.
#pragma once

#include <cstddef>
#include <string_view>

namespace qb::doc {

// The formats a PO flags line names ("#, fuzzy, c-format, python-brace-format\n"); a "no-"
// flag ("no-c-format") names none.
enum FormatFlag : unsigned {
    kCFormat = 1,
    kPythonFormat = 2,
    kPythonBraceFormat = 4,
    kQtFormat = 8,
};
unsigned FormatFlagsOf(std::string_view flagsLine);

// The length of the placeholder starting at s[i] of a message whose flags line is `flagsLine`
// (empty for none), 0 when none starts there. Whatever the flags: "%(name)s", "{name}" and an
// HTML tag ("<a href=\"x\">", "</b>", "<br/>"). c-format: printf ("%s", "%1$d", "%-5.2f", and
// "%%", which the translation has to keep doubled). python-format: printf and "%(name)s".
// python-brace-format: "{0}", "{}", "{name!r:>10}". qt-format: "%1" to "%99", "%L1".
std::size_t PlaceholderAt(std::string_view s, std::size_t i, std::string_view flagsLine);
std::size_t PlaceholderAt(std::string_view s, std::size_t i, unsigned flags);

// A printf directive at `i` ("%s", "%1$d", "%-5.2f", "%%"): its length, 0 when none.
std::size_t PrintfDirective(std::string_view s, std::size_t i);

// Whether a placeholder's text is one whose position carries its meaning, so that a
// translation may not move it past another such: "%s of %d" cannot become "%d 的 %s", while
// "%1$s", "%(name)s", "{name}" and "%1" say which argument they take.
bool IsPositionalOnly(std::string_view placeholder);

} // namespace qb::doc
