// The fast paths (ordered loading, batch adding, pooled storage) against a plain sequential
// model of adding line by line, and every reader against bytes that are not a lexicon at all.
#include "LexiconTestSupport.h"

#include <algorithm>
#include <cstring>
#include <random>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

using namespace qb;
using namespace qbtest;

namespace {

// The lexicon at its simplest: two parallel lists, one binary search and one insertion per line.
struct Model {
    StringList keys;
    StringList renderings;

    void LoadBytes(std::string_view bytes, bool scrambled) {
        for (std::string line : SplitLines(bytes)) {
            if (scrambled) line = ScrambleLine(line);
            auto [key, rendering] = SplitAtFirst(line, '\t');
            if (!scrambled) key = NormalizeKey(key);
            std::size_t i = 0;
            if (SortedFind(keys, key, i)) {
                renderings[i] = TQbDict::MergeRenderings(renderings[i], rendering);
            } else {
                keys.insert(keys.begin() + std::ptrdiff_t(i), key);
                renderings.insert(renderings.begin() + std::ptrdiff_t(i), rendering);
            }
        }
    }
    void Add(std::string_view source, std::string_view rendering) {
        const std::string key = NormalizeKey(source);
        const std::string r = TQbDict::NormalizeRendering(rendering);
        std::size_t i = 0;
        if (SortedFind(keys, key, i)) {
            renderings[i] = TQbDict::MergeRenderings(r, renderings[i]);
            keys[i] = key;
        } else {
            keys.insert(keys.begin() + std::ptrdiff_t(i), key);
            renderings.insert(renderings.begin() + std::ptrdiff_t(i), r);
        }
    }
    StringList Lines() const {
        StringList out;
        for (std::size_t i = 0; i < keys.size(); ++i) out.push_back(keys[i] + "\t" + renderings[i]);
        return out;
    }
};

// Random lexicon material with repeated keys, keys differing in case only, phrases, symbols,
// senses differing in case only, both kinds of semicolon, line breaks in renderings.
class Material {
public:
    explicit Material(unsigned seed) : rng_(seed) {}

    std::string Word() {
        static const char* words[] = {"take",  "part",     "in",    "the",     "meeting", "apple",
                                      "Apple", "APPLE",    "run",   "running", "look",    "forward",
                                      "to",    "end-user", "don't", "a",       "b",       "x",
                                      "dog",   "dogs",     "zebra", "1st",     "sky"};
        return words[rng_() % (sizeof words / sizeof *words)];
    }
    std::string Key() {
        std::string key = Word();
        const int extra = int(rng_() % 6) == 0 ? int(rng_() % 5) : int(rng_() % 2);
        for (int i = 0; i < extra; ++i) key += (rng_() % 8 ? " " : "  ") + Word();
        if (rng_() % 20 == 0) key = " " + key + "\t";
        return key;
    }
    std::string Sense() {
        static const std::string senses[] = {kPingguo, kPingguoShu, kCanjia, kBufen, kGou,  "a",
                                             "A",      "b",         " c",    "",     kZhong};
        return senses[rng_() % (sizeof senses / sizeof *senses)];
    }
    std::string Rendering() {
        std::string r = Sense();
        const int extra = int(rng_() % 3);
        for (int i = 0; i < extra; ++i) {
            static const std::string seps[] = {kSemi, ";", kSemi + kSemi, "\r\n", "  "};
            r += seps[rng_() % 5] + Sense();
        }
        if (rng_() % 50 == 0) r += std::string(3000, 'L') + kSemi + std::string(2500, 'M');
        return r;
    }
    std::mt19937& rng() { return rng_; }

private:
    std::mt19937 rng_;
};

std::string TextLines(const StringList& sources, const StringList& renderings) {
    std::string bytes;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        std::string r = renderings[i];
        for (char& c : r) {
            if (c == '\r' || c == '\n') c = ' '; // a file line holds no line break
        }
        bytes += sources[i] + "\t" + r + "\r\n";
    }
    return bytes;
}

} // namespace

