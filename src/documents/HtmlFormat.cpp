// HTML through gumbo, which parses as browsers do (broken nesting included) and keeps each
// node's byte offsets: a unit is a run of text and inline elements inside a block element, and
// its range runs from the run's first byte to its last.
//   "<p>Press <b>OK</b> to go on.</p>" -> "Press {1}OK{/1} to go on." ({1} = "<b>", {/1} = "</b>")
// <script>, <style>, <pre>, <code>, <textarea> are kept as they are; alt and title attributes
// are units of their own.
#include "Formats.h"

#include <gumbo.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <vector>

namespace qb::doc::detail {

namespace {

bool IsInline(GumboTag t) {
    switch (t) {
    case GUMBO_TAG_A:
    case GUMBO_TAG_ABBR:
    case GUMBO_TAG_B:
    case GUMBO_TAG_BDI:
    case GUMBO_TAG_BDO:
    case GUMBO_TAG_BIG:
    case GUMBO_TAG_BR:
    case GUMBO_TAG_CITE:
    case GUMBO_TAG_CODE:
    case GUMBO_TAG_DATA:
    case GUMBO_TAG_DEL:
    case GUMBO_TAG_DFN:
    case GUMBO_TAG_EM:
    case GUMBO_TAG_FONT:
    case GUMBO_TAG_I:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_INS:
    case GUMBO_TAG_KBD:
    case GUMBO_TAG_MARK:
    case GUMBO_TAG_Q:
    case GUMBO_TAG_S:
    case GUMBO_TAG_SAMP:
    case GUMBO_TAG_SMALL:
    case GUMBO_TAG_SPAN:
    case GUMBO_TAG_STRIKE:
    case GUMBO_TAG_STRONG:
    case GUMBO_TAG_SUB:
    case GUMBO_TAG_SUP:
    case GUMBO_TAG_TIME:
    case GUMBO_TAG_TT:
    case GUMBO_TAG_U:
    case GUMBO_TAG_VAR:
    case GUMBO_TAG_WBR:
    case GUMBO_TAG_LABEL:
    case GUMBO_TAG_NOBR: return true;
    default: return false;
    }
}

// Elements whose content is never translated; inside a unit they are one lone placeholder.
bool IsKept(GumboTag t) {
    switch (t) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_CODE:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_SVG:
    case GUMBO_TAG_MATH:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_KBD:
    case GUMBO_TAG_SAMP: return true;
    default: return false;
    }
}

bool IsVoid(GumboTag t) {
    return t == GUMBO_TAG_BR || t == GUMBO_TAG_IMG || t == GUMBO_TAG_WBR || t == GUMBO_TAG_INPUT ||
           t == GUMBO_TAG_HR;
}

struct Walker {
    Document& doc;
    const char* base;
    std::size_t size;
    const Progress& progress;
    std::size_t reported = 0;
    std::size_t pos_ = 0; // how far the unit in hand has taken the file
    bool broken_ = false;

    bool Inside(const char* p) const { return p && p >= base && p <= base + size; }

    // Gumbo gives a made-up element (a <i> reopened after "<b><i>x</b>") the tag that made it,
    // or none: only a tag in the file that names the element itself counts as its tag.
    static bool Names(const GumboElement& e, std::string_view tag, bool end) {
        const std::size_t skip = end ? 2 : 1;
        if (tag.size() <= skip || tag[0] != '<' || (end != (tag[1] == '/'))) return false;
        std::size_t n = skip;
        while (n < tag.size() && !std::strchr(" \t\r\n/>", tag[n])) ++n;
        const GumboTag named = gumbo_tagn_enum(tag.data() + skip, unsigned(n - skip));
        return named == e.tag && (e.tag != GUMBO_TAG_UNKNOWN || !end);
    }
    bool ValidStart(const GumboElement& e) const {
        return e.original_tag.length && Inside(e.original_tag.data) &&
               Names(e, std::string_view(e.original_tag.data, e.original_tag.length), false);
    }
    bool ValidEnd(const GumboElement& e) const {
        return e.original_end_tag.length && Inside(e.original_end_tag.data) &&
               Names(e, std::string_view(e.original_end_tag.data, e.original_end_tag.length), true) &&
               (!ValidStart(e) ||
                e.original_end_tag.data >= e.original_tag.data + e.original_tag.length);
    }

