// HTML through gumbo, which parses as browsers do (broken nesting included) and keeps each
// node's byte offsets: a unit is a run of text and inline elements inside a block element, and
// its range runs from the run's first byte to its last.
//   "<p>Press <b>OK</b> to go on.</p>" -> "Press {1}OK{/1} to go on." ({1} = "<b>", {/1} = "</b>")
// The head's <title> is a unit; alt and title attributes are units of their own. <script>,
// <style> and <template> are never shown; <pre>, <code>, <kbd>, <samp>, <textarea>, <svg>,
// <math> are kept as they are, and said so in Document::skipped, as is a run with nothing to
// translate ("|", "->"). Every other character of visible text lies in exactly one unit.
//
// Every walk over the tree keeps its own stack: 2,000 nested <span>s are as safe as two.
#include "Filter.h"

#include <gumbo.h>

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <map>
#include <set>
#include <unordered_map>
#include <vector>

namespace qb::doc::detail {

namespace {

// Pages nested deeper than this are refused before parsing: gumbo looks through the whole stack
// of open elements for many tags, so 40,000 nested <div>s cost it minutes.
constexpr std::size_t kMaxDepth = 2000;

// Phrasing content: elements that sit inside a line of text.
bool IsInline(GumboTag t) {
    switch (t) {
    case GUMBO_TAG_A:
    case GUMBO_TAG_ABBR:
    case GUMBO_TAG_ACRONYM:
    case GUMBO_TAG_AUDIO:
    case GUMBO_TAG_B:
    case GUMBO_TAG_BDI:
    case GUMBO_TAG_BDO:
    case GUMBO_TAG_BIG:
    case GUMBO_TAG_BLINK:
    case GUMBO_TAG_BR:
    case GUMBO_TAG_BUTTON:
    case GUMBO_TAG_CANVAS:
    case GUMBO_TAG_CITE:
    case GUMBO_TAG_CODE:
    case GUMBO_TAG_DATA:
    case GUMBO_TAG_DEL:
    case GUMBO_TAG_DFN:
    case GUMBO_TAG_EM:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_FONT:
    case GUMBO_TAG_I:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_INS:
    case GUMBO_TAG_KBD:
    case GUMBO_TAG_LABEL:
    case GUMBO_TAG_MAP:
    case GUMBO_TAG_AREA:
    case GUMBO_TAG_MARK:
    case GUMBO_TAG_MATH:
    case GUMBO_TAG_METER:
    case GUMBO_TAG_NOBR:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_OUTPUT:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_PROGRESS:
    case GUMBO_TAG_Q:
    case GUMBO_TAG_RB:
    case GUMBO_TAG_RP:
    case GUMBO_TAG_RT:
    case GUMBO_TAG_RTC:
    case GUMBO_TAG_RUBY:
    case GUMBO_TAG_S:
    case GUMBO_TAG_SAMP:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_SMALL:
    case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_SPAN:
    case GUMBO_TAG_STRIKE:
    case GUMBO_TAG_STRONG:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_SUB:
    case GUMBO_TAG_SUP:
    case GUMBO_TAG_SVG:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_TIME:
    case GUMBO_TAG_TRACK:
    case GUMBO_TAG_TT:
    case GUMBO_TAG_U:
    case GUMBO_TAG_UNKNOWN: // a custom element, which browsers show inline
    case GUMBO_TAG_VAR:
    case GUMBO_TAG_VIDEO:
    case GUMBO_TAG_WBR: return true;
    default: return false;
    }
}

// Elements whose content is never translated; inside a unit they are one lone placeholder.
bool IsKept(GumboTag t) {
    switch (t) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_LISTING:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_PLAINTEXT:
    case GUMBO_TAG_CODE:
    case GUMBO_TAG_KBD:
    case GUMBO_TAG_SAMP:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_SVG:
    case GUMBO_TAG_MATH:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES: return true;
    default: return false;
    }
}

// Why a kept element's text is not offered; empty for one that is never shown.
const char* WhyKept(GumboTag t) {
    switch (t) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_TEMPLATE: return "";
    case GUMBO_TAG_TEXTAREA: return "输入框里的文字，保持原样";
    case GUMBO_TAG_SVG:
    case GUMBO_TAG_MATH: return "图形或公式，保持原样";
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES: return "浏览器不显示的后备内容，保持原样";
    default: return "代码，保持原样";
    }
}

bool IsVoid(GumboTag t) {
    switch (t) {
    case GUMBO_TAG_AREA:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_BASEFONT:
    case GUMBO_TAG_BGSOUND:
    case GUMBO_TAG_BR:
    case GUMBO_TAG_COL:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_IMAGE:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_ISINDEX:
    case GUMBO_TAG_KEYGEN:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_MENUITEM:
    case GUMBO_TAG_META:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_TRACK:
    case GUMBO_TAG_WBR: return true;
    default: return false;
    }
}

// Text that is read as it stands, tags and all: "<title>a <b> c</title>" is titled "a <b> c".
bool IsRawText(GumboTag t) {
    switch (t) {
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_PLAINTEXT: return true;
    default: return false;
    }
}

