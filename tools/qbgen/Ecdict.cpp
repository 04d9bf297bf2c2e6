#include "Ecdict.h"

#include "GbkText.h"
#include "MyUtils.h"

#include <QList>
#include <QRegularExpression>
#include <QStringList>
#include <QStringView>

#include <algorithm>
#include <array>

namespace qb::datagen {

// ---------------------------------------------------------------- CSV

bool NextCsvRecord(std::string_view csv, std::size_t& pos, std::vector<std::string>& fields) {
    fields.clear();
    if (pos >= csv.size()) return false;
    std::size_t i = pos;
    const std::size_t n = csv.size();
    for (;;) {
        std::string field;
        if (i < n && csv[i] == '"') {
            ++i;
            for (;;) {
                std::size_t q = csv.find('"', i);
                if (q == std::string_view::npos) { // unterminated: take the rest
                    field.append(csv.substr(i));
                    i = n;
                    break;
                }
                field.append(csv.substr(i, q - i));
                i = q + 1;
                if (i < n && csv[i] == '"') { // "" stands for one quote
                    field.push_back('"');
                    ++i;
                    continue;
                }
                break;
            }
            // Anything between the closing quote and the separator is kept, as readers do.
            while (i < n && csv[i] != ',' && csv[i] != '\n' && csv[i] != '\r')
                field.push_back(csv[i++]);
        } else {
            std::size_t e = i;
            while (e < n && csv[e] != ',' && csv[e] != '\n' && csv[e] != '\r') ++e;
            field.assign(csv.substr(i, e - i));
            i = e;
        }
        fields.push_back(std::move(field));
        if (i < n && csv[i] == ',') {
            ++i;
            continue;
        }
        if (i < n && csv[i] == '\r') ++i;
        if (i < n && csv[i] == '\n') ++i;
        break;
    }
    pos = i;
    return true;
}

bool EcdictColumns::Init(const std::vector<std::string>& header) {
    static constexpr std::array<std::string_view, 9> kNames = {
        "word", "definition", "translation", "collins", "oxford", "tag", "bnc", "frq", "exchange"};
    for (std::size_t k = 0; k < kNames.size(); ++k) {
        auto it = std::find(header.begin(), header.end(), kNames[k]);
        if (it == header.end()) return false;
        idx_[k] = int(it - header.begin());
    }
    return true;
}

void EcdictColumns::Fill(const std::vector<std::string>& f, EcdictRow& row) const {
    auto get = [&](int k) -> const std::string& {
        static const std::string empty;
        return idx_[k] >= 0 && std::size_t(idx_[k]) < f.size() ? f[idx_[k]] : empty;
    };
    row.word = get(0);
    row.definition = get(1);
    row.translation = get(2);
    row.collins = get(3);
    row.oxford = get(4);
    row.tag = get(5);
    row.bnc = get(6);
    row.frq = get(7);
    row.exchange = get(8);
}

// ---------------------------------------------------------------- cleaning helpers

namespace {

bool IsSpace(QChar c) { return c.isSpace() || c == QChar(0x3000); }

// Bracket pairs that protect a separator (R3) and keep a line open (R1).
int OpenerIndex(QChar c) {
    static constexpr char16_t kOpen[] = u"(（[【<〔“《{";
    for (int k = 0; kOpen[k]; ++k)
        if (c.unicode() == kOpen[k]) return k;
    return -1;
}
int CloserIndex(QChar c) {
    static constexpr char16_t kClose[] = u")）]】>〕”》}";
    for (int k = 0; kClose[k]; ++k)
        if (c.unicode() == kClose[k]) return k;
    return -1;
}

int DepthAfter(QStringView s, int depth = 0) {
    for (QChar c : s) {
        if (OpenerIndex(c) >= 0)
            ++depth;
        else if (CloserIndex(c) >= 0 && depth > 0)
            --depth;
    }
    return depth;
}

bool IsPosAbbreviation(QStringView w) {
    static const char* const kPos[] = {
        "n",      "v",   "vt", "vi",   "a",   "adj",  "adv", "abbr", "prep", "pron", "conj", "int",
        "interj", "num", "pl", "pref", "suf", "suff", "un",  "na",   "vbl",  "comb", "aux",  "art"};
    for (const char* p : kPos)
        if (w == QLatin1StringView(p)) return true;
    return false;
}

// "n." / "vt." at i: the end of the abbreviation with its dot, or -1.
int MatchPos(QStringView s, int i, bool& abbreviation) {
    int e = i;
    while (e < s.size() && s[e] >= u'a' && s[e] <= u'z') ++e;
    if (e == i || e >= s.size() || s[e] != u'.') return -1;
    QStringView w = s.mid(i, e - i);
    if (!IsPosAbbreviation(w)) return -1;
    if (w == u"abbr") abbreviation = true;
    return e + 1;
}

int SkipSpaces(QStringView s, int i) {
    while (i < s.size() && IsSpace(s[i])) ++i;
    return i;
}

// Terms of an inflection note: "(baldric 的复数)", "( enfranchise的第三人称单数 )",
// "（plat的过去式和过去分词）".
bool IsInflectionNote(QStringView content) {
    static constexpr const char16_t* kTerms[] = {u"的复数",     u"的过去式",   u"的过去时",
                                                 u"的过去分词", u"的现在分词", u"的第三人称",
                                                 u"的比较级",   u"的最高级"};
    bool latin = false;
    for (QChar c : content)
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) latin = true;
    if (!latin) return false;
    for (const char16_t* t : kTerms)
        if (content.contains(QStringView(t))) return true;
    return false;
}

// Index of the bracket that closes the one opened at `i` (any closer at depth 0), or -1.
int MatchingCloser(QStringView s, int i) {
    int depth = 0;
    for (int k = i; k < s.size(); ++k) {
        if (OpenerIndex(s[k]) >= 0)
            ++depth;
        else if (CloserIndex(s[k]) >= 0 && --depth == 0)
            return k;
    }
    return -1;
}

// R2: strips part-of-speech abbreviations, labels and inflection notes at the start, as often
// as they occur: "(baldric 的复数) n. 佩饰" -> "佩饰", "vt.& vi. 走" -> "走",
// "n. [医] 罩" -> "罩" with the label 医.
int StripMarkers(QStringView s, CleanLine* info) {
    int i = SkipSpaces(s, 0);
    for (;;) {
        bool abbr = false;
        int e = MatchPos(s, i, abbr);
        if (e >= 0) {
            // Combinations: "a. & n.", "vt.& vi.", "n./v.", "n., v."
            for (;;) {
                int j = SkipSpaces(s, e);
                if (j < s.size() && (s[j] == u'&' || s[j] == u',' || s[j] == u'/')) {
                    int k = MatchPos(s, SkipSpaces(s, j + 1), abbr);
                    if (k >= 0) {
                        e = k;
                        continue;
                    }
                }
                break;
            }
            if (info) {
                info->marked = true;
                if (abbr) info->abbreviation = true;
            }
            i = SkipSpaces(s, e);
            continue;
        }
        if (i >= s.size()) break;
        const QChar c = s[i];
        int closeWanted = -1;
        if (c == u'[')
            closeWanted = u']';
        else if (c == u'【')
            closeWanted = u'】';
        else if (c == u'<')
            closeWanted = u'>';
        else if (c == u'〔')
            closeWanted = u'〕';
        if (closeWanted >= 0) {
            int k = i + 1;
            while (k < s.size() && k - i <= 31 && s[k] != QChar(closeWanted) && s[k] != c) ++k;
            if (k < s.size() && s[k] == QChar(closeWanted) && k - i - 1 <= 30 && k > i + 1) {
                if (c == u'[' && info && info->label.isEmpty())
                    info->label = s.mid(i + 1, k - i - 1).trimmed().toString();
                i = SkipSpaces(s, k + 1);
                continue;
            }
            break;
        }
        if (c == u'(' || c == u'（') {
            int k = MatchingCloser(s, i);
            if (k > i && IsInflectionNote(s.mid(i + 1, k - i - 1))) {
                i = SkipSpaces(s, k + 1);
                continue;
            }
        }
        break;
    }
    return i;
}

// R4: deletes inflection notes anywhere: "给予选举权( enfranchise的第三人称单数 )".
QString DeleteInflectionNotes(QString s) {
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] != u'(' && s[i] != u'（') continue;
        int k = MatchingCloser(s, i);
        if (k > i && IsInflectionNote(QStringView(s).mid(i + 1, k - i - 1))) {
            s.remove(i, k - i + 1);
            --i;
        }
    }
    return s;
}

