// qblex: the lexicon command-line tool. Loads, looks up, converts and merges lexicons exactly as
// the program does, with UTF-8 on the terminal and GBK inside (converted only here, at the edge).
#include "Candidates.h"
#include "DictUnit.h"
#include "DocumentCommands.h"
#include "GbkText.h"
#include "LexiconFiles.h"
#include "MemoryCommands.h"

#include <QList>
#include <QString>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using qb::StringList;
using qb::TQbDict;

constexpr const char* kUsage =
    "usage: qblex dump FILE\n"
    "       qblex lookup [--verb FILE] LEXICON... -- SENTENCE\n"
    "       qblex forms [--verb FILE] WORD\n"
    "       qblex normalize TEXT\n"
    "       qblex convert IN OUT\n"
    "       qblex merge TARGET SOURCE...\n"
    "       qblex candidates [--folder DIR] [--lexicon FILE]... [--schemes 1234]\n"
    "       qblex tm-import [--memory FILE] FILE.tmx   (into the translation memory)\n"
    "       qblex tm-export [--memory FILE] FILE.tmx\n"
    "       qblex doc-units FILE                       (a document's units, one a line)\n"
    "       qblex doc-export [--memory FILE] FILE OUT  (the document translated from the memory)\n"
    "       qblex doc-check [--memory FILE] [--lexicon FILE]... FILE  (the checks of that export; exit 1 on a problem)\n"
    "Text on the terminal is UTF-8. A FILE's name says its format: .qbs a professional\n"
    "(scrambled, GBK) lexicon; .tsv UTF-8 lines term<TAB>senses; .csv UTF-8 rows under the\n"
    "header en,zh; .tbx TBX-Basic; any other a text lexicon, written in GBK and read in\n"
    "GBK, UTF-8 or UTF-16. --verb names the irregular-form file (default: verb.spe beside\n"
    "qblex, none if absent).\n";

// A usage error: the usage goes to stderr, exit status 2.
struct UsageError {};
// Any other failure: its message goes to stderr, exit status 1.
struct ToolError {
    std::string message;
};

int g_status = 0; // raised to 1 by output that could not be shown faithfully

std::string ProgramFolder() {
    std::vector<char> buf(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return "./";
    std::string exe(buf.data(), std::size_t(n));
    const std::size_t slash = exe.rfind('/');
    return slash == std::string::npos ? "./" : exe.substr(0, slash + 1);
}

// UTF-8 argument -> GBK; a character GBK cannot hold is an error naming the argument and the
// character.
std::string ArgToGbk(const char* utf8, int argIndex) {
    const QString text = QString::fromUtf8(utf8);
    if (std::optional<std::string> gbk = qb::ToGbkStrict(text)) return *gbk;
    std::string what = "argument " + std::to_string(argIndex) + ": ";
    // Find the first character that has no GBK code, one code point at a time (an emoji is a
    // surrogate pair: one character).
    qsizetype position = 0;
    for (qsizetype i = 0; i < text.size(); ++position) {
        const qsizetype len = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const QString one = text.mid(i, len);
        if (!qb::ToGbkStrict(one)) {
            const QList<uint> ucs4 = one.toUcs4();
            what += "the character \"" + one.toStdString() + "\" (U+" +
                    QString::number(ucs4.value(0), 16).toUpper().rightJustified(4, '0').toStdString() +
                    ") at character " + std::to_string(position + 1) + " has no GBK code";
            throw ToolError{what};
        }
        i += len;
    }
    throw ToolError{what + "text that cannot be written in GBK"};
}

// GBK line -> UTF-8 on stdout. Bytes that are not GBK are shown as U+FFFD and reported with the
// number of the output line; the exit status is then 1.
void PrintGbkLine(std::string_view gbk, std::size_t lineNumber) {
    std::optional<QString> text = qb::FromGbkStrict(gbk);
    QString shown;
    if (text) {
        shown = *text;
    } else {
        shown = qb::FromGbk(gbk);
        std::fprintf(stderr, "qblex: output line %zu holds bytes that are not GBK (shown as U+FFFD)\n",
                     lineNumber);
        g_status = 1;
    }
    const QByteArray utf8 = shown.toUtf8();
    std::fwrite(utf8.constData(), 1, std::size_t(utf8.size()), stdout);
    std::fputc('\n', stdout);
}

// Loads a lexicon as the program does; a missing file is an error here (the program reports a
// missing lexicon itself before loading).
std::unique_ptr<TQbDict> LoadLexicon(const std::string& path, const std::string& verb) {
    return qblex::LoadAnyLexicon(path, verb, true);
}

struct Args {
    std::vector<std::string> items;
    std::vector<int> index; // position of each item in argv
    std::string verb;
    bool verbGiven = false;
};

// Takes "--verb FILE" wherever it stands before "--"; returns the remaining arguments.
Args ParseVerb(int argc, char** argv, int first, bool allowVerb) {
    Args a;
    bool afterDashes = false;
    for (int i = first; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!afterDashes && allowVerb && arg == "--verb") {
            if (i + 1 >= argc || a.verbGiven) throw UsageError{};
            a.verb = argv[++i];
            a.verbGiven = true;
            continue;
        }
        if (arg == "--") afterDashes = true;
        a.items.push_back(arg);
        a.index.push_back(i);
    }
    if (!a.verbGiven) {
        const std::string beside = ProgramFolder() + "verb.spe";
        if (qb::FileExists(beside)) a.verb = beside;
    } else if (!qb::FileExists(a.verb)) {
        qb::ThrowCannotOpen(a.verb);
    }
    return a;
}