bool IsSpaceByte(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

// ---- depth before parsing ----

// How deep the page nests, by a cheap pass over its tags that follows the parser's rules where
// they close elements without an end tag (a <p> closes the open <p>, a <td> the open cell,
// "</p>" every element opened inside the paragraph), so that the sloppy "<p><font>x</p>"
// written 5,000 times counts 2 deep, not 10,000. DocError past kMaxDepth.
class DepthScan {
public:
    explicit DepthScan(std::string_view html) : html_(html), where_(GUMBO_TAG_LAST + 1) {}

    void Run() {
        const std::size_t n = html_.size();
        std::size_t i = 0;
        while (i < n) {
            const char* lt = static_cast<const char*>(std::memchr(html_.data() + i, '<', n - i));
            if (!lt) break;
            i = std::size_t(lt - html_.data());
            if (html_.compare(i, 4, "<!--") == 0) {
                const std::size_t e = html_.find("-->", i + 4);
                i = e == std::string_view::npos ? n : e + 3;
                continue;
            }
            if (i + 1 < n && (html_[i + 1] == '!' || html_[i + 1] == '?')) {
                const std::size_t e = html_.find('>', i);
                i = e == std::string_view::npos ? n : e + 1;
                continue;
            }
            const bool end = i + 1 < n && html_[i + 1] == '/';
            std::size_t k = i + (end ? 2 : 1);
            if (k >= n || !std::isalpha(static_cast<unsigned char>(html_[k]))) {
                ++i;
                continue;
            }
            const std::size_t nameBegin = k;
            while (k < n && !IsSpaceByte(html_[k]) && html_[k] != '/' && html_[k] != '>') ++k;
            const GumboTag tag = gumbo_tagn_enum(html_.data() + nameBegin, unsigned(k - nameBegin));
            // The tag's end, past quoted attribute values.
            char quote = 0;
            while (k < n && (quote || html_[k] != '>')) {
                if (quote && html_[k] == quote)
                    quote = 0;
                else if (!quote && (html_[k] == '"' || html_[k] == '\'') && k > 0 && html_[k - 1] == '=')
                    quote = html_[k];
                ++k;
            }
            const bool selfClosing = k < n && k > 0 && html_[k - 1] == '/';
            i = k < n ? k + 1 : n;
            if (end) {
                EndTag(tag);
                // Gumbo looks down the whole stack for the element an end tag closes: 250,000
                // stray "</x>" under 1,990 <span>s take it seconds.
                if (stray_ > kMaxStraySteps)
                    throw DocError(
                        "第 " + std::to_string(LineOf(html_, nameBegin)) +
                        " 行：深层嵌套中没有对应开始标签的结束标签太多，这样的页面无法安全读取");
                continue;
            }
            StartTag(tag, selfClosing);
            if (stray_ > kMaxStraySteps)
                throw DocError("第 " + std::to_string(LineOf(html_, nameBegin)) +
                               " 行：深层嵌套中的标签太多，这样的页面无法安全读取");
            if (stack_.size() > kMaxDepth)
                throw DocError("第 " + std::to_string(LineOf(html_, nameBegin)) + " 行：元素嵌套超过 " +
                               std::to_string(kMaxDepth) + " 层，这样的页面无法安全读取");
            if (IsRawText(tag) && !selfClosing) i = SkipRawText(tag, i);
        }
    }

private:
    // The text of <script>, <style>, <title>... runs to its own end tag.
    std::size_t SkipRawText(GumboTag tag, std::size_t from) {
        if (tag == GUMBO_TAG_PLAINTEXT) return html_.size();
        const char* name = gumbo_normalized_tagname(tag);
        const std::size_t len = std::strlen(name);
        for (std::size_t at = html_.find("</", from); at != std::string_view::npos;
             at = html_.find("</", at + 2)) {
            if (at + 2 + len > html_.size()) break;
            bool same = true;
            for (std::size_t c = 0; c < len && same; ++c)
                same = std::tolower(static_cast<unsigned char>(html_[at + 2 + c])) == name[c];
            if (same) {
                Pop(); // the element itself: its end tag is met normally next
                return at;
            }
        }
        return html_.size();
    }

    std::ptrdiff_t Top(GumboTag t) const {
        return where_[t].empty() ? -1 : std::ptrdiff_t(where_[t].back());
    }
    std::ptrdiff_t TopOf(std::initializer_list<GumboTag> tags) const {
        std::ptrdiff_t top = -1;
        for (GumboTag t : tags) top = std::max(top, Top(t));
        return top;
    }
    // Open and not hidden behind one of the scope's boundaries.
    bool InScope(GumboTag t, std::initializer_list<GumboTag> extra = {}) const {
        const std::ptrdiff_t at = Top(t);
        if (at < 0) return false;
        std::ptrdiff_t wall =
            TopOf({GUMBO_TAG_APPLET, GUMBO_TAG_CAPTION, GUMBO_TAG_TABLE, GUMBO_TAG_TD, GUMBO_TAG_TH,
                   GUMBO_TAG_MARQUEE, GUMBO_TAG_OBJECT, GUMBO_TAG_TEMPLATE});
        wall = std::max(wall, TopOf(extra));
        return at > wall;
    }
    void Push(GumboTag t) {
        where_[t].push_back(stack_.size());
        stack_.push_back(t);
    }
    void Pop() {
        if (stack_.empty()) return;
        where_[stack_.back()].pop_back();
        stack_.pop_back();
    }
    void PopThrough(GumboTag t) {
        if (Top(t) < 0) return;
        while (!stack_.empty() && stack_.back() != t) Pop();
        Pop();
    }
    bool Foreign() const { return Top(GUMBO_TAG_SVG) >= 0 || Top(GUMBO_TAG_MATH) >= 0; }

    void StartTag(GumboTag t, bool selfClosing) {
        if (Foreign() && t != GUMBO_TAG_SVG && t != GUMBO_TAG_MATH) {
            if (!selfClosing) Push(t);
            return;
        }
        if (t == GUMBO_TAG_HTML || t == GUMBO_TAG_HEAD || t == GUMBO_TAG_BODY) return;
        if (selfClosing && (t == GUMBO_TAG_SVG || t == GUMBO_TAG_MATH)) return;
        switch (t) {
        case GUMBO_TAG_LI:
            if (InScope(GUMBO_TAG_LI, {GUMBO_TAG_OL, GUMBO_TAG_UL})) PopThrough(GUMBO_TAG_LI);
            break;
        case GUMBO_TAG_DD:
        case GUMBO_TAG_DT:
            if (InScope(GUMBO_TAG_DD)) PopThrough(GUMBO_TAG_DD);
            if (InScope(GUMBO_TAG_DT)) PopThrough(GUMBO_TAG_DT);
            break;
        case GUMBO_TAG_OPTION:
        case GUMBO_TAG_OPTGROUP:
            if (!stack_.empty() && stack_.back() == GUMBO_TAG_OPTION) Pop();
            if (t == GUMBO_TAG_OPTGROUP && !stack_.empty() && stack_.back() == GUMBO_TAG_OPTGROUP)
                Pop();
            break;
        case GUMBO_TAG_TR:
            if (Top(GUMBO_TAG_TR) > Top(GUMBO_TAG_TABLE)) PopThrough(GUMBO_TAG_TR);
            break;
        case GUMBO_TAG_TD:
        case GUMBO_TAG_TH:
            if (Top(GUMBO_TAG_TD) > Top(GUMBO_TAG_TABLE)) PopThrough(GUMBO_TAG_TD);
            if (Top(GUMBO_TAG_TH) > Top(GUMBO_TAG_TABLE)) PopThrough(GUMBO_TAG_TH);
            break;
        case GUMBO_TAG_TBODY:
        case GUMBO_TAG_THEAD:
        case GUMBO_TAG_TFOOT:
            for (GumboTag s : {GUMBO_TAG_TBODY, GUMBO_TAG_THEAD, GUMBO_TAG_TFOOT})
                if (Top(s) > Top(GUMBO_TAG_TABLE)) PopThrough(s);
            break;
        case GUMBO_TAG_A:
        case GUMBO_TAG_NOBR:
            if (InScope(t)) PopThrough(t);
            break;
        default: break;
        }
        if (!IsInline(t)) {
            // Gumbo looks down the stack for a paragraph (or list item) to close, as far as a
            // wall: under 1,990 <span>s, 200,000 <li>s cost it a second.
            if (Top(GUMBO_TAG_P) < 0) stray_ += stack_.size();
            if (t != GUMBO_TAG_LI && t != GUMBO_TAG_DD && t != GUMBO_TAG_DT &&
                InScope(GUMBO_TAG_P, {GUMBO_TAG_BUTTON}))
                PopThrough(GUMBO_TAG_P); // a block start closes the paragraph
        }
        if (IsVoid(t)) return;
        Push(t);
    }

    void EndTag(GumboTag t) {
        if (t == GUMBO_TAG_HTML || t == GUMBO_TAG_HEAD || t == GUMBO_TAG_BODY) return;
        if (t == GUMBO_TAG_UNKNOWN) { // any other element: the nearest unknown one
            if (!stack_.empty() && stack_.back() == GUMBO_TAG_UNKNOWN)
                Pop();
            else
                stray_ += stack_.size();
            return;
        }
        if (Top(t) < 0) stray_ += stack_.size();
        PopThrough(t);
    }

    // About a second of gumbo's looking through the stack for tags that close nothing.
    static constexpr std::size_t kMaxStraySteps = 100'000'000;
    std::size_t stray_ = 0;

    std::string_view html_;
    std::vector<GumboTag> stack_;
    std::vector<std::vector<std::size_t>> where_; // per tag, its places in stack_
};

// ---- memory while parsing ----

// Gumbo's allocations, counted against a budget: "<p><font color=N>x</p>" for 3,000 colours
// (75 KB) makes it clone every font still open into every paragraph, 1.7 GB. Past the budget
// the parse is abandoned by a jump out of the allocator (gumbo is C: nothing of it is left
// half-destroyed on the way) and every block is freed here.
struct Budget {
    struct Block { // 16 bytes ahead of each of gumbo's blocks, which keeps them aligned
        Block* prev;
        Block* next;
    };
    Block head{&head, &head};
    std::size_t used = 0, limit = 0;
    std::jmp_buf jump;

    Budget() = default;
    Budget(const Budget&) = delete;
    Budget& operator=(const Budget&) = delete;
    ~Budget() {
        for (Block* b = head.next; b != &head;) {
            Block* next = b->next;
            std::free(b);
            b = next;
        }
    }

    // What a block costs: what malloc gave, with its own word of bookkeeping.
    static std::size_t Cost(Block* b) { return malloc_usable_size(b) + sizeof(std::size_t); }

    static void* Allocate(void* self, std::size_t size) {
        auto* bud = static_cast<Budget*>(self);
        if (bud->used + size + sizeof(Block) > bud->limit) std::longjmp(bud->jump, 1);
        auto* b = static_cast<Block*>(std::malloc(sizeof(Block) + size));
        if (!b) std::longjmp(bud->jump, 1);
        b->prev = &bud->head;
        b->next = bud->head.next;
        bud->head.next->prev = b;
        bud->head.next = b;
        bud->used += Cost(b);
        return b + 1;
    }
    static void Free(void* self, void* p) {
        if (!p) return;
        auto* bud = static_cast<Budget*>(self);
        Block* b = static_cast<Block*>(p) - 1;
        b->prev->next = b->next;
        b->next->prev = b->prev;
        bud->used -= Cost(b);
        std::free(b);
    }
};

// The page's tree, or null when gumbo went past the budget. The output lives in the budget's
// blocks and goes with it.
GumboOutput* ParseWithin(Budget& budget, const char* data, std::size_t size) {
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = &Budget::Allocate;
    options.deallocator = &Budget::Free;
    options.userdata = &budget;
    options.max_errors = 0; // each error copies the stack of open elements: tables 10,000 deep, 3 GB
    if (setjmp(budget.jump) != 0) return nullptr;
    return gumbo_parse_with_options(&options, data, size);
}

// ---- the walk ----

const GumboVector* Children(const GumboNode* n) {
    if (n->type == GUMBO_NODE_DOCUMENT) return &n->v.document.children;
    if (n->type == GUMBO_NODE_ELEMENT || n->type == GUMBO_NODE_TEMPLATE)
        return &n->v.element.children;
    return nullptr;
}
const GumboNode* Child(const GumboVector& v, std::size_t i) {
    return static_cast<const GumboNode*>(v.data[i]);
}
bool IsElement(const GumboNode* n) {
    return n->type == GUMBO_NODE_ELEMENT || n->type == GUMBO_NODE_TEMPLATE;
}
bool IsTextNode(const GumboNode* n) {
    return n->type == GUMBO_NODE_TEXT || n->type == GUMBO_NODE_WHITESPACE ||
           n->type == GUMBO_NODE_CDATA;
}

// What a walk needs to know of a node, worked out once, children before parents.
struct NodeInfo {
    std::size_t begin = kNoRange, end = kNoRange; // bytes the node covers; kNoRange if made up
    bool block = false; // holds an element that breaks a line (a <div> in an <a>)
    bool text = false;  // holds text other than white space
};

// The length of the white space beyond ASCII at the start of `s` (U+00A0, U+2000-U+200B,
// U+202F, U+205F, U+3000, U+FEFF), 0 for anything else.
std::size_t WideSpace(std::string_view s) {
    if (s.substr(0, 2) == "\xC2\xA0") return 2;
    if (s.size() >= 3 && s.substr(0, 2) == "\xE2\x80") {
        const unsigned char d = static_cast<unsigned char>(s[2]);
        return d <= 0x8B || d == 0xAF ? 3 : 0;
    }
    const std::string_view three = s.substr(0, 3);
    return three == "\xE2\x81\x9F" || three == "\xE3\x80\x80" || three == "\xEF\xBB\xBF" ? 3 : 0;
}

// Whether a unit's line, outside its placeholders, holds something to translate (a letter, a
// digit, a character beyond ASCII other than a space: U+00A0 alone, the "&nbsp;" of an empty
// table cell, is not) or, with `any`, anything visible at all (a "|"). Only "{n}" and "{/n}"
// are placeholders: the type line "<li>{integer|undefined}</li>" of a reference page is text.
bool Holds(std::string_view text, bool any) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t n = 0;
        bool closing = false;
        if (const std::size_t len = TagRef(text, i, n, closing)) {
            i += len - 1;
            continue;
        }
        if (c < 0x80) {
            if (std::isalnum(c) || (any && !IsSpaceByte(char(c)))) return true;
            continue;
        }
        const std::size_t space = WideSpace(text.substr(i));
        if (!space) return true;
        i += space - 1;
    }
    return false;
}
bool HasContent(std::string_view text) { return Holds(text, false); }
bool HasVisible(std::string_view text) { return Holds(text, true); }

