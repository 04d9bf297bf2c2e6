// TQbDict: file formats, loading, lookup with word forms, adding, merging and saving.
#include "LexiconTestSupport.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace qb;
using namespace qbtest;

namespace {

StringList Forms(const TQbDict& dict, std::string_view word) {
    StringList list = {"stale"};
    dict.WordForms(word, list);
    return list;
}

StringList Lookup(const TQbDict& dict, std::string_view sentence) {
    StringList results = {"stale"};
    dict.LookupSentence(sentence, results);
    return results;
}

std::string Line(const std::string& key, const std::string& rendering) {
    return key + "\t" + rendering;
}

} // namespace

// ---- formats ----

TEST(Formats, KindIsDecidedByTheName) {
    EXPECT_TRUE(TQbDict::IsScrambledFileName("dict.QBS"));
    EXPECT_TRUE(TQbDict::IsScrambledFileName("/home/ann/med.qbs"));
    EXPECT_TRUE(TQbDict::IsScrambledFileName(".qbs"));
    EXPECT_FALSE(TQbDict::IsScrambledFileName("dict.qbs.txt"));
    EXPECT_FALSE(TQbDict::IsScrambledFileName("dict"));
    EXPECT_FALSE(TQbDict::IsScrambledFileName("qbs"));
    EXPECT_FALSE(TQbDict::IsScrambledFileName("a.qbs\\dict"));
    EXPECT_FALSE(TQbDict::IsScrambledFileName("a.qbs/dict"));
    EXPECT_FALSE(TQbDict::IsScrambledFileName(""));
    ScratchDict dict;
    dict.SetFileName("x.Qbs");
    EXPECT_TRUE(dict.IsScrambledFile());
}

TEST(Formats, TextLexiconMergesRepeatedKeys) {
    ScratchDict dict;
    dict.LoadEntriesFromBytes(
        "Apple\t" + kPingguo + "\r\napple\t" + kPingguo + kSemi + kPingguoShu + "\r\n", false);
    EXPECT_EQ(Entries(dict), (StringList{Line("apple", kPingguo + kSemi + kPingguoShu)}));
}

TEST(Formats, ProfessionalLexiconKeepsTheFirstKeyAsRead) {
    ScratchDict dict;
    dict.LoadEntriesFromBytes(ScrambleLine("Apple\tx") + "\r\n" + ScrambleLine("apple\ty") + "\r\n",
                              true);
    EXPECT_EQ(Entries(dict), (StringList{Line("Apple", "x" + kSemi + "y")}));
}

TEST(Formats, ProfessionalKeysAreTakenAsRead) {
    ScratchDict dict;
    dict.LoadEntriesFromBytes(
        ScrambleLine("end-user\tE") + "\r\n" + ScrambleLine("  Odd Key \tK") + "\r\n", true);
    EXPECT_EQ(Entries(dict), (StringList{Line("  Odd Key ", "K"), Line("end-user", "E")}));
}

TEST(Formats, BlankLineIsTheEntryWithTheEmptyKeyAndIsWrittenAsATab) {
    ScratchDict dict;
    dict.LoadEntriesFromBytes("b\tB\r\n\r\nno tab here\r\na\tA\r\n", false);
    EXPECT_EQ(Entries(dict), (StringList{"\t", "a\tA", "b\tB"}));
    EXPECT_EQ(dict.SaveToBytes(false), "\t\r\na\tA\r\nb\tB\r\n");
}

TEST(Formats, RenderingIsReadUpTo5000Bytes) {
    ScratchDict dict;
    dict.LoadEntriesFromBytes("k\t" + std::string(6000, 'r') + "\r\n", false);
    ASSERT_EQ(dict.EntryCount(), 1u);
    EXPECT_EQ(dict.RenderingAt(0).size(), 5000u);
    ScratchDict pro;
    pro.LoadEntriesFromBytes(ScrambleLine("k\t" + std::string(6001, 'r')), true);
    EXPECT_EQ(pro.RenderingAt(0), std::string(5000, 'r'));
}

