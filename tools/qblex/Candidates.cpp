// qblex candidates: loads a program folder as the workbench does and answers, line by line,
// what its candidate window would list. A test or a benchmark drives it through a pipe:
//
//   S<TAB>Print the status code and exit.   ->  3          (pooled phrase lines)
//   C<TAB>zhuangtaima                        ->  状态码<TAB>状态吗<TAB>状态<TAB>...
//   P<TAB>打印                                ->  状态码<TAB>退出<TAB>...
//   L<TAB>Open the library.<TAB>打开库        ->  2          (phrases whose rendering is learned)
//
// A P line gives the text committed since the sentence was selected and is answered with the
// words the window offers after a pick (the prediction list); an L line is a translated sentence,
// learned as the window learns it when Ctrl+J moves on (the pair also into a translation memory of
// the run's own, whose best match for each later sentence offers its words), so a session types
// the corpus in order; --classic lists as with the
// setting ClassicOrder on, --no-prediction answers every P line with an empty one.
//
// Each input line gets exactly one output line, flushed at once, so the caller can wait for
// the answer before it writes the next question. A line it cannot take (not S or C, text
// GBK cannot hold) is answered by an empty line and explained on standard error.
#include "Candidates.h"

#include "CandidateLookup.h"
#include "ClauseConverter.h"
#include "DictUnit.h"
#include "GbkText.h"
#include "SchemeTables.h"
#include "SentenceLogic.h"
#include "TranslationMemory.h"

#include <QString>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