class Walker {
public:
    Walker(Document& doc, std::vector<MarkupUnit>& extras, const std::string& text,
           const Progress& progress)
        : doc_(doc), extras_(extras), base_(text.data()), size_(text.size()), progress_(progress) {}

    void Walk(const GumboNode* root) {
        Measure(root);
        Blocks(root);
        AllAttributes(root);
        std::sort(doc_.skipped.begin(), doc_.skipped.end(),
                  [](const Skipped& a, const Skipped& b) { return a.begin < b.begin; });
    }

private:
    bool Inside(const char* p) const { return p && p >= base_ && p <= base_ + size_; }

    // Gumbo gives a made-up element (a <i> reopened after "<b><i>x</b>") the tag that made it,
    // or none: only a tag in the file that names the element itself counts as its tag.
    static bool Names(const GumboElement& e, std::string_view tag, bool end) {
        const std::size_t skip = end ? 2 : 1;
        if (tag.size() <= skip || tag[0] != '<' || (end != (tag[1] == '/'))) return false;
        std::size_t n = skip;
        while (n < tag.size() && !std::strchr(" \t\r\n\f/>", tag[n])) ++n;
        const GumboTag named = gumbo_tagn_enum(tag.data() + skip, unsigned(n - skip));
        return named == e.tag && (e.tag != GUMBO_TAG_UNKNOWN || !end);
    }
    // A clone (the <i> reopened in "<b><i>x</b> y</i>") carries the start tag of the element it
    // continues, which belongs to that one.
    bool ValidStart(const GumboNode* n) const {
        const GumboElement& e = n->v.element;
        if (n->parse_flags & (GUMBO_INSERTION_RECONSTRUCTED_FORMATTING_ELEMENT |
                              GUMBO_INSERTION_ADOPTION_AGENCY_CLONED))
            return false;
        return e.original_tag.length && Inside(e.original_tag.data) &&
               Names(e, std::string_view(e.original_tag.data, e.original_tag.length), false);
    }
    bool ValidEnd(const GumboNode* n) const {
        const GumboElement& e = n->v.element;
        return e.original_end_tag.length && Inside(e.original_end_tag.data) &&
               Names(e, std::string_view(e.original_end_tag.data, e.original_end_tag.length), true) &&
               (!ValidStart(n) ||
                e.original_end_tag.data >= e.original_tag.data + e.original_tag.length);
    }
    std::size_t StartOf(const GumboNode* n) const {
        return std::size_t(n->v.element.original_tag.data - base_);
    }
    std::size_t EndTagOf(const GumboNode* n) const {
        return std::size_t(n->v.element.original_end_tag.data - base_);
    }

