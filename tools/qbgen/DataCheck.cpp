#include "DataCheck.h"

#include "CandidateLookup.h"
#include "DictUnit.h"
#include "Ecdict.h"
#include "GbkText.h"
#include "Generate.h"
#include "MyUtils.h"
#include "SchemeTables.h"
#include "Schemes.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <unordered_map>
#include <unordered_set>

namespace qb::datagen {

void CheckReport::Error(const std::string& file, std::size_t line, const std::string& what) {
    errors.push_back(file + (line ? ": line " + std::to_string(line) : std::string()) + ": " + what);
}

namespace {

bool IsGbk(std::string_view bytes) { return qb::FromGbkStrict(bytes).has_value(); }

bool CodeChars(std::string_view code) {
    if (code.empty()) return false;
    for (char c : code)
        if (!((c >= 'a' && c <= 'z') || c == '\'' || c == ';' || c == '.')) return false;
    return true;
}

std::string Show(std::string_view gbk) { return qb::GbkToUtf8(gbk); }

// Strictly ascending in text order, so also unique.
void CheckAscending(const std::string& file, const StringList& lines, CheckReport& r) {
    for (std::size_t i = 1; i < lines.size(); ++i)
        if (qb::TextCompare(lines[i - 1], lines[i]) >= 0)
            r.Error(file, i + 1,
                    "not after the line before it in text order (\"" + Show(lines[i - 1]) +
                        "\", \"" + Show(lines[i]) + "\")");
}

void CheckParallel(const std::string& a, const StringList& la, const std::string& b,
                   const StringList& lb, CheckReport& r) {
    if (la.size() != lb.size())
        r.Error(b, 0,
                std::to_string(lb.size()) + " lines, but " + a + " has " + std::to_string(la.size()));
}

} // namespace

void CheckScheme(const std::string& stem, std::string_view achrBytes, std::string_view mpyBytes,
                 std::string_view pyBytes, std::string_view mcharBytes, CheckReport& r) {
    const std::string fa = stem + ".achr", fm = stem + ".mpy", fp = stem + ".py", fc = stem + ".mchar";
    const std::pair<const std::string*, std::string_view> all[] = {
        {&fa, achrBytes}, {&fm, mpyBytes}, {&fp, pyBytes}, {&fc, mcharBytes}};
    for (const auto& [name, bytes] : all) {
        if (bytes.empty()) r.Error(*name, 0, "empty");
        if (!IsGbk(bytes)) r.Error(*name, 0, "not valid GBK");
        if (bytes.find('\0') != std::string_view::npos)
            r.Error(*name, 0, "a NUL byte (it ends the text)");
    }
    StringList achr = qb::SplitLines(achrBytes), mpy = qb::SplitLines(mpyBytes);
    StringList py = qb::SplitLines(pyBytes), mchar = qb::SplitLines(mcharBytes);
    for (std::size_t i = 0; i < achr.size(); ++i)
        if (achr[i].size() != 2 || !qb::IsLeadByte(static_cast<unsigned char>(achr[i][0])))
            r.Error(fa, i + 1, "not one two-byte character: \"" + Show(achr[i]) + "\"");
    CheckAscending(fa, achr, r);
    CheckAscending(fp, py, r);
    CheckParallel(fa, achr, fm, mpy, r);
    CheckParallel(fp, py, fc, mchar, r);
    for (std::size_t i = 0; i < mpy.size(); ++i) {
        StringList readings;
        std::string_view line = mpy[i];
        std::size_t start = 0;
        bool ok = !line.empty();
        for (std::size_t k = 0; ok && k <= line.size(); ++k)
            if (k == line.size() || line[k] == ' ') {
                ok = CodeChars(line.substr(start, k - start));
                start = k + 1;
            }
        if (!ok)
            r.Error(fm, i + 1, "readings not single-space separated codes: \"" + mpy[i] + "\"");
    }
    for (std::size_t i = 0; i < py.size(); ++i)
        if (!CodeChars(py[i])) r.Error(fp, i + 1, "not a code: \"" + Show(py[i]) + "\"");
    for (std::size_t i = 0; i < mchar.size(); ++i) {
        const std::string& line = mchar[i];
        if (line.empty() || line.front() == ';' || line.back() == ';' ||
            line.find(";;") != std::string::npos)
            r.Error(fc, i + 1, "an empty candidate");
        if (qb::FindText(line, "...") != std::string::npos)
            r.Error(fc, i + 1, "\"...\" inside a candidate");
    }
    // A word under "yinwei'ai" and "yinweiai" shows twice under every prefix (因为爱...'ai and
    // 因为爱...ai under yinwei): a word has one code up to apostrophes.
    StringList here, there;
    for (std::size_t i = 0; i < py.size() && i < mchar.size(); ++i) {
        if (py[i].find('\'') == std::string::npos) continue;
        std::string plain;
        for (char c : py[i])
            if (c != '\'') plain += c;
        std::size_t p = 0;
        if (!qb::SortedFind(py, plain, p) || p >= mchar.size()) continue;
        qb::SplitString(mchar[i], ";", here);
        qb::SplitString(mchar[p], ";", there);
        for (const std::string& w : here)
            if (std::find(there.begin(), there.end(), w) != there.end())
                r.Error(fc, i + 1, "\"" + Show(w) + "\" under \"" + py[i] + "\" and \"" + plain + "\"");
    }
}

void CheckLexicon(const std::string& name, std::string_view bytes, CheckReport& r) {
    if (bytes.find('\0') != std::string_view::npos)
        r.Error(name, 0, "a NUL byte (it ends the text)");
    StringList lines = qb::SplitLines(bytes);
    std::string prevKey;
    StringList senses;
    std::array<std::size_t, 6> noise{};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string line = qb::ScrambleLine(lines[i]);
        const std::size_t n = i + 1;
        if (!IsGbk(line)) {
            r.Error(name, n, "not valid GBK");
            continue;
        }
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos) {
            r.Error(name, n, "no TAB");
            continue;
        }
        const std::string key = line.substr(0, tab), rendering = line.substr(tab + 1);
        if (key.empty() || qb::NormalizeKey(key) != key)
            r.Error(name, n, "key not in lookup form: \"" + Show(key) + "\"");
        if (i > 0 && qb::TextCompare(prevKey, key) >= 0)
            r.Error(name, n, "key \"" + Show(key) + "\" not after \"" + Show(prevKey) + "\"");
        prevKey = key;
        if (rendering.empty() || rendering.size() > qb::kMaxTextBytes)
            r.Error(name, n, "rendering of " + std::to_string(rendering.size()) + " bytes");
        if (rendering.find(';') != std::string::npos) // 0x3B is never a GBK trail byte
            r.Error(name, n, "half-width \";\" in \"" + Show(rendering) + "\"");
        if (rendering.find_first_of("\r\n") != std::string::npos)
            r.Error(name, n, "line break in the rendering");
        qb::SplitString(rendering, qb::kSenseSep, senses);
        if (JoinSenses(senses) != rendering)
            r.Error(name, n, "an empty sense in \"" + Show(rendering) + "\"");
        for (std::size_t a = 0; a < senses.size(); ++a)
            for (std::size_t b = a + 1; b < senses.size(); ++b)
                if (qb::TextCompare(senses[a], senses[b]) == 0)
                    r.Error(name, n, "the sense \"" + Show(senses[a]) + "\" twice");
        for (const std::string& s : senses) {
            const SenseNoise kind = NoiseOf(s);
            if (kind == SenseNoise::None) continue;
            ++noise[std::size_t(kind)];
            r.Error(name, n, std::string(NoiseName(kind)) + ": \"" + Show(s) + "\"");
        }
    }
    std::string counts = name + " noise:";
    for (SenseNoise kind :
         {SenseNoise::PrivateUse, SenseNoise::CommandExplanation, SenseNoise::EnglishInBrackets,
          SenseNoise::NameSource, SenseNoise::GrammarNote})
        counts += std::string(" ") + NoiseName(kind) + " " +
                  std::to_string(noise[std::size_t(kind)]) + ",";
    counts.pop_back();
    r.notes.push_back(counts);
    // The engine's own view: loading and saving again must not change a byte.
    qb::TQbDict dict;
    dict.LoadEntriesFromBytes(bytes, true);
    if (dict.SaveToBytes(true) != bytes)
        r.Error(name, 0, "the lexicon engine does not write these bytes back unchanged");
}

