// Markdown through md4c. md4c reports blocks, spans and text; its text pointers point into the
// file itself, so each text run has a byte offset, and the markup is whatever lies between them:
//   "See **the guide** now."  text "See " @0, enter STRONG, text "the guide" @6, leave STRONG,
//   text " now." @17  ->  "See {1}the guide{/1} now." with {1} = bytes 4-6, {/1} = bytes 15-17.
// Code blocks, HTML blocks and front matter hold no units; inline code, images, autolinks and
// inline HTML are lone placeholders, kept as they are. The text of an HTML block is read as HTML.
#include "Filter.h"

#include <md4c.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace qb::doc::detail {

namespace {

struct Event {
    enum Kind { Text, Enter, Leave, Break } kind;
    std::size_t begin = 0, end = 0; // Text: its bytes
    MD_SPANTYPE span = MD_SPAN_EM;
    MD_TEXTTYPE textType = MD_TEXT_NORMAL;
    bool verbatim = false;       // a span kept whole (code, image, autolink)
    bool hardBreak = false;      // Break: a hard one ("  \n"), else a soft one (a plain line end)
    std::size_t href = kNoRange; // a link's address in the file
    bool madeHref = false;       // an address md4c made: "mailto:" + an e-mail autolink's text
    bool bare = false;           // an autolink written without "<" ">"
};

// What the file keeps beside its units: for a unit of an HTML block, its references and quote,
// as it is written as HTML; nothing for Markdown's own.
struct MarkdownState : FormatState {
    std::vector<std::optional<MarkupUnit>> units; // by unit
};

struct State {
    Document* doc = nullptr;
    MarkdownState* out = nullptr;
    const char* base = nullptr;
    std::size_t offset = 0; // where md4c's input starts in the file (after front matter)
    std::size_t size = 0;
    std::vector<MD_BLOCKTYPE> blocks;
    std::vector<Event> events;
    int verbatimDepth = 0;
    // For each open span, whether its enter counted in verbatimDepth: its leave undoes
    // exactly that. The address in the alt text of "![Join https://x.org](b.svg)" is a link
    // inside an image; its leave once left the depth raised and the rest of the file unread.
    std::vector<bool> spanCounted;
    const Progress* progress = nullptr;
    std::size_t reported = 0;
    std::size_t htmlBegin = kNoRange, htmlEnd = 0; // the HTML block being read
    std::size_t codeBegin = kNoRange, codeEnd = 0; // the code block being read
};

bool IsContainer(MD_BLOCKTYPE t) {
    return t == MD_BLOCK_P || t == MD_BLOCK_H || t == MD_BLOCK_LI || t == MD_BLOCK_TD ||
           t == MD_BLOCK_TH;
}

bool HasText(const std::vector<Event>& ev) {
    for (const Event& e : ev)
        if (e.kind == Event::Text && !e.verbatim) return true;
    return false;
}

// A link written by reference without its own label, "[Node.js website][]" or "[docs]", finds
// its address through its text: translated, "[Node.js 网站][]" would be no link at all. Its
// closing markup is therefore written as a full reference with the source's label,
// "[Node.js 网站][Node.js website]", which renders the same link. `bracket` is the link's "["; a
// link with its own address or label ("](x)", "][ref]") keeps its markup as it is.
void LabelReference(const std::string& text, std::size_t bracket, Tag& close) {
    std::size_t rb = close.closeBegin;
    while (rb < close.closeEnd && text[rb] != ']') ++rb;
    if (rb >= close.closeEnd) return;
    const std::size_t tail = rb + 1;
    const bool collapsed = text.compare(tail, 2, "[]") == 0;
    if (!collapsed && tail < text.size() && (text[tail] == '(' || text[tail] == '[')) return;
    // The label as one line: a line end and the next line's "> " are one space, as in
    // "[Node.js\n> website][]" inside a quote.
    std::string label;
    for (std::size_t k = bracket + 1; k < rb; ++k) {
        if (text[k] == '\n' || text[k] == '\r') {
            while (k + 1 < rb && std::strchr(" \t>\r\n", text[k + 1])) ++k;
            label += ' ';
        } else {
            label += text[k];
        }
    }
    const std::size_t rest = collapsed ? tail + 2 : tail;
    close.close = text.substr(close.closeBegin, tail - close.closeBegin) + "[" + label + "]" +
                  (rest < close.closeEnd ? text.substr(rest, close.closeEnd - rest) : std::string());
    close.closeBegin = close.closeEnd = kNoRange;
}

// A footnote's label, "[^1]" or "[^note]" (and the ":" after it where a footnote's text
// begins, with the space after it), at `i`: its length, 0 when there is none. md4c reads footnotes as text, and a label
// is no word to translate.
std::size_t FootnoteLabel(const std::string& text, std::size_t i, std::size_t end, bool atStart) {
    if (text.compare(i, 2, "[^") != 0) return 0;
    std::size_t k = i + 2;
    while (k < end && text[k] != ']' && text[k] != '[' && text[k] != ' ' && text[k] != '\n') ++k;
    if (k >= end || text[k] != ']' || k == i + 2) return 0;
    ++k;
    // "[^1]: " with its space: "[^1]:注释" would be read as a link's definition.
    if (atStart && k < end && text[k] == ':') {
        ++k;
        while (k < end && (text[k] == ' ' || text[k] == '\t')) ++k;
    }
    return k - i;
}

// A text run of the source, footnote labels in it as placeholders.
void AppendRun(Unit& u, const std::string& text, std::size_t b, std::size_t e, bool atStart) {
    std::size_t from = b;
    for (std::size_t i = b; i < e; ++i) {
        if (text[i] != '[') continue;
        const std::size_t n = FootnoteLabel(text, i, e, atStart && i == b);
        if (!n) continue;
        AppendText(u, std::string_view(text).substr(from, i - from));
        Tag t;
        t.openBegin = i;
        t.openEnd = i + n;
        AppendLone(u, t);
        from = i + n;
        i += n - 1;
    }
    AppendText(u, std::string_view(text).substr(from, e - from));
}

// The end of a link's or an image's tail from its "]" at `at`: "](a.png)", "][logo]", "]".
std::size_t LinkTailEnd(const std::string& text, std::size_t at, std::size_t limit) {
    if (at >= limit || text[at] != ']') return at;
    ++at;
    if (at < limit && (text[at] == '(' || text[at] == '[')) {
        const char open = text[at], close = open == '(' ? ')' : ']';
        int depth = 0;
        for (std::size_t k = at; k < limit; ++k) {
            if (text[k] == '\\') {
                ++k;
            } else if (text[k] == open) {
                ++depth;
            } else if (text[k] == close && --depth == 0) {
                return k + 1;
            }
        }
        return limit;
    }
    return at;
}

// Where an image that ends its alt text at `at` ends: "*](a.png)" or "][logo]" or "]".
std::size_t ImageTail(const std::string& text, std::size_t at, std::size_t limit) {
    while (at < limit && std::strchr("*_~`", text[at])) ++at;
    return LinkTailEnd(text, at, limit);
}

// The unit of one text container from its events.
void Flush(State& st) {
    const std::string& text = st.doc->parts[0].text;
    std::vector<Event> raw;
    raw.swap(st.events);
    // Text runs that follow each other in the file are one run ("[", "^1]" are "[^1]").
    std::vector<Event> ev;
    ev.reserve(raw.size());
    for (const Event& e : raw) {
        if (!ev.empty() && e.kind == Event::Text && ev.back().kind == Event::Text && !e.verbatim &&
            !ev.back().verbatim && e.textType == MD_TEXT_NORMAL &&
            ev.back().textType == MD_TEXT_NORMAL && ev.back().end == e.begin)
            ev.back().end = e.end;
        else
            ev.push_back(e);
    }
    std::vector<Event>().swap(raw); // a paragraph of 100,000 links holds 600,000 events
    // An autolink (<https://...>, a bare URL) shows its address as its text: kept whole.
    for (std::size_t i = 0; i + 1 < ev.size(); ++i) {
        if (ev[i].kind != Event::Enter || (ev[i].href == kNoRange && !ev[i].madeHref) || ev[i].verbatim)
            continue;
        if (ev[i + 1].kind != Event::Text || (ev[i + 1].begin != ev[i].href && !ev[i].madeHref))
            continue;
        ev[i].verbatim = true;
        ev[i].bare = ev[i + 1].begin == 0 || text[ev[i + 1].begin - 1] != '<';
        int depth = 0;
        for (std::size_t j = i; j < ev.size(); ++j) {
            if (ev[j].kind == Event::Enter) ++depth;
            if (ev[j].kind == Event::Leave && --depth == 0) {
                ev[j].verbatim = true;
                break;
            }
        }
    }
    if (!HasText(ev)) return;
    // The range: from the first event's markup to the last one's. Markup that opens the unit
    // ("**Note**: ...") lies before the first text; it is found going back over the characters
    // that open a span, and likewise forward for what closes one.
    std::size_t first = 0, last = 0;
    bool seen = false;
    for (const Event& e : ev)
        if (e.kind == Event::Text) {
            if (!seen) first = e.begin;
            last = e.end;
            seen = true;
        }
    std::size_t begin = first, end = last;
    // "\[!TIP] Sometimes...": the escape belongs to the unit, or a translation that begins
    // with a placeholder ("<https://x>") would be escaped by it.
    if (ev.front().kind == Event::Text && begin > 0 && text[begin - 1] == '\\') --begin;
    if (ev.front().kind == Event::Enter)
        while (begin > 0 && std::strchr("*_[!`~<", text[begin - 1]) && text[begin - 1] != '\0')
            --begin;
    if (ev.back().kind == Event::Leave) {
        while (end < text.size()) {
            const char c = text[end];
            if (c && std::strchr("*_`~>", c)) {
                ++end;
            } else if (c == ']' && end + 1 < text.size() &&
                       (text[end + 1] == '(' || text[end + 1] == '[')) {
                const char open = text[end + 1], close = open == '(' ? ')' : ']';
                int depth = 0;
                std::size_t k = end + 1;
                for (; k < text.size() && text[k] != '\n'; ++k) {
                    if (text[k] == open)
                        ++depth;
                    else if (text[k] == close && --depth == 0)
                        break;
                }
                if (k >= text.size() || text[k] != close) break;
                end = k + 1;
            } else if (c == ']') {
                ++end;
            } else {
                break;
            }
        }
    }

    Unit u;
    u.begin = begin;
    u.end = end;
    // Walk the events: the bytes between two text runs are markup when a span opens or closes
    // there, else text (a backslash escape, a soft line break with a quote's "> ").
    struct Open {
        std::size_t number;
        int spans;
        std::size_t bracket; // a link's "[" in the opening markup, kNoRange for other spans
    };
    std::vector<Open> stack;
    std::size_t pos = begin;
    int enters = 0, leaves = 0;
    bool br = false, linkEnter = false;
    auto gapTo = [&](std::size_t to) {
        if (to < pos) to = pos;
        if (enters == 0 && leaves == 0 && !br) {
            AppendText(u, std::string_view(text).substr(pos, to - pos));
        } else if (to > pos || enters || leaves) {
            Tag t;
            t.openBegin = pos;
            t.openEnd = to;
            if (!br && leaves == 0 && enters > 0) {
                std::size_t bracket = kNoRange;
                if (linkEnter)
                    for (std::size_t k = to; k > pos; --k)
                        if (text[k - 1] == '[') {
                            bracket = k - 1;
                            break;
                        }
                stack.push_back({AppendOpen(u, t), enters, bracket});
            } else if (!br && enters == 0 && !stack.empty() && stack.back().spans == leaves) {
                Tag& o = u.tags[stack.back().number - 1];
                o.closeBegin = pos;
                o.closeEnd = to;
                if (stack.back().bracket != kNoRange) LabelReference(text, stack.back().bracket, o);
                AppendClose(u, stack.back().number);
                stack.pop_back();
            } else if (!br && enters == 0 && stack.size() >= 2 &&
                       stack.back().spans + stack[stack.size() - 2].spans == leaves &&
                       (stack.back().bracket != kNoRange || stack[stack.size() - 2].bracket != kNoRange) &&
                       std::find(text.begin() + std::ptrdiff_t(pos), text.begin() + std::ptrdiff_t(to),
                                 ']') != text.begin() + std::ptrdiff_t(to)) {
                // A link and a span that close together: "[the *docs*]" splits at the link's
                // "]", "**[`x`][]**" after the link's tail.
                const std::size_t rb = text.find(']', pos); // within the gap, as checked
                const std::size_t split =
                    stack.back().bracket != kNoRange ? LinkTailEnd(text, rb, to) : rb;
                for (const std::size_t b : {pos, split}) {
                    Tag& o = u.tags[stack.back().number - 1];
                    o.closeBegin = b;
                    o.closeEnd = b == pos ? split : to;
                    if (stack.back().bracket != kNoRange)
                        LabelReference(text, stack.back().bracket, o);
                    AppendClose(u, stack.back().number);
                    stack.pop_back();
                }
            } else {
                AppendLone(u, t);
            }
        }
        pos = to;
        enters = leaves = 0;
        br = linkEnter = false;
    };
    for (std::size_t i = 0; i < ev.size(); ++i) {
        const Event& e = ev[i];
        if (e.kind == Event::Enter && e.verbatim) {
            // The whole span up to its matching leave is one lone placeholder. Markup opened
            // just before it ends where it starts: in "[`==` operator][]" the link's "[" is
            // its own, "`==`" the code's.
            std::size_t start = pos;
            if (enters > 0 && i + 1 < ev.size() && ev[i + 1].kind == Event::Text) {
                start = ev[i + 1].begin;
                if (e.span == MD_SPAN_CODE) {
                    while (start > pos && (text[start - 1] == '`' || text[start - 1] == ' '))
                        --start;
                    while (start < ev[i + 1].begin && text[start] == ' ') ++start;
                } else if (e.span == MD_SPAN_IMG && start >= pos + 2 && text[start - 1] == '[' &&
                           text[start - 2] == '!') {
                    start -= 2;
                } else if (e.span == MD_SPAN_A && start > pos && text[start - 1] == '<') {
                    --start;
                }
                if (start < pos) start = pos;
            }
            gapTo(start);
            int depth = 0;
            std::size_t j = i;
            std::size_t lastEnd = pos;
            for (; j < ev.size(); ++j) {
                if (ev[j].kind == Event::Enter && ev[j].verbatim) ++depth;
                if (ev[j].kind == Event::Leave && ev[j].verbatim && --depth == 0) break;
                if (ev[j].kind == Event::Text) lastEnd = ev[j].end;
            }
            // Its end: up to the next text run (or the unit's end), keeping what closes it.
            std::size_t next = end;
            for (std::size_t k = j + 1; k < ev.size(); ++k)
                if (ev[k].kind == Event::Text) {
                    next = ev[k].begin;
                    break;
                }
            std::size_t closeAt = lastEnd;
            if (e.span == MD_SPAN_CODE && lastEnd > start) {
                // "`x`", "`` x ``": the backticks close it; what follows is another span's.
                while (closeAt < next && text[closeAt] == ' ') ++closeAt;
                while (closeAt < next && text[closeAt] == '`') ++closeAt;
            } else if (e.span == MD_SPAN_IMG && lastEnd > start) {
                closeAt = ImageTail(text, lastEnd, next);
            } else {
                while (closeAt < next && text[closeAt] != ' ' && text[closeAt] != '\n') ++closeAt;
            }
            if (closeAt > next) closeAt = next;
            if (closeAt < pos) closeAt = pos;
            Tag t;
            t.openBegin = pos;
            t.openEnd = closeAt;
            if (e.bare && i + 1 < ev.size() && ev[i + 1].begin == pos && closeAt == lastEnd &&
                (text.compare(pos, 4, "http") == 0 || text.compare(pos, 3, "ftp") == 0 || e.madeHref)) {
                // A bare address is a link only after a space: "访问https://x.org" is none.
                // Written in angle brackets it is one wherever the translation puts it.
                t.open = "<" + text.substr(pos, closeAt - pos) + ">";
                t.openBegin = t.openEnd = kNoRange;
            }
            AppendLone(u, t);
            pos = closeAt;
            i = j;
            continue;
        }
        if (e.kind == Event::Enter) {
            if (leaves) gapTo(pos); // keep closes and opens apart where they touch
            ++enters;
            linkEnter = linkEnter || e.span == MD_SPAN_A;
        } else if (e.kind == Event::Leave) {
            ++leaves;
        } else if (e.kind == Event::Break && e.hardBreak) {
            br = true;
        } else if (e.kind == Event::Break) {
            // A line end is a space of the text, also where markup touches it: "See
            // [the docs](http://x)\nfor details." is "See {1}the docs{/1} for details.". What
            // closes before the line end and what opens after the next line's prefix ("> ",
            // indentation) stay tags of their own.
            const std::size_t nl = text.find('\n', pos);
            if (nl == std::string::npos || nl >= end) continue;
            std::size_t cut = nl;
            while (cut > pos && (text[cut - 1] == ' ' || text[cut - 1] == '\t' || text[cut - 1] == '\r'))
                --cut;
            gapTo(cut);
            AppendText(u, " ");
            pos = nl + 1;
            while (pos < end && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '>')) ++pos;
        } else {
            if (enters && leaves) {
                // "**a**_b_": find where the closing markup ends: the closing characters repeat
                // what opened the span, so split after the run of the first character.
                std::size_t k = pos;
                const char c0 = k < e.begin ? text[k] : 0;
                while (k < e.begin && text[k] == c0) ++k;
                const int en = enters;
                const bool link = linkEnter;
                enters = 0;
                gapTo(k);
                enters = en;
                linkEnter = link;
            }
            gapTo(e.begin);
            AppendRun(u, text, e.begin, e.end, e.begin == begin || e.begin == first);
            pos = e.end;
        }
    }
    gapTo(end);
    for (const Open& o : stack) u.tags[o.number - 1].paired = false;
    if (FinishUnit(*st.doc, std::move(u))) st.out->units.emplace_back();
}

