// Text utilities (MyUtils): searching at character boundaries, the text order, the word and key
// operations, keyed merging, the line layer and the engine's GBK <-> UTF-8.
#include "FileSync.h"
#include "LexiconTestSupport.h"

#include "GbkUtf8.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <random>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

using namespace qb;
using namespace qbtest;

namespace {

// Straightforward text order, character by character, to check the fast TextCompare against.
int ReferenceCompare(std::string_view a, std::string_view b) {
    auto fold = [](std::string_view s) {
        std::string out;
        for (std::size_t i = 0; i < s.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(s[i]);
            if (c >= 0x81 && c <= 0xFE) {
                out.push_back(s[i]);
                if (i + 1 < s.size()) out.push_back(s[++i]);
            } else {
                out.push_back((c >= 'A' && c <= 'Z') ? char(c + 32) : char(c));
            }
        }
        return out;
    };
    const std::string fa = fold(a), fb = fold(b);
    const int c = std::memcmp(fa.data(), fb.data(), std::min(fa.size(), fb.size()));
    if (c != 0) return c;
    return fa.size() < fb.size() ? -1 : fa.size() > fb.size() ? 1 : 0;
}

int Sign(int v) { return (v > 0) - (v < 0); }

} // namespace

TEST(FindText, NeverStartsOnATrailByte) {
    // 乑 is 81 5A: its trail byte is 'Z'.
    EXPECT_EQ(FindText(kZhuo, "Z"), std::string::npos);
    EXPECT_EQ(FindText(kZhuo + "Z", "Z"), 2u);
    EXPECT_EQ(FindText("aZ" + kZhuo + "Z", "Z", 2), 4u);
    EXPECT_EQ(FindText(kKao, "@"), std::string::npos);
    EXPECT_EQ(FindText("abc", ""), std::string::npos);
    EXPECT_EQ(FindText("abc", "c", 3), std::string::npos);
    // A lone lead byte at the end is one (cut) character: nothing to overrun.
    EXPECT_EQ(FindText("a\xB0", "\xB0"), 1u);
}

TEST(ReplaceAll, OnePassLeftToRightAtBoundaries) {
    EXPECT_EQ(ReplaceAll("a   b", "  ", " "), "a  b");
    EXPECT_EQ(ReplaceAll(kZhuo + "Z", "Z", "z"), kZhuo + "z");
    EXPECT_EQ(ReplaceAll("xx", "", "y"), "xx");
}

TEST(TrimAndLower, TouchOnlyWhatTheyShould) {
    EXPECT_EQ(Trim(std::string("\0\t a b \r\n", 9)), "a b");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(LowerAscii("ABC" + kZhuo + "Z"), "abc" + kZhuo + "z");
}

TEST(TextCompare, FoldsOnlySingleByteLetters) {
    EXPECT_EQ(TextCompare("Apple", "apple"), 0);
    EXPECT_LT(TextCompare("apple", "Banana"), 0);
    EXPECT_LT(TextCompare("ab", "abc"), 0);
    EXPECT_GT(TextCompare(kZhong, "zzz"), 0);
    EXPECT_EQ(TextCompare("", ""), 0);
    // 乑 (81 5A) and 乣 (81 7A) differ only by a trail byte that looks like 'Z' / 'z': two keys.
    EXPECT_NE(TextCompare(kZhuo, "\x81\x7A"), 0);
    EXPECT_NE(TextCompare("x" + kKao, "x\x81\x60"), 0);
    // After a case difference the comparison goes on.
    EXPECT_LT(TextCompare("Ab" + kZhuo, "ab\x81\x7A"), 0);
    EXPECT_EQ(TextCompare("A" + kZhong + "B", "a" + kZhong + "b"), 0);
}