namespace {
// key -> senses of a professional lexicon file.
std::unordered_map<std::string, StringList> SensesByKey(std::string_view bytes) {
    std::unordered_map<std::string, StringList> out;
    for (const std::string& scrambled : qb::SplitLines(bytes)) {
        const std::string line = qb::ScrambleLine(scrambled);
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        qb::SplitString(std::string_view(line).substr(tab + 1), qb::kSenseSep,
                        out[qb::LowerAscii(line.substr(0, tab))]);
    }
    return out;
}
} // namespace

std::size_t CheckAbbreviationsApart(const std::string& name, std::string_view bytes,
                                    std::string_view abbreviationBytes, CheckReport& r) {
    const auto abbreviations = SensesByKey(abbreviationBytes);
    std::size_t mixed = 0;
    for (const auto& [key, senses] : SensesByKey(bytes)) {
        auto it = abbreviations.find(key);
        // "v.f." and "V.F." are one key and both the abbreviation: no word is written with dots.
        if (it == abbreviations.end() || key.find(" .") != std::string::npos) continue;
        std::string shared;
        bool own = false;
        for (const std::string& s : senses) {
            const bool theirs =
                std::any_of(it->second.begin(), it->second.end(),
                            [&](const std::string& a) { return qb::TextCompare(a, s) == 0; });
            if (theirs && shared.empty()) shared = s;
            own = own || !theirs;
        }
        if (shared.empty() || !own) continue;
        ++mixed;
        r.Error(name, 0,
                "\"" + key + "\" has senses of its own and the abbreviation's \"" + Show(shared) + "\"");
    }
    r.notes.push_back(name + ": " + std::to_string(mixed) + " words with an abbreviation's senses");
    return mixed;
}

