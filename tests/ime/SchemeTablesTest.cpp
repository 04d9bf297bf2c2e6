// table files, LoadScheme and GetWordCodes.
#include "SchemeTables.h"
#include "ImeTestSupport.h"

#include <gtest/gtest.h>

using namespace qb;
using qbtest::G;

namespace {

const std::string kFolder = std::string(QB_TEST_DATA_DIR) + "/ime/";

SchemeTables LoadedMini() {
    SchemeTables t;
    LoadScheme(t, kFolder, "mini", true);
    return t;
}

} // namespace

TEST(Schemes, IdsStemsSettingsAndLoadOrder) {
    const auto& s = Schemes();
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0].id, 1);
    EXPECT_STREQ(s[0].stem, "quanpinIme");
    EXPECT_STREQ(s[0].settingName, "useQp");
    EXPECT_EQ(std::string(s[0].label), G("全拼"));
    EXPECT_EQ(s[1].id, 2);
    EXPECT_STREQ(s[1].stem, "winsp");
    EXPECT_STREQ(s[1].settingName, "useSp");
    EXPECT_EQ(std::string(s[1].label), G("双拼"));
    EXPECT_EQ(s[2].id, 3);
    EXPECT_STREQ(s[2].stem, "zrmwin");
    EXPECT_STREQ(s[2].settingName, "useZr");
    EXPECT_EQ(std::string(s[2].label), G("自然"));
    EXPECT_EQ(s[3].id, 4);
    EXPECT_STREQ(s[3].stem, "wb");
    EXPECT_STREQ(s[3].settingName, "useWb");
    EXPECT_EQ(std::string(s[3].label), G("五笔"));
    EXPECT_EQ(kLoadOrder, (std::array<int, 4>{1, 3, 2, 4}));
}

TEST(ReadTableLines, CutsAtCrLfLoneLfLoneCrAndNul) {
    EXPECT_EQ(ReadTableLines("a\r\nb\nc\rd"), (StringList{"a", "b", "c", "d"}));
    EXPECT_EQ(ReadTableLines("a\r\n\r\nb\r\n"), (StringList{"a", "", "b"}));
    EXPECT_EQ(ReadTableLines(std::string_view("a\nb\0c\nd", 7)), (StringList{"a", "b"}));
    EXPECT_EQ(ReadTableLines(" a \r\n"), (StringList{" a "})); // nothing trimmed
    EXPECT_TRUE(ReadTableLines("").empty());
}

TEST(LoadScheme, ReadsTheFourFilesInFileOrder) {
    SchemeTables t = LoadedMini();
    EXPECT_EQ(t.CharKeys, (StringList{G("保"), G("国"), G("行"), G("银"), G("中"), G("重")}));
    EXPECT_EQ(t.CharCodes, (StringList{"bao", "guo", "xing hang", "yin", "zhong", "zhong chong"}));
    EXPECT_EQ(t.CodeKeys, (StringList{"bao", "guo", "yin", "yinhang", "zhong", "zhongguo"}));
    ASSERT_EQ(t.CodeWords.size(), 6u);
    EXPECT_EQ(t.CodeWords[2], G("银;;因")); // stored as read; lookup drops empty pieces
}

TEST(LoadScheme, OnWithFilledCharKeysReadsNothing) {
    SchemeTables t;
    t.CharKeys = {"x"};
    LoadScheme(t, kFolder, "mini", true);
    EXPECT_EQ(t.CharKeys, StringList{"x"});
    EXPECT_TRUE(t.CodeKeys.empty()); // only CharKeys is tested
}

TEST(LoadScheme, OffEmptiesAllFourAndOnAgainRereads) {
    SchemeTables t = LoadedMini();
    LoadScheme(t, kFolder, "mini", false);
    EXPECT_TRUE(t.CharKeys.empty());
    EXPECT_TRUE(t.CharCodes.empty());
    EXPECT_TRUE(t.CodeKeys.empty());
    EXPECT_TRUE(t.CodeWords.empty());
    LoadScheme(t, kFolder, "mini", true);
    EXPECT_EQ(t.CodeKeys.size(), 6u);
}