TEST(Formats, RenderingKeepsLaterTabs) {
    ScratchDict dict;
    dict.LoadEntriesFromBytes("k\ta\tb", false);
    EXPECT_EQ(Entries(dict), (StringList{"k\ta\tb"}));
}

TEST(Formats, ScrambledLinesRoundTripWithOddLengthsAndTwoByteCharacters) {
    ScratchDict dict;
    // Odd and even line lengths; a two-byte character across the middle of a line.
    const std::string lines = ScrambleLine("ab\t" + kZhong) + "\r\n" +
                              ScrambleLine("abc\t" + kZhong + "x") + "\r\n" +
                              ScrambleLine("k\t" + kGou + kBufen) + "\r\n";
    dict.LoadEntriesFromBytes(lines, true);
    EXPECT_EQ(Entries(dict),
              (StringList{Line("ab", kZhong), Line("abc", kZhong + "x"), Line("k", kGou + kBufen)}));
    EXPECT_EQ(dict.SaveToBytes(true), lines);
}

TEST(Formats, ZeroByteProfessionalFileIsAnEmptyLexiconAndAnEmptyOneSavesZeroBytes) {
    TempDir dir;
    const std::string path = dir / "empty.qbs";
    WriteFile(path, "");
    {
        ScratchDict dict;
        dict.Load(path, "");
        EXPECT_EQ(dict.EntryCount(), 0u);
        EXPECT_EQ(dict.FileName(), path);
        dict.SetModified();
        dict.Save();
        EXPECT_EQ(ReadFile(path), "");
    }
}

TEST(Formats, IrregularFormLines) {
    ScratchDict dict;
    dict.LoadIrregularFromBytes(
        "went^go^\r\ntook^take\r\nseen\r\ngone^go^^extra\r\nWent^other^\r\n^be^\r\n");
    EXPECT_EQ(dict.IrregularCount(), 3u);
    EXPECT_EQ(Forms(dict, "went"), (StringList{"went", "go"}));
    EXPECT_EQ(Forms(dict, "took"), (StringList{"took"}));
    EXPECT_EQ(Forms(dict, "gone"), (StringList{"gone", "go"}));
    EXPECT_EQ(Forms(dict, "WENT"), (StringList{"WENT", "go"})); // the form is found in text order
    EXPECT_EQ(Forms(dict, ""), (StringList{"", "be"}));
}

TEST(Formats, IrregularSecondCaretMustLieWithin500Bytes) {
    ScratchDict dict;
    dict.LoadIrregularFromBytes("a^" + std::string(499, 'b') + "^\nc^" + std::string(500, 'd') + "^\n");
    EXPECT_EQ(dict.IrregularCount(), 1u);
    EXPECT_EQ(Forms(dict, "a")[1].size(), 499u);
}

TEST(Formats, IrregularCaretThatIsATrailByteDoesNotCount) {
    ScratchDict dict;
    // 乣 is 81 5E: its trail byte is '^'.
    dict.LoadIrregularFromBytes("x\x81^^y^\n");
    EXPECT_EQ(Forms(dict, "x\x81^"), (StringList{"x\x81^", "y"}));
}

// ---- loading and lookup ----

TEST(Load, MissingFileLeavesItEmptyWithoutFileNameButReadsForms) {
    TempDir dir;
    ScratchDict dict;
    dict.Load(dir / "none.txt", FixturePath("verb.spe"));
    EXPECT_EQ(dict.EntryCount(), 0u);
    EXPECT_EQ(dict.FileName(), "");
    EXPECT_FALSE(dict.Modified());
    EXPECT_GT(dict.IrregularCount(), 0u);
}

