// Opening and exporting a 1 MB HTML page (target: each under 0.2 s).
//
//   build/bench/bench_documents --benchmark_filter=Html
//
// The page is made of what a manual's HTML holds: headings, paragraphs with bold, links,
// inline code and references (&amp;, &nbsp;), list items, table cells, images with alt text
// and code blocks, with sentences of 6 to 24 words from a fixed vocabulary.
#include "BenchFiles.h"
#include "Document.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>

namespace {

using namespace qb::doc;

std::string HtmlSentence(std::mt19937& rng) {
    static const char* const kWords[] = {"the",    "file",  "open",   "menu",    "window", "press",
                                         "button", "save",  "change", "setting", "user",   "system",
                                         "before", "after", "with",   "each",    "select", "list",
                                         "shows",  "new",   "it"};
    std::uniform_int_distribution<int> len(6, 24), word(0, int(std::size(kWords)) - 1), mark(0, 11);
    std::string s = "Then";
    const int n = len(rng);
    for (int i = 0; i < n; ++i) {
        const std::string w = kWords[word(rng)];
        switch (mark(rng)) {
        case 0: s += " <b>" + w + "</b>"; break;
        case 1: s += " <code>" + w + "</code>"; break;
        case 2: s += " <a href=\"https://example.org/" + w + "\">" + w + "</a>"; break;
        case 3: s += " &amp;&nbsp;" + w; break;
        default: s += " " + w;
        }
    }
    return s + ".";
}

const std::string& Page() {
    static const std::string text = [] {
        std::mt19937 rng(11);
        std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Manual</title>"
                           "<style>p { margin: 0 }</style></head>\n<body>\n";
        int block = 0;
        while (html.size() < (1u << 20)) {
            switch (block++ % 7) {
            case 0:
                html += "<h2 id=\"s" + std::to_string(block) + "\">" + HtmlSentence(rng) + "</h2>\n";
                break;
            case 1:
            case 2:
                html += "<p>\n  " + HtmlSentence(rng) + " " + HtmlSentence(rng) + "\n</p>\n";
                break;
            case 3:
                html += "<ul>\n<li>" + HtmlSentence(rng) + "</li>\n<li>" + HtmlSentence(rng) +
                        "</li>\n</ul>\n";
                break;
            case 4:
                html += "<table><tr><td>" + HtmlSentence(rng) + "</td><td>&nbsp;</td></tr></table>\n";
                break;
            case 5:
                html += "<p><img src=\"a.png\" alt=\"" + std::string("A picture") + "\"> " +
                        HtmlSentence(rng) + "</p>\n";
                break;
            case 6:
                html += "<pre class=\"example\">make " + std::to_string(block) + "\n</pre>\n";
                break;
            }
        }
        html += "</body></html>\n";
        SaveBenchFile("bench.html", html);
        return html;
    }();
    return text;
}

// Every unit "translated": words replaced, placeholders kept.
std::string Translated(const std::string& unit) {
    std::string out;
    for (std::size_t i = 0; i < unit.size(); ++i) {
        if (unit[i] == '{') {
            const std::size_t close = unit.find('}', i);
            out += unit.substr(i, close + 1 - i);
            i = close;
        } else if (unit[i] == ' ') {
            out += "译";
        }
    }
    return out + "。";
}

void BM_OpenHtml1MB(benchmark::State& state) {
    const std::string& html = Page();
    std::size_t units = 0;
    for (auto _ : state) {
        Document d = Read(Format::Html, html);
        units = d.units.size();
        benchmark::DoNotOptimize(d);
    }
    state.counters["units"] = double(units);
    state.counters["bytes"] = double(html.size());
}
BENCHMARK(BM_OpenHtml1MB)->Unit(benchmark::kMillisecond);

void BM_ExportHtml1MB(benchmark::State& state) {
    const Document d = Read(Format::Html, Page());
    std::vector<std::optional<std::string>> t;
    for (const Unit& u : d.units) t.push_back(Translated(u.text));
    WriteReport r;
    for (auto _ : state) {
        std::string out = Write(d, t, &r);
        benchmark::DoNotOptimize(out);
    }
    state.counters["translated"] = double(r.translated);
    if (r.translated != d.units.size()) state.SkipWithError("units left untranslated");
}
BENCHMARK(BM_ExportHtml1MB)->Unit(benchmark::kMillisecond);

} // namespace