    // Text and comments are worked out when asked; elements once, in Measure (a page of short
    // paragraphs has as many text nodes as elements, and the map is most of the walk's memory).
    NodeInfo Info(const GumboNode* n) const {
        if (IsElement(n) || n->type == GUMBO_NODE_DOCUMENT) return info_.at(n);
        NodeInfo in;
        const GumboStringPiece& o = n->v.text.original_text;
        if (Inside(o.data) && Inside(o.data + o.length)) {
            in.begin = std::size_t(o.data - base_);
            in.end = in.begin + o.length;
        }
        in.text = n->type == GUMBO_NODE_TEXT || n->type == GUMBO_NODE_CDATA;
        return in;
    }

    // Extents and flags of every node, children first.
    void Measure(const GumboNode* root) {
        std::vector<std::pair<const GumboNode*, std::size_t>> stack{{root, 0}};
        while (!stack.empty()) {
            const GumboNode* n = stack.back().first;
            const GumboVector* ch = Children(n);
            if (ch && stack.back().second < ch->length) {
                const GumboNode* c = Child(*ch, stack.back().second++);
                if (IsElement(c)) stack.push_back({c, 0});
                continue;
            }
            NodeInfo in;
            if (IsElement(n)) {
                const GumboTag tag = n->v.element.tag;
                if (ValidStart(n)) {
                    in.begin = StartOf(n);
                    in.end = in.begin + n->v.element.original_tag.length;
                }
                for (unsigned i = 0; i < ch->length; ++i) {
                    const GumboNode* cn = Child(*ch, i);
                    const NodeInfo c = Info(cn);
                    if (c.begin != kNoRange && (in.begin == kNoRange || c.begin < in.begin))
                        in.begin = c.begin;
                    if (c.end != kNoRange && (in.end == kNoRange || c.end > in.end)) in.end = c.end;
                    in.text = in.text || c.text;
                    if (!IsKept(tag) && IsElement(cn) &&
                        (!IsInline(cn->v.element.tag) || (!IsKept(cn->v.element.tag) && c.block)))
                        in.block = true;
                }
                if (ValidEnd(n)) {
                    const std::size_t ee = EndTagOf(n) + n->v.element.original_end_tag.length;
                    if (in.end == kNoRange || ee > in.end) in.end = ee;
                    if (in.begin == kNoRange) in.begin = EndTagOf(n);
                }
            }
            info_[n] = in;
            stack.pop_back();
        }
    }