TEST(TextCompare, AgreesWithCharacterWalkOnRandomTexts) {
    std::mt19937 rng(7);
    const std::string alphabet = "aAbBzZ @\x81\x5A\x7A\xB0\xA1\xFE\x40";
    for (int round = 0; round < 20000; ++round) {
        std::string a, b;
        const int la = int(rng() % 24), lb = int(rng() % 24);
        for (int i = 0; i < la; ++i) a.push_back(alphabet[rng() % alphabet.size()]);
        // Often share a long prefix so that the 8-byte skipping is exercised.
        if (rng() % 2) b = a.substr(0, rng() % (a.size() + 1));
        for (int i = 0; i < lb; ++i) b.push_back(alphabet[rng() % alphabet.size()]);
        if (rng() % 4 == 0) b = LowerAscii(a);
        ASSERT_EQ(Sign(TextCompare(a, b)), Sign(ReferenceCompare(a, b))) << a << " | " << b;
        ASSERT_EQ(Sign(TextCompare(a, b)), -Sign(TextCompare(b, a)));
    }
}

TEST(SortedFind, FindsOrGivesTheInsertionIndex) {
    const StringList list = {"apple", "Banana", "cherry"};
    std::size_t i = 99;
    EXPECT_TRUE(SortedFind(list, "BANANA", i));
    EXPECT_EQ(i, 1u);
    EXPECT_FALSE(SortedFind(list, "blue", i));
    EXPECT_EQ(i, 2u);
    EXPECT_FALSE(SortedFind(list, "", i));
    EXPECT_EQ(i, 0u);
    EXPECT_FALSE(SortedFind(list, "zed", i));
    EXPECT_EQ(i, 3u);
    EXPECT_FALSE(SortedFind({}, "a", i));
    EXPECT_EQ(i, 0u);
}

TEST(WordCount, CountsEverySpace) {
    EXPECT_EQ(WordCount(""), 1);
    EXPECT_EQ(WordCount("a  b"), 3);
    EXPECT_EQ(WordCount("take part in"), 3);
}

TEST(NormalizeKey, ExamplesOfTheLookupForm) {
    EXPECT_EQ(NormalizeKey("Take-Off"), "take - off");
    EXPECT_EQ(NormalizeKey("don't"), "don ' t");
    EXPECT_EQ(NormalizeKey("2nd"), "2 nd");
    EXPECT_EQ(NormalizeKey("  Run\r\nFast  "), "run fast");
    EXPECT_EQ(NormalizeKey(" , "), ",");
    EXPECT_EQ(NormalizeKey(""), "");
    EXPECT_EQ(NormalizeKey("    "), "");
    EXPECT_EQ(NormalizeKey("ABC\tdef"), "abc \t def");
    EXPECT_EQ(NormalizeKey("a     b"), "a b");
    EXPECT_EQ(NormalizeKey("Hello,  World!"), "hello , world !");
    // A trail byte that looks like 'Z' is not lower-cased.
    EXPECT_EQ(NormalizeKey(kZhuo), "\x81Z");
}

// Two-byte characters are never cut in two: a letter of GBK's pinyin row (é A8 A6, ü A8 B9,
// à A8 A4, ǹ A8 BF, ɡ A8 C0) is a letter of its word, any other character one symbol.
TEST(NormalizeKey, TwoByteCharactersStayWhole) {
    const std::string e = "\xA8\xA6", u = "\xA8\xB9", a = "\xA8\xA4";
    struct Case {
        std::string in, key, separated;
    } cases[] = {
        {"Caf" + e, "caf" + e, "Caf" + e},
        {"r" + e + "sum" + e + ", Z" + u + "rich", "r" + e + "sum" + e + " , z" + u + "rich",
         "r" + e + "sum" + e + " , Z" + u + "rich"},
        {"Pok" + e + "mon!", "pok" + e + "mon !", "Pok" + e + "mon !"},
        {"voil" + a + " \xA8\xBF\xA8\xC0", "voil" + a + " \xA8\xBF\xA8\xC0",
         "voil" + a + " \xA8\xBF\xA8\xC0"},
        // 中 next to a word, and the characters just outside the row (A8 A0, A8 C1).
        {"Go\xD6\xD0x", "go \xD6\xD0 x", "Go \xD6\xD0 x"},
        {"a\xA8\xA0"
         "b\xA8\xC1",
         "a \xA8\xA0 b \xA8\xC1", "a \xA8\xA0 b \xA8\xC1"},
        // A lead byte cut off by the end stands alone.
        {"ab\xA8", "ab \xA8", "ab \xA8"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NormalizeKey(c.in), c.key) << c.in;
        EXPECT_EQ(SeparateSymbols(c.in), c.separated) << c.in;
    }
}

