// The converter over the system's pinyin library: the three schemes, the preferred words of a
// sentence, and the user history on disk.
#include "ClauseConverter.h"
#include "ImeTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace qb;
using qbtest::G;

namespace {

std::unique_ptr<ClauseConverter> Make(const std::string& history = {}) {
    ClauseConverterOptions o;
    o.historyPath = history;
    auto c = MakeClauseConverter(o);
    if (!c) ADD_FAILURE() << "libime's data is missing (libime-data, libime-data-language-model)";
    return c;
}

std::vector<ClauseCandidate> Read(ClauseConverter& c, int scheme, std::string_view code) {
    std::vector<ClauseCandidate> out{{"stale", 1}};
    c.Convert(scheme, code, out);
    return out;
}

std::string First(ClauseConverter& c, int scheme, std::string_view code) {
    auto out = Read(c, scheme, code);
    return out.empty() ? std::string("<none>") : out.front().text;
}

struct TempDir {
    std::filesystem::path path;
    TempDir() {
        char tmpl[] = "/tmp/qb-clause-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path, ec);
    }
};

} // namespace

TEST(ClauseConverter, ReadsWholeClausesInEachPinyinScheme) {
    auto c = Make();
    ASSERT_TRUE(c);
    struct Case {
        int scheme;
        const char* code;
        const char* first;
    };
    const Case cases[] = {
        {1, "womenyinggaizhaoguhaizi", "我们应该照顾孩子"},
        {2, "womfy;gl", "我们应该"},
        {3, "womfyygl", "我们应该"},
        {1, "lve", "略"},
        {1, "nve", "虐"},
    };
    for (const Case& k : cases) EXPECT_EQ(First(*c, k.scheme, k.code), G(k.first)) << k.code;
    // Shorter words of the first syllables follow the clause, each with the bytes it covers.
    auto out = Read(*c, 1, "zhuangtaima");
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(out[0].codeLength, 11u);
    bool zhuangtai = false;
    for (const auto& r : out) zhuangtai |= r.text == G("状态") && r.codeLength == 9;
    EXPECT_TRUE(zhuangtai);
    // Not pinyin of the scheme, or not a pinyin scheme at all: nothing.
    EXPECT_TRUE(Read(*c, 1, "wo1men").empty());
    EXPECT_TRUE(Read(*c, 4, "wqvb").empty());
}

TEST(ClauseConverter, BackspaceAndEditsGiveWhatAFreshConversionGives) {
    auto c = Make();
    ASSERT_TRUE(c);
    auto fresh = Make();
    for (const char* code : {"womenyinggai", "womenyingga", "womenyinggaizhao", "nihao", "w"})
        EXPECT_EQ(First(*c, 1, code), First(*fresh, 1, std::string(code) + "")) << code;
}

// The three schemes decoded side by side give each scheme's rows as one by one, key after key
// (a helper thread that kept a stale context or shared a converter state would differ).
// Decoded together, each scheme gives the rows it gives alone, except that a scheme is not asked
// while it can read the code only padded with bare initials and another scheme reads it whole
// (the candidate list would drop those readings), nor for a code another scheme reads the same.
TEST(ClauseConverter, SchemesDecodedTogetherReadAsOneByOne) {
    auto together = Make(), alone = Make();
    ASSERT_TRUE(together && alone);
    const std::vector<int> schemes{1, 3, 2};
    const std::string code = "womenyinggaizhaoguhaizi";
    std::vector<std::vector<ClauseCandidate>> rows;
    for (std::size_t n = 1; n <= code.size(); ++n) {
        together->ConvertSchemes(schemes, std::string_view(code).substr(0, n), rows);
        ASSERT_EQ(rows.size(), schemes.size());
        for (std::size_t i = 0; i < schemes.size(); ++i) {
            const auto expected = Read(*alone, schemes[i], std::string_view(code).substr(0, n));
            // 全拼 reads every beginning of the clause whole: it is always asked.
            if (i > 0 && rows[i].empty()) continue;
            ASSERT_EQ(rows[i].size(), expected.size()) << n << " scheme " << schemes[i];
            for (std::size_t r = 0; r < expected.size(); ++r)
                EXPECT_TRUE(rows[i][r].text == expected[r].text &&
                            rows[i][r].codeLength == expected[r].codeLength)
                    << n << " scheme " << schemes[i] << " row " << r;
        }
    }
    // The whole clause is no double pinyin (gg is no syllable in either layout): only 全拼 decodes.
    EXPECT_FALSE(rows[0].empty());
    EXPECT_TRUE(rows[1].empty());
    EXPECT_TRUE(rows[2].empty());
    for (int scheme : {2, 3})
        for (const ClauseCandidate& c : Read(*alone, scheme, code))
            EXPECT_FALSE(c.codeLength >= code.size() && !c.padded) << scheme << " reads it whole";
}

