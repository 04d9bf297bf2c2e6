#include "Generate.h"

#include "DictUnit.h"
#include "Irregular.h"
#include "Lexicons.h"
#include "MyUtils.h"

#include <QProcess>
#include <QStringList>

#include <chrono>
#include <filesystem>
#include <future>

namespace qb::datagen {

namespace {

constexpr const char* kStems[4] = {"quanpinIme", "winsp", "zrmwin", "wb"};
constexpr const char* kExts[4] = {".achr", ".mpy", ".py", ".mchar"};

std::string Join(const std::string& dir, const std::string& name) {
    return (std::filesystem::path(dir) / name).string();
}

class Stopwatch {
public:
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace

std::vector<std::string> FindSources(const std::vector<std::string>& folders, SourceFiles& s) {
    std::vector<std::string> missing;
    auto find = [&](std::initializer_list<const char*> names, bool required) -> std::string {
        for (const char* name : names)
            for (const std::string& f : folders) {
                std::string p = Join(f, name);
                if (std::filesystem::is_regular_file(p)) return p;
            }
        if (required) missing.push_back(*names.begin());
        return {};
    };
    s.ecdict = find({"ecdict.csv"}, true);
    s.lemmas = find({"lemma.en.txt"}, true);
    s.pinyinSimp = find({"pinyin_simp.dict.yaml"}, true);
    s.luna = find({"luna_pinyin.dict.yaml"}, true);
    s.wubi = find({"wubi86.dict.yaml"}, true);
    s.unihan = find({"Unihan_Readings.txt", "Unihan_Readings.txt.bz2"}, false);
    s.exceptionLists.clear();
    for (const char* exc : {"verb.exc", "noun.exc", "adj.exc", "adv.exc"})
        s.exceptionLists.push_back(find({exc}, true));
    s.manPageLists.clear();
    for (const char* list : {"manpages.list", "manpages-dev.list"})
        s.manPageLists.push_back(find({list}, true));
    return missing;
}

std::vector<std::string> InputPaths(const SourceFiles& s) {
    std::vector<std::string> p = {s.ecdict, s.lemmas, s.pinyinSimp, s.luna, s.wubi, s.unihan};
    p.insert(p.end(), s.exceptionLists.begin(), s.exceptionLists.end());
    p.insert(p.end(), s.manPageLists.begin(), s.manPageLists.end());
    std::erase(p, std::string());
    return p;
}

std::vector<std::string> OutputNames() {
    std::vector<std::string> names = {"BasicDict.qbs", "verb.spe", "lexicons/ecdict-full.qbs",
                                      "lexicons/abbreviations.qbs"};
    for (const DomainLexicon& d : kDomains) names.push_back(std::string("lexicons/") + d.file);
    for (const char* stem : kStems)
        for (const char* ext : kExts) names.push_back(std::string(stem) + ext);
    return names;
}

std::string ReadSource(const std::string& path) {
    if (!path.ends_with(".bz2")) return qb::ReadWholeFile(path);
    QProcess bz;
    bz.start(QStringLiteral("bzip2"), {QStringLiteral("-dc"), QString::fromStdString(path)});
    if (!bz.waitForStarted() || !bz.waitForFinished(120000) || bz.exitCode() != 0)
        qb::ThrowCannotOpen(path);
    QByteArray out = bz.readAllStandardOutput();
    return std::string(out.constData(), std::size_t(out.size()));
}

std::string ReadManPages(const std::vector<std::string>& lists) {
    QStringList pages;
    for (const std::string& list : lists) {
        const std::filesystem::path folder = std::filesystem::path(list).parent_path();
        std::vector<std::string> missing;
        qb::ForEachLine(qb::ReadWholeFile(list), [&](std::string_view line) {
            const std::string trimmed = qb::Trim(line);
            const std::string_view l = trimmed;
            // ".../man3/printf.3.gz"; not the localised pages (".../man/de/man1/...").
            const std::size_t slash = l.rfind('/');
            if (slash == std::string_view::npos || slash < 4 || !l.ends_with(".gz")) return;
            const std::string_view dir = l.substr(0, slash);
            const std::size_t d = dir.rfind('/');
            const std::string_view last = dir.substr(d == std::string_view::npos ? 0 : d + 1);
            if (last.size() != 4 || !last.starts_with("man") || last[3] < '1' || last[3] > '8')
                return;
            const std::string_view parent = dir.substr(0, d == std::string_view::npos ? 0 : d);
            if (!parent.empty() && !parent.ends_with("/man") && parent != "man") return;
            std::filesystem::path p(l);
            if (p.is_relative()) p = folder / p;
            std::error_code ec;
            if (std::filesystem::is_symlink(p, ec)) return;
            if (!std::filesystem::is_regular_file(p, ec)) {
                missing.push_back(p.string());
                return;
            }
            pages << QString::fromStdString(p.string());
        });
        if (!missing.empty())
            throw qb::FileError(missing.front() + ": manual page not installed (" +
                                std::to_string(missing.size()) + " of those that " + list +
                                " names are missing)");
    }
    if (pages.isEmpty()) return {};
    QProcess gz;
    gz.start(QStringLiteral("gzip"), QStringList{QStringLiteral("-dc")} + pages);
    if (!gz.waitForStarted() || !gz.waitForFinished(300000) || gz.exitCode() != 0)
        qb::ThrowCannotOpen(lists.front());
    QByteArray out = gz.readAllStandardOutput();
    return std::string(out.constData(), std::size_t(out.size()));
}

void WriteSchemeFiles(const std::string& dir, const std::string& stem, const SchemeFiles& f) {
    const StringList* lists[4] = {&f.achr, &f.mpy, &f.py, &f.mchar};
    for (int k = 0; k < 4; ++k)
        qb::WriteWholeFileSafely(Join(dir, stem + kExts[k]), qb::JoinLinesCrLf(*lists[k]));
}

void GenerateAll(const SourceFiles& s, const std::string& outDir, std::ostream& log) {
    Stopwatch total;
    std::filesystem::create_directories(Join(outDir, "lexicons"));

    // verb.spe first: the basic selection asks the lookup's word forms which inflected forms
    // it reaches.
    std::vector<std::string> exc;
    for (const std::string& p : s.exceptionLists) exc.push_back(qb::ReadWholeFile(p));
    const StringList verbs = IrregularForms({exc.begin(), exc.end()});
    const std::string verbBytes = qb::JoinLinesCrLf(verbs);
    qb::WriteWholeFileSafely(Join(outDir, "verb.spe"), verbBytes);
    qb::TQbDict forms;
    forms.LoadIrregularFromBytes(verbBytes);

    // The lexicons take most of the time; the tables are built beside them.
    auto tables = std::async(std::launch::async, [&] {
        Stopwatch t;

        HanziUniverse u = HanziUniverse::Build();
        // Unihan adds the reading of one character only: a machine without bzip2 goes on without.
        std::string unihan, note;
        try {
            if (!s.unihan.empty()) unihan = ReadSource(s.unihan);
        } catch (const qb::FileError& e) {
            note = std::string(" (skipped: ") + e.what() + ")";
        }
        PinyinData py =
            ReadPinyin(u, qb::ReadWholeFile(s.pinyinSimp), qb::ReadWholeFile(s.luna), unihan);
        WriteSchemeFiles(outDir, kStems[0], BuildPinyinScheme(u, py, SchemeKind::FullPinyin));
        WriteSchemeFiles(outDir, kStems[1], BuildPinyinScheme(u, py, SchemeKind::Microsoft));
        WriteSchemeFiles(outDir, kStems[2], BuildPinyinScheme(u, py, SchemeKind::Ziranma));
        WriteSchemeFiles(outDir, kStems[3], BuildWubiScheme(u, ReadWubi(u, qb::ReadWholeFile(s.wubi))));
        char buf[400];
        std::snprintf(buf, sizeof buf,
                      "verb.spe: %zu forms; %zu GBK hanzi; pinyin readings: %d from pinyin_simp, "
                      "%d from luna, %d from Unihan%s, %d from the canonical equivalent; %zu words; "
                      "tables %.1f s\n",
                      verbs.size(), u.gbk.size(), py.fromSimp, py.fromLuna, py.fromUnihan,
                      note.c_str(), py.fromNfc, py.words.size(), t.Seconds());
        return std::string(buf);
    });

    Stopwatch t;
    // Words met at least twice in the Linux manual pages: "makefile", "posix", "stdout" are
    // words a translator of software meets, though no frequency list of ECDICT has them.
    const std::unordered_set<std::string> technical = ManPageWords(ReadManPages(s.manPageLists), 1);
    const std::string csv = qb::ReadWholeFile(s.ecdict);
    LexiconSet lex =
        BuildLexicons(csv, ReadLemmas(qb::ReadWholeFile(s.lemmas)), &forms, 2, &technical);
    const double cleaned = t.Seconds();
    auto write = [&](LexEntries& e, const std::string& name) {
        SortAndMerge(e);
        qb::WriteWholeFileSafely(Join(outDir, name), LexiconFileBytes(e));
        log << name << ": " << e.size() << " entries\n";
    };
    write(lex.basic, "BasicDict.qbs");
    write(lex.full, "lexicons/ecdict-full.qbs");
    write(lex.abbreviations, "lexicons/abbreviations.qbs");
    for (std::size_t k = 0; k < kDomains.size(); ++k)
        write(lex.domains[k], std::string("lexicons/") + kDomains[k].file);
    log << "ecdict: " << lex.rows << " rows, " << lex.droppedEmpty << " without translation, "
        << lex.droppedNoSense << " left without senses; " << technical.size()
        << " words of the manual pages; cleaned in " << cleaned << " s, written in "
        << t.Seconds() - cleaned << " s\n";
    log << tables.get();

    // The user's lexicon is never overwritten: created empty only when it is missing.
    const std::string mydict = Join(outDir, "mydict.txt");
    if (!qb::FileExists(mydict)) qb::WriteWholeFileSafely(mydict, "");
    log << "generated in " << total.Seconds() << " s\n";
}

} // namespace qb::datagen