TEST(Load, FixtureFiles) {
    ScratchDict text;
    text.Load(FixturePath("sample.txt"), FixturePath("verb.spe"));
    EXPECT_EQ(text.EntryCount(), 9u);
    EXPECT_EQ(text.KeyAt(0), "apple");
    EXPECT_EQ(text.RenderingAt(0), kPingguo + kSemi + kPingguoShu);
    ScratchDict pro;
    pro.Load(FixturePath("sample.qbs"), FixturePath("verb.spe"));
    EXPECT_EQ(pro.EntryCount(), 4u);
    EXPECT_EQ(pro.KeyAt(0), "apple");
    EXPECT_EQ(pro.RenderingAt(0), kPingguo + kSemi + kPingguoShu);
    EXPECT_EQ(Lookup(pro, "The end-user"), StringList{});
    EXPECT_FALSE(pro.Modified());
}

TEST(Load, UnreadableFileGivesTheSystemMessage) {
    // /proc/self/mem exists and opens, but reading at offset 0 fails, for root as well.
    ScratchDict dict;
    try {
        dict.Load("/proc/self/mem", "");
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), "Cannot open file /proc/self/mem");
    }
    ScratchDict other;
    try {
        other.Load("", "/proc/self/mem");
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), "Cannot open file /proc/self/mem");
    }
}

TEST(Lookup, FormsReachBaseEntriesAndPhrases) {
    ScratchDict dict;
    dict.LoadIrregularFromBytes("took^take^\r\n");
    dict.LoadEntriesFromBytes("take\tT\r\ntake part in\tTPI\r\npart\tP\r\n", false);
    EXPECT_EQ(Lookup(dict, "He took part in it."),
              (StringList{"part\tP", "take\tT", "take part in\tTPI"}));
}

TEST(Lookup, FirstWordIndexIsAskedWithTheSentenceWord) {
    ScratchDict dict;
    dict.LoadIrregularFromBytes("took^take^\r\n");
    dict.LoadEntriesFromBytes("take part in the meeting\tM\r\n", false);
    dict.BuildFirstWordIndex();
    EXPECT_EQ(dict.MaxPhraseWords("take"), 5);
    EXPECT_EQ(Lookup(dict, "Take part in the meeting."), (StringList{"take part in the meeting\tM"}));
    EXPECT_EQ(Lookup(dict, "He took part in the meeting."), StringList{});
}

TEST(Lookup, FirstAndLastWordsAreReducedInnerWordsAreNot) {
    ScratchDict dict;
    dict.LoadEntriesFromBytes(
        "dog\tD\r\nlook forward to\tL\r\nwash the dish\tW\r\nlook at the sky\tS\r\n", false);
    dict.BuildFirstWordIndex();
    EXPECT_EQ(Lookup(dict, "Dogs"), (StringList{"dog\tD"}));
    EXPECT_EQ(Lookup(dict, "Looking forward to it"), (StringList{"look forward to\tL"}));
    EXPECT_EQ(Lookup(dict, "wash the dishes"), (StringList{"wash the dish\tW"}));
    EXPECT_EQ(Lookup(dict, "washing thes dishes"), StringList{});
    EXPECT_EQ(Lookup(dict, "looking at the sky"), StringList{});
    EXPECT_EQ(Lookup(dict, "look at the sky"), (StringList{"look at the sky\tS"}));
}

TEST(Lookup, CaseInsensitiveShowsTheStoredKey) {
    ScratchDict dict;
    dict.LoadEntriesFromBytes(ScrambleLine("Apple\tA") + "\r\n" + ScrambleLine("end-user\tE"), true);
    EXPECT_EQ(Lookup(dict, "APPLE"), (StringList{"Apple\tA"}));
    EXPECT_EQ(Lookup(dict, "an end-user"), StringList{}); // stored as read, never in lookup form
    ScratchDict text;
    text.LoadEntriesFromBytes("end-user\tE", false);
    EXPECT_EQ(Lookup(text, "an end-user"), (StringList{"end - user\tE"}));
}

TEST(Lookup, EntryFoundTwiceIsListedOnce) {
    ScratchDict dict;
    dict.LoadEntriesFromBytes("run\tR\r\n", false);
    // runs -> run, running -> run: two words, two forms, one entry.
    EXPECT_EQ(Lookup(dict, "runs running run"), (StringList{"run\tR"}));
    EXPECT_EQ(Lookup(dict, ""), StringList{});
    EXPECT_EQ(Lookup(dict, " ... "), StringList{});
}