    // Byte range a node covers in the file; kNoRange when the parser made it up.
    std::pair<std::size_t, std::size_t> Extent(const GumboNode* n) const {
        if (n->type == GUMBO_NODE_TEXT || n->type == GUMBO_NODE_WHITESPACE ||
            n->type == GUMBO_NODE_CDATA || n->type == GUMBO_NODE_COMMENT) {
            const GumboStringPiece& o = n->v.text.original_text;
            if (!Inside(o.data)) return {kNoRange, kNoRange};
            const std::size_t b = std::size_t(o.data - base);
            return {b, b + o.length};
        }
        if (n->type != GUMBO_NODE_ELEMENT && n->type != GUMBO_NODE_TEMPLATE)
            return {kNoRange, kNoRange};
        const GumboElement& e = n->v.element;
        std::size_t b = kNoRange, end = kNoRange;
        if (ValidStart(e)) {
            b = std::size_t(e.original_tag.data - base);
            end = b + e.original_tag.length;
        }
        for (unsigned i = 0; i < e.children.length; ++i) {
            auto [cb, ce] = Extent(static_cast<const GumboNode*>(e.children.data[i]));
            if (cb == kNoRange) continue;
            if (b == kNoRange || cb < b) b = cb;
            if (end == kNoRange || ce > end) end = ce;
        }
        if (ValidEnd(e)) {
            const std::size_t ee =
                std::size_t(e.original_end_tag.data - base) + e.original_end_tag.length;
            if (end == kNoRange || ee > end) end = ee;
        }
        return {b, end};
    }

    void Attributes(const GumboElement& e) {
        for (unsigned i = 0; i < e.attributes.length; ++i) {
            const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
            if (std::strcmp(a->name, "alt") != 0 && std::strcmp(a->name, "title") != 0) continue;
            const GumboStringPiece& v = a->original_value;
            if (!Inside(v.data) || v.length < 2 || (v.data[0] != '"' && v.data[0] != '\''))
                continue;
            Unit u;
            u.begin = std::size_t(v.data - base) + 1;
            u.end = u.begin + v.length - 2;
            u.quote = v.data[0];
            AppendText(u, HtmlUnescape(std::string_view(base + u.begin, u.end - u.begin), &u.refs));
            FinishUnit(doc, std::move(u));
        }
    }

    // Adds the inline content of `n` to the unit: text, pairs for inline elements with both
    // their tags, a lone placeholder for the rest (a kept element, a tag without its partner).
    // Bytes the tree does not hold (a stray "</x>" the parser dropped) become lone placeholders
    // too, so that nothing of the file is lost; a tree out of the file's order (text a table
    // pushed out of itself) makes the unit unusable.
    void Gap(Unit& u, std::size_t to) {
        if (to < pos_) {
            broken_ = true;
            return;
        }
        if (to == pos_) return;
        const std::string_view gap(base + pos_, to - pos_);
        if (gap.find_first_not_of(" \t\r\n") == std::string_view::npos) {
            AppendText(u, gap);
        } else {
            Tag t;
            t.openBegin = pos_;
            t.openEnd = to;
            AppendLone(u, t);
        }
        pos_ = to;
    }

    void LoneRange(Unit& u, std::size_t b, std::size_t e) {
        Gap(u, b);
        if (broken_) return;
        Tag t;
        t.openBegin = b;
        t.openEnd = e;
        AppendLone(u, t);
        pos_ = e;
    }