TEST(Batch, LoadingInAnyOrderGivesWhatSequentialLoadingGives) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        Material m(seed);
        StringList sources, renderings;
        const int n = 200 + int(m.rng()() % 400);
        for (int i = 0; i < n; ++i) {
            sources.push_back(m.Key());
            renderings.push_back(m.Rendering());
        }
        std::string text = TextLines(sources, renderings);
        if (seed % 3 == 0) {
            // Mostly in order: sort the lines, so the ordered path runs first and falls back later.
            StringList lines = SplitLines(text);
            std::stable_sort(
                lines.begin(), lines.begin() + long(lines.size() * 3 / 4),
                [](const std::string& a, const std::string& b) { return TextLess(a, b); });
            text = JoinLinesCrLf(lines);
        }
        std::string scrambled;
        for (const std::string& line : SplitLines(text)) scrambled += ScrambleLine(line) + "\r\n";

        for (bool pro : {false, true}) {
            const std::string& bytes = pro ? scrambled : text;
            Model model;
            model.LoadBytes(bytes, pro);
            ScratchDict dict;
            dict.LoadEntriesFromBytes(bytes, pro);
            ASSERT_EQ(Entries(dict), model.Lines()) << "seed " << seed << " pro " << pro;
            // A second batch into the filled lexicon.
            const std::string more =
                pro ? scrambled.substr(0, scrambled.size() / 2) : text.substr(text.size() / 3);
            model.LoadBytes(more, pro);
            dict.LoadEntriesFromBytes(more, pro);
            ASSERT_EQ(Entries(dict), model.Lines()) << "second batch, seed " << seed;
        }
    }
}

TEST(Batch, SavedFileLoadsBackIdentically) {
    Material m(99);
    ScratchDict dict;
    for (int i = 0; i < 500; ++i) dict.AddEntry(m.Key(), m.Rendering());
    for (bool pro : {false, true}) {
        const std::string bytes = dict.SaveToBytes(pro);
        ScratchDict again;
        again.LoadEntriesFromBytes(bytes, pro);
        EXPECT_EQ(Entries(again), Entries(dict));
        EXPECT_EQ(again.SaveToBytes(pro), bytes);
    }
}

TEST(Batch, AddEntriesEqualsAddingOneByOne) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        Material m(seed * 7919);
        // Start from a professional lexicon whose keys differ in case from the added ones.
        std::string base;
        for (const char* line : {"Apple\tA", "Take part in\tT", "zebra\tZ", "DOG\tD"}) {
            base += ScrambleLine(line) + "\r\n";
        }
        ScratchDict batch, single;
        Model model;
        batch.LoadEntriesFromBytes(base, true);
        single.LoadEntriesFromBytes(base, true);
        model.LoadBytes(base, true);
        StringList sources, renderings;
        const int n = 100 + int(m.rng()() % 900);
        for (int i = 0; i < n; ++i) {
            sources.push_back(m.Key());
            renderings.push_back(m.Rendering());
        }
        batch.AddEntries(sources, renderings);
        for (int i = 0; i < n; ++i) {
            single.AddEntry(sources[std::size_t(i)], renderings[std::size_t(i)]);
            model.Add(sources[std::size_t(i)], renderings[std::size_t(i)]);
        }
        ASSERT_EQ(Entries(batch), model.Lines()) << seed;
        ASSERT_EQ(Entries(single), model.Lines()) << seed;
        EXPECT_TRUE(batch.Modified());
        // The first-word index and the lookups agree too.
        for (const std::string& key : model.keys) {
            const std::string first = TQbDict::FirstWords(key, 1);
            ASSERT_EQ(batch.MaxPhraseWords(first), single.MaxPhraseWords(first)) << first;
        }
        for (int i = 0; i < 50; ++i) {
            std::string sentence;
            for (int w = 0; w < 8; ++w) sentence += m.Word() + " ";
            StringList a, b;
            batch.LookupSentence(sentence, a);
            single.LookupSentence(sentence, b);
            ASSERT_EQ(a, b) << sentence;
        }
        // The text-file form of the same batch.
        ScratchDict merged;
        merged.LoadEntriesFromBytes(base, true);
        merged.MergeTextBytes(TextLines(sources, renderings));
        ScratchDict mergedSingle;
        mergedSingle.LoadEntriesFromBytes(base, true);
        for (const std::string& line : SplitLines(TextLines(sources, renderings))) {
            auto [source, rendering] = SplitAtFirst(line, '\t');
            mergedSingle.AddEntry(source, rendering);
        }
        ASSERT_EQ(Entries(merged), Entries(mergedSingle)) << seed;
    }
}