bool IsTrimmable(QChar c) { return IsSpace(c) || c == u':' || c == u'：' || c == u'、'; }

bool IsCjkIdeograph(char32_t c) {
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3FFFF) || c == 0x3007;
}

bool IsLatinLetter(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

bool HasCjk(QStringView s) {
    for (char32_t c : s.toUcs4())
        if (IsCjkIdeograph(c)) return true;
    return false;
}

bool HasPrivateUse(QStringView s) {
    for (QChar c : s)
        if (c.unicode() >= 0xE000 && c.unicode() <= 0xF8FF) return true;
    return false;
}

// A bracket group of English only: "（All But Dissertation）", "(Ababa)", "(= do not)". Groups
// holding an ideograph stay: "使(马,鹰等)戴头罩", "阿尔(Albert 在美国的昵称)".
bool IsEnglishGroup(QStringView content) {
    bool latin = false;
    for (QChar c : content)
        if (IsLatinLetter(c)) latin = true;
    return latin && !HasCjk(content);
}

QString DeleteEnglishGroups(QString s) {
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] != u'(' && s[i] != u'（') continue;
        int k = MatchingCloser(s, i);
        if (k > i && IsEnglishGroup(QStringView(s).mid(i + 1, k - i - 1))) {
            s.remove(i, k - i + 1);
            --i;
        }
    }
    return s;
}