    void Inline(Unit& u, const GumboNode* n, std::vector<const GumboElement*>& attrs) {
        const auto [b, e] = Extent(n);
        if (b == kNoRange || broken_) return;
        if (n->type == GUMBO_NODE_TEXT || n->type == GUMBO_NODE_WHITESPACE) {
            Gap(u, b);
            AppendText(u, HtmlUnescape(std::string_view(base + b, e - b), &u.refs));
            pos_ = e;
            return;
        }
        if (n->type != GUMBO_NODE_ELEMENT) { // a comment, CDATA
            LoneRange(u, b, e);
            return;
        }
        const GumboElement& el = n->v.element;
        attrs.push_back(&el);
        if (IsKept(el.tag) || IsVoid(el.tag)) {
            LoneRange(u, b, e);
            for (unsigned i = 0; i < el.children.length; ++i)
                CollectAttrs(static_cast<const GumboNode*>(el.children.data[i]), attrs);
            return;
        }
        // A reopened element carries the start tag of the one it continues: already passed.
        const bool start = ValidStart(el) && std::size_t(el.original_tag.data - base) >= pos_;
        const bool end = ValidEnd(el) && std::size_t(el.original_end_tag.data - base) >= pos_;
        std::size_t number = 0;
        if (start && end) {
            Gap(u, std::size_t(el.original_tag.data - base));
            Tag t;
            t.openBegin = std::size_t(el.original_tag.data - base);
            t.openEnd = t.openBegin + el.original_tag.length;
            t.closeBegin = std::size_t(el.original_end_tag.data - base);
            t.closeEnd = t.closeBegin + el.original_end_tag.length;
            number = AppendOpen(u, t);
            pos_ = t.openEnd;
        } else if (start) {
            LoneRange(u, std::size_t(el.original_tag.data - base),
                      std::size_t(el.original_tag.data - base) + el.original_tag.length);
        }
        for (unsigned i = 0; i < el.children.length; ++i)
            Inline(u, static_cast<const GumboNode*>(el.children.data[i]), attrs);
        if (end) {
            const std::size_t cb = std::size_t(el.original_end_tag.data - base);
            Gap(u, cb);
            if (number)
                AppendClose(u, number);
            else
                LoneRange(u, cb, cb + el.original_end_tag.length);
            pos_ = cb + el.original_end_tag.length;
        }
    }

    void CollectAttrs(const GumboNode* n, std::vector<const GumboElement*>& attrs) {
        if (n->type != GUMBO_NODE_ELEMENT) return;
        attrs.push_back(&n->v.element);
        for (unsigned i = 0; i < n->v.element.children.length; ++i)
            CollectAttrs(static_cast<const GumboNode*>(n->v.element.children.data[i]), attrs);
    }

    bool IsInlineNode(const GumboNode* n) const {
        if (n->type == GUMBO_NODE_TEXT || n->type == GUMBO_NODE_WHITESPACE || n->type == GUMBO_NODE_CDATA)
            return true;
        if (n->type == GUMBO_NODE_COMMENT) return true;
        return n->type == GUMBO_NODE_ELEMENT && IsInline(n->v.element.tag);
    }

    void Run(const std::vector<const GumboNode*>& run) {
        // Markup and white space at either end stay outside the unit.
        std::size_t first = 0, last = run.size();
        auto isText = [](const GumboNode* n) {
            return n->type == GUMBO_NODE_TEXT ||
                   (n->type == GUMBO_NODE_ELEMENT && !IsVoid(n->v.element.tag));
        };
        while (first < last && !isText(run[first])) ++first;
        while (last > first && !isText(run[last - 1])) --last;
        std::vector<const GumboElement*> attrs;
        for (std::size_t i = 0; i < first; ++i) CollectAttrs(run[i], attrs);
        for (std::size_t i = last; i < run.size(); ++i) CollectAttrs(run[i], attrs);
        if (first < last) {
            std::size_t b = Extent(run[first]).first, e = Extent(run[last - 1]).second;
            if (b != kNoRange && e != kNoRange && b < e) {
                // Trim the white space at the ends off the range.
                while (b < e && std::strchr(" \t\r\n", base[b])) ++b;
                while (e > b && std::strchr(" \t\r\n", base[e - 1])) --e;
                Unit u;
                u.begin = b;
                u.end = e;
                pos_ = b;
                broken_ = false;
                for (std::size_t i = first; i < last; ++i) Inline(u, run[i], attrs);
                Gap(u, e);
                if (pos_ > e) broken_ = true;
                if (!broken_) FinishUnit(doc, std::move(u));
            }
        }
        for (const GumboElement* el : attrs) Attributes(*el);
    }