TEST(Lookup, PhraseNeverReachesPastTheEnd) {
    ScratchDict dict;
    dict.LoadEntriesFromBytes("a b\tAB\r\nb\tB\r\n", false);
    EXPECT_EQ(Lookup(dict, "a"), StringList{});
    EXPECT_EQ(Lookup(dict, "a b"), (StringList{"a b\tAB", "b\tB"}));
}

TEST(Lookup, CharactersGbkCannotHoldNeitherSplitNorJoinWords) {
    // The pane gives naïve as na FF ve and 😀 as 7F: no na, no ve, no nave, no phrase across the
    // emoji; the words around them are found as usual.
    ScratchDict dict;
    dict.LoadEntriesFromBytes("na\tN\r\nve\tV\r\nnave\tNV\r\nguide\tG\r\ncosts\tC\r\n"
                              "guide costs\tGC\r\nnaive guide\tNG\r\n",
                              false);
    EXPECT_EQ(Lookup(dict, "The na\xFFve guide \x7F costs."), (StringList{"costs\tC", "guide\tG"}));
    EXPECT_EQ(Lookup(dict, "naive guide"), (StringList{"guide\tG", "naive guide\tNG"}));
}

TEST(Lookup, ResultsAreInTextOrderOfTheLines) {
    ScratchDict dict;
    dict.LoadEntriesFromBytes("zebra\tZ\r\napple\tA\r\napple pie\tP\r\n", false);
    EXPECT_EQ(Lookup(dict, "zebra apple pie"), (StringList{"apple\tA", "apple pie\tP", "zebra\tZ"}));
}

// Parallel to the results: the sentence words a reduced entry came from, empty for one found as
// written, also when another word reaches it through a form ("buffers buffer": buffer as written).
TEST(Lookup, ReducedEntriesNameTheWordsTheyCameFrom) {
    ScratchDict dict;
    dict.LoadIrregularFromBytes("took^take^\r\n");
    dict.LoadEntriesFromBytes("buff\tB\r\nbuffer\tBR\r\ntake part in\tT\r\n", false);
    dict.BuildFirstWordIndex();
    StringList results, from;
    dict.LookupSentence("The buffer took part in it", results, &from);
    EXPECT_EQ(results, (StringList{"buff\tB", "buffer\tBR", "take part in\tT"}));
    EXPECT_EQ(from, (StringList{"buffer", "", "took part in"}));
    dict.LookupSentence("buffers buffer", results, &from);
    EXPECT_EQ(results, (StringList{"buff\tB", "buffer\tBR"}));
    EXPECT_EQ(from, (StringList{"buffer", ""}));
}

TEST(FirstWordIndex, MaxPhraseWords) {
    ScratchDict dict;
    dict.LoadEntriesFromBytes("in a b c d e f\tX\r\nin a b c\tY\r\nin a b\tZ\r\n", false);
    dict.BuildFirstWordIndex();
    EXPECT_EQ(dict.MaxPhraseWords("in"), 7);
    EXPECT_EQ(dict.MaxPhraseWords("IN"), 7);
    EXPECT_EQ(dict.MaxPhraseWords("a"), 3);
    dict.UpdateFirstWordIndex("in 1 2 3 4 5 6 7 8");
    EXPECT_EQ(dict.MaxPhraseWords("in"), 9);
    dict.UpdateFirstWordIndex("in 1 2 3");
    EXPECT_EQ(dict.MaxPhraseWords("in"), 9);
}