// The countries and languages a name line of ECDICT gives its transliterations:
// "(英、葡、波)齐格蒙特", "(阿拉伯)乌姆". Gathered from every "(Name)人名" line.
bool IsCountryMark(QStringView m) {
    static const QStringList kMarks =
        QStringLiteral(
            "英 法 德 西 意 瑞典 葡 俄 罗 捷 阿拉伯 塞 匈 芬 日 土 印 荷 挪 波 巴基 丹 以 柬 尼 伊朗 印尼 "
            "希 阿尔巴 孟 中 东南亚国家华语 埃塞 尼日利 保 泰 阿富 老 土库 吉尔 缅 南非 朝 加纳 斯里 阿塞 "
            "坦桑 乌克 塔吉 哈萨 乌兹 越 冰 斐 喀 肯 爱沙 塞内 尼日尔 乍 毛里求 乌干 拉脱 布基 几 多哥 "
            "塞拉 利比 格鲁 立陶 赞 赤几 索 马里 马耳他 科特 蒙 毛里塔 马其 纳米 中非 亚美 波黑 马来 "
            "贝宁 博 冈 苏里 莫 几比 图瓦 加蓬 所 比 基里 苏丹 印度 萨摩 马拉 巴布 摩尔 不丹 巴勒 马达 黎 "
            "智 东帝 厄立 莱索 乌拉 科摩 斯洛 卢 塞浦 密克 汤加 斯洛伐 吉 菲 津 爱")
            .split(u' ');
    return kMarks.contains(m);
}

// Length of a leading country list "(英、葡)" (with the spaces after it), 0 if there is none.
int CountryListLength(QStringView s) {
    if (s.isEmpty() || (s[0] != u'(' && s[0] != u'（')) return 0;
    int k = MatchingCloser(s, 0);
    if (k < 2) return 0;
    for (QStringView m : s.mid(1, k - 1).split(u'、'))
        if (!IsCountryMark(m)) return 0;
    return SkipSpaces(s, k + 1);
}

// "DOS内部命令:本命令用于退出当前的命令处理器": an explanation of an old command, not a
// translation of the word.
bool IsCommandExplanation(QStringView s) {
    for (QStringView colon : {QStringView(u"命令:"), QStringView(u"命令：")}) {
        qsizetype p = s.indexOf(colon);
        if (p >= 0 && s.left(p).contains(u"DOS")) return true;
    }
    return false;
}