int EnterBlock(MD_BLOCKTYPE type, void*, void* user) {
    State& st = *static_cast<State*>(user);
    Flush(st); // a list item's own text ends where its nested list begins
    st.blocks.push_back(type);
    return 0;
}

// An HTML block's visible text ("<summary>Other keys used to sign releases</summary>", a table
// written in HTML) is read by the HTML reader, its units placed at the block's bytes.
void HtmlBlockUnits(State& st) {
    const std::size_t b = st.htmlBegin, e = st.htmlEnd;
    st.htmlBegin = kNoRange;
    if (b == kNoRange || e <= b) return;
    Document html;
    html.format = Format::Html;
    html.original = st.doc->parts[0].text.substr(b, e - b);
    std::vector<MarkupUnit> extras;
    try {
        ReadHtmlUnits(html, extras, {});
    } catch (const DocError&) {
        return; // not read as HTML: kept as it is, as before
    }
    if (html.parts.size() != 1 || html.parts[0].text != html.original) return;
    auto shift = [b](std::size_t& at) {
        if (at != kNoRange) at += b;
    };
    for (std::size_t i = 0; i < html.units.size(); ++i) {
        Unit& u = html.units[i];
        shift(u.begin);
        shift(u.end);
        for (Tag& t : u.tags)
            for (std::size_t* at : {&t.openBegin, &t.openEnd, &t.closeBegin, &t.closeEnd})
                shift(*at);
        u.part = 0;
        st.doc->units.push_back(std::move(u));
        st.out->units.emplace_back(std::move(extras[i]));
    }
    for (Skipped& k : html.skipped) {
        shift(k.begin);
        shift(k.end);
        k.part = 0;
        st.doc->skipped.push_back(std::move(k));
    }
}