namespace qblex {

namespace {

std::string ExeFolder() {
    std::vector<char> buf(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return "./";
    std::string exe(buf.data(), std::size_t(n));
    const std::size_t slash = exe.rfind('/');
    return slash == std::string::npos ? "./" : exe.substr(0, slash + 1);
}

struct Workbench {
    std::vector<std::unique_ptr<qb::TQbDict>> dicts;
    std::array<qb::SchemeTables, 4> tables;
    std::array<bool, 4> use{};
    std::array<int, 4> order{1, 2, 3, 4};
    std::unique_ptr<qb::ClauseConverter> converter;
    qb::StringList phrases, pieces, codeKeys, codeWords, senseKeys, senseWords;
    qb::TReducedFrom reduced; // entries reached only through reduced forms, as the window keeps them
    bool classic = false;
    bool predict = true;
    qb::CandidateLookup lookup;
    qb::SchemeUsage usage;             // a new user's: nothing inferred, the first scheme leads
    qb::DocumentRenderings renderings; // what L lines taught: the document's renderings
    // What L lines taught as the window's translation memory holds it: a memory of this run's
    // own, in a folder made for it and removed at the end, so answers do not depend on the user.
    std::string memoryFolder;
    std::unique_ptr<qb::tm::TTranslationMemory> memory;
    qb::StringList matchWords; // the words of the memory's best match (MatchWordLines)
    bool memoryFailed = false;

    ~Workbench() {
        memory.reset();
        std::error_code ec;
        if (!memoryFolder.empty()) std::filesystem::remove_all(memoryFolder, ec);
    }

    // The start-up's lexicon slots: 0 the user lexicon, 1 the basic lexicon (either may be
    // empty), then the professional lexicons in the order given.
    void Load(const std::string& folder, const std::vector<std::string>& lexicons) {
        const std::string verb = folder + "verb.spe";
        auto open = [&](const std::string& path) {
            auto d = std::make_unique<qb::TQbDict>();
            d->Load(path, verb);
            return d;
        };
        dicts.push_back(open(folder + "mydict.txt"));
        dicts.push_back(qb::FileExists(folder + "BasicDict.qbs") ? open(folder + "BasicDict.qbs")
                                                                 : nullptr);
        for (const std::string& l : lexicons) {
            if (!qb::FileExists(l)) throw qb::FileError("Cannot open file " + l);
            dicts.push_back(open(l));
        }
        for (int id : qb::kLoadOrder) {
            const qb::SchemeInfo& info = qb::Schemes()[std::size_t(id - 1)];
            qb::LoadScheme(tables[std::size_t(id - 1)], folder, info.stem, use[std::size_t(id - 1)]);
        }
        converter = qb::MakeClauseConverter({}); // no history: answers do not depend on the user
        if (!converter)
            std::fputs("qblex: the pinyin library's data is missing: table candidates only\n", stderr);
    }

    // As the window's ProcessSentence: the pooled phrases, the sentence code table and the
    // words the conversion prefers.
    std::size_t SelectSentence(const std::string& sentence) {
        phrases.clear();
        qb::PoolLookups(sentence, dicts, phrases, &reduced);
        renderings.Apply(phrases);
        qb::TSchemeSet schemes;
        schemes.tables = &tables;
        schemes.on = use;
        qb::BuildSentenceCodeTable(sentence, phrases, schemes, codeKeys, codeWords);
        MatchSentence(sentence);
        // The words inside the senses, the memory's match, then the document's own words (what
        // L lines taught): all by their codes, the document's words not predicted (they would
        // crowd out the library's next words, which learn them anyway).
        pieces = qb::SensePieceLines(phrases, converter.get());
        qb::BuildSenseCodeTable({phrases, pieces, matchWords, renderings.WordLines()}, schemes,
                                senseKeys, senseWords);
        if (converter) converter->SetPreferredWords(qb::SentenceSenses(phrases, &reduced));
        return phrases.size();
    }

    // As the window does when the memory answers: the words of the best match.
    void MatchSentence(const std::string& sentence) {
        matchWords.clear();
        if (!memory) return;
        const std::string utf8 = qb::GbkToUtf8(sentence);
        std::vector<qb::tm::Match> found;
        try {
            found = memory->Matches(utf8, 60, 1);
        } catch (const qb::tm::TmError& e) {
            std::fprintf(stderr, "qblex: no translation memory: %s\n", e.what());
            memoryFailed = true;
            memory.reset();
        }
        if (found.empty()) return;
        qb::StringList old;
        for (const std::string& piece : qb::tm::OldPieces(found.front().pair.source, utf8))
            if (auto gbk = qb::ToGbkStrict(QString::fromStdString(piece))) old.push_back(*gbk);
        if (auto target = qb::ToGbkStrict(QString::fromStdString(found.front().pair.target)))
            matchWords = qb::MatchWordLines(*target, old, dicts, converter.get());
    }

    // A memory that cannot be made or written is said once on standard error; the answers go
    // on without it, as the window goes on without its memory.
    void Remember(const std::string& english, const std::string& chinese) {
        if (memoryFailed) return;
        try {
            if (!memory) {
                const char* tmp = std::getenv("TMPDIR");
                std::string where = std::string(tmp && *tmp ? tmp : "/tmp") + "/qblex-memory-XXXXXX";
                if (!::mkdtemp(where.data()))
                    throw qb::FileError("Cannot create a folder in " +
                                        where.substr(0, where.rfind('/')));
                memoryFolder = where;
                memory = std::make_unique<qb::tm::TTranslationMemory>(memoryFolder + "/memory.db");
            }
            memory->Record(qb::GbkToUtf8(english), qb::GbkToUtf8(chinese));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "qblex: no translation memory: %s\n", e.what());
            memoryFailed = true;
            memory.reset();
        }
    }

    void Candidates(const std::string& code, qb::StringList& out) {
        qb::CandidateSources s;
        s.sentenceKeys = &codeKeys;
        s.sentenceWords = &codeWords;
        for (int i = 0; i < 4; ++i) s.schemes[std::size_t(i)] = &tables[std::size_t(i)];
        s.use = use;
        s.order = order;
        s.converter = converter.get();
        s.senseKeys = &senseKeys;
        s.senseWords = &senseWords;
        s.classicOrder = classic;
        s.lead = usage.Leading(use, order);
        lookup.LookupCandidates(code, s, out);
    }

    // As the window does when Ctrl+J moves on from a translated sentence: its phrases'
    // renderings are learned for the rest of the document.
    std::size_t LearnPair(const std::string& english, const std::string& chinese) {
        qb::StringList pooled;
        qb::TReducedFrom from;
        qb::PoolLookups(english, dicts, pooled, &from);
        Remember(english, chinese);
        if (converter) converter->LearnText(chinese);
        renderings.LearnWords(chinese, converter.get());
        return renderings.Learn(pooled, chinese);
    }

    void Predictions(const std::string& typed, qb::StringList& out) {
        out.clear();
        if (!classic && predict)
            qb::BuildPredictions(typed, phrases, converter.get(), out, &pieces, &matchWords);
    }
};

int Usage() {
    std::fputs("usage: qblex candidates [--folder DIR] [--lexicon FILE]... [--schemes 1234]\n"
               "                        [--classic] [--no-prediction]\n"
               "Reads S<TAB>sentence, C<TAB>code, P<TAB>typed text and L<TAB>english<TAB>chinese\n"
               "lines (UTF-8) and answers each with one line.\n",
               stderr);
    return 2;
}

void Answer(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int Candidates(int argc, char** argv) {
    std::string folder = ExeFolder();
    std::vector<std::string> lexicons;
    std::string schemes = "1234";
    bool classic = false, predict = true;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--classic") {
            classic = true;
            continue;
        }
        if (arg == "--no-prediction") {
            predict = false;
            continue;
        }
        if (i + 1 >= argc) return Usage();
        if (arg == "--folder") {
            folder = argv[++i];
            if (!folder.empty() && folder.back() != '/') folder += '/';
        } else if (arg == "--lexicon") {
            lexicons.emplace_back(argv[++i]);
        } else if (arg == "--schemes") {
            schemes = argv[++i];
        } else {
            return Usage();
        }
    }
    Workbench w;
    w.classic = classic;
    w.predict = predict;
    // --schemes names the enabled schemes in SchemeOrder ("31" is 自然 before 全拼, 双拼 and
    // 五笔 off); the ones left out follow in their own order, switched off.
    std::vector<int> order;
    for (char c : schemes) {
        const int id = c - '0';
        if (id < 1 || id > 4 || w.use[std::size_t(id - 1)]) return Usage();
        w.use[std::size_t(id - 1)] = true;
        order.push_back(id);
    }
    for (int id = 1; id <= 4; ++id)
        if (!w.use[std::size_t(id - 1)]) order.push_back(id);
    for (std::size_t i = 0; i < 4; ++i) w.order[i] = order[i];
    w.Load(folder, lexicons);