    bool IsInlineNode(const GumboNode* n) const {
        if (!IsElement(n)) return n->type != GUMBO_NODE_DOCUMENT;
        const GumboTag t = n->v.element.tag;
        if (n->type == GUMBO_NODE_TEMPLATE) return true;
        return IsInline(t) && (IsKept(t) || !Info(n).block);
    }

    // Block containers, in the order of the file: their runs of inline children become units,
    // their other children are containers in turn.
    void Blocks(const GumboNode* root) {
        struct Frame {
            const GumboNode* node;
            std::size_t next = 0, runFrom = 0;
        };
        std::vector<Frame> frames{{root}};
        while (!frames.empty()) {
            const std::size_t f = frames.size() - 1;
            const GumboVector& ch = *Children(frames[f].node);
            const std::size_t i = frames[f].next;
            if (i < ch.length && IsInlineNode(Child(ch, i))) {
                ++frames[f].next;
                continue;
            }
            if (frames[f].runFrom < i) {
                // Pieces of a run that could not be one unit come back as containers of their
                // own; they go first.
                std::vector<const GumboNode*> split;
                Run(ch, frames[f].runFrom, i, split);
                frames[f].runFrom = i;
                for (std::size_t k = split.size(); k-- > 0;) frames.push_back({split[k]});
                if (!split.empty()) continue;
            }
            if (i >= ch.length) {
                frames.pop_back();
                continue;
            }
            frames[f].next = frames[f].runFrom = i + 1;
            const GumboNode* c = Child(ch, i);
            if (!IsElement(c)) continue;
            const NodeInfo in = Info(c);
            if (in.begin != kNoRange && in.begin - reported_ >= (1u << 20))
                Report(progress_, reported_ = in.begin, size_);
            if (IsKept(c->v.element.tag)) {
                Skip(c);
                continue;
            }
            frames.push_back({c});
        }
    }

    // A kept element met outside any unit.
    void Skip(const GumboNode* n) {
        const NodeInfo in = Info(n);
        const char* why = WhyKept(n->v.element.tag);
        if (*why && in.text && in.begin != kNoRange && Claim(in.begin, in.end))
            doc_.skipped.push_back({0, in.begin, in.end, why});
    }