int Dump(int argc, char** argv) {
    if (argc != 3) throw UsageError{};
    std::unique_ptr<TQbDict> dict = LoadLexicon(argv[2], "");
    std::string line;
    for (std::size_t i = 0; i < dict->EntryCount(); ++i) {
        line.assign(dict->KeyAt(i));
        line.push_back('\t');
        line.append(dict->RenderingAt(i));
        PrintGbkLine(line, i + 1);
    }
    return g_status;
}

int Lookup(int argc, char** argv) {
    Args a = ParseVerb(argc, argv, 2, true);
    std::size_t dashes = 0;
    while (dashes < a.items.size() && a.items[dashes] != "--") ++dashes;
    if (dashes == 0 || dashes + 1 >= a.items.size()) throw UsageError{};
    std::string sentence;
    for (std::size_t i = dashes + 1; i < a.items.size(); ++i) {
        if (i > dashes + 1) sentence.push_back(' ');
        sentence += ArgToGbk(a.items[i].c_str(), a.index[i]);
    }
    // Pooled as the workspace pools a selected sentence: lexicon by lexicon, LookupSentence into a
    // scratch list, then MergeKeyedLines (pool, scratch, TAB, "；").
    StringList pool;
    StringList scratch;
    for (std::size_t i = 0; i < dashes; ++i) {
        std::unique_ptr<TQbDict> dict = LoadLexicon(a.items[i], a.verb);
        dict->LookupSentence(sentence, scratch);
        qb::MergeKeyedLines(pool, scratch, '\t', qb::kSenseSep);
    }
    for (std::size_t i = 0; i < pool.size(); ++i) PrintGbkLine(pool[i], i + 1);
    return g_status;
}

int Forms(int argc, char** argv) {
    Args a = ParseVerb(argc, argv, 2, true);
    if (a.items.size() != 1) throw UsageError{};
    TQbDict dict;
    dict.Load("", a.verb);
    StringList forms;
    dict.WordForms(ArgToGbk(a.items[0].c_str(), a.index[0]), forms);
    for (std::size_t i = 0; i < forms.size(); ++i) PrintGbkLine(forms[i], i + 1);
    return g_status;
}

int Normalize(int argc, char** argv) {
    if (argc != 3) throw UsageError{};
    PrintGbkLine(qb::NormalizeKey(ArgToGbk(argv[2], 2)), 1);
    return g_status;
}

int Convert(int argc, char** argv) {
    if (argc != 4) throw UsageError{};
    std::unique_ptr<TQbDict> dict = LoadLexicon(argv[2], "");
    const std::string out = argv[3];
    qblex::WriteAnyLexicon(*dict, out);
    return 0;
}

void MergeSources(TQbDict& target, int argc, char** argv);

int Merge(int argc, char** argv) {
    if (argc < 4) throw UsageError{};
    const std::string targetPath = argv[2];
    // The target: loaded as the program loads it; a target that does not exist yet is made.
    std::unique_ptr<TQbDict> target = qblex::LoadAnyLexicon(targetPath, "", false);
    const std::size_t before = target->EntryCount();
    // A source that cannot be read throws before anything is written: the target's file
    // stays as it was.
    MergeSources(*target, argc, argv);
    if (target->Modified()) qblex::WriteAnyLexicon(*target, targetPath);
    std::printf("%zu\n", target->EntryCount() - before);
    return 0;
}

void MergeSources(TQbDict& target, int argc, char** argv) {
    for (int i = 3; i < argc; ++i) qblex::MergeAnyFile(target, argv[i]);
}

} // namespace

int main(int argc, char** argv) {
    try {
        if (argc < 2) throw UsageError{};
        if (!qb::GbkAvailable()) throw ToolError{"the GBK codec is not available on this system"};
        if (std::optional<int> rc = qblex::RunDocumentCommand(argc, argv)) return *rc;
        if (std::optional<int> rc = qblex::RunMemoryCommand(argc, argv))
            return *rc; // tm-import, tm-export
        const std::string cmd = argv[1];
        int status = 0;
        if (cmd == "dump") {
            status = Dump(argc, argv);
        } else if (cmd == "lookup") {
            status = Lookup(argc, argv);
        } else if (cmd == "forms") {
            status = Forms(argc, argv);
        } else if (cmd == "normalize") {
            status = Normalize(argc, argv);
        } else if (cmd == "convert") {
            status = Convert(argc, argv);
        } else if (cmd == "merge") {
            status = Merge(argc, argv);
        } else if (cmd == "candidates") {
            status = qblex::Candidates(argc, argv);
        } else if (cmd == "-h" || cmd == "--help" || cmd == "help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            throw UsageError{};
        }
        if (std::fflush(stdout) != 0) throw ToolError{"cannot write the output"};
        return status;
    } catch (const UsageError&) {
        std::fputs(kUsage, stderr);
        return 2;
    } catch (const ToolError& e) {
        std::fprintf(stderr, "qblex: %s\n", e.message.c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qblex: %s\n", e.what());
        return 1;
    }
}