    void Block(const GumboNode* n) {
        if (n->type != GUMBO_NODE_ELEMENT && n->type != GUMBO_NODE_DOCUMENT &&
            n->type != GUMBO_NODE_TEMPLATE)
            return;
        const GumboVector& children =
            n->type == GUMBO_NODE_DOCUMENT ? n->v.document.children : n->v.element.children;
        if (n->type == GUMBO_NODE_ELEMENT) {
            if (IsKept(n->v.element.tag)) return;
            Attributes(n->v.element);
            const auto [b, e] = Extent(n);
            if (b != kNoRange && b - reported >= (1u << 20)) Report(progress, reported = b, size);
        }
        std::vector<const GumboNode*> run;
        for (unsigned i = 0; i < children.length; ++i) {
            const auto* c = static_cast<const GumboNode*>(children.data[i]);
            if (IsInlineNode(c)) {
                run.push_back(c);
                continue;
            }
            Run(run);
            run.clear();
            Block(c);
        }
        Run(run);
    }
};

// A named reference's characters as the HTML parser reads it ("&mdash;" -> "—"), empty when
// it names none. Asked of gumbo, which knows all of HTML's names, once per name and thread.
std::string NamedReference(const std::string& ref) {
    thread_local std::map<std::string, std::string> cache;
    if (auto it = cache.find(ref); it != cache.end()) return it->second;
    std::string value;
    GumboOutput* out = gumbo_parse_with_options(&kGumboDefaultOptions, ref.data(), ref.size());
    if (out) {
        // document > html > (head, body) > text
        std::vector<const GumboNode*> stack{out->root};
        while (!stack.empty() && value.empty()) {
            const GumboNode* n = stack.back();
            stack.pop_back();
            if (n->type == GUMBO_NODE_TEXT) {
                value = n->v.text.text;
            } else if (n->type == GUMBO_NODE_ELEMENT) {
                for (unsigned i = n->v.element.children.length; i-- > 0;)
                    stack.push_back(static_cast<const GumboNode*>(n->v.element.children.data[i]));
            }
        }
        gumbo_destroy_output(&kGumboDefaultOptions, out);
    }
    // "&notit;" is read as "&not" and "it;": no name of its own.
    if (value == ref || value.find(';') != std::string::npos) value.clear();
    if (cache.size() < 4096) cache[ref] = value;
    return value;
}

// The charset a page declares in its first 1024 bytes, as browsers look for it:
// <meta charset="gbk"> or <meta http-equiv="Content-Type" content="text/html; charset=gb2312">.
std::string DeclaredCharset(std::string_view html) {
    std::string head(html.substr(0, 1024));
    for (char& c : head) c = char(std::tolower(static_cast<unsigned char>(c)));
    for (std::size_t meta = head.find("<meta"); meta != std::string::npos;
         meta = head.find("<meta", meta + 5)) {
        const std::size_t close = head.find('>', meta);
        const std::string_view tag = std::string_view(head).substr(meta, close - meta);
        const std::size_t at = tag.find("charset");
        if (at == std::string_view::npos) continue;
        std::size_t k = at + 7;
        while (k < tag.size() && std::strchr(" \t\r\n=\"'", tag[k])) ++k;
        std::size_t e = k;
        while (e < tag.size() &&
               (std::isalnum(static_cast<unsigned char>(tag[e])) || std::strchr("-_.:", tag[e])))
            ++e;
        if (e > k) return std::string(tag.substr(k, e - k));
    }
    return {};
}

// The page as UTF-8 from its byte order mark, else its declared charset, else UTF-8 when its
// bytes are, else windows-1252 (what browsers take a page without a declaration for).
// GB2312 pages are read as GBK, its superset, as browsers do.
std::string DecodeHtml(Document& doc) {
    const std::string_view bytes = doc.original;
    if ((bytes.size() >= 3 && std::memcmp(bytes.data(), "\xEF\xBB\xBF", 3) == 0) ||
        (bytes.size() >= 2 && (std::memcmp(bytes.data(), "\xFF\xFE", 2) == 0 ||
                               std::memcmp(bytes.data(), "\xFE\xFF", 2) == 0)))
        return DecodeText(bytes, doc.encoding);
    if (std::memchr(bytes.data(), 0, bytes.size()))
        throw DocError("不是 HTML 文件（含有二进制数据）");
    std::string charset = DeclaredCharset(bytes);
    if (charset.empty() || IsUtf8Name(charset)) {
        if (IsUtf8Text(bytes)) return std::string(bytes);
        if (!charset.empty()) throw DocError("声明为 UTF-8，却含有不是 UTF-8 的字节");
        charset = "windows-1252";
    }
    if (charset == "gb2312" || charset == "gb_2312-80" || charset == "x-gbk") charset = "gbk";
    if (charset == "iso-8859-1" || charset == "us-ascii" || charset == "latin1")
        charset = "windows-1252";
    doc.encoding = Encoding::Named;
    doc.charset = charset;
    return DecodeCharset(bytes, charset);
}

} // namespace