int LeaveBlock(MD_BLOCKTYPE type, void*, void* user) {
    State& st = *static_cast<State*>(user);
    Flush(st);
    if (type == MD_BLOCK_HTML) HtmlBlockUnits(st);
    if (type == MD_BLOCK_CODE && st.codeBegin != kNoRange) {
        st.doc->skipped.push_back({0, st.codeBegin, st.codeEnd, "代码，保持原样"});
        st.codeBegin = kNoRange;
    }
    st.blocks.pop_back();
    return 0;
}

bool InContainer(const State& st) { return !st.blocks.empty() && IsContainer(st.blocks.back()); }

int EnterSpan(MD_SPANTYPE type, void* detail, void* user) {
    State& st = *static_cast<State*>(user);
    if (!InContainer(st)) return 0;
    Event e{Event::Enter};
    e.span = type;
    e.verbatim = st.verbatimDepth > 0 || type == MD_SPAN_CODE || type == MD_SPAN_IMG ||
                 type == MD_SPAN_LATEXMATH || type == MD_SPAN_LATEXMATH_DISPLAY ||
                 type == MD_SPAN_WIKILINK;
    if (type == MD_SPAN_A && detail) {
        const auto* a = static_cast<const MD_SPAN_A_DETAIL*>(detail);
        const char* href = a->href.text;
        if (href && href >= st.base && href < st.base + st.size)
            e.href = st.offset + std::size_t(href - st.base);
        else if (href && a->href.size > 7 && std::memcmp(href, "mailto:", 7) == 0)
            e.madeHref = true;
    }
    if (e.verbatim) ++st.verbatimDepth;
    st.spanCounted.push_back(e.verbatim);
    st.events.push_back(e);
    return 0;
}