TEST(Words, FirstWordsAndNthWord) {
    EXPECT_EQ(TQbDict::FirstWords("a b c", 2), "a b");
    EXPECT_EQ(TQbDict::FirstWords("a b", 2), "a b");
    EXPECT_EQ(TQbDict::FirstWords("a", 2), "");
    EXPECT_EQ(TQbDict::FirstWords("a b", 0), "");
    EXPECT_EQ(TQbDict::FirstWords("  a b  ", 1), "a");
    EXPECT_EQ(TQbDict::NthWord("a b c", 1), "a");
    EXPECT_EQ(TQbDict::NthWord("a b c", 2), "b");
    EXPECT_EQ(TQbDict::NthWord("a b c", 3), "c");
    EXPECT_EQ(TQbDict::NthWord("a b c", 4), "");
    EXPECT_EQ(TQbDict::NthWord("a b c", 0), "");
    EXPECT_EQ(TQbDict::NthWord(" a  b ", 2), "");
    EXPECT_EQ(TQbDict::NthWord(" a  b ", 3), "b");
    // A lone lead byte at the end takes the appended space as its trail byte.
    EXPECT_EQ(TQbDict::FirstWords("ab\xB0", 1), "");
    EXPECT_EQ(TQbDict::FirstWords("x ab\xB0", 1), "x");
}

TEST(GetEntry, OutOfBoundsMessage) {
    ScratchDict dict;
    dict.LoadEntriesFromBytes("a\tA", false);
    std::string key, rendering;
    dict.GetEntry(0, key, rendering);
    EXPECT_EQ(key, "a");
    for (long long bad : {-1LL, 1LL, 5LL}) {
        try {
            dict.GetEntry(bad, key, rendering);
            FAIL() << bad;
        } catch (const FileError& e) {
            EXPECT_EQ(std::string(e.what()), "List index out of bounds (" + std::to_string(bad) + ")");
        }
    }
}

TEST(MergeRenderings, DistinctSensesInTextOrder) {
    const std::string s = kSemi;
    EXPECT_EQ(TQbDict::MergeRenderings("b" + s + "a", "c" + s + "A"), "a" + s + "b" + s + "c");
    EXPECT_EQ(TQbDict::MergeRenderings("B", "b"), "B"); // the first met stays
    EXPECT_EQ(TQbDict::MergeRenderings("", ""), "");
    EXPECT_EQ(TQbDict::MergeRenderings(s + s, s), "");
    EXPECT_EQ(TQbDict::MergeRenderings(std::string(4000, 'x'), std::string(4000, 'y')).size(), 5000u);
}

// ---- word forms ----

TEST(WordForms, TableOfTheRules) {
    ScratchDict dict;
    dict.LoadIrregularFromBytes("went^go^\r\nwas^be^\r\n");
    const std::vector<std::pair<std::string, StringList>> cases = {
        {"dogs", {"dogs", "dog"}},
        {"flies", {"flies", "fly", "fli", "flie"}},
        {"boxes", {"boxes", "box", "boxe"}},
        {"makes", {"makes", "mak", "make"}},
        {"class", {"class", "clas"}},
        {"stopped", {"stopped", "stop", "stoppe", "stopp"}},
        {"studied", {"studied", "study", "studie", "studi"}},
        {"liked", {"liked", "like", "lik"}},
        {"need", {"need", "nee", "ne"}},
        {"running", {"running", "runn", "runne", "run"}},
        {"making", {"making", "mak", "make"}},
        {"bring", {"bring", "br", "bre"}},
        {"king", {"king"}},
        {"happier", {"happier", "happy", "happi"}},
        {"bigger", {"bigger", "bigg"}},
        {"over", {"over", "ov"}},
        {"fastest", {"fastest", "fast"}},
        {"best", {"best"}},
        {"bus", {"bus"}},
        {"went", {"went", "go"}},
        {"was", {"was", "be"}},
        {"", {""}},
    };
    for (const auto& [word, forms] : cases) EXPECT_EQ(Forms(dict, word), forms) << word;
}

TEST(WordForms, IrregularBaseThenSuffixRules) {
    ScratchDict dict;
    dict.LoadIrregularFromBytes("sees^see^\r\n");
    EXPECT_EQ(Forms(dict, "sees"), (StringList{"sees", "see", "se", "see"}));
}

// ---- adding and saving ----