// "be的现在式第三人称", "bite的过去式和过去分词", "be的单数第一人称": which form of another
// word this one is. The lookup reaches that word itself ("is" -> be), so the note translates
// nothing.
bool IsGrammarNote(QStringView s) {
    static const QRegularExpression kNote(QStringLiteral(
        "^[A-Za-z][A-Za-z' .-]*\\s*的(?:复数|过去式|过去时|过去分词|现在分词|第[一二三]人称|单数|"
        "现在式|现在时|比较级|最高级|形式|-?s|和|及|或|与|、|\\s)+$"));
    return !s.isEmpty() && IsLatinLetter(s[0]) && kNote.match(s.toString()).hasMatch();
}

bool IsBareNameLabel(QStringView s) { return s == u"人名" || s == u"地名"; }

// R3: splits at bracket depth 0 on ； ; ， and ,.
void SplitSenses(QStringView line, std::vector<QString>& out) {
    int depth = 0, start = 0;
    for (int i = 0; i < line.size(); ++i) {
        QChar c = line[i];
        if (OpenerIndex(c) >= 0)
            ++depth;
        else if (CloserIndex(c) >= 0) {
            if (depth > 0) --depth;
        } else if (depth == 0 && (c == u'；' || c == u';' || c == u'，' || c == u',')) {
            out.push_back(line.mid(start, i - start).toString());
            start = i + 1;
        }
    }
    out.push_back(line.mid(start).toString());
}

// Literal two-character sequences of the CSV text: "\n" between lines, "\r" and "\\" noise.
std::vector<std::string_view> SplitLiteralLines(std::string_view t, std::string& cleaned) {
    cleaned.clear();
    cleaned.reserve(t.size());
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\\' && i + 1 < t.size() && (t[i + 1] == 'r' || t[i + 1] == '\\')) {
            ++i;
            continue;
        }
        cleaned.push_back(t[i]);
    }
    std::vector<std::string_view> lines;
    std::string_view rest = cleaned;
    for (;;) {
        std::size_t p = rest.find("\\n");
        lines.push_back(rest.substr(0, p));
        if (p == std::string_view::npos) break;
        rest.remove_prefix(p + 2);
    }
    return lines;
}

} // namespace

// ---------------------------------------------------------------- senses

std::string CleanSense(const QString& raw) {
    QString s = DeleteEnglishGroups(DeleteInflectionNotes(raw));
    s = s.mid(StripMarkers(s, nullptr));
    // Character mapping and whitespace in one pass.
    QString t;
    t.reserve(s.size());
    bool space = false;
    for (QChar c : s) {
        char16_t u = c.unicode();
        if (u == 0x200B || u == 0xFEFF) continue;
        if (u == u'•' || u == u'‧')
            c = u'·';
        else if (u == u'º')
            c = u'°';
        else if (u == u'〜')
            c = u'～';
        if (IsSpace(c)) {
            space = true;
            continue;
        }
        if (space && !t.isEmpty()) t.append(u' ');
        space = false;
        t.append(c);
    }
    int b = 0, e = int(t.size());
    while (b < e && IsTrimmable(t[b])) ++b;
    while (e > b && IsTrimmable(t[e - 1])) --e;
    // A name keeps its transliteration: "(塞)阿巴巴" -> "阿巴巴".
    if (int c = CountryListLength(QStringView(t).mid(b, e - b)); c > 0 && b + c < e) b += c;
    t = t.mid(b, e - b);
    t.replace(QStringLiteral("..."), QStringLiteral("…"));
    t.replace(u'；', u'，');
    t.replace(u';', u',');
    t = t.normalized(QString::NormalizationForm_C);

    bool cjk = false;
    for (char32_t c : t.toUcs4())
        if (IsCjkIdeograph(c)) {
            cjk = true;
            break;
        }
    if (!cjk || HasPrivateUse(t) || IsGrammarNote(t) || IsBareNameLabel(t)) return {};
    std::optional<std::string> gbk = qb::ToGbkStrict(t);
    return gbk ? *gbk : std::string();
}