// The window's start: 全拼 decodes as soon as the converter is handed out, and whatever changes
// every scheme waits for the rest of the load; then the double-pinyin schemes and the
// prediction model are there, and a history learned before is in every scheme.
TEST(ClauseConverter, LoadedInBackgroundTypesAtOnceAndCatchesUp) {
    TempDir dir;
    const std::string history = (dir.path / "history").string();
    {
        auto learner = Make(history);
        ASSERT_TRUE(learner);
        for (int i = 0; i < 3; ++i) learner->Learn(1, "zhuangtaima", {G("状态码"), 11});
        learner->SaveHistory();
    }
    ClauseConverterOptions o;
    o.historyPath = history;
    o.loadInBackground = true;
    auto c = MakeClauseConverter(o);
    ASSERT_TRUE(c);
    EXPECT_EQ(First(*c, 1, "jinxing"), G("进行"));
    c->SetPreferredWords({});
    // zhuang tai ma in both double-pinyin layouts; unlearned, 状态吗 comes first.
    EXPECT_EQ(First(*c, 2, "vdtlma"), G("状态码"));
    EXPECT_EQ(First(*c, 3, "vdtlma"), G("状态码"));
    std::vector<std::string> next;
    c->Predict(G("打印"), 5, next);
    EXPECT_FALSE(next.empty());
}

TEST(ClauseConverter, NoReadingHoldsACharacterGbkCannotStore) {
    auto c = Make();
    ASSERT_TRUE(c);
    // libime's dictionary holds characters beyond GBK (Extension B and later): every row
    // must survive a GBK round trip.
    for (const char* code : {"lve", "yi", "a", "zhe"})
        for (const auto& r : Read(*c, 1, code)) {
            EXPECT_EQ(G(qb::GbkToUtf8(r.text)), r.text) << code;
            EXPECT_EQ(r.text.find('?'), std::string::npos) << code;
        }
}

TEST(ClauseConverter, PreferredWordsWinUntilReplaced) {
    auto c = Make();
    ASSERT_TRUE(c);
    EXPECT_EQ(First(*c, 1, "zhuangtaima"), G("状态吗"));
    c->SetPreferredWords({G("状态码"), G("退出")});
    EXPECT_EQ(First(*c, 1, "zhuangtaima"), G("状态码"));
    EXPECT_EQ(First(*c, 2, "vdtlma"), G("状态码"));
    // An ordinary clause keeps its reading.
    EXPECT_EQ(First(*c, 1, "womenyinggaizhaoguhaizi"), G("我们应该照顾孩子"));
    c->SetPreferredWords({G("返回值")});
    EXPECT_EQ(First(*c, 1, "zhuangtaima"), G("状态吗"));
    c->SetPreferredWords({});
    EXPECT_EQ(First(*c, 1, "zhuangtaima"), G("状态吗"));
}

// The row of `word` among the 全拼 readings of `code`; past the last row when it is none.
std::size_t RowOf(ClauseConverter& c, std::string_view code, const std::string& word) {
    const auto out = Read(c, 1, code);
    for (std::size_t i = 0; i < out.size(); ++i)
        if (out[i].text == word) return i;
    return out.size();
}

TEST(ClauseConverter, WordsReadFromInitialsRankAsTheirTextIsLikely) {
    auto c = Make();
    ASSERT_TRUE(c);
    // Words the model learned mostly cut (不 + 是), libime's rows 56, 153, 186 and 410.
    const struct {
        const char* code;
        const char* word;
        std::size_t within;
    } cases[] = {{"bs", "不是", 10}, {"yg", "一个", 10}, {"bh", "不会", 10}, {"zs", "这是", 30}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.word);
        EXPECT_LT(RowOf(*c, k.code, G(k.word)), k.within);
    }
    // A word sharing a character with a sense of the sentence: 归档 beside 存档, 档案.
    EXPECT_GE(RowOf(*c, "gd", G("归档")), 10u);
    c->SetPreferredWords({G("存档"), G("档案")});
    EXPECT_LT(RowOf(*c, "gd", G("归档")), 10u);
    c->SetPreferredWords({});
    EXPECT_GE(RowOf(*c, "gd", G("归档")), 10u);
    // Preferred words bend a reading of initials (管理处 + 下 for "glcx"); the library's own
    // reading stays among the first rows.
    c->SetPreferredWords({G("管理处"), G("程序包"), G("软件包")});
    EXPECT_LT(RowOf(*c, "glcx", G("管理程序")), 5u);
}