void CheckIrregular(const std::string& name, std::string_view bytes, CheckReport& r) {
    if (!IsGbk(bytes)) r.Error(name, 0, "not valid GBK");
    StringList lines = qb::SplitLines(bytes);
    std::unordered_set<std::string> forms;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        std::size_t a = l.find('^'), b = a == std::string::npos ? a : l.find('^', a + 1);
        bool ok = a != std::string::npos && b != std::string::npos && b > a + 1 && b + 1 == l.size();
        for (std::size_t k = 0; ok && k < a; ++k) ok = l[k] >= 'a' && l[k] <= 'z';
        if (!ok || a == 0) {
            r.Error(name, i + 1, "not form^base^: \"" + l + "\"");
            continue;
        }
        if (!forms.insert(l.substr(0, a)).second) r.Error(name, i + 1, "form met before: " + l);
    }
}

namespace {

std::string ReadOrReport(const std::string& dir, const std::string& name, CheckReport& r) {
    const std::string path = (std::filesystem::path(dir) / name).string();
    if (!qb::FileExists(path)) {
        r.Error(name, 0, "missing");
        return {};
    }
    return qb::ReadWholeFile(path);
}

// Hanzi that some code of the scheme brings: single-character candidates of .mchar.
std::unordered_set<std::string> Reachable(const qb::SchemeTables& t) {
    std::unordered_set<std::string> chars;
    StringList pieces;
    for (const std::string& line : t.CodeWords) {
        qb::SplitString(line, ";", pieces);
        for (const std::string& p : pieces)
            if (p.size() == 2) chars.insert(p);
    }
    return chars;
}

void SpotCandidate(const qb::SchemeTables& t, const char* scheme, std::string_view code,
                   const std::string& want, CheckReport& r, std::ostream& out) {
    StringList exact, prefix;
    qb::LookupCodeTable(code, t.CodeKeys, t.CodeWords, exact, prefix);
    std::string first = exact.empty() ? std::string() : exact.front();
    out << "  " << scheme << " \"" << code << "\" -> " << Show(first)
        << (exact.size() > 1 ? " ..." : "") << "\n";
    if (first != want)
        r.Error(std::string(scheme) + " tables", 0,
                "\"" + std::string(code) + "\" does not offer " + Show(want) + " first");
}

} // namespace