std::vector<CleanLine> CleanTranslation(std::string_view translation) {
    std::string cleaned;
    std::vector<std::string_view> raw = SplitLiteralLines(translation, cleaned);
    // R1: a line that ends inside brackets goes on in the next line, joined with "，":
    // "阿弗莱克（人名" + "苏格兰姓氏） Auchinleck的变体".
    std::vector<QString> lines;
    for (std::size_t k = 0; k < raw.size(); ++k) {
        QString line = QString::fromUtf8(raw[k].data(), qsizetype(raw[k].size()));
        int depth = DepthAfter(line);
        while (depth > 0 && k + 1 < raw.size()) {
            QString next = QString::fromUtf8(raw[k + 1].data(), qsizetype(raw[k + 1].size()));
            depth = DepthAfter(next, depth);
            line += u'，';
            line += next;
            ++k;
        }
        if (!line.trimmed().isEmpty()) lines.push_back(std::move(line));
    }

    std::vector<CleanLine> out;
    std::vector<QString> pieces;
    // A command explanation runs to the end of its line and on through the unmarked lines
    // after it: "[计] 退出; DOS内部命令:本命令用于退出当前的命令处理器(COMMAND.COM)" +
    // "恢复前一个命令处理器".
    bool inCommand = false;
    for (const QString& line : lines) {
        CleanLine cl;
        int start = StripMarkers(line, &cl);
        if (inCommand && !cl.marked && cl.label.isEmpty()) continue;
        inCommand = false;
        QStringView body = QStringView(line).mid(start);
        // "(Aaron)人名；(英)亚伦": a row of personal names.
        if (body.startsWith(u'(')) {
            int k = body.indexOf(u')');
            if (k > 1 && body[1].isUpper() && body.mid(k + 1).startsWith(u"人名"))
                cl.personName = true;
        }
        pieces.clear();
        SplitSenses(body, pieces);
        std::vector<std::string> senses;
        for (const QString& p : pieces) {
            if (IsCommandExplanation(p)) {
                inCommand = true;
                break;
            }
            std::string sense = CleanSense(p);
            if (!sense.empty()) senses.push_back(std::move(sense));
        }
        AppendSenses(cl.senses, senses);
        out.push_back(std::move(cl));
    }
    return out;
}

// ---------------------------------------------------------------- the abbreviation's senses

