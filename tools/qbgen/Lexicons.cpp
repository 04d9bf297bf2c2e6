#include "Lexicons.h"

#include "Ecdict.h"

#include <QStringView>

#include <algorithm>
#include <thread>

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

void BuildPart(std::string_view csv, const EcdictColumns& cols,
               const std::unordered_set<std::string>& lemmas, const qb::TQbDict* forms,
               LexiconSet& out) {
    std::vector<std::string> fields;
    EcdictRow row;
    std::size_t pos = 0;
    std::vector<std::string> all, domain[kDomains.size()];
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
        for (std::vector<std::string>& d : domain) d.clear();
        for (const CleanLine& l : lines) {
            AppendSenses(all, l.senses);
            for (std::size_t k = 0; k < kDomains.size(); ++k)
                if (l.label == QStringView(kDomains[k].label)) AppendSenses(domain[k], l.senses);
        }
        if (all.empty()) {
            ++out.droppedNoSense;
            continue;
        }
        std::string rendering = JoinSenses(all);
        RowClass c = ClassifyRow(row, lines, lemmas.count(key) != 0,
                                 ReachesLemma(forms, row.word, LemmaOf(row.exchange)));
        if (InBasic(c)) out.basic.push_back({key, rendering});
        for (std::size_t k = 0; k < kDomains.size(); ++k)
            if (!domain[k].empty()) out.domains[k].push_back({key, JoinSenses(domain[k])});
        out.full.push_back({std::move(key), std::move(rendering)});
    }
}

void Append(LexEntries& to, LexEntries& from) {
    to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
    from.clear();
}

} // namespace

LexiconSet BuildLexicons(std::string_view csv, const std::unordered_set<std::string>& lemmas,
                         const qb::TQbDict* forms, int threads) {
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
    std::vector<LexiconSet> partial(parts.size());
    std::vector<std::thread> workers;
    for (std::size_t t = 0; t < parts.size(); ++t)
        workers.emplace_back([&, t] { BuildPart(parts[t], cols, lemmas, forms, partial[t]); });
    for (std::thread& w : workers) w.join();

    for (LexiconSet& p : partial) { // in file order, so "first met" stays first
        Append(result.basic, p.basic);
        Append(result.full, p.full);
        for (std::size_t k = 0; k < kDomains.size(); ++k) Append(result.domains[k], p.domains[k]);
        result.rows += p.rows;
        result.droppedEmpty += p.droppedEmpty;
        result.droppedNoSense += p.droppedNoSense;
    }
    return result;
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