    // The bytes [b, e) for one unit or skipped piece, unless another holds some of them.
    bool Claim(std::size_t b, std::size_t e) {
        auto next = claimed_.lower_bound(b);
        if (next != claimed_.end() && next->first < e) return false;
        if (next != claimed_.begin() && std::prev(next)->second > b) return false;
        claimed_.emplace(b, e);
        return true;
    }

    // A run of inline nodes ch[from, to) as one unit; when that cannot be (the parser moved
    // text out of its place), each node alone, and elements as containers, in `split`.
    void Run(const GumboVector& ch, std::size_t from, std::size_t to,
             std::vector<const GumboNode*>& split) {
        // Markup and white space at either end stay outside the unit, empty elements too (the
        // index anchors "<a id=x></a>" that end a paragraph of a texinfo manual).
        auto isText = [&](const GumboNode* n) {
            if (n->type == GUMBO_NODE_TEXT || n->type == GUMBO_NODE_CDATA) return true;
            return IsElement(n) && !IsVoid(n->v.element.tag) && Info(n).begin != kNoRange &&
                   Info(n).text;
        };
        while (from < to && !isText(Child(ch, from))) ++from;
        while (to > from && !isText(Child(ch, to - 1))) --to;
        if (from >= to) return;
        if (Unit u; Build(ch, from, to, u)) return Offer(std::move(u));
        for (std::size_t i = from; i < to; ++i) {
            const GumboNode* n = Child(ch, i);
            if (IsElement(n) && !IsKept(n->v.element.tag) && !IsVoid(n->v.element.tag)) {
                split.push_back(n);
            } else if (Unit u; Build(ch, i, i + 1, u)) {
                Offer(std::move(u));
            } else if (Info(n).text) {
                doc_.skipped.push_back({0, Info(n).begin, Info(n).end, "页面结构混乱，无法安全写回"});
            }
        }
    }

    // The unit, or a note of what it skipped when it has nothing to translate.
    void Offer(Unit&& u) {
        const std::size_t b = u.begin, e = u.end;
        if (HasContent(u.text)) {
            Unwrap(u);
            if (FinishUnit(doc_, std::move(u))) extras_.push_back({std::move(refs_), 0});
            return;
        }
        if (keptText_ || HasVisible(u.text))
            doc_.skipped.push_back(
                {0, b, e, keptText_ ? "代码等保持原样的内容" : "只有标点或符号，没有要翻译的文字"});
    }

    // A pair around the whole unit stays outside it: the table of contents' "<li><a href=x>
    // Overview</a></li>" is the unit "Overview", not "{1}Overview{/1}". Pairs nest in the order
    // they open, so a {1} at the start closed by the {/1} at the end holds everything.
    void Unwrap(Unit& u) const {
        for (;;) {
            std::size_t lead = 0, trail = u.text.size();
            while (lead < trail && u.text[lead] == ' ') ++lead;
            while (trail > lead && u.text[trail - 1] == ' ') --trail;
            const std::string_view t = std::string_view(u.text).substr(lead, trail - lead);
            if (u.tags.empty() || !u.tags[0].paired || u.tags[0].openEnd == kNoRange ||
                u.tags[0].closeBegin == kNoRange || !t.starts_with("{1}") || !t.ends_with("{/1}"))
                return;
            std::size_t b = u.tags[0].openEnd, e = u.tags[0].closeBegin;
            while (b < e && IsSpaceByte(base_[b])) ++b;
            while (e > b && IsSpaceByte(base_[e - 1])) --e;
            // Every other placeholder's number one less.
            std::string text;
            const std::string_view inner = t.substr(3, t.size() - 7);
            for (std::size_t i = 0; i < inner.size(); ++i) {
                if (inner[i] == '{') {
                    std::size_t j = i + 1;
                    const bool close = j < inner.size() && inner[j] == '/';
                    if (close) ++j;
                    std::size_t n = 0, k = j;
                    while (k < inner.size() && std::isdigit(static_cast<unsigned char>(inner[k])))
                        n = n * 10 + std::size_t(inner[k++] - '0');
                    if (k > j && k < inner.size() && inner[k] == '}' && n >= 2) {
                        text += (close ? "{/" : "{") + std::to_string(n - 1) + "}";
                        i = k;
                        continue;
                    }
                }
                text += inner[i];
            }
            u.text = std::move(text);
            u.tags.erase(u.tags.begin());
            u.begin = b;
            u.end = e;
        }
    }

    void Gap(Unit& u, std::size_t to) {
        if (to < pos_) {
            broken_ = true;
            return;
        }
        if (to == pos_) return;
        const std::string_view gap(base_ + pos_, to - pos_);
        if (gap.find_first_not_of(" \t\r\n\f") == std::string_view::npos) {
            AppendText(u, gap);
        } else {
            // Bytes the tree does not hold (a stray "</x>" the parser dropped) are markup; text
            // there belongs to a node the parser moved elsewhere, which is not this unit's.
            if (HasVisibleText(gap)) broken_ = true;
            Tag t;
            t.openBegin = pos_;
            t.openEnd = to;
            AppendLone(u, t);
        }
        pos_ = to;
    }