namespace {

bool LettersOnly(std::string_view w) {
    return !w.empty() && std::all_of(w.begin(), w.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
}

// Ideographs of a GBK text.
std::vector<char32_t> Ideographs(std::string_view gbk) {
    std::vector<char32_t> out;
    for (char32_t c : qb::FromGbk(gbk).toUcs4())
        if (IsCjkIdeograph(c)) out.push_back(c);
    return out;
}

constexpr std::size_t kShortWordMin = 2, kShortWordMax = 4;

} // namespace

void AbbreviationEvidence::AddPhrase(std::string_view headword, std::string_view rendering) {
    std::string initials;
    std::vector<std::string> words;
    std::size_t i = 0;
    auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    while (i < headword.size()) {
        // Words of letters: "built-in test" has three, "a.m." two.
        while (i < headword.size() && !isLetter(headword[i])) ++i;
        std::size_t e = i;
        while (e < headword.size() && isLetter(headword[e])) ++e;
        if (e == i) break;
        std::string_view w = headword.substr(i, e - i);
        initials.push_back(char(w[0] | 0x20));
        const bool small =
            std::all_of(w.begin(), w.end(), [](char c) { return c >= 'a' && c <= 'z'; });
        if (small && w.size() >= kShortWordMin && w.size() <= kShortWordMax) words.emplace_back(w);
        i = e;
    }
    const bool byInitials = initials.size() >= kShortWordMin && initials.size() <= kShortWordMax;
    if (!byInitials && words.empty()) return;
    const auto id = std::uint32_t(senses_.size());
    std::vector<std::string> senses;
    qb::SplitString(rendering, kSenseSep, senses);
    senses_.push_back(std::move(senses));
    if (byInitials) byInitials_[initials].push_back(id);
    for (std::string& w : words) {
        std::vector<std::uint32_t>& ids = byWord_[w];
        if (ids.empty() || ids.back() != id) ids.push_back(id);
    }
}

bool AbbreviationEvidence::Expands(std::string_view word, std::string_view sense) const {
    auto it = byInitials_.find(qb::LowerAscii(word));
    if (it == byInitials_.end()) return false;
    for (std::uint32_t id : it->second)
        for (const std::string& s : senses_[id])
            if (s == sense) return true;
    return false;
}

bool AbbreviationEvidence::InPhraseOf(std::string_view word, std::string_view sense) const {
    auto it = byWord_.find(qb::LowerAscii(word));
    if (it == byWord_.end()) return false;
    for (std::uint32_t id : it->second)
        for (const std::string& s : senses_[id])
            if (qb::FindText(s, sense) != std::string::npos) return true;
    return false;
}

bool IsAbbreviationRow(std::string_view word, const std::vector<CleanLine>& lines) {
    if (!lines.empty() &&
        std::all_of(lines.begin(), lines.end(), [](const CleanLine& l) { return l.abbreviation; }))
        return true;
    int capitals = 0;
    for (char c : word) {
        if (c >= 'a' && c <= 'z') return false;
        capitals += c >= 'A' && c <= 'Z';
    }
    return capitals >= 2;
}

RowSenses DivideSenses(std::string_view word, const std::vector<CleanLine>& lines,
                       const AbbreviationEvidence* evidence) {
    RowSenses r;
    auto own = [](const CleanLine& l) {
        return l.label.isEmpty() && !l.abbreviation && !l.personName;
    };
    if (std::none_of(lines.begin(), lines.end(), own)) {
        for (const CleanLine& l : lines) AppendSenses(r.own, l.senses);
        return r;
    }
    const bool shortWord =
        word.size() >= kShortWordMin && word.size() <= kShortWordMax && LettersOnly(word);
    if (shortWord && !evidence && std::any_of(lines.begin(), lines.end(), [](const CleanLine& l) {
            return !l.label.isEmpty();
        })) {
        r.deferred = true;
        return r;
    }
    std::vector<char32_t> ownChars;
    for (const CleanLine& l : lines)
        if (shortWord && own(l))
            for (const std::string& s : l.senses)
                for (char32_t c : Ideographs(s)) ownChars.push_back(c);
    for (const CleanLine& l : lines) {
        if (l.personName) continue;
        if (l.abbreviation) {
            AppendSenses(r.abbreviation, l.senses);
            continue;
        }
        if (l.label.isEmpty() || !shortWord) {
            AppendSenses(r.own, l.senses);
            continue;
        }
        const bool expansionLine =
            std::any_of(l.senses.begin(), l.senses.end(),
                        [&](const std::string& s) { return evidence->Expands(word, s); });
        for (const std::string& s : l.senses) {
            // 老化的 shares 老 and 的 with 老的: the word's; 自动代码翻译技术 only 动 with 行动.
            const std::vector<char32_t> chars = Ideographs(s);
            const auto common = std::count_if(chars.begin(), chars.end(), [&](char32_t c) {
                return std::find(ownChars.begin(), ownChars.end(), c) != ownChars.end();
            });
            const bool shares = common > 0 && 2 * std::size_t(common) >= chars.size();
            // An expansion of its own outweighs a phrase: "am broadcast" (调幅广播) uses AM too.
            const bool abbreviation =
                !shares && (evidence->Expands(word, s) ||
                            (!evidence->InPhraseOf(word, s) && (expansionLine || chars.size() >= 4)));
            AppendSenses(abbreviation ? r.abbreviation : r.own, {s});
        }
    }
    // A sense the abbreviation has is not the word's, though another line repeats it.
    std::erase_if(r.own, [&](const std::string& s) {
        return std::any_of(r.abbreviation.begin(), r.abbreviation.end(),
                           [&](const std::string& a) { return qb::TextCompare(a, s) == 0; });
    });
    return r;
}

void AppendSenses(std::vector<std::string>& into, const std::vector<std::string>& from) {
    std::size_t bytes = 0;
    for (const std::string& s : into) bytes += s.size() + (bytes ? kSenseSep.size() : 0);
    for (const std::string& s : from) {
        // Equal in text order is one sense: "Kiloyard 千码" and "kiloyard 千码".
        if (std::any_of(into.begin(), into.end(),
                        [&](const std::string& t) { return qb::TextCompare(s, t) == 0; }))
            continue;
        std::size_t add = s.size() + (bytes ? kSenseSep.size() : 0);
        if (bytes + add > kMaxTextBytes) break; // the cap falls at a sense boundary
        into.push_back(s);
        bytes += add;
    }
}

std::string JoinSenses(const std::vector<std::string>& senses) {
    std::string r;
    for (const std::string& s : senses) {
        if (!r.empty()) r.append(kSenseSep);
        r.append(s);
    }
    return r;
}

SenseNoise NoiseOf(std::string_view gbkSense) {
    const QString s = qb::FromGbk(gbkSense);
    if (HasPrivateUse(s)) return SenseNoise::PrivateUse;
    if (IsCommandExplanation(s)) return SenseNoise::CommandExplanation;
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] != u'(' && s[i] != u'（') continue;
        int k = MatchingCloser(s, i);
        if (k > i && IsEnglishGroup(QStringView(s).mid(i + 1, k - i - 1)))
            return SenseNoise::EnglishInBrackets;
    }
    if (CountryListLength(s) > 0 || IsBareNameLabel(s)) return SenseNoise::NameSource;
    if (IsGrammarNote(s)) return SenseNoise::GrammarNote;
    return SenseNoise::None;
}