TEST(ClauseConverter, HistoryIsLearnedSavedReloadedAndForgotten) {
    TempDir dir;
    const std::string file = (dir.path / "clause.history").string();
    {
        auto c = Make(file);
        ASSERT_TRUE(c);
        ASSERT_EQ(First(*c, 1, "zhuangtaima"), G("状态吗"));
        for (int i = 0; i < 3; ++i) c->Learn(1, "zhuangtaima", {G("状态码"), 11});
        EXPECT_EQ(First(*c, 1, "zhuangtaima"), G("状态码"));
        c->SaveHistory();
    }
    {
        auto c = Make(file);
        ASSERT_TRUE(c);
        EXPECT_EQ(First(*c, 1, "zhuangtaima"), G("状态码"));
        c->ForgetHistory();
        EXPECT_EQ(First(*c, 1, "zhuangtaima"), G("状态吗"));
    }
    {
        // Without a history file nothing is read or written.
        auto c = Make();
        c->Learn(1, "zhuangtaima", {G("状态码"), 11});
        EXPECT_NO_THROW(c->SaveHistory());
    }
}

TEST(ClauseConverter, SavingWhereNoFileCanBeMadeThrows) {
    // A folder that cannot exist (its parent is a file): refused even for root.
    TempDir dir;
    std::ofstream(dir.path / "file") << "x";
    auto c = Make((dir.path / "file" / "clause.history").string());
    ASSERT_TRUE(c);
    c->Learn(1, "zhuangtaima", {G("状态码"), 11});
    EXPECT_THROW(c->SaveHistory(), std::exception);
}

TEST(ClauseConverter, SavingIntoAReadOnlyFolderThrowsAndKeepsTheOldFile) {
    TempDir dir;
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    const std::string file = (dir.path / "clause.history").string();
    auto c = Make(file);
    ASSERT_TRUE(c);
    c->Learn(1, "zhuangtaima", {G("状态码"), 11});
    c->SaveHistory();
    const auto size = std::filesystem::file_size(file);
    chmod(dir.path.c_str(), 0500);
    c->Learn(1, "womenyinggai", {G("我们应该"), 12});
    EXPECT_THROW(c->SaveHistory(), std::exception);
    chmod(dir.path.c_str(), 0700);
    EXPECT_EQ(std::filesystem::file_size(file), size);
}

TEST(ClauseConverter, MissingDataGivesNoConverter) {
    ClauseConverterOptions o;
    o.dictPath = "/nonexistent/sc.dict";
    EXPECT_EQ(MakeClauseConverter(o), nullptr);
    o = {};
    o.modelPath = "/nonexistent/zh_CN.lm";
    EXPECT_EQ(MakeClauseConverter(o), nullptr);
}

// A translated sentence committed as a whole teaches its words: 馆里 of "管理员馆里" moves up
// for "guanli", and text with no hanzi or one lone character teaches nothing and breaks nothing.
TEST(ClauseConverter, LearnTextTeachesTheWordsOfACommittedSentence) {
    auto c = Make();
    if (!c) return;
    auto rank = [&](std::string_view code, const std::string& word) {
        const auto rows = Read(*c, 1, code);
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].text == word) return i;
        return rows.size();
    };
    const std::size_t before = rank("guanli", G("馆里"));
    c->LearnText("abc");
    c->LearnText(G("我"));
    EXPECT_EQ(rank("guanli", G("馆里")), before);
    c->LearnText(G("管理员馆里。"));
    EXPECT_LT(rank("guanli", G("馆里")), before);
    // What the history learned is no word to cut a sense by: "无效的" of "invalid" still
    // holds 无效 (typed as "wx") after a translation with the sense 无效的 was committed.
    c->SetPreferredWords({G("无效的")});
    c->LearnText(G("无效的 Unicode 字符名称"));
    std::vector<std::string> parts;
    c->SplitWords(G("无效的"), parts);
    EXPECT_EQ(parts, (std::vector<std::string>{G("无效"), G("的")}));
}