TEST(NormalizeKey, StandInsForCharactersGbkCannotHold) {
    // naïve, Straße 😀 Windows™: the letter stand-in stays inside its word, the symbol one is
    // spaced out as punctuation is; the same for SeparateSymbols.
    EXPECT_EQ(NormalizeKey("Na\xFFve, Stra\xFF"
                           "e\x7F Windows\x7F"),
              "na\xFFve , stra\xFF"
              "e \x7F windows \x7F");
    EXPECT_EQ(SeparateSymbols("Na\xFFve Stra\xFF"
                              "e\x7F"),
              "Na\xFFve Stra\xFF"
              "e \x7F");
}

TEST(SeparateSymbols, IsolatesPunctuationKeepsCase) {
    EXPECT_EQ(SeparateSymbols("Hello, world!"), "Hello , world !");
    EXPECT_EQ(SeparateSymbols("U.S."), "U.S.");
    EXPECT_EQ(SeparateSymbols("(word)"), "( word )");
    EXPECT_EQ(SeparateSymbols("A-1/b_c@d#e$f%g&h*i\\j|k"), "A-1/b_c@d#e$f%g&h*i\\j|k");
    EXPECT_EQ(SeparateSymbols("a\r\nb"), "a   b"); // " \r  \n " -> six spaces -> three
    // A two-byte character is one symbol.
    EXPECT_EQ(SeparateSymbols("a" + std::string(kZhong) + "b"), "a \xD6\xD0 b");
    // One pass of the double-space replacement: a run of spaces shrinks, not always to one.
    EXPECT_EQ(SeparateSymbols("a    b"), "a  b");
}

TEST(SplitString, DropsEmptyPieces) {
    StringList list = {"old"};
    SplitString(kSemi + "a" + kSemi + kSemi + "b" + kSemi, kSemi, list);
    EXPECT_EQ(list, (StringList{"a", "b"}));
    SplitString("", ",", list);
    EXPECT_TRUE(list.empty());
    SplitString("a,b", ",", list);
    EXPECT_EQ(list, (StringList{"a", "b"}));
}

TEST(SplitString, DoesNotCutACharacterWhoseTrailLooksLikeTheSeparator) {
    // 埃 is B0 A3; followed by BB F5 the bytes A3 BB look like "；" but start on a trail byte.
    const std::string text = "\xB0\xA3\xBB\xF5";
    StringList list;
    SplitString(text, kSemi, list);
    EXPECT_EQ(list, (StringList{text}));
}

TEST(SplitString, KeepsOnly5000BytesAfterASeparator) {
    StringList list;
    SplitString("a," + std::string(6000, 'x'), ",", list);
    EXPECT_EQ(list, (StringList{"a"})); // the rest lost its separator in the cut
    SplitString("a," + std::string(4999, 'x'), ",", list);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].size(), 4999u);
}

TEST(SplitAtFirst, Cases) {
    EXPECT_EQ(SplitAtFirst("abc", '\t'), (std::pair<std::string, std::string>{"", ""}));
    EXPECT_EQ(SplitAtFirst("\tx", '\t'), (std::pair<std::string, std::string>{"", "x"}));
    EXPECT_EQ(SplitAtFirst("a\tb\tc", '\t'), (std::pair<std::string, std::string>{"a", "b\tc"}));
    EXPECT_EQ(SplitAtFirst("a\t" + std::string(6000, 'y'), '\t').second.size(), 5000u);
    // 乑's trail byte is 'Z': splitting at 'Z' skips it.
    EXPECT_EQ(SplitAtFirst(kZhuo + "Zq", 'Z'), (std::pair<std::string, std::string>{kZhuo, "q"}));
}