int LeaveSpan(MD_SPANTYPE type, void*, void* user) {
    State& st = *static_cast<State*>(user);
    if (!InContainer(st)) return 0;
    // The leave of a kept-whole span matches its enter: spans nest, so it is the innermost.
    Event e{Event::Leave};
    e.span = type;
    const bool counted = !st.spanCounted.empty() && st.spanCounted.back();
    if (!st.spanCounted.empty()) st.spanCounted.pop_back();
    if (counted) {
        e.verbatim = true;
        --st.verbatimDepth;
    }
    st.events.push_back(e);
    return 0;
}

int TextRun(MD_TEXTTYPE type, const MD_CHAR* p, MD_SIZE size, void* user) {
    State& st = *static_cast<State*>(user);
    if (!st.blocks.empty() && st.blocks.back() == MD_BLOCK_HTML && p >= st.base &&
        p + size <= st.base + st.size) {
        const std::size_t at = st.offset + std::size_t(p - st.base);
        if (st.htmlBegin == kNoRange) st.htmlBegin = at;
        st.htmlEnd = at + size;
        return 0;
    }
    if (!st.blocks.empty() && st.blocks.back() == MD_BLOCK_CODE && p >= st.base &&
        p + size <= st.base + st.size) {
        const std::size_t at = st.offset + std::size_t(p - st.base);
        if (st.codeBegin == kNoRange) st.codeBegin = at;
        st.codeEnd = at + size;
        return 0;
    }
    if (!InContainer(st)) return 0;
    if (type == MD_TEXT_BR || type == MD_TEXT_SOFTBR) {
        Event e{Event::Break};
        e.hardBreak = type == MD_TEXT_BR;
        st.events.push_back(e);
        return 0;
    }
    if (p < st.base || p >= st.base + st.size) return 0; // "\n" of a soft break, a NUL's U+FFFD
    Event e{Event::Text};
    e.begin = st.offset + std::size_t(p - st.base);
    e.end = e.begin + size;
    e.textType = type;
    e.verbatim = st.verbatimDepth > 0 || type == MD_TEXT_HTML || type == MD_TEXT_CODE;
    if (type == MD_TEXT_HTML && st.verbatimDepth == 0) {
        Event open{Event::Enter};
        open.verbatim = true;
        Event close{Event::Leave};
        close.verbatim = true;
        st.events.push_back(open);
        st.events.push_back(e);
        st.events.push_back(close);
    } else {
        st.events.push_back(e);
    }
    if (st.progress && e.begin - st.reported >= (1u << 20))
        Report(*st.progress, st.reported = e.begin, st.size);
    return 0;
}

