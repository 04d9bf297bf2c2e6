#include "Lexicons.h"

#include "Ecdict.h"

#include <QStringView>

#include <algorithm>
#include <thread>
#include <unordered_map>

namespace qb::datagen {

std::unordered_set<std::string> ReadLemmas(std::string_view text) {
    std::unordered_set<std::string> lemmas;
    qb::ForEachLine(text, [&](std::string_view line) {
        std::size_t slash = line.find('/');
        if (line.empty() || line[0] == ';' || slash == std::string_view::npos) return;
        lemmas.insert(qb::LowerAscii(qb::Trim(line.substr(0, slash))));
    });
    return lemmas;
}

namespace {

bool AsciiOnly(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Cleans the rows of one stretch of the CSV (whole lines) into `out`.
bool ReachesLemma(const qb::TQbDict* forms, const std::string& word, const std::string& lemma) {
    if (!forms || lemma.empty()) return true;
    StringList list;
    forms->WordForms(qb::LowerAscii(word), list);
    return std::any_of(list.begin(), list.end(),
                       [&](const std::string& f) { return qb::TextCompare(f, lemma) == 0; });
}

struct SliceResult {
    LexiconSet set;
    // Short words with labelled lines wait for the evidence of every phrase.
    struct Deferred {
        std::string key, word;
        std::vector<CleanLine> lines;
        bool basic = false;
    };
    std::vector<Deferred> deferred;
    std::vector<std::pair<std::string, std::string>> phrases; // headword, rendering
};

// The basic, abbreviation and domain entries of one row, once its senses are divided.
void Emit(const std::string& key, const std::vector<CleanLine>& lines, bool basic,
          bool abbreviationRow, const RowSenses& d, LexiconSet& out) {
    if (basic && !d.own.empty()) out.basic.push_back({key, JoinSenses(d.own)});
    std::vector<std::string> abbreviation = d.abbreviation;
    if (abbreviationRow) AppendSenses(abbreviation, d.own);
    if (!abbreviation.empty()) out.abbreviations.push_back({key, JoinSenses(abbreviation)});
    std::vector<std::string> domain;
    for (std::size_t k = 0; k < kDomains.size(); ++k) {
        domain.clear();
        for (const CleanLine& l : lines) {
            if (l.label != QStringView(kDomains[k].label)) continue;
            for (const std::string& s : l.senses)
                if (std::none_of(d.abbreviation.begin(), d.abbreviation.end(),
                                 [&](const std::string& a) { return qb::TextCompare(a, s) == 0; }))
                    AppendSenses(domain, {s});
        }
        if (!domain.empty()) out.domains[k].push_back({key, JoinSenses(domain)});
    }
}

bool SingleLowerWord(std::string_view key) {
    return !key.empty() &&
           std::all_of(key.begin(), key.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

void BuildPart(std::string_view csv, const EcdictColumns& cols,
               const std::unordered_set<std::string>& lemmas, const qb::TQbDict* forms,
               const std::unordered_set<std::string>* technical, SliceResult& part) {
    LexiconSet& out = part.set;
    std::vector<std::string> fields;
    EcdictRow row;
    std::size_t pos = 0;
    std::vector<std::string> all;
    while (NextCsvRecord(csv, pos, fields)) {
        if (fields.size() < 2) continue;
        cols.Fill(fields, row);
        ++out.rows;
        if (row.translation.empty() || !AsciiOnly(row.word)) {
            ++out.droppedEmpty;
            continue;
        }
        std::string key = qb::NormalizeKey(row.word);
        if (key.empty()) continue;
        std::vector<CleanLine> lines = CleanTranslation(row.translation);
        all.clear();
        for (const CleanLine& l : lines) AppendSenses(all, l.senses);
        if (all.empty()) {
            ++out.droppedNoSense;
            continue;
        }
        RowClass c = ClassifyRow(row, lines, lemmas.count(key) != 0,
                                 ReachesLemma(forms, row.word, LemmaOf(row.exchange)));
        const bool basic =
            InBasic(c) || (technical && SingleLowerWord(key) && technical->count(key) != 0);
        out.full.push_back({key, JoinSenses(all)});
        if (key.find(' ') != std::string::npos)
            part.phrases.emplace_back(row.word, out.full.back().rendering);
        RowSenses d = DivideSenses(row.word, lines, nullptr);
        if (d.deferred)
            part.deferred.push_back({std::move(key), row.word, std::move(lines), basic});
        else
            Emit(key, lines, basic, IsAbbreviationRow(row.word, lines), d, out);
    }
}

void Append(LexEntries& to, LexEntries& from) {
    to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
    from.clear();
}

} // namespace

LexiconSet BuildLexicons(std::string_view csv, const std::unordered_set<std::string>& lemmas,
                         const qb::TQbDict* forms, int threads,
                         const std::unordered_set<std::string>* technical) {
    LexiconSet result;
    std::size_t pos = 0;
    std::vector<std::string> header;
    EcdictColumns cols;
    if (!NextCsvRecord(csv, pos, header) || !cols.Init(header)) return result;
    std::string_view body = csv.substr(pos);

    // Rows never span lines, so the body can be cut at line breaks into one stretch per worker.
    threads = std::max(1, threads);
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (int t = 1; t <= threads; ++t) {
        std::size_t end =
            t == threads ? body.size() : body.size() * std::size_t(t) / std::size_t(threads);
        if (end < body.size()) {
            end = body.find('\n', std::max(end, start));
            end = end == std::string_view::npos ? body.size() : end + 1;
        }
        parts.push_back(body.substr(start, end - start));
        start = end;
    }
    std::vector<SliceResult> partial(parts.size());
    std::vector<std::thread> workers;
    for (std::size_t t = 0; t < parts.size(); ++t)
        workers.emplace_back(
            [&, t] { BuildPart(parts[t], cols, lemmas, forms, technical, partial[t]); });
    for (std::thread& w : workers) w.join();

    // The rows of short words that waited: every phrase is known now. Their keys are single
    // words of letters, unique in ECDICT, so no entry they give merges with an earlier one.
    AbbreviationEvidence evidence;
    for (SliceResult& p : partial) {
        for (const auto& [headword, rendering] : p.phrases) evidence.AddPhrase(headword, rendering);
        p.phrases = {};
    }
    for (SliceResult& p : partial)
        for (SliceResult::Deferred& r : p.deferred)
            Emit(r.key, r.lines, r.basic, IsAbbreviationRow(r.word, r.lines),
                 DivideSenses(r.word, r.lines, &evidence), p.set);

    for (SliceResult& part : partial) { // in file order, so "first met" stays first
        LexiconSet& p = part.set;
        Append(result.basic, p.basic);
        Append(result.full, p.full);
        Append(result.abbreviations, p.abbreviations);
        for (std::size_t k = 0; k < kDomains.size(); ++k) Append(result.domains[k], p.domains[k]);
        result.rows += p.rows;
        result.droppedEmpty += p.droppedEmpty;
        result.droppedNoSense += p.droppedNoSense;
    }
    return result;
}

std::unordered_set<std::string> ManPageWords(std::string_view troff, int minCount) {
    std::unordered_map<std::string, int> counts;
    std::string word;
    auto flush = [&] {
        if (!word.empty()) ++counts[word];
        word.clear();
    };
    // Lines of their own: a NUL byte in one page ends no text here (qb::ForEachLine stops at it).
    auto eachLine = [&](auto&& sink) {
        std::size_t start = 0;
        while (start < troff.size()) {
            std::size_t end = troff.find('\n', start);
            if (end == std::string_view::npos) end = troff.size();
            sink(troff.substr(start, end - start));
            start = end + 1;
        }
    };
    eachLine([&](std::string_view line) {
        // Comments: .\" and '\" ; a request line ".B printf" loses its macro name.
        if (line.starts_with(".\\\"") || line.starts_with("'\\\"") || line.starts_with("\\\""))
            return;
        std::size_t i = 0;
        if (!line.empty() && (line[0] == '.' || line[0] == '\'')) {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        }
        for (; i < line.size(); ++i) {
            const char c = line[i];
            if (c == '\\' && i + 1 < line.size()) {
                // Escapes: \fB \f[B] \(em \*(lq \[...] \s-1 \- and the like are no words.
                flush();
                const char e = line[++i];
                if ((e == 'f' || e == '*' || e == 's' || e == 'n') && i + 1 < line.size()) {
                    ++i;
                    if (line[i] == '(')
                        i += 2;
                    else if (line[i] == '[')
                        while (i < line.size() && line[i] != ']') ++i;
                    else if (line[i] == '-' || line[i] == '+')
                        ++i;
                } else if (e == '(') {
                    i += 2;
                } else if (e == '[') {
                    while (i < line.size() && line[i] != ']') ++i;
                }
                continue;
            }
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
                word.push_back(char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
            else
                flush();
        }
        flush();
    });
    std::unordered_set<std::string> out;
    for (const auto& [w, n] : counts)
        if (n >= minCount) out.insert(w);
    return out;
}

void SortAndMerge(LexEntries& entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const LexEntry& a, const LexEntry& b) { return qb::TextLess(a.key, b.key); });
    std::size_t w = 0;
    StringList a, b;
    for (std::size_t r = 0; r < entries.size(); ++r) {
        if (w > 0 && qb::TextCompare(entries[w - 1].key, entries[r].key) == 0) {
            qb::SplitString(entries[w - 1].rendering, kSenseSep, a);
            qb::SplitString(entries[r].rendering, kSenseSep, b);
            AppendSenses(a, b);
            entries[w - 1].rendering = JoinSenses(a);
            continue;
        }
        if (w != r) entries[w] = std::move(entries[r]);
        ++w;
    }
    entries.resize(w);
}

std::string LexiconFileBytes(const LexEntries& entries) {
    StringList lines;
    lines.reserve(entries.size());
    for (const LexEntry& e : entries) lines.push_back(e.key + '\t' + e.rendering);
    qb::ScrambleLines(lines);
    return qb::JoinLinesCrLf(lines);
}

} // namespace qb::datagen