    std::string line;
    qb::StringList out;
    std::size_t number = 0;
    while (std::getline(std::cin, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::optional<std::string> gbk =
            line.size() >= 2 && line[1] == '\t' ? qb::ToGbkStrict(QString::fromUtf8(line.substr(2)))
                                                : std::nullopt;
        if (!gbk || (line[0] != 'S' && line[0] != 'C' && line[0] != 'P' && line[0] != 'L')) {
            std::fprintf(stderr,
                         "qblex: input line %zu: not S<TAB>text, C<TAB>code, P<TAB>text or "
                         "L<TAB>english<TAB>chinese in GBK's "
                         "characters\n",
                         number);
            Answer("");
            continue;
        }
        if (line[0] == 'S') {
            Answer(std::to_string(w.SelectSentence(*gbk)));
            continue;
        }
        if (line[0] == 'L') {
            const auto [english, chinese] = qb::SplitAtFirst(*gbk, '\t');
            Answer(std::to_string(w.LearnPair(english, chinese)));
            continue;
        }
        if (line[0] == 'P')
            w.Predictions(*gbk, out);
        else
            w.Candidates(*gbk, out);
        std::string joined;
        for (std::size_t i = 0; i < out.size(); ++i) {
            if (i) joined += '\t';
            joined += out[i];
        }
        Answer(qb::GbkToUtf8(joined));
    }
    return 0;
}

} // namespace qblex