    // Text outside tags and comments.
    static bool HasVisibleText(std::string_view s) {
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '<') {
                const std::size_t close =
                    s.compare(i, 4, "<!--") == 0 ? s.find("-->", i) : s.find('>', i);
                if (close == std::string_view::npos) return true;
                i = close + (s[close] == '-' ? 2 : 0);
                continue;
            }
            if (!IsSpaceByte(s[i])) return true;
        }
        return false;
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

    // Text bytes [b, e) of a text node: tags the parser ignored inside them ("a</x>b" is one
    // text node "ab") are lone placeholders.
    void TextBytes(Unit& u, std::size_t b, std::size_t e, bool raw) {
        std::size_t from = b;
        for (std::size_t i = b; !raw && i < e; ++i) {
            if (base_[i] != '<' || i + 1 >= e) continue;
            const char c = base_[i + 1];
            if (!std::isalpha(static_cast<unsigned char>(c)) && c != '/' && c != '!' && c != '?')
                continue;
            std::size_t close;
            if (std::string_view(base_ + i, e - i).substr(0, 4) == "<!--") {
                const std::size_t at = std::string_view(base_, e).find("-->", i + 4);
                close = at == std::string_view::npos ? e : at + 3;
            } else {
                const std::size_t at = std::string_view(base_, e).find('>', i);
                close = at == std::string_view::npos ? e : at + 1;
            }
            AppendText(u, HtmlUnescape(std::string_view(base_ + from, i - from), &refs_));
            Tag t;
            t.openBegin = i;
            t.openEnd = close;
            AppendLone(u, t);
            from = close;
            i = close - 1;
        }
        AppendText(u, HtmlUnescape(std::string_view(base_ + from, e - from), &refs_));
    }

    // ch[from, to) as one unit; false when the tree is out of the file's order there or the
    // bytes are another unit's.
    bool Build(const GumboVector& ch, std::size_t from, std::size_t to, Unit& u) {
        std::size_t b = kNoRange, e = kNoRange;
        for (std::size_t i = from; i < to; ++i) {
            const NodeInfo in = Info(Child(ch, i));
            if (in.begin == kNoRange) continue;
            if (b == kNoRange || in.begin < b) b = in.begin;
            if (e == kNoRange || in.end > e) e = in.end;
        }
        if (b == kNoRange || b >= e) return true; // nothing of the file: nothing to offer
        while (b < e && IsSpaceByte(base_[b])) ++b;
        while (e > b && IsSpaceByte(base_[e - 1])) --e;
        u.begin = b;
        u.end = e;
        pos_ = b;
        broken_ = false;
        keptText_ = false;
        refs_.clear();
        // Nodes to visit, and elements to close (second = true), innermost last.
        struct Step {
            const GumboNode* node;
            bool close;
            std::size_t number;
        };
        std::vector<Step> todo;
        for (std::size_t i = to; i-- > from;) todo.push_back({Child(ch, i), false, 0});
        while (!todo.empty() && !broken_) {
            const Step s = todo.back();
            todo.pop_back();
            const GumboNode* n = s.node;
            if (s.close) {
                const std::size_t cb = EndTagOf(n), ce = cb + n->v.element.original_end_tag.length;
                if (cb < pos_ || ce > e) {
                    broken_ = cb < pos_;
                    continue;
                }
                Gap(u, cb);
                if (s.number) {
                    AppendClose(u, s.number);
                    pos_ = ce;
                } else {
                    LoneRange(u, cb, ce);
                }
                continue;
            }
            const NodeInfo in = Info(n);
            if (in.begin == kNoRange) continue;
            if (IsTextNode(n)) {
                const std::size_t tb = std::max(in.begin, b), te = std::min(in.end, e);
                if (tb >= te) continue;
                if (tb < pos_) {
                    broken_ = true;
                    break;
                }
                Gap(u, tb);
                const bool raw =
                    n->parent && IsElement(n->parent) && IsRawText(n->parent->v.element.tag);
                TextBytes(u, tb, te, raw);
                pos_ = te;
                continue;
            }
            if (!IsElement(n)) { // a comment
                LoneRange(u, in.begin, in.end);
                continue;
            }
            const GumboTag tag = n->v.element.tag;
            if (IsKept(tag) || IsVoid(tag)) {
                keptText_ = keptText_ || (in.text && *WhyKept(tag));
                LoneRange(u, in.begin, in.end);
                continue;
            }
            const bool start = ValidStart(n) && StartOf(n) >= pos_;
            const bool end = ValidEnd(n) && EndTagOf(n) >= pos_;
            std::size_t number = 0;
            if (start) {
                const std::size_t sb = StartOf(n), se = sb + n->v.element.original_tag.length;
                if (end) {
                    Gap(u, sb);
                    Tag t;
                    t.openBegin = sb;
                    t.openEnd = se;
                    t.closeBegin = EndTagOf(n);
                    t.closeEnd = t.closeBegin + n->v.element.original_end_tag.length;
                    number = AppendOpen(u, t);
                    pos_ = se;
                } else {
                    LoneRange(u, sb, se);
                }
            }
            if (end) todo.push_back({n, true, number});
            const GumboVector& kids = n->v.element.children;
            for (std::size_t k = kids.length; k-- > 0;) todo.push_back({Child(kids, k), false, 0});
        }
        if (!broken_) Gap(u, e);
        if (broken_ || pos_ > e) return false;
        if (u.tags.empty() && u.text.empty()) return true;
        return Claim(b, e);
    }

    // alt and title of every element, as units of their own (not inside scripts and styles).
    void AllAttributes(const GumboNode* root) {
        std::vector<const GumboNode*> stack{root};
        while (!stack.empty()) {
            const GumboNode* n = stack.back();
            stack.pop_back();
            if (IsElement(n)) {
                const GumboTag t = n->v.element.tag;
                if (t == GUMBO_TAG_SCRIPT || t == GUMBO_TAG_STYLE || t == GUMBO_TAG_TEMPLATE)
                    continue;
                if (!(n->parse_flags & (GUMBO_INSERTION_RECONSTRUCTED_FORMATTING_ELEMENT |
                                        GUMBO_INSERTION_ADOPTION_AGENCY_CLONED)))
                    Attributes(n->v.element);
            }
            if (const GumboVector* ch = Children(n))
                for (std::size_t k = ch->length; k-- > 0;) stack.push_back(Child(*ch, k));
        }
    }

    void Attributes(const GumboElement& e) {
        for (unsigned i = 0; i < e.attributes.length; ++i) {
            const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
            if (std::strcmp(a->name, "alt") != 0 && std::strcmp(a->name, "title") != 0) continue;
            const GumboStringPiece& v = a->original_value;
            if (!Inside(v.data) || v.length < 2 || (v.data[0] != '"' && v.data[0] != '\''))
                continue;
            Unit u;
            u.begin = std::size_t(v.data - base_) + 1;
            u.end = u.begin + v.length - 2;
            if (!attrSeen_.insert(u.begin).second) continue;
            MarkupUnit extra;
            extra.quote = v.data[0];
            AppendText(u, HtmlUnescape(std::string_view(base_ + u.begin, u.end - u.begin), &extra.refs));
            if (HasContent(u.text) && FinishUnit(doc_, std::move(u)))
                extras_.push_back(std::move(extra));
        }
    }

    Document& doc_;
    std::vector<MarkupUnit>& extras_; // by unit
    References refs_;                 // those of the unit in hand
    const char* base_;
    std::size_t size_;
    const Progress& progress_;
    std::size_t reported_ = 0;
    std::unordered_map<const GumboNode*, NodeInfo> info_;
    std::map<std::size_t, std::size_t> claimed_; // begin -> end of units' bytes
    std::set<std::size_t> attrSeen_;
    std::size_t pos_ = 0; // how far the unit in hand has taken the file
    bool broken_ = false;
    bool keptText_ = false; // the unit in hand holds a kept element with text
};

} // namespace