TEST(Batch, EmptyBatchChangesNothing) {
    ScratchDict dict;
    dict.AddEntries({}, {});
    dict.MergeTextBytes("");
    EXPECT_FALSE(dict.Modified());
    EXPECT_EQ(dict.EntryCount(), 0u);
}

TEST(Batch, ManyRewritesOfOneEntryReclaimTheirBytes) {
    // Each merge leaves the old rendering behind in the pool; the pool is compacted on the way.
    ScratchDict dict;
    Model model;
    dict.AddEntry("zzz", "last");
    model.Add("zzz", "last");
    for (int i = 0; i < 600; ++i) {
        const std::string r = std::to_string(i % 7) + std::string(3000, char('a' + i % 26));
        dict.AddEntry("Key", r);
        model.Add("Key", r);
        dict.AddEntry("aaa " + std::to_string(i), "x");
        model.Add("aaa " + std::to_string(i), "x");
    }
    EXPECT_EQ(Entries(dict), model.Lines());
    StringList found;
    dict.LookupSentence("key zzz", found);
    EXPECT_EQ(found.size(), 2u);
}

// ---- bad input: every reader takes any bytes ----

TEST(BadInput, NulByteEndsTheText) {
    ScratchDict dict;
    dict.LoadEntriesFromBytes(std::string("a\tA\r\nb\0c\tB\r\nd\tD", 15), false);
    EXPECT_EQ(Entries(dict), (StringList{"\t", "a\tA"}));
    ScratchDict forms;
    forms.LoadIrregularFromBytes(std::string("was^be^\0went^go^\r\n", 19));
    EXPECT_EQ(forms.IrregularCount(), 1u);
}

TEST(BadInput, LoneCarriageReturnBreaksALine) {
    ScratchDict dict;
    dict.LoadEntriesFromBytes("a\tA\rb\tB\r\rc\tC", false);
    EXPECT_EQ(Entries(dict), (StringList{"\t", "a\tA", "b\tB", "c\tC"}));
    dict.LoadEntriesFromBytes(ReadFile(FixturePath("bad.txt")), false);
    EXPECT_EQ(Entries(dict), (StringList{"\t", "a\tA", "b\tB", "c\tC", "lone\tcr", "ok\tgood"}));
}

TEST(BadInput, HalfACharacterAtTheEnd) {
    const std::string bytes = ReadFile(FixturePath("half.txt"));
    ASSERT_EQ(bytes.back(), '\xC3');
    ScratchDict dict;
    dict.LoadEntriesFromBytes(bytes, false);
    EXPECT_EQ(Entries(dict), (StringList{"cat\t\xC3", "dog\t" + kGou}));
    StringList found;
    dict.LookupSentence("cat\xC3", found); // the lone lead byte swallows nothing past the end
    dict.LookupSentence("a cat", found);
    EXPECT_EQ(found, (StringList{"cat\t\xC3"}));
    for (bool pro : {false, true}) {
        ScratchDict again;
        again.LoadEntriesFromBytes(dict.SaveToBytes(pro), pro);
        EXPECT_EQ(Entries(again), Entries(dict));
    }
    // As a professional file: a scrambled odd line ending in a lead byte.
    ScratchDict pro;
    pro.LoadEntriesFromBytes(ScrambleLine("k\t\xB0"), true);
    EXPECT_EQ(Entries(pro), (StringList{"k\t\xB0"}));
    EXPECT_EQ(NormalizeKey("ab\xB0"), "ab \xB0");
    EXPECT_EQ(TQbDict::MergeRenderings("x\xA3", "y"), "x\xA3" + kSemi + "y");
}