// "---\n" ... "---\n" (or "...") at the very start: metadata, not text.
std::size_t FrontMatterEnd(std::string_view text) {
    if (text.substr(0, 4) != "---\n" && text.substr(0, 5) != "---\r\n") return 0;
    std::size_t pos = text.find('\n') + 1;
    while (pos < text.size()) {
        std::size_t eol = text.find('\n', pos);
        const std::size_t next = eol == std::string_view::npos ? text.size() : eol + 1;
        std::string_view line = text.substr(pos, next - pos);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
        if (line == "---" || line == "...") return next;
        pos = next;
    }
    return 0;
}

void ReadMarkdown(Document& doc, const Progress& progress) {
    // UTF-8, UTF-16 with its BOM, or GBK, as a plain text file; the export goes back in it.
    doc.parts.push_back({{}, DecodeText(doc.original, doc.encoding)});
    const std::string& text = doc.parts[0].text;
    auto state = std::make_shared<MarkdownState>();
    State st;
    st.doc = &doc;
    st.out = state.get();
    st.offset = FrontMatterEnd(text);
    if (st.offset > 0)
        doc.skipped.push_back({0, 0, st.offset, "文件开头的元数据（front matter），保持原样"});
    st.base = text.data() + st.offset;
    st.size = text.size() - st.offset;
    st.progress = progress ? &progress : nullptr;
    MD_PARSER parser{};
    parser.abi_version = 0;
    parser.flags = MD_FLAG_TABLES | MD_FLAG_STRIKETHROUGH | MD_FLAG_PERMISSIVEURLAUTOLINKS |
                   MD_FLAG_PERMISSIVEWWWAUTOLINKS | MD_FLAG_TASKLISTS;
    parser.enter_block = EnterBlock;
    parser.leave_block = LeaveBlock;
    parser.enter_span = EnterSpan;
    parser.leave_span = LeaveSpan;
    parser.text = TextRun;
    if (md_parse(st.base, MD_SIZE(st.size), &parser, &st) != 0) throw DocError("Markdown 解析失败");
    doc.state = std::move(state);
}