TEST(LoadScheme, MissingFileThrowsAndKeepsWhatWasRead) {
    SchemeTables t;
    t.CodeKeys = {"old"};
    try {
        LoadScheme(t, kFolder, "broken", true);
        FAIL() << "no error raised";
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + kFolder + "broken.mpy");
    }
    EXPECT_EQ(t.CharKeys, StringList{G("保")});
    EXPECT_EQ(t.CodeKeys, StringList{"old"});
    // Half loaded: switching on again reads nothing, because CharKeys is filled.
    LoadScheme(t, kFolder, "broken", true);
    EXPECT_EQ(t.CodeKeys, StringList{"old"});
}

TEST(LoadScheme, MissingAchrLeavesCharKeysEmpty) {
    SchemeTables t;
    EXPECT_THROW(LoadScheme(t, kFolder, "nosuch", true), FileError);
    EXPECT_TRUE(t.CharKeys.empty());
}

TEST(GetWordCodes, InitialsOfOneReadingPerCharacter) {
    SchemeTables t = LoadedMini();
    StringList codes{"stale"};
    GetWordCodes(G("中国"), codes, t.CharKeys, t.CharCodes);
    EXPECT_EQ(codes, StringList{"zg"});
}

TEST(GetWordCodes, PolyphonicDoublesWithLaterReadingLast) {
    SchemeTables t = LoadedMini();
    StringList codes;
    GetWordCodes(G("银行"), codes, t.CharKeys, t.CharCodes);
    EXPECT_EQ(codes, (StringList{"yx", "yh"}));
    GetWordCodes(G("行银行"), codes, t.CharKeys, t.CharCodes);
    EXPECT_EQ(codes, (StringList{"xyx", "hyx", "xyh", "hyh"}));
}

TEST(GetWordCodes, DuplicateInitialsGiveDistinctCodesFirstKept) {
    // 重 reads "zhong chong": 中重 gives zz, zc; 重重 gives zz, cz, zc, cc.
    SchemeTables t = LoadedMini();
    StringList codes;
    GetWordCodes(G("重重"), codes, t.CharKeys, t.CharCodes);
    EXPECT_EQ(codes, (StringList{"zz", "cz", "zc", "cc"}));
    // A reading list with two readings of one initial: distinct codes only.
    StringList keys{G("中")}, readings{"zhong zhuo zou"};
    GetWordCodes(G("中中"), codes, keys, readings);
    EXPECT_EQ(codes, StringList{"zz"});
}

TEST(GetWordCodes, AsciiAndUnknownCharactersContributeNothing) {
    SchemeTables t = LoadedMini();
    StringList codes{"stale"};
    GetWordCodes("abc def", codes, t.CharKeys, t.CharCodes);
    EXPECT_TRUE(codes.empty());
    GetWordCodes(G("天地"), codes, t.CharKeys, t.CharCodes);
    EXPECT_TRUE(codes.empty());
    GetWordCodes(G("中a天国"), codes, t.CharKeys, t.CharCodes);
    EXPECT_EQ(codes, StringList{"zg"});
}

TEST(GetWordCodes, AtMostTwelveCharacters) {
    SchemeTables t = LoadedMini();
    StringList codes;
    std::string word;
    for (int i = 0; i < 13; ++i) word += G("国");
    word += G("中");
    GetWordCodes(word, codes, t.CharKeys, t.CharCodes);
    EXPECT_EQ(codes, StringList{std::string(12, 'g')});
}

TEST(GetWordCodes, LeadByteInLastPositionIsNotTaken) {
    SchemeTables t = LoadedMini();
    StringList codes;
    std::string word = G("中") + G("国").substr(0, 1);
    GetWordCodes(word, codes, t.CharKeys, t.CharCodes);
    EXPECT_EQ(codes, StringList{"z"});
}

TEST(GetWordCodes, TrailByteThatLooksLikeALetterIsNotACharacterStart) {
    // 乑 is 81 5A: its trail byte 'Z' must not start a character. A character list holding
    // only "Z?" pieces would otherwise match.
    StringList keys{G("乑")}, readings{"pai"};
    StringList codes;
    GetWordCodes(G("乑乑"), codes, keys, readings);
    EXPECT_EQ(codes, StringList{"pp"});
}