TEST(JoinDistinct, Cases) {
    const std::string s = kSemi;
    EXPECT_EQ(JoinDistinct("a" + s + "b" + s + "a" + s + s + "c", s), "a" + s + "b" + s + "c");
    EXPECT_EQ(JoinDistinct("A" + s + "a", s), "A" + s + "a");
    EXPECT_EQ(JoinDistinct(s + s + s, s), "");
    EXPECT_EQ(JoinDistinct("", s), "");
    // The joined text is cut to 5000 bytes; a separator left at the end goes.
    const std::string big = JoinDistinct(std::string(4999, 'x') + "," + "y", ",");
    EXPECT_EQ(big, std::string(4999, 'x'));
}

// Regression: kept pieces of 4999 bytes followed by "；" were cut at 5000 and ended in 0xA3,
// the first half of the separator; a piece that crosses 5000 lost the second half of a character.
TEST(JoinDistinct, CutLeavesNoHalfCharacterAndNoSeparator) {
    const std::string s = kSemi;
    const std::string zhong = "\xD6\xD0"; // 中
    struct Case {
        const char* what;
        std::string text;
        std::string expected;
    } cases[] = {
        {"4999 bytes, then the separator's first byte at 5000", std::string(4999, 'x') + s + "y",
         std::string(4999, 'x')},
        {"the whole separator fits, the next character not", std::string(4998, 'x') + s + zhong,
         std::string(4998, 'x')},
        {"a character across the cut", std::string(4999, 'x') + zhong + s + "y", std::string(4999, 'x')},
        {"a piece cut inside keeps its whole characters",
         std::string(4990, 'x') + s + "ab" + zhong + zhong + zhong + zhong,
         std::string(4990, 'x') + s + "ab" + zhong + zhong + zhong},
        {"exactly 5000 bytes stay whole", std::string(4996, 'x') + s + "yy",
         std::string(4996, 'x') + s + "yy"},
    };
    for (const Case& c : cases) {
        const std::string got = JoinDistinct(c.text, s);
        EXPECT_EQ(got, c.expected) << c.what;
        EXPECT_LE(got.size(), 5000u) << c.what;
    }
}

TEST(MergeKeyedValue, MergesIntoTheStoredKeyIgnoringCase) {
    StringList keys = {"Apple"}, values = {"a"};
    MergeKeyedValue("APPLE", "b", keys, values, kSemi);
    EXPECT_EQ(keys, (StringList{"Apple"}));
    EXPECT_EQ(values, (StringList{"a" + kSemi + "b"}));
    MergeKeyedValue("apple", "a", keys, values, kSemi);
    EXPECT_EQ(values, (StringList{"a" + kSemi + "b"}));
    MergeKeyedValue("Aardvark", "c", keys, values, kSemi);
    EXPECT_EQ(keys, (StringList{"Aardvark", "Apple"}));
    EXPECT_EQ(values, (StringList{"c", "a" + kSemi + "b"}));
}

TEST(MergeKeyedLines, PoolsValuesInOrderFirstMet) {
    StringList target = {"take\tT1", "part\tP"};
    const StringList source = {"Take\tT2" + kSemi + "T1", "zoo\tZ", "no separator"};
    const StringList sourceCopy = source;
    MergeKeyedLines(target, source, '\t', kSemi);
    EXPECT_EQ(target, (StringList{"\t", "part\tP", "take\tT1" + kSemi + "T2", "zoo\tZ"}));
    EXPECT_EQ(source, sourceCopy);
}

TEST(AppendDistinct, BothListsEndTheSame) {
    StringList target = {"x", "y"}, source = {"Y", "z"};
    AppendDistinct(target, source);
    EXPECT_EQ(target, (StringList{"x", "y", "z"}));
    EXPECT_EQ(source, (StringList{"x", "y", "z"}));
}