TEST(BadInput, TenMegabyteLines) {
    const std::string big(10u << 20, 'w');
    ScratchDict dict;
    dict.LoadEntriesFromBytes(big + "\tR\r\n" + big + "\r\nk\t" + big + "\r\n", false);
    ASSERT_EQ(dict.EntryCount(), 3u);
    EXPECT_EQ(dict.KeyAt(0), "");
    EXPECT_EQ(dict.RenderingAt(1).size(), 5000u);
    EXPECT_EQ(dict.KeyAt(2).size(), big.size());
    StringList found;
    dict.LookupSentence(big + " k", found); // the first word is the whole 10 MB key
    EXPECT_EQ(found, (StringList{"k\t" + big.substr(0, 5000), big + "\tR"}));
    dict.LookupSentence("k", found);
    EXPECT_EQ(found.size(), 1u);
    ScratchDict pro;
    pro.LoadEntriesFromBytes(ScrambleLine(big + "\tR"), true);
    EXPECT_EQ(pro.KeyAt(0).size(), big.size());
    EXPECT_EQ(pro.SaveToBytes(true), ScrambleLine(big + "\tR") + "\r\n");
    ScratchDict forms;
    forms.LoadIrregularFromBytes(big + "^" + big + "^");
    EXPECT_EQ(forms.IrregularCount(), 0u); // the second "^" lies beyond 500 bytes
    dict.AddEntry(big, big);
    EXPECT_EQ(SplitLines(dict.SaveToBytes(false)).size(), 3u);
}

TEST(BadInput, BinaryDataLoadsLikeTheModelSays) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 4; ++round) {
        std::string bytes(200000, '\0');
        for (char& c : bytes) c = char(rng() % 256);
        if (round % 2 == 0) {
            for (char& c : bytes) {
                if (c == '\0') c = '\t'; // keep going past where a NUL would end the text
            }
        }
        for (bool pro : {false, true}) {
            Model model;
            model.LoadBytes(bytes, pro);
            ScratchDict dict;
            dict.LoadEntriesFromBytes(bytes, pro);
            ASSERT_EQ(Entries(dict), model.Lines()) << "round " << round << " pro " << pro;
            // Keys of a professional file are kept as read, so its lines survive a round trip.
            // (A text lexicon's keys do not: NormalizeKey of junk is not a fixed point, and it
            // keeps a TAB inside a key.)
            const std::string saved = dict.SaveToBytes(pro);
            Model reread;
            reread.LoadBytes(saved, pro);
            ScratchDict again;
            again.LoadEntriesFromBytes(saved, pro);
            EXPECT_EQ(Entries(again), reread.Lines());
            if (pro) {
                EXPECT_EQ(again.SaveToBytes(pro), saved);
            }
            StringList found;
            for (int i = 0; i < 30; ++i) {
                dict.LookupSentence(std::string_view(bytes).substr(rng() % 190000, rng() % 600), found);
            }
            dict.LoadIrregularFromBytes(bytes);
            dict.MergeTextBytes(bytes.substr(0, 20000));
            StringList forms;
            dict.WordForms(std::string_view(bytes).substr(100, 50), forms);
        }
        StringList list;
        SplitString(bytes.substr(0, 50000), kSemi, list);
        JoinDistinct(bytes.substr(0, 50000), kSemi);
        SeparateSymbols(bytes.substr(0, 50000));
        MergeKeyedLines(list, SplitLines(bytes.substr(0, 30000)), '\t', kSemi);
    }
}

TEST(BadInput, EmptyFiles) {
    TempDir dir;
    for (const char* name : {"e.txt", "e.qbs"}) {
        WriteFile(dir / name, "");
        ScratchDict dict;
        dict.Load(dir / name, dir / name);
        EXPECT_EQ(dict.EntryCount(), 0u);
        EXPECT_EQ(dict.IrregularCount(), 0u);
        EXPECT_EQ(dict.FileName(), dir / name);
        StringList found;
        dict.LookupSentence("anything at all", found);
        EXPECT_TRUE(found.empty());
    }
}

