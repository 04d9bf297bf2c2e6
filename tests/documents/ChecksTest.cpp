// Placeholders of program messages and the checks before export: each case the smallest
// message that shows a fault a translator would ship.
#include "Checks.h"
#include "Document.h"

#include <gtest/gtest.h>

using namespace qb::doc;

namespace {

Document Po(const std::string& flags, const std::string& msgid) {
    const std::string po = "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n" +
                           (flags.empty() ? "" : "#, " + flags + "\n") + "msgid \"" + msgid +
                           "\"\nmsgstr \"\"\n";
    return Read(Format::Po, po);
}

} // namespace

// Each kind a catalogue marks or a translator meets becomes a placeholder written back as it
// was; "%" without a format flag, "a < b" and "{{" stay text.
TEST(Placeholders, EachKindIsOneTagAndWrittenBackVerbatim) {
    struct Case {
        const char* flags;
        const char* msgid;
        const char* unit;
    } cases[] = {
        {"python-format", "Invalid key %(key)r.", "Invalid key {1}."},
        {"python-format", "%(count)d of %s, 100%%", "{1} of {2}, 100{3}"},
        {"c-format", "Copy %1$s to %2$-5d", "Copy {1} to {2}"},
        {"python-brace-format", "{name} has {0} and {} but {{x}}", "{1} has {2} and {3} but {{x}}"},
        {"qt-format", "Page %1 of %L2", "Page {1} of {2}"},
        {"", "Click <a href=\\\"/x\\\">here</a> or <br/>", "Click {1}here{2} or {3}"},
        {"", "Hello {user}, 100% sure a < b", "Hello {1}, 100% sure a < b"},
        {"no-c-format", "Use %s literally", "Use %s literally"},
    };
    for (const Case& c : cases) {
        const Document d = Po(c.flags, c.msgid);
        ASSERT_EQ(d.units.size(), 1u) << c.msgid;
        EXPECT_EQ(d.units[0].text, c.unit) << c.msgid;
        // The translation that keeps every tag writes each back byte for byte.
        const std::string out = Write(d, {d.units[0].text});
        EXPECT_NE(out.find(std::string("msgstr \"") + c.msgid + "\""), std::string::npos) << out;
    }
}

TEST(Checks, EachFaultIsListedOnceAndACleanTranslationPasses) {
    const Document py = Po("python-format", "Invalid key %(key)r in 3 rows.");
    const Document c = Po("c-format", "Copied %s to %s");
    struct Case {
        const Document* doc;
        const char* target;
        Problem::Kind kind;
        const char* message; // a part of it; nullptr: no problem at all
    } cases[] = {
        {&py, "第 3 行的键 {1} 无效。", Problem::Placeholders, nullptr},
        {&py, "第 3 行的键无效。", Problem::Placeholders, "缺少占位符 %(key)r"},
        {&py, "第 3 行的键 {1}{1} 无效。", Problem::Placeholders, "出现了 2 次"},
        {&py, "第 3 行的键 {1}{2} 无效。", Problem::Placeholders, "多出原文没有的占位符 {2}"},
        {&py, "第 4 行的键 {1} 无效。", Problem::Numbers, "缺少 3；多出 4"},
        {&py, "第 3 行的键 {1} 无效。 ", Problem::Spaces, "空白"},
        {&py, "第 3 行的键 {1} 无效", Problem::Punctuation, "原文以句号结尾，译文没有"},
        {&c, "已将 {1} 复制到 {2}", Problem::Placeholders, nullptr},
        {&c, "已复制到 {2}：{1}", Problem::Placeholders, "次序不能改变"},
    };
    for (const Case& k : cases) {
        const std::vector<Problem> got = CheckTranslations(*k.doc, {k.target});
        if (!k.message) {
            EXPECT_TRUE(got.empty()) << k.target << ": " << (got.empty() ? "" : Describe(got[0]));
            continue;
        }
        ASSERT_EQ(got.size(), 1u) << k.target;
        EXPECT_EQ(got[0].kind, k.kind) << k.target;
        EXPECT_NE(got[0].message.find(k.message), std::string::npos) << got[0].message;
        EXPECT_EQ(got[0].breaksExport, k.kind == Problem::Placeholders) << k.target;
    }
}

// Checks that need the whole document or the lexicon: the same source translated two ways, an
// untranslated and a fuzzy unit, a term not used, and 全线 picked where the lookup gave 权限.
TEST(Checks, DocumentWideAndLexiconChecks) {
    const std::string po =
        "msgid \"Access rights\"\nmsgstr \"\"\n\nmsgid \"Access rights\"\nmsgstr \"\"\n\n"
        "msgid \"Kernel\"\nmsgstr \"\"\n\nmsgid \"Later\"\nmsgstr \"\"\n";
    const Document d = Read(Format::Po, po);
    ASSERT_EQ(d.units.size(), 4u);
    CheckOptions o;
    o.fuzzy = {false, false, true};
    o.terms = [](std::string_view s) {
        return s == "Kernel" ? std::vector<TermUse>{{"kernel", {"内核"}}} : std::vector<TermUse>{};
    };
    o.senses = [](std::string_view s) {
        return s == "Access rights" ? std::vector<std::string>{"权限"} : std::vector<std::string>{};
    };
    o.reading = [](std::string_view w) {
        return w == "权限" || w == "全线" ? std::string("quanxian") : std::string();
    };
    const std::vector<Problem> got =
        CheckTranslations(d, {"访问权限", "访问全线", "核心", std::nullopt}, o);
    std::vector<std::pair<std::size_t, Problem::Kind>> kinds;
    for (const Problem& p : got) kinds.push_back({p.unit, p.kind});
    const std::vector<std::pair<std::size_t, Problem::Kind>> want = {{1, Problem::InputSlip},
                                                                     {1, Problem::Inconsistent},
                                                                     {2, Problem::Fuzzy},
                                                                     {2, Problem::Term},
                                                                     {3, Problem::Untranslated}};
    EXPECT_EQ(kinds, want);
    for (const Problem& p : got) EXPECT_FALSE(p.breaksExport) << Describe(p);
}
