#include "Checks.h"

#include "Filter.h"
#include "Placeholders.h"

#include <algorithm>
#include <unordered_map>

namespace qb::doc {

namespace {

// The text with its placeholders removed, and the placeholders' numbers in order.
std::string Plain(std::string_view t, std::vector<std::pair<std::size_t, bool>>* refs = nullptr) {
    std::string out;
    for (std::size_t i = 0; i < t.size();) {
        std::size_t n = 0;
        bool closing = false;
        if (const std::size_t len = TagRef(t, i, n, closing)) {
            if (refs) refs->push_back({n, closing});
            out += '\x01'; // neither white space nor punctuation: "到 {1}：{2}" ends with no colon
            i += len;
        } else {
            out += t[i++];
        }
    }
    return out;
}

// Runs of ASCII digits ("3", "2048", "1.5" as "1.5"), sorted: "共 3 个，2048 字节" -> 2048, 3.
std::vector<std::string> Numbers(std::string_view plain) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < plain.size();) {
        if (plain[i] >= '0' && plain[i] <= '9') {
            std::size_t j = i;
            while (j < plain.size() && ((plain[j] >= '0' && plain[j] <= '9') ||
                                        ((plain[j] == '.' || plain[j] == ',') && j + 1 < plain.size() &&
                                         plain[j + 1] >= '0' && plain[j + 1] <= '9')))
                ++j;
            std::string n(plain.substr(i, j - i));
            std::erase(n, ','); // "10,000" and "10000" are the same number
            out.push_back(std::move(n));
            i = j;
        } else {
            ++i;
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The code points of UTF-8 text, as byte ranges.
std::vector<std::string_view> Chars(std::string_view s) {
    std::vector<std::string_view> out;
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        len = std::min(len, s.size() - i);
        out.push_back(s.substr(i, len));
        i += len;
    }
    return out;
}

bool IsHan(std::string_view ch) {
    if (ch.size() != 3) return false;
    const unsigned cp =
        (unsigned(ch[0]) & 0x0F) << 12 | (unsigned(ch[1]) & 0x3F) << 6 | (unsigned(ch[2]) & 0x3F);
    return cp >= 0x4E00 && cp <= 0x9FFF;
}

// How a line ends: 0 with a sentence end or colon of either language or nothing, by kind.
enum EndKind { NoEnd, Stop, Question, Exclaim, Colon, Ellipsis };
EndKind EndOf(std::string_view plain) {
    while (!plain.empty() && (plain.back() == ' ' || plain.back() == '"' || plain.back() == '\''))
        plain.remove_suffix(1);
    auto ends = [&](std::string_view e) { return plain.ends_with(e); };
    if (ends("...") || ends("…") || ends("……")) return Ellipsis;
    if (ends(".") || ends("。")) return Stop;
    if (ends("?") || ends("？")) return Question;
    if (ends("!") || ends("！")) return Exclaim;
    if (ends(":") || ends("：")) return Colon;
    return NoEnd;
}

const char* EndName(EndKind k) {
    switch (k) {
    case Stop: return "句号";
    case Question: return "问号";
    case Exclaim: return "叹号";
    case Colon: return "冒号";
    case Ellipsis: return "省略号";
    case NoEnd: break;
    }
    return "标点";
}

} // namespace

bool FuzzyInFile(const Document& doc, const Unit& u) {
    if (doc.units.empty() || &u < doc.units.data() || &u >= doc.units.data() + doc.units.size())
        return false;
    return doc.format.filter().FuzzyInFile(doc, std::size_t(&u - doc.units.data()));
}

namespace {

void CheckTags(const Document& doc, std::size_t index, std::string_view target,
               std::vector<Problem>& out) {
    const Unit& u = doc.units[index];
    std::vector<std::pair<std::size_t, bool>> refs;
    Plain(target, &refs);
    std::vector<int> open(u.tags.size(), 0), close(u.tags.size(), 0);
    auto add = [&](std::string message) {
        out.push_back({index, Problem::Placeholders, std::move(message), true});
    };
    for (const auto& [n, closing] : refs) {
        if (n == 0 || n > u.tags.size()) {
            add("多出原文没有的占位符 {" + std::string(closing ? "/" : "") + std::to_string(n) + "}");
            continue;
        }
        ++(closing ? close : open)[n - 1];
    }
    for (std::size_t k = 0; k < u.tags.size(); ++k) {
        const std::string shown = TagText(doc, u, k);
        if (open[k] == 0)
            add("缺少占位符 " + shown);
        else if (open[k] > 1)
            add("占位符 " + shown + " 出现了 " + std::to_string(open[k]) + " 次");
        if (u.tags[k].paired && close[k] != 1 && open[k] >= 1)
            add("占位符 " + shown + " 缺少配对的结束标记 {/" + std::to_string(k + 1) + "}");
    }
    // The order of the ones that take their argument by position ("%s ... %d").
    std::vector<std::size_t> order;
    for (const auto& [n, closing] : refs)
        if (!closing && n >= 1 && n <= u.tags.size() && IsPositionalOnly(u.tags[n - 1].open))
            order.push_back(n);
    if (!std::is_sorted(order.begin(), order.end()))
        add("占位符的次序不能改变（这种格式按位置取参数，可改用 %1$s 这样的写法）");
    if (out.empty() || out.back().unit != index || out.back().kind != Problem::Placeholders) {
        // Counted right, yet refused by the writer: crossed pairs ("{1}{2}x{/1}{/2}").
        if (!CheckPlaceholders(u, target)) add("占位符的配对交叉或次序不对");
    }
}

} // namespace

std::string TagText(const Document& doc, const Unit& unit, std::size_t k, bool close) {
    const Tag& t = unit.tags[k];
    const std::size_t b = close ? t.closeBegin : t.openBegin, e = close ? t.closeEnd : t.openEnd;
    if (b != kNoRange && unit.part < doc.parts.size() && e <= doc.parts[unit.part].text.size() && b <= e)
        return doc.parts[unit.part].text.substr(b, std::min<std::size_t>(e - b, 40));
    const std::string& lit = close ? t.close : t.open;
    if (lit.empty()) return "{" + std::string(close ? "/" : "") + std::to_string(k + 1) + "}";
    return lit;
}

std::vector<Problem> CheckTranslations(const Document& doc,
                                       const std::vector<std::optional<std::string>>& translations,
                                       const CheckOptions& options) {
    std::vector<Problem> out;
    std::unordered_map<std::string_view, std::size_t> firstBySource;
    for (std::size_t i = 0; i < doc.units.size(); ++i) {
        const Unit& u = doc.units[i];
        const std::optional<std::string>* t = i < translations.size() ? &translations[i] : nullptr;
        if (!t || !*t || (*t)->empty()) {
            out.push_back({i, Problem::Untranslated, "未翻译", false});
            continue;
        }
        const std::string& target = **t;
        const bool fuzzy = i < options.fuzzy.size() && options.fuzzy[i];
        if (fuzzy) out.push_back({i, Problem::Fuzzy, "模糊译文，尚未确认", false});
        CheckTags(doc, i, target, out);

        const std::string source = Plain(u.text), plain = Plain(target);
        const std::vector<std::string> ns = Numbers(source), nt = Numbers(plain);
        if (ns != nt) {
            std::vector<std::string> lost, added;
            std::set_difference(ns.begin(), ns.end(), nt.begin(), nt.end(), std::back_inserter(lost));
            std::set_difference(nt.begin(), nt.end(), ns.begin(), ns.end(), std::back_inserter(added));
            std::string m = "数字不一致：";
            for (const std::string& n : lost) m += "缺少 " + n + "；";
            for (const std::string& n : added) m += "多出 " + n + "；";
            m.pop_back(); // the last "；" is three bytes
            m.pop_back();
            m.pop_back();
            out.push_back({i, Problem::Numbers, std::move(m), false});
        }

        auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
        if (isSpace(target.front()) || isSpace(target.back()) ||
            target.starts_with("\xE3\x80\x80") || target.ends_with("\xE3\x80\x80"))
            out.push_back({i, Problem::Spaces, "译文开头或结尾有空白", false});

        const EndKind es = EndOf(source), et = EndOf(plain);
        if (es != et) {
            std::string m = es == NoEnd ? std::string("原文结尾没有") + EndName(et) + "，译文有"
                                        : std::string("原文以") + EndName(es) + "结尾，译文" +
                                              (et == NoEnd ? std::string("没有")
                                                           : std::string("是") + EndName(et));
            out.push_back({i, Problem::Punctuation, std::move(m), false});
        }

        if (options.terms) {
            for (const TermUse& term : options.terms(source)) {
                const bool used = std::any_of(
                    term.renderings.begin(), term.renderings.end(), [&](const std::string& r) {
                        return !r.empty() && plain.find(r) != std::string::npos;
                    });
                if (!used && !term.renderings.empty()) {
                    std::string m = "术语 " + term.term + " 没有译作";
                    for (std::size_t k = 0; k < term.renderings.size() && k < 3; ++k)
                        m += (k ? "、" : " ") + term.renderings[k];
                    out.push_back({i, Problem::Term, std::move(m), false});
                }
            }
        }

        if (options.senses && options.reading) {
            // A sense of the lookup ("权限") whose reading a run of the translation has with
            // other characters ("全线"): the candidate list's neighbour was picked.
            const std::vector<std::string_view> chars = Chars(plain);
            for (const std::string& sense : options.senses(source)) {
                const std::vector<std::string_view> sc = Chars(sense);
                if (sc.size() < 2 || sc.size() > chars.size() || plain.find(sense) != std::string::npos)
                    continue;
                if (!std::all_of(sc.begin(), sc.end(), IsHan)) continue;
                const std::string want = options.reading(sense);
                if (want.empty()) continue;
                for (std::size_t k = 0; k + sc.size() <= chars.size(); ++k) {
                    if (!std::all_of(chars.begin() + long(k), chars.begin() + long(k + sc.size()), IsHan))
                        continue;
                    const std::string_view word(chars[k].data(),
                                                std::size_t(chars[k + sc.size() - 1].data() +
                                                            chars[k + sc.size() - 1].size() -
                                                            chars[k].data()));
                    if (options.reading(word) == want) {
                        out.push_back({i, Problem::InputSlip,
                                       "可能选错了字：" + std::string(word) + " 是否应为 " + sense +
                                           "（读音相同）",
                                       false});
                        break;
                    }
                }
            }
        }

        const auto [it, fresh] = firstBySource.emplace(u.text, i);
        if (!fresh) {
            const std::optional<std::string>& first = translations[it->second];
            if (first && !first->empty() && *first != target)
                out.push_back(
                    {i, Problem::Inconsistent,
                     "同一原文在第 " + std::to_string(it->second + 1) + " 条译作“" + *first + "”",
                     false});
        }
    }
    return out;
}

std::string Describe(const Problem& p) {
    return "第 " + std::to_string(p.unit + 1) + " 条：" + p.message;
}

} // namespace qb::doc