void ReadHtml(Document& doc, const Progress& progress) {
    if (doc.original.size() >= (std::size_t(1) << 31)) throw DocError("文件太大");
    doc.parts.push_back({{}, DecodeHtml(doc)});
    const std::string& text = doc.parts[0].text;
    GumboOptions options = kGumboDefaultOptions;
    GumboOutput* out = gumbo_parse_with_options(&options, text.data(), text.size());
    if (!out) throw DocError("HTML 解析失败");
    Walker w{doc, text.data(), text.size(), progress};
    try {
        w.Block(out->document);
    } catch (...) {
        gumbo_destroy_output(&options, out);
        throw;
    }
    gumbo_destroy_output(&options, out);
    // Units in the order of the file: attribute units are met after their element's text.
    std::stable_sort(doc.units.begin(), doc.units.end(),
                     [](const Unit& a, const Unit& b) { return a.begin < b.begin; });
}

} // namespace qb::doc::detail

namespace qb::doc {

std::string HtmlUnescape(std::string_view text, std::vector<std::pair<std::string, std::string>>* refs) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        std::size_t e = i + 1;
        while (e < text.size() && e - i < 40 &&
               (std::isalnum(static_cast<unsigned char>(text[e])) || (e == i + 1 && text[e] == '#')))
            ++e;
        if (e >= text.size() || text[e] != ';' || e == i + 1) {
            out += '&';
            continue;
        }
        const std::string_view ref = text.substr(i, e + 1 - i);
        std::string value = XmlUnescape(ref); // numeric ones and XML's five
        if (value == ref && ref[1] != '#') value = detail::NamedReference(std::string(ref));
        if (value.empty() || value == ref) {
            out.append(ref);
        } else {
            out += value;
            if (refs && std::none_of(refs->begin(), refs->end(),
                                     [&](const auto& r) { return r.first == value; }))
                refs->emplace_back(value, std::string(ref));
        }
        i = e;
    }
    return out;
}

} // namespace qb::doc