TEST(ScrambleLine, ExamplesAndInverse) {
    EXPECT_EQ(ScrambleLine("abcdef"), "fbdcea");
    EXPECT_EQ(ScrambleLine("abcde"), "ebcda");
    EXPECT_EQ(ScrambleLine(""), "");
    EXPECT_EQ(ScrambleLine("a"), "a");
    EXPECT_EQ(ScrambleLine("ab"), "ba");
    std::mt19937 rng(3);
    for (int len = 0; len < 40; ++len) {
        std::string line;
        for (int i = 0; i < len; ++i) line.push_back(char(rng() % 256));
        EXPECT_EQ(ScrambleLine(ScrambleLine(line)), line) << len;
    }
    StringList lines = {"abcdef", "abcde"};
    ScrambleLines(lines);
    EXPECT_EQ(lines, (StringList{"fbdcea", "ebcda"}));
}

TEST(SplitLines, EveryKindOfLineBreak) {
    EXPECT_EQ(SplitLines(""), StringList{});
    EXPECT_EQ(SplitLines("a"), (StringList{"a"}));
    EXPECT_EQ(SplitLines("a\r\n"), (StringList{"a"}));
    EXPECT_EQ(SplitLines("a\rb\nc\r\nd"), (StringList{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("\r\n\r\n"), (StringList{"", ""}));
    EXPECT_EQ(SplitLines("\n\r"), (StringList{"", ""}));
    EXPECT_EQ(SplitLines("a\r\rb"), (StringList{"a", "", "b"}));
    EXPECT_EQ(SplitLines(std::string("a\nb\0c\nd", 7)), (StringList{"a", "b"}));
    EXPECT_EQ(SplitLines(std::string("\0abc", 4)), StringList{});
    EXPECT_EQ(JoinLinesCrLf({"a", ""}), "a\r\n\r\n");
    EXPECT_EQ(JoinLinesCrLf({}), "");
}

TEST(LineSplitter, GivesTheLinesOfSplitLinesWhateverThePieces) {
    std::mt19937 rng(11);
    const std::string bytes_alphabet = std::string("ab\r\n\t\xB0", 6) + std::string(1, '\0');
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        const int len = int(rng() % 30);
        for (int i = 0; i < len; ++i) {
            const char c = bytes_alphabet[rng() % bytes_alphabet.size()];
            if (c == '\0' && rng() % 4) continue; // NUL less often
            bytes.push_back(c);
        }
        StringList got;
        LineSplitter splitter;
        auto emit = [&](std::string_view line) { got.emplace_back(line); };
        std::size_t pos = 0;
        while (pos < bytes.size()) {
            const std::size_t piece = 1 + rng() % 5;
            splitter.Feed(std::string_view(bytes).substr(pos, piece), emit);
            pos += piece;
        }
        splitter.Finish(emit);
        ASSERT_EQ(got, SplitLines(bytes)) << round;
    }
}

TEST(Files, ReadMissingFileGivesTheSystemMessage) {
    TempDir dir;
    const std::string path = dir / "missing.txt";
    EXPECT_FALSE(FileExists(path));
    EXPECT_FALSE(FileExists(dir.path())); // a folder is no file
    try {
        ReadWholeFile(path);
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), ("Cannot open file " + path).c_str());
    }
}

TEST(Files, WriteSafelyReplacesAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string path = dir / "a.txt";
    WriteWholeFileSafely(path, "one");
    WriteWholeFileSafely(path, "two");
    EXPECT_EQ(ReadWholeFile(path), "two");
    EXPECT_EQ(ListDir(dir.path()), (std::vector<std::string>{"a.txt"}));
    try {
        WriteWholeFileSafely(dir / "no/such/folder.txt", "x");
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), ("Cannot create file " + (dir / "no/such/folder.txt")).c_str());
    }
}