const char* NoiseName(SenseNoise n) {
    switch (n) {
    case SenseNoise::None: return "none";
    case SenseNoise::PrivateUse: return "private-use characters";
    case SenseNoise::CommandExplanation: return "command explanations";
    case SenseNoise::EnglishInBrackets: return "English in brackets";
    case SenseNoise::NameSource: return "name sources and country lists";
    case SenseNoise::GrammarNote: return "grammar notes";
    }
    return "";
}

// ---------------------------------------------------------------- classification

bool IsDomainLabel(const QString& label) {
    static const QStringList kDomains = {
        QStringLiteral("医"),   QStringLiteral("化"),   QStringLiteral("计"),
        QStringLiteral("经"),   QStringLiteral("法"),   QStringLiteral("电"),
        QStringLiteral("机"),   QStringLiteral("建"),   QStringLiteral("地名"),
        QStringLiteral("人名"), QStringLiteral("动"),   QStringLiteral("植"),
        QStringLiteral("生"),   QStringLiteral("矿"),   QStringLiteral("体"),
        QStringLiteral("药"),   QStringLiteral("地质"), QStringLiteral("植物"),
        QStringLiteral("动物"), QStringLiteral("天"),   QStringLiteral("数"),
        QStringLiteral("物"),   QStringLiteral("冶"),   QStringLiteral("纺"),
        QStringLiteral("生化"), QStringLiteral("生态"), QStringLiteral("昆虫"),
        QStringLiteral("鸟类"), QStringLiteral("鱼类"), QStringLiteral("心理"),
        QStringLiteral("气"),   QStringLiteral("微"),   QStringLiteral("商"),
        QStringLiteral("财")};
    return kDomains.contains(label);
}

std::string LemmaOf(std::string_view exchange) {
    std::size_t p = exchange.starts_with("0:") ? 0 : exchange.find("/0:");
    if (p == std::string_view::npos) return {};
    p += exchange[p] == '/' ? 3 : 2;
    return std::string(exchange.substr(p, exchange.find('/', p) - p));
}

RowClass ClassifyRow(const EcdictRow& row, const std::vector<CleanLine>& lines, bool isLemma,
                     bool formReachesLemma) {
    RowClass c;
    auto positive = [](const std::string& v) { return !v.empty() && v != "0"; };
    c.core = positive(row.bnc) || positive(row.frq) || positive(row.collins) || row.oxford == "1" ||
             !row.tag.empty();
    bool technical = !lines.empty(), abbrOnly = !lines.empty(), webOnly = !lines.empty();
    bool name = false;
    for (const CleanLine& l : lines) {
        if (!IsDomainLabel(l.label)) technical = false;
        if (!l.abbreviation) abbrOnly = false;
        if (l.label != u"网络") webOnly = false;
        if (l.personName) name = true;
    }
    bool capitals =
        std::any_of(row.word.begin(), row.word.end(), [](char ch) { return ch >= 'A' && ch <= 'Z'; });
    bool inflected = !LemmaOf(row.exchange).empty() && formReachesLemma;
    c.technical = technical;
    c.webOnly = webOnly;
    c.general = !technical && !abbrOnly && !name && !capitals && !inflected;
    c.known = !row.definition.empty() || !row.exchange.empty() || isLemma;
    c.words = 0;
    bool inWord = false;
    for (char ch : row.word) {
        if (ch == ' ')
            inWord = false;
        else if (!inWord) {
            inWord = true;
            ++c.words;
        }
    }
    return c;
}

} // namespace qb::datagen