// Asked of gumbo, which knows all of HTML's names, once per name and thread.
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

namespace {

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

void ReadHtmlUnits(Document& doc, std::vector<MarkupUnit>& extras, const Progress& progress) {
    if (doc.original.size() >= (std::size_t(1) << 31)) throw DocError("文件太大");
    doc.parts.push_back({{}, DecodeHtml(doc)});
    const std::string& text = doc.parts[0].text;
    DepthScan(text).Run();
    // What gumbo may take: its tree of a page dense with tags is about 20 times the page
    // (nodejs's 8 MB all.html reads in 190 MB all told).
    Budget budget;
    budget.limit = (std::size_t(56) << 20) + 24 * text.size();
    const GumboOutput* out = ParseWithin(budget, text.data(), text.size());
    if (!out)
        throw DocError("页面结构过于复杂（解析所需内存超过 " + std::to_string(budget.limit >> 20) +
                       " MB），无法读取");
    Walker(doc, extras, text, progress).Walk(out->document);
    // Units in the order of the file: attribute units are met after their element's text.
    std::vector<std::size_t> order(doc.units.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return doc.units[a].begin < doc.units[b].begin;
    });
    std::vector<Unit> units;
    std::vector<MarkupUnit> sorted;
    units.reserve(order.size());
    sorted.reserve(order.size());
    for (std::size_t i : order) {
        units.push_back(std::move(doc.units[i]));
        sorted.push_back(std::move(extras[i]));
    }
    doc.units = std::move(units);
    extras = std::move(sorted);
}

namespace {

struct HtmlState : FormatState {
    std::vector<MarkupUnit> units; // by unit
};

// A unit's text as the page writes it: a character the source wrote as a reference with it
// again ("&nbsp;" stays "&nbsp;"), and an attribute's quote escaped.
class HtmlWriter : public UnitWriter {
public:
    explicit HtmlWriter(const HtmlState& state) : state_(state) {}
    std::string Text(std::size_t unit, const std::vector<std::size_t>&,
                     std::string_view text) const override {
        if (unit >= state_.units.size()) return MarkupEscape(text);
        const MarkupUnit& m = state_.units[unit];
        return MarkupEscape(text, m.quote, &m.refs);
    }

private:
    const HtmlState& state_;
};

class HtmlFilterImpl final : public Filter {
public:
    bool Recognises(std::string_view path) const override {
        return HasExtension(path, {".html", ".htm", ".xhtml"});
    }
    void Read(Document& doc, const Limits&, const Progress& progress) const override {
        auto state = std::make_shared<HtmlState>();
        ReadHtmlUnits(doc, state->units, progress);
        doc.state = std::move(state);
    }
    std::string Write(const Document& doc, const std::vector<std::optional<std::string>>& translations,
                      WriteReport& report) const override {
        std::vector<std::vector<Edit>> edits = TranslationEdits(doc, translations, report);
        if (!AnyEdit(edits)) return doc.original;
        const std::string page =
            *Splice(doc, std::move(edits), HtmlWriter(StateOf<HtmlState>(doc)))[0];
        // A page in a charset without Chinese ("windows-1252") gets what it lacks as character
        // references, which every browser shows: "&#x4E2D;" for 中.
        return EncodeText(page, doc.encoding, doc.charset, [](char32_t cp) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "&#x%X;", unsigned(cp));
            return std::string(buf);
        });
    }
};

} // namespace

const Filter& HtmlFilter() {
    static const HtmlFilterImpl filter;
    return filter;
}

} // namespace qb::doc::detail
