// The segments of a document: the status each edit leaves, the progress counted from them, the
// statuses as the panes file keeps them, and the export's choice of translation.
#include "Segments.h"

#include <gtest/gtest.h>

using namespace qb::doc;

namespace {

// Three messages, the second flagged fuzzy: "Saved %d files." is a unit of three words.
TSegments ThreeMessages() {
    const Document d =
        Read(Format::Po, "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                         "msgid \"Open the file menu.\"\nmsgstr \"\"\n\n"
                         "#, fuzzy, c-format\nmsgid \"Saved %d files.\"\nmsgstr \"x\"\n\n"
                         "msgid \"Close it.\"\nmsgstr \"\"\n");
    TSegments s;
    s.Reset(d);
    return s;
}

} // namespace

TEST(Segments, EachEditLeavesItsStatusAndTheProgressFollows) {
    TSegments s = ThreeMessages();
    ASSERT_EQ(s.Size(), 3u);
    EXPECT_EQ(s.StatusLetters(), "ufu") << "the file's fuzzy flag";
    EXPECT_EQ(s.Words(), 4u + 2u + 2u);
    const struct {
        const char* step;
        std::size_t unit;
        const char* text; // nullptr: 已审 (checked) instead of an edit
        bool changes;
        const char* letters;
        std::size_t done, words;
    } steps[] = {
        {"unit 3 first, unit 1 skipped", 2, "关闭它。", true, "uft", 1, 2},
        {"the same text again", 2, "关闭它。", false, "uft", 1, 2},
        {"back to unit 1", 0, "打开文件菜单。", true, "tft", 2, 6},
        {"confirmed", 0, nullptr, true, "cft", 2, 6},
        {"a checked one edited wants a new look", 0, "打开文件菜单", true, "tft", 2, 6},
        {"the fuzzy one edited", 1, "已保存 %d 个文件。", true, "ttt", 3, 8},
        {"emptied", 1, "", true, "tut", 2, 6},
        {"an empty one cannot be checked", 1, nullptr, false, "tut", 2, 6},
    };
    for (const auto& st : steps) {
        const bool changed =
            st.text ? s.SetTranslation(st.unit, st.text) : s.SetChecked(st.unit, true);
        EXPECT_EQ(changed, st.changes) << st.step;
        EXPECT_EQ(s.StatusLetters(), st.letters) << st.step;
        EXPECT_EQ(s.SegmentsDone(), st.done) << st.step;
        EXPECT_EQ(s.WordsDone(), st.words) << st.step;
    }
    EXPECT_EQ(s[0].translation, "打开文件菜单");
    EXPECT_EQ(s[2].translation, "关闭它。") << "each translation stays its own unit's";
    // A fill from the memory is fuzzy and not done until the translator takes it.
    EXPECT_TRUE(s.Fill(1, "已保存 %d 个文件。"));
    EXPECT_EQ(s.StatusLetters(), "tft");
    EXPECT_EQ(s.SegmentsDone(), 2u);
}

// The kept letters come back over the translations the target pane gave; a letter that
// disagrees with the text gives way to it, and anything but one letter a segment is refused.
TEST(Segments, StatusLettersComeBackAndBadOnesAreRefused) {
    TSegments s = ThreeMessages();
    s.SetTranslation(0, "打开。");
    s.SetTranslation(1, "已保存。");
    ASSERT_TRUE(s.ApplyStatusLetters("cfu"));
    EXPECT_EQ(s.StatusLetters(), "cfu");
    EXPECT_EQ(s.SegmentsDone(), 1u);
    EXPECT_EQ(s.WordsDone(), 4u);
    ASSERT_TRUE(s.ApplyStatusLetters("ucc"));
    EXPECT_EQ(s.StatusLetters(), "tcu") << "text without a status is translated, no text none";
    EXPECT_EQ(s.SegmentsDone(), 2u);
    for (const char* bad : {"", "tt", "tttt", "tx t", "TTT"}) {
        EXPECT_FALSE(s.ApplyStatusLetters(bad)) << bad;
        EXPECT_EQ(s.StatusLetters(), "tcu") << bad;
    }
}

