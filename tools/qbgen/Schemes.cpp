#include "Schemes.h"

#include "DoublePinyin.h"
#include "GbkText.h"

#include <QList>

#include <algorithm>
#include <charconv>
#include <functional>
#include <unordered_map>

namespace qb::datagen {

namespace {

bool IsIdeograph(char32_t c) {
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0xF900 && c <= 0xFAFF);
}

QString FromUtf8(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

long long ParseWeight(std::string_view s) {
    long long v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

// A candidate may be any GBK text without ";" and "...", the separators of the table files.
bool UsableCandidate(std::string_view gbk) {
    return !gbk.empty() && gbk.find(';') == std::string_view::npos &&
           gbk.find("...") == std::string_view::npos;
}

// One line per code: candidates deduplicated (the best placing of a text wins) and ordered.
void EmitCodeTable(std::map<std::string, std::vector<WeightedText>>& byCode, SchemeFiles& f) {
    std::vector<std::string> codes;
    codes.reserve(byCode.size());
    for (auto& [code, cands] : byCode) codes.push_back(code);
    std::sort(codes.begin(), codes.end(), qb::TextLess);
    for (const std::string& code : codes) {
        std::vector<WeightedText>& c = byCode[code];
        std::stable_sort(c.begin(), c.end(), CandidateBefore);
        std::string line;
        std::vector<std::string_view> seen;
        for (const WeightedText& w : c) {
            if (std::find(seen.begin(), seen.end(), w.text) != seen.end()) continue;
            seen.push_back(w.text);
            if (!line.empty()) line.push_back(';');
            line += w.text;
        }
        f.py.push_back(code);
        f.mchar.push_back(std::move(line));
    }
}

} // namespace

// ---------------------------------------------------------------- characters

HanziUniverse HanziUniverse::Build() {
    HanziUniverse u;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) continue;
            const std::string bytes{char(lead), char(trail)};
            std::optional<QString> s = qb::FromGbkStrict(bytes);
            if (!s || s->size() != 1) continue;
            char32_t cp = s->at(0).unicode();
            if (!IsIdeograph(cp)) continue;
            std::optional<std::string> back = qb::ToGbkStrict(*s);
            if (!back || *back != bytes) continue; // one code per character
            u.gbk.push_back(bytes);
            u.byCp.emplace(cp, bytes);
        }
    }
    return u;
}

bool IsGb2312Hanzi(std::string_view g) {
    if (g.size() != 2) return false;
    unsigned lead = static_cast<unsigned char>(g[0]), trail = static_cast<unsigned char>(g[1]);
    if (lead < 0xB0 || lead > 0xF7 || trail < 0xA1 || trail > 0xFE) return false;
    return !(lead == 0xD7 && trail >= 0xFA); // D7FA-D7FE are unassigned
}

void ForEachRimeRow(std::string_view text,
                    const std::function<void(const std::vector<std::string_view>&)>& row) {
    bool body = false;
    std::vector<std::string_view> fields;
    qb::ForEachLine(text, [&](std::string_view line) {
        if (!body) {
            body = line == "...";
            return;
        }
        if (line.empty() || line[0] == '#') return;
        fields.clear();
        std::size_t i = 0;
        for (;;) {
            std::size_t t = line.find('\t', i);
            fields.push_back(line.substr(i, t == std::string_view::npos ? t : t - i));
            if (t == std::string_view::npos) break;
            i = t + 1;
        }
        row(fields);
    });
}

std::string PlainPinyin(const QString& toned) {
    // Decompose, drop the tone marks (combining marks other than the diaeresis), and write ü
    // as v: "lüè" -> "lue" after NormalizeSyllable.
    QString d = toned.normalized(QString::NormalizationForm_D);
    std::string out;
    for (qsizetype i = 0; i < d.size(); ++i) {
        char16_t c = d[i].unicode();
        if (c == 0x0308) { // diaeresis: u + ¨ -> v
            if (!out.empty() && out.back() == 'u') out.back() = 'v';
            continue;
        }
        if (c >= 0x0300 && c <= 0x036F) continue;
        if (c >= 'A' && c <= 'Z') c = char16_t(c - 'A' + 'a');
        if (c < 'a' || c > 'z') return {}; // ê and anything else we cannot spell
        out.push_back(char(c));
    }
    return NormalizeSyllable(out);
}

