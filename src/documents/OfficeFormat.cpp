// Word (.docx) and OpenDocument (.odt) text: a zip package read with QuaZip; the parts that hold
// the text are cut by a small tokenizer that keeps byte offsets, so that only the runs of
// translated paragraphs change, and checks them as it goes (tags that match, no document type:
// a document type with entities is how an entity bomb arrives, and neither format ever has one).
//
// A Word paragraph's runs with the same formatting are merged; the formatting of most of its
// text is the unit's own, every other one a pair:
//   <w:r><w:t>Press </w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>OK</w:t></w:r>
//   -> "Press {1}OK{/1}"; "按{1}确定{/1}" is written as a plain run "按" and a bold run "确定".
#include "Filter.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

#include <QBuffer>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <map>

namespace qb::doc::detail {

namespace {

// How a Word unit's text is written: as a run of the formatting of where it stands. Text outside
// any pair takes the unit's, text inside a pair that has one (a bold run's, a link's) that
// pair's: "按{1}确定{/1}" -> <w:r><w:t>按</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>确定</w:t></w:r>.
struct Wrap {
    std::string open, close; // both empty for OpenDocument, whose text stands as it is
};
struct UnitRuns {
    Wrap text;
    std::vector<Wrap> tags; // by tag index; shorter when the last tags have none
    void Set(std::size_t number, Wrap w) {
        if (tags.size() < number) tags.resize(number);
        tags[number - 1] = std::move(w);
    }
};
struct OfficeState : FormatState {
    std::vector<UnitRuns> units; // by unit
};

// 24 bytes: a 10 MB body holds two million of them (every tag and every text between two).
struct Token {
    const char* nameData = nullptr; // into the part's text, which outlives the tokens
    std::uint32_t begin = 0, end = 0;
    std::uint32_t match = 0; // the token that closes this one (itself when it closes nothing)
    std::uint16_t nameSize = 0;
    enum Kind : std::uint8_t { Start, End, Empty, Text, Other } kind = Other;
    std::string_view name() const { return {nameData, nameSize}; }
};

// Deeper than any editor nests a paragraph's spans: 20,000 nested <text:span> is a file made
// to exhaust the reader, not a document.
constexpr std::size_t kMaxDepth = 2000;

// A reference at xml[at] ('&'): one of XML's five or a character's number, as Word and
// OpenDocument write them. Anything else is an entity that only a document type could define.
bool KnownReference(std::string_view xml, std::size_t at) {
    const std::size_t semi = xml.substr(at, 13).find(';');
    if (semi == std::string_view::npos) return false;
    const std::string_view name = xml.substr(at + 1, semi - 1);
    if (name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos")
        return true;
    if (name.size() < 2 || name[0] != '#') return false;
    const bool hex = name[1] == 'x';
    if (hex && name.size() < 3) return false;
    for (std::size_t k = hex ? 2 : 1; k < name.size(); ++k)
        if (!(hex ? std::isxdigit(static_cast<unsigned char>(name[k]))
                  : std::isdigit(static_cast<unsigned char>(name[k]))))
            return false;
    return true;
}

// The part's tags and texts, checked as they are cut: tags that close what they opened, no
// document type (how an entity bomb arrives, and neither format ever has one), no entity but
// XML's own, nothing left open. A 10 MB body is read in one pass; a full XML parser took twice
// as long as everything else together.
std::vector<Token> Tokenize(std::string_view xml, const std::string& part) {
    if (xml.size() >= (std::size_t(1) << 32)) throw DocError(part + " 太大");
    auto fail = [&](std::size_t at, const std::string& what) {
        return DocError(part + " 第 " + std::to_string(LineOf(xml, at)) + " 行：XML 格式不正确（" +
                        what + "）");
    };
    auto references = [&](std::size_t from, std::size_t to) {
        // Within [from, to) only: a search to the file's end for every text is quadratic.
        const std::string_view range = xml.substr(0, to);
        for (std::size_t at = range.find('&', from); at != std::string_view::npos;
             at = range.find('&', at + 1)) {
            if (KnownReference(xml, at)) continue;
            const std::size_t semi = xml.find(';', at);
            const std::string name(xml.substr(at, semi < to && semi - at < 40 ? semi + 1 - at : 1));
            throw fail(at, "实体 " + name + " 未在文件中定义，不读取外部实体");
        }
    };
    std::vector<Token> out;
    // Each '<' starts a tag, and at most one text lies before it: reserved once, not doubled
    // past the memory a part of that size is allowed.
    out.reserve(2 * std::size_t(std::count(xml.begin(), xml.end(), '<')) + 1);
    std::vector<std::size_t> open; // start tokens not closed yet
    std::size_t pos = 0;
    while (pos < xml.size()) {
        if (xml[pos] != '<') {
            std::size_t lt = xml.find('<', pos);
            if (lt == std::string_view::npos) lt = xml.size();
            references(pos, lt);
            Token t;
            t.kind = Token::Text;
            t.begin = std::uint32_t(pos);
            t.end = std::uint32_t(lt);
            out.push_back(t);
            pos = lt;
            continue;
        }
        std::size_t end;
        Token t;
        auto upTo = [&](std::string_view close, const char* what) {
            const std::size_t at = xml.find(close, pos);
            if (at == std::string_view::npos) throw fail(pos, std::string(what) + "没有结束");
            return at + close.size();
        };
        if (xml.compare(pos, 4, "<!--") == 0) {
            end = upTo("-->", "注释");
        } else if (xml.compare(pos, 9, "<![CDATA[") == 0) {
            end = upTo("]]>", "CDATA 段");
        } else if (xml.compare(pos, 2, "<?") == 0) {
            end = upTo("?>", "处理指令");
        } else if (xml.compare(pos, 2, "<!") == 0) {
            if (xml.compare(pos, 9, "<!DOCTYPE") == 0)
                throw DocError(part + " 含有文档类型定义（DTD），可能是实体炸弹，拒绝打开");
            throw fail(pos, "不认识的标记 <!");
        } else {
            // A tag: '>' ends it outside quoted attribute values.
            char quote = 0;
            end = pos + 1;
            for (; end < xml.size(); ++end) {
                const char c = xml[end];
                if (quote) {
                    if (c == quote) quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            if (end >= xml.size()) throw fail(pos, "标签没有结束");
            ++end;
            references(pos, end);
            const bool closing = xml[pos + 1] == '/';
            std::size_t n = pos + (closing ? 2 : 1);
            std::size_t ne = n;
            while (ne < end && !std::strchr(" \t\r\n/>", xml[ne])) ++ne;
            if (ne == n || ne - n > 0xFFFF) throw fail(pos, "标签没有名字");
            t.nameData = xml.data() + n;
            t.nameSize = std::uint16_t(ne - n);
            t.kind = closing ? Token::End : (xml[end - 2] == '/' ? Token::Empty : Token::Start);
        }
        t.begin = std::uint32_t(pos);
        t.end = std::uint32_t(end);
        t.match = std::uint32_t(out.size());
        if (t.kind == Token::Start) {
            open.push_back(out.size());
            if (open.size() > kMaxDepth)
                throw DocError(part + " 的元素嵌套超过 " + std::to_string(kMaxDepth) +
                               " 层，不像是正常文档，拒绝打开");
        } else if (t.kind == Token::End) {
            if (open.empty() || out[open.back()].name() != t.name())
                throw fail(pos, "结束标签 </" + std::string(t.name()) + "> 没有对应的开始标签");
            out[open.back()].match = std::uint32_t(out.size());
            open.pop_back();
        }
        out.push_back(t);
        pos = end;
    }
    if (!open.empty())
        throw fail(out[open.back()].begin,
                   "元素 <" + std::string(out[open.back()].name()) + "> 没有结束");
    return out;
}

// Index of the token that closes the element opened at `i` (itself for an empty element),
// found once by the tokenizer: a scan per paragraph made 50,000 nested paragraphs take 15 s.
std::size_t Matching(const std::vector<Token>& toks, std::size_t i) { return toks[i].match; }

struct Item {
    enum Kind { Text, Raw } kind = Text;
    std::size_t begin = 0, end = 0; // bytes in the part
    std::string format;             // Word: the run's properties (<w:rPr>...</w:rPr>) as written
    std::string text;               // decoded
    int link = -1;                  // Word: index of the hyperlink holding it
    std::string literal;            // Raw: what it is written as, when not its bytes (a tab's run)
};

std::string RunOpen(const std::string& rPr) {
    return "<w:r>" + rPr + "<w:t xml:space=\"preserve\">";
}
const char* const kRunClose = "</w:t></w:r>";

struct WordParagraph {
    const std::string& xml;
    const std::vector<Token>& toks;
    std::vector<Item> items;
    // Each element wrapping runs (a hyperlink, a tracked insertion, a content control): the
    // bytes of what opens it and of what closes it.
    struct Wrap {
        std::size_t openBegin, openEnd, closeBegin, closeEnd;
    };
    std::vector<Wrap> links;

    // A run: its text, with a tab or a line break in it as a placeholder of its own, written
    // as a run of the same formatting holding just that: "<w:t>Name:</w:t><w:tab/><w:t>Ann</w:t>"
    // gives "Name:{1}Ann". Anything else in a run (a drawing, a field) keeps the run whole.
    void Run(std::size_t i, std::size_t close, int link) {
        std::string format;
        std::vector<Item> pieces;
        bool plain = true;
        auto text = [&]() -> Item& {
            if (pieces.empty() || pieces.back().kind != Item::Text)
                pieces.push_back({Item::Text, toks[i].begin, toks[close].end, {}, {}, link, {}});
            return pieces.back();
        };
        for (std::size_t k = i + 1; k < close; ++k) {
            const Token& t = toks[k];
            if (t.kind == Token::Text || t.kind == Token::Other || t.kind == Token::End) continue;
            const std::size_t m = Matching(toks, k);
            if (t.name() == "w:rPr") {
                format = xml.substr(t.begin, toks[m].end - t.begin);
            } else if (t.name() == "w:t") {
                Item& it = text();
                for (std::size_t q = k + 1; q < m; ++q)
                    if (toks[q].kind == Token::Text)
                        it.text += XmlUnescape(
                            std::string_view(xml).substr(toks[q].begin, toks[q].end - toks[q].begin));
            } else if (t.name() == "w:tab" || t.name() == "w:br" || t.name() == "w:cr" ||
                       t.name() == "w:noBreakHyphen" || t.name() == "w:softHyphen") {
                Item it{Item::Raw, toks[i].begin, toks[close].end, {}, {}, link, {}};
                it.literal = xml.substr(t.begin, toks[m].end - t.begin);
                pieces.push_back(std::move(it));
            } else if (t.name() != "w:lastRenderedPageBreak") { // where Word last broke the page
                // A note's reference or a symbol beside text ("Ouch<w:endnoteReference/>"): a
                // run of the same formatting of its own, so that the text is still a unit's.
                Item it{Item::Raw, toks[i].begin, toks[close].end, {}, {}, link, {}};
                it.literal = xml.substr(t.begin, toks[m].end - t.begin);
                pieces.push_back(std::move(it));
                plain = false;
            }
            k = m;
        }
        const bool hasText = std::any_of(pieces.begin(), pieces.end(),
                                         [](const Item& it) { return it.kind == Item::Text; });
        if (!plain && !hasText) {
            items.push_back({Item::Raw, toks[i].begin, toks[close].end, {}, {}, link, {}});
            return;
        }
        if (pieces.empty()) text(); // an empty run
        for (Item& it : pieces) {
            it.format = format;
            if (it.kind == Item::Raw) it.literal = "<w:r>" + format + it.literal + "</w:r>";
            items.push_back(std::move(it));
        }
    }

    // The <w:sdtContent> start tag directly inside the control open..close, or close.
    std::size_t SdtContent(std::size_t open, std::size_t close) const {
        for (std::size_t k = open + 1; k < close; ++k) {
            if (toks[k].kind == Token::Start && toks[k].name() == "w:sdtContent") return k;
            if (toks[k].kind == Token::Start) k = Matching(toks, k);
        }
        return close;
    }

    void Children(std::size_t from, std::size_t to, int link) {
        for (std::size_t k = from; k < to; ++k) {
            const Token& t = toks[k];
            if (t.kind == Token::Text || t.kind == Token::Other || t.kind == Token::End) continue;
            const std::size_t m = Matching(toks, k);
            if (t.name() == "w:pPr") {
            } else if (t.name() == "w:r" && t.kind == Token::Start) {
                Run(k, m, link);
            } else if ((t.name() == "w:hyperlink" || t.name() == "w:ins" ||
                        t.name() == "w:smartTag" || t.name() == "w:customXml") &&
                       t.kind == Token::Start && link < 0) {
                // Their text is the paragraph's: "Name: <w:ins><w:r><w:t>Ann</w:t></w:r></w:ins>"
                // gives "Name: {1}Ann{/1}", not a lone placeholder hiding "Ann".
                links.push_back({t.begin, t.end, toks[m].begin, toks[m].end});
                Children(k + 1, m, int(links.size() - 1));
            } else if (t.name() == "w:sdt" && t.kind == Token::Start && link < 0 &&
                       SdtContent(k, m) < m) {
                // An inline content control: its properties go with the opening, its content's
                // runs are the paragraph's.
                const std::size_t c = SdtContent(k, m), cm = Matching(toks, c);
                links.push_back({t.begin, toks[c].end, toks[cm].begin, toks[m].end});
                Children(c + 1, cm, int(links.size() - 1));
            } else {
                items.push_back({Item::Raw, t.begin, toks[m].end, {}, {}, link, {}});
            }
            k = m;
        }
    }
};

// One Word paragraph (tokens open..close) as a unit.
void WordUnit(Document& doc, OfficeState& state, std::size_t part, const std::vector<Token>& toks,
              std::size_t open, std::size_t close) {
    const std::string& xml = doc.parts[part].text;
    WordParagraph p{xml, toks, {}, {}};
    p.Children(open + 1, close, -1);
    // Merge neighbouring runs of one formatting (and one link).
    std::vector<Item> items;
    for (Item& it : p.items) {
        if (!items.empty() && it.kind == Item::Text && items.back().kind == Item::Text &&
            items.back().format == it.format && items.back().link == it.link) {
            items.back().text += it.text;
            items.back().end = it.end;
        } else {
            items.push_back(std::move(it));
        }
    }
    std::size_t first = 0, last = items.size();
    auto hasText = [](const Item& it) { return it.kind == Item::Text && !it.text.empty(); };
    while (first < last && !hasText(items[first])) ++first;
    while (last > first && !hasText(items[last - 1])) --last;
    if (first == last) return;
    // A tab at the start of a run whose text begins the unit lies in the unit's range: it is
    // the unit's too ("<w:r><w:tab/><w:t>Text</w:t></w:r>" -> "{1}Text").
    while (first > 0 && items[first - 1].end > items[first].begin) --first;
    while (last < items.size() && items[last].begin < items[last - 1].end) ++last;
    // A link's items must be inside the range whole: widen to its tags.
    std::size_t begin = items[first].begin, end = items[last - 1].end;
    if (items[first].link >= 0)
        begin = std::min(begin, p.links[std::size_t(items[first].link)].openBegin);
    if (items[last - 1].link >= 0)
        end = std::max(end, p.links[std::size_t(items[last - 1].link)].closeEnd);
    // The unit's own formatting: that of most of its text outside links.
    std::map<std::string, std::size_t> weight;
    for (std::size_t i = first; i < last; ++i)
        if (items[i].kind == Item::Text && items[i].link < 0)
            weight[items[i].format] += items[i].text.size();
    std::string base;
    std::size_t best = 0;
    for (const auto& [f, w] : weight)
        if (w > best) best = w, base = f;

    Unit u;
    u.part = part;
    u.begin = begin;
    u.end = end;
    UnitRuns runs;
    runs.text = {RunOpen(base), kRunClose};
    int openLink = -1;
    std::size_t linkNumber = 0;
    for (std::size_t i = first; i < last; ++i) {
        const Item& it = items[i];
        if (it.link != openLink) {
            if (openLink >= 0) AppendClose(u, linkNumber);
            openLink = it.link;
            if (openLink >= 0) {
                const WordParagraph::Wrap& w = p.links[std::size_t(openLink)];
                Tag t;
                t.openBegin = w.openBegin;
                t.openEnd = w.openEnd;
                t.closeBegin = w.closeBegin;
                t.closeEnd = w.closeEnd;
                linkNumber = AppendOpen(u, t);
                runs.Set(linkNumber, {RunOpen(it.format), kRunClose});
            }
        }
        if (it.kind == Item::Raw) {
            Tag t;
            if (it.literal.empty()) {
                t.openBegin = it.begin;
                t.openEnd = it.end;
            } else {
                t.open = it.literal;
            }
            AppendLone(u, t);
        } else if (it.link >= 0 || it.format == base) {
            const Wrap& w = it.link >= 0 ? runs.tags[linkNumber - 1] : runs.text;
            AppendText(u, it.text, w.open, w.close);
        } else {
            const std::size_t n = AppendOpen(u, Tag{});
            runs.Set(n, {RunOpen(it.format), kRunClose});
            AppendText(u, it.text, RunOpen(it.format), kRunClose);
            AppendClose(u, n);
        }
    }
    if (openLink >= 0) AppendClose(u, linkNumber);
    if (FinishUnit(doc, std::move(u))) state.units.push_back(std::move(runs));
}

// One OpenDocument paragraph or heading: its content between the tags; spans and links are
// pairs, spaces (<text:s/>), tabs, breaks, notes, frames are lone placeholders.
void OdfContent(Unit& u, const std::string& xml, const std::vector<Token>& toks, std::size_t from,
                std::size_t to) {
    for (std::size_t k = from; k < to; ++k) {
        const Token& t = toks[k];
        if (t.kind == Token::Text) {
            AppendText(u, XmlUnescape(std::string_view(xml).substr(t.begin, t.end - t.begin)));
            continue;
        }
        if (t.kind == Token::End) continue;
        const std::size_t m = Matching(toks, k);
        Tag tag;
        if (t.kind == Token::Start && (t.name() == "text:span" || t.name() == "text:a")) {
            // Spans of one style side by side are one pair, as an editor leaves them after a
            // spell check or a change: <text:span text:style-name="T1">Fo</text:span>
            // <text:span text:style-name="T1">o</text:span> -> "{1}Foo{/1}", written back as
            // one span.
            std::vector<std::pair<std::size_t, std::size_t>> spans{{k, m}};
            const std::string_view openTag = std::string_view(xml).substr(t.begin, t.end - t.begin);
            while (t.name() == "text:span" && spans.back().second + 1 < to) {
                const Token& nx = toks[spans.back().second + 1];
                if (nx.kind != Token::Start || nx.name() != t.name() ||
                    std::string_view(xml).substr(nx.begin, nx.end - nx.begin) != openTag)
                    break;
                const std::size_t nm = Matching(toks, spans.back().second + 1);
                spans.push_back({spans.back().second + 1, nm});
            }
            const std::size_t last = spans.back().second;
            tag.openBegin = t.begin;
            tag.openEnd = t.end;
            tag.closeBegin = toks[last].begin;
            tag.closeEnd = toks[last].end;
            const std::size_t n = AppendOpen(u, tag);
            for (const auto& [sb, se] : spans) OdfContent(u, xml, toks, sb + 1, se);
            AppendClose(u, n);
            k = last;
            continue;
        } else {
            tag.openBegin = t.begin;
            tag.openEnd = toks[m].end;
            AppendLone(u, tag);
        }
        k = m;
    }
}

void Units(Document& doc, OfficeState& state, bool word, std::size_t part, const Progress& progress,
           std::size_t& reported, std::size_t total) {
    const std::string& xml = doc.parts[part].text;
    const std::vector<Token> toks = Tokenize(xml, doc.parts[part].name);
    for (std::size_t k = 0; k < toks.size(); ++k) {
        const Token& t = toks[k];
        if (t.kind != Token::Start) continue;
        if (!word && t.name() == "text:tracked-changes") {
            // What change tracking keeps of deleted paragraphs: not shown, so not offered.
            k = Matching(toks, k);
            continue;
        }
        // dc:title is the document's title in meta.xml, shown by the file's properties and
        // by a title field in the text.
        const bool para =
            word ? t.name() == "w:p"
                 : (t.name() == "text:p" || t.name() == "text:h" || t.name() == "dc:title");
        if (!para) continue;
        const std::size_t m = Matching(toks, k);
        if (word) {
            WordUnit(doc, state, part, toks, k, m);
        } else {
            Unit u;
            u.part = part;
            u.begin = t.end;
            u.end = toks[m].begin;
            OdfContent(u, xml, toks, k + 1, m);
            if (FinishUnit(doc, std::move(u))) state.units.emplace_back();
        }
        // A paragraph inside this one (a note's, a text box's) is a unit of its own: its text
        // lies inside one of this unit's placeholders, and the writer translates it there.
        (void)m;
        if (t.begin - reported >= (1u << 20)) Report(progress, reported = t.begin, total);
    }
}

bool IsTextPart(bool word, const std::string& name) {
    // styles.xml holds the page headers and footers ("Page 1 of 3"), meta.xml the title.
    if (!word) return name == "content.xml" || name == "styles.xml" || name == "meta.xml";
    if (name == "word/document.xml" || name == "word/footnotes.xml" || name == "word/endnotes.xml")
        return true;
    const bool hf = name.rfind("word/header", 0) == 0 || name.rfind("word/footer", 0) == 0;
    return hf && name.size() > 4 && name.compare(name.size() - 4, 4, ".xml") == 0;
}

void ReadOffice(Document& doc, bool word, const Limits& limits, const Progress& progress) {
    const std::string what = word ? "Word 文档（.docx）" : "OpenDocument 文本（.odt）";
    if (doc.original.size() < 4 || std::memcmp(doc.original.data(), "PK\x03\x04", 4) != 0)
        throw DocError("不是 " + what + "：文件不是 zip 包");
    QByteArray bytes = QByteArray::fromRawData(doc.original.data(), qsizetype(doc.original.size()));
    QBuffer buffer(&bytes);
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdUnzip)) throw DocError("不是 " + what + "：zip 包已损坏");
    const QList<QuaZipFileInfo64> infos = zip.getFileInfoList64();
    if (std::size_t(infos.size()) > limits.maxEntries)
        throw DocError("zip 包的条目太多（" + std::to_string(infos.size()) + " 个），疑似压缩炸弹");
    // The limit is on the bytes the text parts unpack to, sized from the file: a ratio alone
    // let a 0.9 MB package of 100 MB of XML through (2.3 GB to read), and refused the 298:1
    // document.xml that the program's own export makes of a page of repeated runs. Pictures are
    // copied packed on export and never unpacked, so only their declared total is checked.
    const std::uint64_t textCap = std::min<std::uint64_t>(
        limits.maxTextBytes, limits.textBytesBase + limits.textBytesPerByte * doc.original.size());
    std::uint64_t declared = 0, text = 0;
    std::vector<std::string> seen;
    for (const QuaZipFileInfo64& info : infos) {
        const std::string name = info.name.toStdString();
        declared += info.uncompressedSize;
        if (IsTextPart(word, name)) {
            // Two entries of one name: a zip tool keeps the last, a reader of the directory
            // may show either. Which text is the document is unknowable, so neither is taken.
            if (std::find(seen.begin(), seen.end(), name) != seen.end())
                throw DocError("zip 包中有两个同名条目（" + name + "），无法确定哪个是正文，拒绝打开");
            seen.push_back(name);
            text += info.uncompressedSize;
        }
        if (declared > limits.maxUnpackedBytes || text > textCap)
            throw DocError("zip 包解压后过大（" + name + "），疑似压缩炸弹");
    }
    bool main = false;
    std::size_t total = 0, reported = 0;
    for (const QuaZipFileInfo64& info : infos) {
        const std::string name = info.name.toStdString();
        if (!IsTextPart(word, name)) continue;
        if (!zip.setCurrentFile(info.name)) throw DocError("zip 包已损坏：" + name);
        QuaZipFile f(&zip);
        if (!f.open(QIODevice::ReadOnly)) throw DocError("zip 包已损坏：无法读出 " + name);
        // Read no more than the size the package declares: a lying header is no way around the limit.
        const QByteArray data = f.read(qint64(info.uncompressedSize) + 1);
        f.close();
        if (std::uint64_t(data.size()) != info.uncompressedSize || f.getZipError() != 0)
            throw DocError("zip 包已损坏：" + name + " 的内容与其记录不符");
        DocPart part{name, std::string(data.constData(), std::size_t(data.size()))};
        if (!IsUtf8Text(part.text)) throw DocError(name + " 不是 UTF-8 编码的 XML");
        total += part.text.size();
        doc.parts.push_back(std::move(part));
        main = main || name == "word/document.xml" || name == "content.xml";
    }
    if (!main)
        throw DocError("不是 " + what + "：包中没有正文（" +
                       std::string(word ? "word/document.xml" : "content.xml") + "）");
    // The package parts in the order Word shows them: the body first.
    std::stable_partition(doc.parts.begin(), doc.parts.end(), [](const DocPart& p) {
        return p.name == "word/document.xml" || p.name == "content.xml";
    });
    auto state = std::make_shared<OfficeState>();
    for (std::size_t p = 0; p < doc.parts.size(); ++p)
        Units(doc, *state, word, p, progress, reported, total);
    doc.state = std::move(state);
}

// The package again: every entry copied as it was stored, except the parts given in `changed`
// (same order as doc.parts; nothing = unchanged), which are compressed anew.
std::string WriteOffice(const Document& doc, const std::vector<std::optional<std::string>>& changed) {
    QByteArray inBytes = QByteArray::fromRawData(doc.original.data(), qsizetype(doc.original.size()));
    QBuffer inBuffer(&inBytes);
    QuaZip in(&inBuffer);
    QByteArray outBytes;
    QBuffer outBuffer(&outBytes);
    QuaZip out(&outBuffer);
    if (!in.open(QuaZip::mdUnzip) || !out.open(QuaZip::mdCreate)) throw DocError("无法生成 zip 包");
    for (bool more = in.goToFirstFile(); more; more = in.goToNextFile()) {
        QuaZipFileInfo64 info;
        in.getCurrentFileInfo(&info);
        const std::string name = info.name.toStdString();
        const std::optional<std::string>* text = nullptr;
        for (std::size_t p = 0; p < doc.parts.size(); ++p)
            if (doc.parts[p].name == name && changed[p]) text = &changed[p];
        QuaZipFile src(&in);
        QuaZipFile dst(&out);
        QuaZipNewInfo newInfo(info);
        if (text) {
            // The part anew, compressed.
            if (!dst.open(QIODevice::WriteOnly, newInfo, nullptr, 0, Z_DEFLATED, Z_DEFAULT_COMPRESSION))
                throw DocError("无法写入 " + name);
            dst.write((*text)->data(), qint64((*text)->size()));
            dst.close();
        } else {
            // Every other entry as it was stored: its compressed bytes copied, not unpacked.
            int method = 0, level = 0;
            if (!src.open(QIODevice::ReadOnly, &method, &level, true))
                throw DocError("zip 包已损坏：" + name);
            const QByteArray raw = src.readAll();
            src.close();
            newInfo.uncompressedSize = info.uncompressedSize;
            if (!dst.open(QIODevice::WriteOnly, newInfo, nullptr, info.crc, method, level, true))
                throw DocError("无法写入 " + name);
            dst.write(raw);
            dst.close();
        }
        if (dst.getZipError() != 0) throw DocError("无法写入 " + name);
    }
    in.close();
    out.close();
    if (out.getZipError() != 0) throw DocError("无法生成 zip 包");
    return std::string(outBytes.constData(), std::size_t(outBytes.size()));
}

class OfficeWriter : public UnitWriter {
public:
    explicit OfficeWriter(const OfficeState& state) : state_(state) {}
    std::string Text(std::size_t unit, const std::vector<std::size_t>& open,
                     std::string_view text) const override {
        if (unit >= state_.units.size()) return MarkupEscape(text);
        const UnitRuns& r = state_.units[unit];
        const Wrap* w = &r.text;
        for (auto i = open.rbegin(); i != open.rend(); ++i)
            if (*i <= r.tags.size() && (!r.tags[*i - 1].open.empty() || !r.tags[*i - 1].close.empty())) {
                w = &r.tags[*i - 1];
                break;
            }
        return w->open + MarkupEscape(text) + w->close;
    }

private:
    const OfficeState& state_;
};

class OfficeFilter final : public Filter {
public:
    explicit OfficeFilter(bool word) : word_(word) {}
    bool Recognises(std::string_view path) const override {
        return HasExtension(path, {word_ ? ".docx" : ".odt"});
    }
    void Read(Document& doc, const Limits& limits, const Progress& progress) const override {
        ReadOffice(doc, word_, limits, progress);
    }
    std::string Write(const Document& doc, const std::vector<std::optional<std::string>>& translations,
                      WriteReport& report) const override {
        std::vector<std::vector<Edit>> edits = TranslationEdits(doc, translations, report);
        if (!AnyEdit(edits)) return doc.original;
        return WriteOffice(doc, Splice(doc, std::move(edits), OfficeWriter(StateOf<OfficeState>(doc))));
    }

private:
    bool word_;
};

} // namespace

const Filter& DocxFilter() {
    static const OfficeFilter filter(true);
    return filter;
}

const Filter& OdtFilter() {
    static const OfficeFilter filter(false);
    return filter;
}

} // namespace qb::doc::detail