// A kill during a write leaves law.qbs.tmpXXXXXX beside law.qbs; the next write of law.qbs
// removes its own stale ones and nothing else: not another target's, not a name of another
// pattern, not a fresh one, not an old one whose writer still holds it (a slow fsync).
TEST(Files, WriteSafelyRemovesTheTemporaryFilesAKilledWriteLeft) {
    TempDir dir;
    const std::string path = dir / "law.qbs";
    WriteWholeFileSafely(path, "old");
    const auto make = [&](const std::string& name, bool old) {
        WriteWholeFileSafely(dir / name, "half");
        if (old) {
            const utimbuf past{std::time(nullptr) - 120, std::time(nullptr) - 120};
            ::utime((dir / name).c_str(), &past);
        }
    };
    make("law.qbs.tmpA1b2C3", true); // stale: removed
    make("law.qbs.tmpQ9z8Y7", true); // stale, but its writer still holds it
    make("law.qbs.tmpFresh1", false);
    make("law.qbs.tmp12345", true);
    make("law.qbs.bak", true);
    make("med.qbs.tmpA1b2C3", true);
    const int live = ::open((dir / "law.qbs.tmpQ9z8Y7").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(live, 0);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);

    WriteWholeFileSafely(path, "new");
    ::close(live);
    EXPECT_EQ(ReadWholeFile(path), "new");
    EXPECT_EQ(ListDir(dir.path()),
              (std::vector<std::string>{"law.qbs", "law.qbs.bak", "law.qbs.tmp12345", "law.qbs.tmpFresh1",
                                        "law.qbs.tmpQ9z8Y7", "med.qbs.tmpA1b2C3"}));
}

namespace {
// The data stream of the write goes to /dev/full, which fails every write with ENOSPC.
long WriteToFullDisk(int, const void* bytes, unsigned long count) {
    static const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    return long(::write(full, bytes, count));
}
} // namespace

TEST(Files, AFullDiskIsSaidSoAndTheOldFileKept) {
    TempDir dir;
    const std::string path = dir / "mydict.txt";
    WriteWholeFileSafely(path, "old");
    SetFileWriter(&WriteToFullDisk);
    std::string message;
    try {
        WriteWholeFileSafely(path, "new");
    } catch (const FileError& e) {
        message = e.what();
    }
    SetFileWriter(nullptr);
    EXPECT_EQ(message, "磁盘已满，不能写入文件" + path + "；原来的文件保持不变。");
    EXPECT_EQ(ReadWholeFile(path), "old");
    EXPECT_EQ(ListDir(dir.path()), (std::vector<std::string>{"mydict.txt"}));
}

// The engine's GBK <-> UTF-8 (what the clause converter hands its pinyin library): 我们 both
// ways, and the whole text refused for a character GBK cannot hold or bytes that are not GBK,
// so no half-converted word ever reaches the library.
TEST(GbkUtf8, ConvertsBothWaysAndRefusesWhatDoesNotFit) {
    TGbkUtf8 toUtf8(TGbkUtf8::Direction::ToUtf8), toGbk(TGbkUtf8::Direction::ToGbk);
    ASSERT_TRUE(toUtf8.Ok() && toGbk.Ok());
    std::string out;
    ASSERT_TRUE(toUtf8.Convert("ab\xCE\xD2\xC3\xC7", out));
    EXPECT_EQ(out, "ab\xE6\x88\x91\xE4\xBB\xAC");
    ASSERT_TRUE(toGbk.Convert("\xE6\x88\x91\xE4\xBB\xAC", out));
    EXPECT_EQ(out, "\xCE\xD2\xC3\xC7");
    EXPECT_FALSE(toGbk.Convert("\xE6\x88\x91\xF0\x9F\x98\x80", out)); // 我😀
    EXPECT_FALSE(toUtf8.Convert("\xCE\xD2\xFF", out));                // 我 and a stray byte
    EXPECT_FALSE(toUtf8.Convert("\xCE\xD2\xC3", out));                // 我 and half of 们
}