PinyinData ReadPinyin(const HanziUniverse& u, std::string_view pinyinSimp, std::string_view luna,
                      std::string_view unihan) {
    PinyinData p;
    // 1. pinyin_simp: weighted readings of characters, and the words.
    std::map<std::string, std::vector<std::pair<std::string, long long>>>& cr = p.charReadings;
    StringList syls;
    ForEachRimeRow(pinyinSimp, [&](const std::vector<std::string_view>& f) {
        if (f.size() < 2) return;
        const long long weight = f.size() >= 3 ? ParseWeight(f[2]) : 0;
        QString text = FromUtf8(f[0]);
        QList<uint> cps = text.toUcs4();
        qb::SplitString(f[1], " ", syls);
        if (syls.empty()) return;
        for (std::string& s : syls) s = NormalizeSyllable(s);
        if (cps.size() == 1 && u.Contains(cps[0])) {
            auto& list = cr[u.byCp.at(cps[0])];
            auto it = std::find_if(list.begin(), list.end(),
                                   [&](const auto& r) { return r.first == syls[0]; });
            if (it == list.end())
                list.emplace_back(syls[0], weight);
            else
                it->second = std::max(it->second, weight);
            return;
        }
        std::optional<std::string> gbk = qb::ToGbkStrict(text);
        if (!gbk || !UsableCandidate(*gbk)) return;
        p.words.push_back({*gbk, syls, weight});
    });
    for (auto& [ch, list] : cr) {
        std::stable_sort(list.begin(), list.end(),
                         [](const auto& a, const auto& b) { return a.second > b.second; });
        p.charWeighted[ch] = true;
    }
    p.fromSimp = int(cr.size());

    // 2. luna_pinyin for characters pinyin_simp lacks: readings by percentage, 0% dropped.
    std::map<std::string, std::vector<std::pair<std::string, double>>> lunaReadings;
    ForEachRimeRow(luna, [&](const std::vector<std::string_view>& f) {
        if (f.size() < 2) return;
        QList<uint> cps = FromUtf8(f[0]).toUcs4();
        if (cps.size() != 1 || !u.Contains(cps[0])) return;
        const std::string& ch = u.byCp.at(cps[0]);
        if (cr.count(ch)) return;
        double pct = 100.0;
        if (f.size() >= 3 && !f[2].empty() && f[2].back() == '%')
            pct = FromUtf8(f[2].substr(0, f[2].size() - 1)).toDouble();
        if (pct <= 0.0) return;
        std::string syl = NormalizeSyllable(f[1]);
        if (syl.empty() || syl.find(' ') != std::string::npos) return;
        auto& list = lunaReadings[ch];
        auto it =
            std::find_if(list.begin(), list.end(), [&](const auto& r) { return r.first == syl; });
        if (it == list.end())
            list.emplace_back(syl, pct);
        else
            it->second = std::max(it->second, pct);
    });
    for (auto& [ch, list] : lunaReadings) {
        std::stable_sort(list.begin(), list.end(),
                         [](const auto& a, const auto& b) { return a.second > b.second; });
        for (auto& [syl, pct] : list) cr[ch].emplace_back(syl, 0);
        p.charWeighted[ch] = false;
        ++p.fromLuna;
    }

    // 3. Unihan kMandarin ("U+4E2D<TAB>kMandarin<TAB>zhōng"), most common reading first.
    qb::ForEachLine(unihan, [&](std::string_view line) {
        if (!line.starts_with("U+")) return;
        std::size_t t1 = line.find('\t');
        if (t1 == std::string_view::npos || line.substr(t1 + 1, 10) != "kMandarin\t") return;
        uint32_t cp = 0;
        std::from_chars(line.data() + 2, line.data() + t1, cp, 16);
        auto it = u.byCp.find(cp);
        if (it == u.byCp.end() || cr.count(it->second)) return;
        StringList readings;
        qb::SplitString(line.substr(t1 + 11), " ", readings);
        for (const std::string& r : readings) {
            std::string syl = PlainPinyin(FromUtf8(r));
            if (!syl.empty()) cr[it->second].emplace_back(syl, 0);
        }
        if (cr.count(it->second)) {
            p.charWeighted[it->second] = false;
            ++p.fromUnihan;
        }
    });

    // 4. Compatibility ideographs take the readings of their canonical equivalent (郎 U+F92C).
    for (const auto& [cp, gbk] : u.byCp) {
        if (cp < 0xF900 || cr.count(gbk)) continue;
        QList<uint> nfc = QString::fromUcs4(&cp, 1).normalized(QString::NormalizationForm_C).toUcs4();
        if (nfc.size() != 1 || nfc[0] == cp) continue;
        auto it = u.byCp.find(nfc[0]);
        if (it == u.byCp.end() || !cr.count(it->second)) continue;
        std::vector<std::pair<std::string, long long>> copy = cr[it->second];
        for (auto& r : copy) r.second = 0;
        cr[gbk] = std::move(copy);
        p.charWeighted[gbk] = false;
        ++p.fromNfc;
    }
    return p;
}

// ---------------------------------------------------------------- Wubi