TEST(BadInput, FailedWriteLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string path = dir / "name.txt";
    WriteFile(path, "old\r\n");
    ScratchDict dict;
    dict.Load(path, "");
    dict.AddEntry("a", "b");
    // A folder in place of the file: the rename fails after the temporary file was written,
    // and the temporary file is removed again.
    const std::string folder = dir / "folder.txt";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    dict.SetFileName(folder);
    EXPECT_THROW(dict.Save(), FileError);
    EXPECT_EQ(ListDir(dir.path()), (std::vector<std::string>{"folder.txt", "name.txt"}));
    // A name too long for the temporary file beside it.
    const std::string longName = dir / std::string(250, 'n');
    WriteFile(longName, "keep");
    dict.SetFileName(longName);
    try {
        dict.Save();
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + longName);
    }
    EXPECT_EQ(ReadFile(longName), "keep");
    EXPECT_EQ(ListDir(dir.path()).size(), 3u);
    dict.SetFileName(path); // so that freeing it at the end can write
}

namespace {
// Runs one read in a death-test child: exit 0 when it was refused with "Cannot open file <path>".
[[noreturn]] void ReadInChild(void (*read)(const std::string&, const std::string&),
                              const std::string& path, const std::string& lexicon) {
    ::alarm(5);
#ifndef __SANITIZE_ADDRESS__
    const rlimit cap{rlim_t(1) << 30, rlim_t(1) << 30};
    ::setrlimit(RLIMIT_AS, &cap);
#endif
    try {
        read(path, lexicon);
    } catch (const FileError& e) {
        std::_Exit(std::string(e.what()) == "Cannot open file " + path ? 0 : 2);
    } catch (...) {
        std::_Exit(3);
    }
    std::_Exit(4);
}
} // namespace

// Regression: a lexicon path naming a FIFO waited for a writer for ever, and /dev/zero was read
// until the memory ran out. Every reader refuses anything but a regular file at once. Each read
// runs in a child process with an alarm (and, outside the sanitizer build, a memory cap), so
// a reader that blocks or reads for ever fails the test instead of hanging it.
TEST(BadInput, NonRegularFilesAreRefusedAtOnce) {
    TempDir dir;
    const std::string fifo = dir / "pipe.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string fifoQbs = dir / "pipe.qbs";
    ASSERT_EQ(::mkfifo(fifoQbs.c_str(), 0600), 0);
    const std::string lexicon = dir / "ok.txt";
    WriteFile(lexicon, "a\tb\r\n");
    struct Reader {
        const char* what;
        void (*read)(const std::string& path, const std::string& lexicon);
    } readers[] = {
        {"ReadWholeFile", [](const std::string& p, const std::string&) { (void)ReadWholeFile(p); }},
        {"ForEachFileLine", [](const std::string& p,
                               const std::string&) { ForEachFileLine(p, [](std::string_view) {}); }},
        {"Load",
         [](const std::string& p, const std::string&) {
             TQbDict d;
             d.Load(p, "");
         }},
        {"Load's irregular forms",
         [](const std::string& p, const std::string& lex) {
             TQbDict d;
             d.Load(lex, p);
         }},
        {"MergeTextFile",
         [](const std::string& p, const std::string&) {
             TQbDict d;
             d.MergeTextFile(p);
         }},
    };
    for (const std::string& path :
         {fifo, fifoQbs, std::string("/dev/zero"), std::string("/dev/urandom")}) {
        for (const Reader& r : readers) {
            EXPECT_EXIT(ReadInChild(r.read, path, lexicon), ::testing::ExitedWithCode(0), "")
                << r.what << " of " << path;
        }
    }
}

// A lexicon whose file could not be read whole keeps what it read but never saves over the
// file, whoever asks (shutdown, or the expansion that saves a loaded target at once).
TEST(BadInput, ALexiconThatFailedToLoadNeverSavesOverItsFile) {
    TempDir dir;
    const std::string fifo = dir / "law.qbs";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto* owned = new TQbDict;
    TQbDict& dict = *owned;
    EXPECT_THROW(dict.Load(fifo, ""), FileError);
    EXPECT_TRUE(dict.LoadFailed());
    EXPECT_EQ(dict.FileName(), fifo);
    dict.AddEntry("appeal", kCanjia);
    try {
        dict.Save();
        FAIL() << "saved over a lexicon that failed to load";
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()), "词库" + fifo + "没有完整读出，不能覆盖原文件。");
    }
    struct stat st;
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    try {
        delete owned; // freeing a modified lexicon saves, and is refused the same way
    } catch (const FileError&) {
    }
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}