TEST(Segments, TheExportTakesTheSegmentsOwnTranslationFirst) {
    TSegments s = ThreeMessages();
    s.SetTranslation(1, "已保存 %d 个文件。");
    const auto out =
        OwnTranslationsFirst(s, {std::string("打开文件菜单。"), std::string("旧的"), std::nullopt});
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], "打开文件菜单。") << "the memory's where the segment has none";
    EXPECT_EQ(out[1], "已保存 %d 个文件。");
    EXPECT_FALSE(out[2]);
    EXPECT_EQ(OwnTranslationsFirst(s, {}).size(), 3u) << "a memory that gave nothing";
}

// A catalogue half translated already: each msgstr is its segment's translation in the unit's
// placeholder form, and an export that changes nothing of it keeps those messages byte for byte
// (a fuzzy one still flagged), while an edited or confirmed one is written.
TEST(Segments, TheFilesOwnTranslationsComeInAndStayAsTheFileHasThem) {
    const std::string po =
        "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
        "#, c-format\nmsgid \"Saved %d files.\\n\"\nmsgstr \"\"\n\"已保存 %d 个文件。\\n\"\n\n"
        "#, c-format\nmsgid \"%s and %s\"\nmsgstr \"%s 和 %s\"\n\n"
        "#, c-format\nmsgid \"Level %d\"\nmsgstr \"级别 %x\"\n\n"
        "#, fuzzy, python-format\nmsgid \"Hello %(name)s\"\nmsgstr \"你好 %(name)s\"\n\n"
        "#, c-format\nmsgid \"%d file\"\nmsgid_plural \"%d files\"\n"
        "msgstr[0] \"%d 个文件\"\nmsgstr[1] \"%d 个文件\"\n\n"
        "msgid \"Quit\"\nmsgstr \"\"\n";
    const Document d = Read(Format::Po, po);
    TSegments s;
    s.Reset(d);
    const struct {
        const char* translation;
        SegmentStatus status;
    } want[] = {
        {"已保存 {1} 个文件。{2}", SegmentStatus::Translated},
        {"{1} 和 {2}", SegmentStatus::Translated},
        {"", SegmentStatus::Untranslated}, // %x is none of the message's: not shown
        {"你好 {1}", SegmentStatus::Fuzzy},
        {"{1} 个文件", SegmentStatus::Translated}, // msgstr[0]
        {"", SegmentStatus::Untranslated},
    };
    ASSERT_EQ(s.Size(), std::size(want));
    for (std::size_t i = 0; i < s.Size(); ++i) {
        EXPECT_EQ(s[i].translation, want[i].translation) << i;
        EXPECT_EQ(s[i].status, want[i].status) << i;
    }
    EXPECT_EQ(s.SegmentsDone(), 3u);

    auto exported = [&] {
        auto t = OwnTranslationsFirst(s, {});
        LeaveFileTranslations(s, t);
        return Write(d, t);
    };
    EXPECT_EQ(exported(), po) << "nothing changed: the file as it was";
    s.SetTranslation(5, "退出");
    std::string out = exported();
    EXPECT_NE(out.find("msgstr \"\"\n\"已保存 %d 个文件。\\n\"\n"), std::string::npos) << out;
    EXPECT_NE(out.find("#, fuzzy, python-format\nmsgid \"Hello %(name)s\"\nmsgstr \"你好 %(name)s\""),
              std::string::npos)
        << "still fuzzy: " << out;
    EXPECT_NE(out.find("msgid \"Level %d\"\nmsgstr \"级别 %x\""), std::string::npos) << out;
    EXPECT_NE(out.find("msgstr \"退出\""), std::string::npos) << out;
    s.SetChecked(3, true);
    out = exported();
    EXPECT_NE(out.find("#, python-format\nmsgid \"Hello %(name)s\"\nmsgstr \"你好 %(name)s\""),
              std::string::npos)
        << "confirmed: no longer fuzzy: " << out;
}