int CheckDataFolder(const std::string& dir, std::ostream& out) {
    CheckReport r;
    std::size_t reported = 0;
    auto flush = [&](const std::string& what) {
        std::size_t shown = 0;
        for (; reported < r.errors.size(); ++reported)
            if (shown++ < 8) out << "ERROR " << r.errors[reported] << "\n";
        if (shown > 8) out << "ERROR " << what << ": " << shown - 8 << " more errors\n";
    };

    // Lexicons.
    auto notes = [&] {
        for (const std::string& n : r.notes) out << "  " << n << "\n";
        r.notes.clear();
    };
    const std::string abbreviations = "lexicons/abbreviations.qbs";
    const std::string abbreviationBytes =
        qb::FileExists((std::filesystem::path(dir) / abbreviations).string())
            ? qb::ReadWholeFile((std::filesystem::path(dir) / abbreviations).string())
            : std::string();
    for (const std::string& name : OutputNames()) {
        if (!name.ends_with(".qbs")) continue;
        std::string bytes = ReadOrReport(dir, name, r);
        if (!bytes.empty()) CheckLexicon(name, bytes, r);
        // The full lexicon is every ECDICT row as it is, the abbreviation lexicon itself aside.
        if (!bytes.empty() && name != abbreviations && name != "lexicons/ecdict-full.qbs")
            CheckAbbreviationsApart(name, bytes, abbreviationBytes, r);
        out << name << ": " << qb::SplitLines(bytes).size() << " entries, " << bytes.size()
            << " bytes\n";
        notes();
        flush(name);
    }
    {
        std::string bytes = ReadOrReport(dir, "verb.spe", r);
        CheckIrregular("verb.spe", bytes, r);
        out << "verb.spe: " << qb::SplitLines(bytes).size() << " lines\n";
        flush("verb.spe");
        for (const char* name : {"mydict.txt", "LICENSES-data.txt"})
            if (!qb::FileExists((std::filesystem::path(dir) / name).string()))
                r.Error(name, 0, "missing");
        flush("mydict.txt");
    }

    // Tables, and which characters each scheme reaches.
    std::vector<std::string> gb2312, gbk;
    for (const std::string& c : HanziUniverse::Build().gbk) {
        gbk.push_back(c);
        if (IsGb2312Hanzi(c)) gb2312.push_back(c);
    }
    std::map<std::string, qb::SchemeTables> tables;
    for (const qb::SchemeInfo& s : qb::Schemes()) {
        std::string b[4];
        const char* ext[4] = {".achr", ".mpy", ".py", ".mchar"};
        for (int k = 0; k < 4; ++k) b[k] = ReadOrReport(dir, std::string(s.stem) + ext[k], r);
        CheckScheme(s.stem, b[0], b[1], b[2], b[3], r);
        qb::SchemeTables& t = tables[s.stem];
        t.CharKeys = qb::ReadTableLines(b[0]);
        t.CharCodes = qb::ReadTableLines(b[1]);
        t.CodeKeys = qb::ReadTableLines(b[2]);
        t.CodeWords = qb::ReadTableLines(b[3]);
        std::unordered_set<std::string> reach = Reachable(t);
        std::size_t noCode = 0, gbMissing = 0;
        for (const std::string& c : gbk) noCode += reach.count(c) == 0;
        for (const std::string& c : gb2312)
            if (!reach.count(c)) {
                ++gbMissing;
                r.Error(s.stem, 0, "the GB2312 character " + Show(c) + " has no code");
            }
        out << s.stem << ": " << t.CharKeys.size() << " characters, " << t.CodeKeys.size()
            << " codes; GBK hanzi without a code: " << noCode << " of " << gbk.size()
            << "; GB2312 hanzi without a code: " << gbMissing << " of " << gb2312.size() << "\n";
        flush(s.stem);
    }

    // What a user tries first.
    out << "spot checks:\n";
    const std::string zhongguo = qb::Utf8ToGbkLossy("中国");
    SpotCandidate(tables["quanpinIme"], "quanpinIme", "zhongguo", zhongguo, r, out);
    SpotCandidate(tables["winsp"], "winsp", "vsgo", zhongguo, r, out);
    SpotCandidate(tables["zrmwin"], "zrmwin", "vsgo", zhongguo, r, out);
    SpotCandidate(tables["wb"], "wb", "khlg", zhongguo, r, out);
    const std::string basic = (std::filesystem::path(dir) / "BasicDict.qbs").string();
    if (qb::FileExists(basic)) {
        qb::TQbDict dict;
        dict.Load(basic, (std::filesystem::path(dir) / "verb.spe").string());
        for (const char* sentence : {"took", "take care of", "look forward to"}) {
            StringList found;
            dict.LookupSentence(sentence, found);
            std::string want = std::string(sentence) == "took" ? "take" : sentence, hit;
            for (const std::string& l : found)
                if (l.starts_with(want + "\t")) hit = l;
            out << "  \"" << sentence << "\" -> " << (hit.empty() ? "(nothing)" : Show(hit)) << "\n";
            if (hit.empty())
                r.Error("BasicDict.qbs", 0, "\"" + std::string(sentence) + "\" does not reach " + want);
        }
        // Every English sentence holds "is": it renders the verb, not IS (信息系统).
        StringList found, senses;
        dict.LookupSentence("is", found);
        const auto theirs = SensesByKey(abbreviationBytes);
        const auto abbrev = theirs.find("is");
        bool verb = false;
        for (const std::string& l : found) {
            out << "  \"is\" -> " << Show(l) << "\n";
            qb::SplitString(SplitAtFirst(l, '\t').second, qb::kSenseSep, senses);
            for (const std::string& s : senses) {
                verb = verb || s == qb::Utf8ToGbkLossy("是");
                if (abbrev != theirs.end() && std::find(abbrev->second.begin(), abbrev->second.end(),
                                                        s) != abbrev->second.end())
                    r.Error("BasicDict.qbs", 0,
                            "\"is\" renders the abbreviation's \"" + Show(s) + "\"");
            }
        }
        if (!verb) r.Error("BasicDict.qbs", 0, "\"is\" does not render 是");
    }
    flush("spot checks");
    out << (r.errors.empty() ? "check passed\n" : std::to_string(r.errors.size()) + " errors\n");
    return int(r.errors.size());
}

} // namespace qb::datagen