WubiData ReadWubi(const HanziUniverse& u, std::string_view wubi86) {
    WubiData w;
    ForEachRimeRow(wubi86, [&](const std::vector<std::string_view>& f) {
        if (f.size() < 2) return;
        std::string_view code = f[1];
        if (code.empty() || code[0] == 'z') return; // z: symbol entries
        for (char c : code)
            if (c < 'a' || c > 'y') return;
        QString text = FromUtf8(f[0]);
        std::optional<std::string> gbk = qb::ToGbkStrict(text);
        if (!gbk || !UsableCandidate(*gbk)) return;
        const long long weight = f.size() >= 3 ? ParseWeight(f[2]) : 0;
        QList<uint> cps = text.toUcs4();
        if (cps.size() == 1 && u.Contains(cps[0])) {
            auto& codes = w.charCodes[*gbk];
            if (std::find(codes.begin(), codes.end(), code) == codes.end())
                codes.emplace_back(code);
        }
        w.rows.push_back({*gbk, std::string(code), weight});
    });
    return w;
}

std::vector<std::string> WubiFullCodes(const std::vector<std::string>& codes) {
    std::size_t longest = 0;
    for (const std::string& c : codes) longest = std::max(longest, c.size());
    std::vector<std::string> full;
    for (const std::string& c : codes) {
        bool prefix = std::any_of(codes.begin(), codes.end(), [&](const std::string& o) {
            return o.size() > c.size() && o.starts_with(c);
        });
        if ((c.size() == longest || (c.size() >= 3 && !prefix)) &&
            std::find(full.begin(), full.end(), c) == full.end())
            full.push_back(c);
    }
    return full;
}

// ---------------------------------------------------------------- tables

bool CandidateBefore(const WeightedText& a, const WeightedText& b) {
    if (a.weighted != b.weighted) return a.weighted;
    if (a.weight != b.weight) return a.weight > b.weight;
    if (a.text.size() != b.text.size()) return a.text.size() < b.text.size();
    return a.text < b.text; // unsigned bytes: std::string compares as unsigned char
}

SchemeFiles BuildPinyinScheme(const HanziUniverse& u, const PinyinData& p, SchemeKind kind) {
    auto code = [kind](const std::string& syl) -> std::string {
        switch (kind) {
        case SchemeKind::Microsoft: return DoublePinyinCode(syl, DoubleScheme::Microsoft);
        case SchemeKind::Ziranma: return DoublePinyinCode(syl, DoubleScheme::Ziranma);
        default: return syl;
        }
    };
    SchemeFiles f;
    std::map<std::string, std::vector<WeightedText>> byCode;
    for (const std::string& ch : u.gbk) {
        auto it = p.charReadings.find(ch);
        if (it == p.charReadings.end()) continue;
        const bool weighted = p.charWeighted.at(ch);
        std::vector<std::string> codes;
        for (const auto& [syl, weight] : it->second) {
            std::string c = code(syl);
            if (c.empty() || std::find(codes.begin(), codes.end(), c) != codes.end()) continue;
            codes.push_back(c);
            byCode[c].push_back({ch, weight, weighted});
        }
        if (codes.empty()) continue;
        std::string line;
        for (const std::string& c : codes) line += (line.empty() ? "" : " ") + c;
        f.achr.push_back(ch);
        f.mpy.push_back(std::move(line));
    }
    // A word has one code: its syllables' codes run together. "xi'an" with the apostrophe is
    // no key of its own, or 西安 would show twice under every prefix (西安...'an and 西安...an
    // under xi); the whole-clause conversion reads the apostrophe.
    for (const PinyinData::Word& w : p.words) {
        std::string plain;
        bool ok = true;
        for (std::size_t i = 0; i < w.syllables.size() && ok; ++i) {
            std::string c = code(w.syllables[i]);
            ok = !c.empty();
            plain += c;
        }
        if (!ok) continue;
        byCode[plain].push_back({w.text, w.weight, true});
    }
    EmitCodeTable(byCode, f);
    return f;
}

SchemeFiles BuildWubiScheme(const HanziUniverse& u, const WubiData& w) {
    SchemeFiles f;
    for (const std::string& ch : u.gbk) {
        auto it = w.charCodes.find(ch);
        if (it == w.charCodes.end()) continue;
        std::string line;
        for (const std::string& c : WubiFullCodes(it->second))
            line += (line.empty() ? "" : " ") + c;
        f.achr.push_back(ch);
        f.mpy.push_back(std::move(line));
    }
    std::map<std::string, std::vector<WeightedText>> byCode;
    for (const WubiData::Row& r : w.rows) byCode[r.code].push_back({r.text, r.weight, true});
    EmitCodeTable(byCode, f);
    return f;
}

} // namespace qb::datagen
