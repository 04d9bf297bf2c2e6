// The generator end to end on small sources (fixtures/data/sources): every output written and
// well-formed, the user's lexicon left alone, and the folder check catching what is missing.
#include "Generate.h"
#include "DataCheck.h"
#include "DictUnit.h"
#include "MyUtils.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <unistd.h>

namespace qb::datagen {
namespace {

namespace fs = std::filesystem;

struct GenerateTest : ::testing::Test {
    fs::path out = fs::temp_directory_path() / ("qbgen-test-" + std::to_string(::getpid()));
    SourceFiles sources;
    void SetUp() override {
        fs::remove_all(out);
        fs::create_directories(out);
        ASSERT_TRUE(FindSources({QB_TEST_DATA_DIR "/data/sources"}, sources).empty());
    }
    void TearDown() override { fs::remove_all(out); }
    std::string Read(const std::string& name) { return qb::ReadWholeFile((out / name).string()); }
    void Generate() {
        std::ostringstream log;
        GenerateAll(sources, out.string(), log);
    }
};

TEST_F(GenerateTest, FindsSourcesByNameAndNamesTheMissingOnes) {
    EXPECT_TRUE(sources.unihan.empty()); // optional
    EXPECT_EQ(sources.exceptionLists.size(), 4u);
    EXPECT_TRUE(sources.exceptionLists[0].ends_with("verb.exc"));
    SourceFiles none;
    std::vector<std::string> missing = FindSources({out.string()}, none);
    EXPECT_EQ(missing, (std::vector<std::string>{"ecdict.csv", "lemma.en.txt", "pinyin_simp.dict.yaml",
                                                 "luna_pinyin.dict.yaml", "wubi86.dict.yaml",
                                                 "verb.exc", "noun.exc", "adj.exc", "adv.exc",
                                                 "manpages.list", "manpages-dev.list"}));
}

TEST_F(GenerateTest, WritesEveryOutputInTheFormTheCheckDemands) {
    Generate();
    CheckReport r;
    for (const std::string& name : OutputNames()) {
        ASSERT_TRUE(fs::exists(out / name)) << name;
        if (name.ends_with(".qbs")) CheckLexicon(name, Read(name), r);
    }
    for (const char* stem : {"quanpinIme", "winsp", "zrmwin", "wb"}) {
        const std::string s = stem;
        CheckScheme(s, Read(s + ".achr"), Read(s + ".mpy"), Read(s + ".py"), Read(s + ".mchar"), r);
    }
    CheckIrregular("verb.spe", Read("verb.spe"), r);
    EXPECT_TRUE(r.errors.empty()) << r.errors.front();
    EXPECT_TRUE(Read("verb.spe").starts_with("went^go^\r\ntook^take^\r\nchildren^child^\r\n"));
    EXPECT_EQ(Read("mydict.txt"), "");
}

// "makefile" is labelled [计] only, so no general word; the fixture's manual page uses it three
// times, which brings it into the basic lexicon.
TEST_F(GenerateTest, WordsOfTheManualPagesJoinTheBasicLexicon) {
    Generate();
    qb::TQbDict basic;
    basic.LoadEntriesFromBytes(Read("BasicDict.qbs"), true);
    StringList found;
    basic.LookupSentence("makefile", found);
    EXPECT_EQ(
        found,
        (StringList{
            "makefile\t\xCE\xC4\xBC\xFE\xB1\xE0\xD0\xB4\xA3\xBB\xCE\xC4\xBE\xED\xB1\xE0\xD0\xB4"}));
    // A page the list names but the disk lacks stops the generation.
    const fs::path list = out / "manpages.list";
    qb::WriteWholeFileSafely(list.string(), "man/man1/gone.1.gz\n");
    EXPECT_THROW(ReadManPages({list.string()}), qb::FileError);
}

TEST_F(GenerateTest, NeverReplacesTheUsersLexicon) {
    const std::string mine = "apple\t\xC6\xBB\xB9\xFB\r\n"; // apple 苹果
    qb::WriteWholeFileSafely((out / "mydict.txt").string(), mine);
    Generate();
    Generate();
    EXPECT_EQ(Read("mydict.txt"), mine);
}

TEST_F(GenerateTest, FolderCheckReportsUnreachableCharactersAndMissingFiles) {
    Generate();
    fs::remove(out / "wb.mchar");
    std::ostringstream report;
    EXPECT_GT(CheckDataFolder(out.string(), report), 0);
    const std::string text = report.str();
    EXPECT_NE(text.find("ERROR wb.mchar: missing"), std::string::npos);
    EXPECT_NE(text.find("GB2312 character"), std::string::npos); // the sources cover only a few
    EXPECT_NE(text.find("ERROR LICENSES-data.txt: missing"), std::string::npos);
    EXPECT_NE(text.find("\"zhongguo\" -> 中国"), std::string::npos);
}

} // namespace
} // namespace qb::datagen