// Markdown's text as it is; an HTML block's as HTML.
class MarkdownWriter : public UnitWriter {
public:
    explicit MarkdownWriter(const MarkdownState& state) : state_(state) {}
    std::string Text(std::size_t unit, const std::vector<std::size_t>&,
                     std::string_view text) const override {
        if (unit >= state_.units.size() || !state_.units[unit]) return std::string(text);
        const MarkupUnit& m = *state_.units[unit];
        return MarkupEscape(text, m.quote, &m.refs);
    }

private:
    const MarkdownState& state_;
};

class MarkdownFilterImpl final : public Filter {
public:
    bool Recognises(std::string_view path) const override {
        return HasExtension(path, {".md", ".markdown"});
    }
    void Read(Document& doc, const Limits&, const Progress& progress) const override {
        ReadMarkdown(doc, progress);
    }
    std::string Write(const Document& doc, const std::vector<std::optional<std::string>>& translations,
                      WriteReport& report) const override {
        std::vector<std::vector<Edit>> edits = TranslationEdits(doc, translations, report);
        // A unit written as its own text keeps its bytes. Rewritten, the shortcut reference
        // "[dark-theme`]" would become "[dark-theme`][dark-theme`]", where the two backticks
        // make a code span and the link is gone.
        for (std::vector<Edit>& part : edits)
            std::erase_if(part, [&](const Edit& e) {
                return e.unit < doc.units.size() && e.unit < translations.size() &&
                       translations[e.unit] && *translations[e.unit] == doc.units[e.unit].text;
            });
        if (!AnyEdit(edits)) return doc.original;
        return EncodeText(
            *Splice(doc, std::move(edits), MarkdownWriter(StateOf<MarkdownState>(doc)))[0],
            doc.encoding, doc.charset);
    }
};

} // namespace

const Filter& MarkdownFilter() {
    static const MarkdownFilterImpl filter;
    return filter;
}

} // namespace qb::doc::detail