TEST(AddEntry, NormalisesKeyAndRendering) {
    ScratchDict dict;
    dict.AddEntry("Apple", "b;a");
    EXPECT_TRUE(dict.Modified());
    EXPECT_EQ(Entries(dict), (StringList{Line("apple", "a" + kSemi + "b")}));
    dict.AddEntry("Apple", "b;a");
    EXPECT_EQ(Entries(dict), (StringList{Line("apple", "a" + kSemi + "b")}));
    dict.AddEntry("apple", "c");
    EXPECT_EQ(Entries(dict), (StringList{Line("apple", "a" + kSemi + "b" + kSemi + "c")}));
    dict.AddEntry("x", "x\r\ny");
    dict.AddEntry("z", "a" + kSemi + kSemi + "b" + kSemi);
    dict.AddEntry("w", "");
    EXPECT_EQ(Entries(dict), (StringList{Line("apple", "a" + kSemi + "b" + kSemi + "c"), "w\t",
                                         "x\tx y", Line("z", "a" + kSemi + "b")}));
}

TEST(AddEntry, ReplacesAStoredKeyThatDiffersInCase) {
    ScratchDict dict;
    dict.LoadEntriesFromBytes(ScrambleLine("Apple\tA") + "\r\n", true);
    dict.AddEntry("APPLE", "B");
    EXPECT_EQ(Entries(dict), (StringList{"apple\tA" + kSemi + "B"}));
}

TEST(AddEntry, SpacesAroundASenseStay) {
    EXPECT_EQ(TQbDict::NormalizeRendering(" a ; b"), " a " + kSemi + " b");
    EXPECT_EQ(TQbDict::NormalizeRendering("a   b"), "a  b");
}

TEST(AddEntry, KeepsTheFirstWordIndex) {
    ScratchDict dict;
    dict.AddEntry("Look at the sky", "S");
    EXPECT_EQ(dict.MaxPhraseWords("look"), 4);
    EXPECT_EQ(Lookup(dict, "look at the sky"), (StringList{"look at the sky\tS"}));
}

TEST(MergeText, BlankLineGivesTheEmptyKeyWrittenAsATab) {
    TempDir dir;
    const std::string src = dir / "add.txt";
    WriteFile(src, "Dog\tD;c\r\n\r\ncat\tC\r\nDOG\td\r\n");
    ScratchDict dict;
    dict.MergeTextFile(src);
    // Adding merges MergeRenderings (new, old): of "d" and the stored "D" (one sense in text
    // order) the new one is met first and stays.
    EXPECT_EQ(Entries(dict), (StringList{"\t", "cat\tC", "dog\tc" + kSemi + "d"}));
    EXPECT_EQ(dict.SaveToBytes(false), "\t\r\ncat\tC\r\ndog\tc" + kSemi + "d\r\n");
}

TEST(MergeText, UnreadableFileAddsNothing) {
    TempDir dir;
    ScratchDict dict;
    try {
        dict.MergeTextFile(dir / "missing.txt");
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + (dir / "missing.txt"));
    }
    EXPECT_EQ(dict.EntryCount(), 0u);
    EXPECT_FALSE(dict.Modified());
}

TEST(Save, UnmodifiedLexiconIsNotWritten) {
    TempDir dir;
    const std::string path = dir / "keep.txt";
    WriteFile(path, "b\tB\r\na\tA\r\n"); // not in order: a rewrite would reorder it
    struct stat before;
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    {
        ScratchDict dict;
        dict.Load(path, "");
        EXPECT_EQ(dict.EntryCount(), 2u);
    }
    struct stat after;
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(ReadFile(path), "b\tB\r\na\tA\r\n");
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    EXPECT_EQ(before.st_ino, after.st_ino);
}

// Writing is the caller's: a lexicon freed without Save leaves its file as it was (the main
// window saves before it frees).
TEST(Save, FreeingAModifiedLexiconWritesNothing) {
    TempDir dir;
    const std::string path = dir / "user.txt";
    WriteFile(path, "");
    {
        ScratchDict dict;
        dict.Load(path, "");
        dict.AddEntry("Hello", kZhong);
        ASSERT_TRUE(dict.Modified());
    }
    EXPECT_EQ(ReadFile(path), "");
}

