// HTML pages: no visible text left out of the units, nothing but white space made a unit, and
// pages nested or cloned past reason refused with a message instead of a crash or gigabytes.
#include "Document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qb::doc;

namespace {

std::vector<std::string> Units(const std::string& html) {
    std::vector<std::string> out;
    for (const Unit& u : Read(Format::Html, html).units) out.push_back(u.text);
    return out;
}

std::string Repeat(const std::string& s, std::size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (std::size_t i = 0; i < n; ++i) out += s;
    return out;
}

} // namespace

// Text before an end tag, a comment or a nested list, with white space at its ends.
TEST(HtmlText, EveryRunOfTextIsAUnit) {
    const struct {
        std::string html;
        std::vector<std::string> units;
    } cases[] = {
        {"<p>\n  Hello world.\n</p>", {"Hello world."}},
        {"<p>Hello world </p>", {"Hello world"}},
        {"<li>Item <!-- note --></li>", {"Item"}},
        {"<p>One <iframe></iframe> two</p>", {"One {1} two"}},
        {"<li>Item <ul><li>sub</li></ul></li>", {"Item", "sub"}},
        {"<a href=x><div>In a block</div> after</a>", {"In a block", "after"}},
        {"<p>a</x>b<!--c-->d</p>", {"a{1}b{2}d"}},
        {"<table><tr><td>A</td></tr>B<b>C</b></table>", {"A", "B{1}C{/1}"}},
        {"<td>&nbsp;</td><p>&nbsp; &#160;</p>", {}},
        {"<li><a href=x> <b>Overview</b> </a></li><li><a>One</a> <a>two</a></li>",
         {"Overview", "{1}One{/1} {2}two{/2}"}},
        {"<p><a id=i1></a>Calling conventions. <a id=i2></a> <a id=i3></a></p>",
         {"Calling conventions."}},
        {"<li>{integer|undefined}</li>", {"{integer|undefined}"}}, // a type, not a placeholder
    };
    for (const auto& c : cases) EXPECT_EQ(Units(c.html), c.units) << c.html;

    // The unit's range leaves the white space around it in place.
    const std::string page = "<p>\n  Hello world.\n</p><li><a href=x><b>Top</b> <i>tip</i></a></li>";
    EXPECT_EQ(Write(Read(Format::Html, page), {"你好。", "{1}小{/1}{2}窍门{/2}"}),
              "<p>\n  你好。\n</p><li><a href=x><b>小</b><i>窍门</i></a></li>");
}

// Code, and runs with nothing to translate, are said to be skipped, with why.
TEST(HtmlText, SkippedTextIsNamed) {
    const std::string page =
        "<pre>make all</pre><p><code>ls -l</code></p><p> | </p><script>x()</script>";
    const Document d = Read(Format::Html, page);
    EXPECT_TRUE(d.units.empty());
    ASSERT_EQ(d.skipped.size(), 3u);
    EXPECT_EQ(page.substr(d.skipped[0].begin, d.skipped[0].end - d.skipped[0].begin),
              "<pre>make all</pre>");
    EXPECT_EQ(d.skipped[0].why, "代码，保持原样");
    EXPECT_EQ(page.substr(d.skipped[1].begin, d.skipped[1].end - d.skipped[1].begin),
              "<code>ls -l</code>");
    EXPECT_EQ(page.substr(d.skipped[2].begin, d.skipped[2].end - d.skipped[2].begin), "|");
}

// Nesting that crashed the recursive walkers or made gumbo take minutes or gigabytes: a clear
// refusal, or the units; just under the depth limit still reads.
TEST(HtmlText, DeepAndExplodingPagesAreRefusedOrRead) {
    std::string fonts;
    for (int i = 0; i < 3000; ++i) fonts += "<p><font color=" + std::to_string(i) + ">x</p>";
    const struct {
        const char* name;
        std::string html;
        const char* error; // nullptr: read, with the unit "x"
    } cases[] = {
        {"b x20000", Repeat("<b>", 20000) + "x", "嵌套超过 2000 层"},
        {"span x40000", "<p>" + Repeat("<span>", 40000) + "x" + Repeat("</span>", 40000), "嵌套超过"},
        {"div x40000", Repeat("<div>", 40000) + "x" + Repeat("</div>", 40000), "嵌套超过"},
        {"table x10000", Repeat("<table><tr><td>", 10000) + "x", "嵌套超过"},
        {"stray end tags under 1990 spans", Repeat("<span>", 1990) + "x" + Repeat("</x>", 250000),
         "结束标签太多"},
        {"fonts cloned into every paragraph", fonts, "过于复杂"},
        {"span x1900", Repeat("<span>", 1900) + "x" + Repeat("</span>", 1900), nullptr},
        {"div x1900", Repeat("<div>", 1900) + "x" + Repeat("</div>", 1900), nullptr},
        {"<p><font>x</p> x5000", Repeat("<p><font>x</p>", 5000), nullptr},
    };
    for (const auto& c : cases) {
        try {
            const Document d = Read(Format::Html, c.html);
            ASSERT_FALSE(c.error) << c.name << ": read";
            ASSERT_FALSE(d.units.empty()) << c.name;
            EXPECT_NE(d.units.back().text.find('x'), std::string::npos) << c.name;
        } catch (const DocError& e) {
            ASSERT_TRUE(c.error) << c.name << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos)
                << c.name << ": " << e.what();
        }
    }
}