TEST(Save, TwiceGivesIdenticalFilesAndTheSameLookups) {
    TempDir dir;
    const std::string path = dir / "d.qbs";
    WriteFile(path, "");
    ScratchDict dict;
    dict.Load(path, "");
    dict.AddEntry("take part in", kCanjia);
    dict.AddEntry("part", kBufen);
    const StringList before = Lookup(dict, "take part in");
    dict.Save();
    const std::string first = ReadFile(path);
    dict.Save();
    EXPECT_EQ(ReadFile(path), first);
    EXPECT_EQ(Lookup(dict, "take part in"), before);
    EXPECT_TRUE(dict.Modified());
    // Scrambled on disk; reading it back gives the same entries.
    EXPECT_EQ(first, ScrambleLine("part\t" + kBufen) + "\r\n" +
                         ScrambleLine("take part in\t" + kCanjia) + "\r\n");
    ScratchDict again;
    again.Load(path, "");
    EXPECT_EQ(Entries(again), Entries(dict));
}

TEST(Save, WithoutFileNameThrowsInsteadOfDroppingEntries) {
    ScratchDict dict;
    dict.Save(); // nothing to write: fine
    dict.AddEntry("a", "b");
    try {
        dict.Save();
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), "Cannot create file ");
    }
}

TEST(Save, ReadOnlyFolderKeepsTheOldFileIntact) {
    TempDir dir;
    const std::string sub = dir / "ro";
    ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
    const std::string path = sub + "/med.qbs";
    const std::string old = ScrambleLine("old\tO") + "\r\n";
    WriteFile(path, old);
    ScratchDict dict;
    dict.Load(path, "");
    dict.AddEntry("new", "N");
    {
        UnwritableDir guard(sub);
        if (!guard.ok()) GTEST_SKIP() << "cannot make a folder unwritable here";
        try {
            dict.Save();
            FAIL() << "no error";
        } catch (const FileError& e) {
            EXPECT_STREQ(e.what(), ("Cannot create file " + path).c_str());
        }
        EXPECT_EQ(ReadFile(path), old);
        EXPECT_EQ(ListDir(sub), (std::vector<std::string>{"med.qbs"}));
        EXPECT_TRUE(dict.Modified());
        EXPECT_EQ(dict.EntryCount(), 2u);
    }
    dict.Save(); // writable again: the entries were kept
    EXPECT_EQ(ReadFile(path), ScrambleLine("new\tN") + "\r\n" + ScrambleLine("old\tO") + "\r\n");
}

TEST(Save, KeepsTheFileModeAndWritesThroughASymlink) {
    TempDir dir;
    const std::string path = dir / "real.txt";
    WriteFile(path, "");
    ::chmod(path.c_str(), 0640);
    const std::string link = dir / "link.txt";
    ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
    ScratchDict dict;
    dict.Load(link, "");
    dict.AddEntry("a", "A");
    dict.Save();
    EXPECT_EQ(ReadFile(path), "a\tA\r\n");
    struct stat st;
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(Expansion, KnownKeysReportNoNewEntriesButMergeSenses) {
    ScratchDict target;
    target.LoadEntriesFromBytes("apple\tA\r\n", false);
    ScratchDict source;
    source.LoadEntriesFromBytes(ScrambleLine("Apple\tB") + "\r\n", true);
    const std::size_t before = target.EntryCount();
    for (std::size_t i = 0; i < source.EntryCount(); ++i) {
        std::string key, rendering;
        source.GetEntry(static_cast<long long>(i), key, rendering);
        target.AddEntry(key, rendering);
    }
    EXPECT_EQ(target.EntryCount() - before, 0u);
    EXPECT_EQ(Entries(target), (StringList{"apple\tA" + kSemi + "B"}));
    EXPECT_TRUE(target.Modified());
    EXPECT_FALSE(source.Modified());
}
