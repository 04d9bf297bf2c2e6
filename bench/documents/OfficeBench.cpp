// Opening and exporting a 1 MB Word document and a 1 MB OpenDocument text (target: each under
// 0.2 s). 1 MB is the package's size: its XML, deflated about four to one, is some 4 MB.
//
//   build/bench/bench_documents --benchmark_filter='Docx|Odt'
//
// The body is what an editor writes of a manual: headings, paragraphs whose runs change
// formatting (bold, italics, a link), table cells and list items, with sentences of 6 to 24
// words from a fixed vocabulary. With QB_BENCH_FILES=DIR the packages are written there too
// (bench.docx, bench.odt).
#include "BenchFiles.h"
#include "Document.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

#include <QBuffer>

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

namespace {

using namespace qb::doc;

// Words as a long text has them: thousands, not a score, so that the XML deflates about as a
// real document's does (four to one with Word's markup, not thirty).
const std::vector<std::string>& Vocabulary() {
    static const std::vector<std::string> words = [] {
        std::mt19937 rng(20);
        std::uniform_int_distribution<int> len(2, 10), letter(0, 25);
        std::vector<std::string> out(6000);
        for (std::string& w : out)
            for (int n = len(rng); n > 0; --n) w += char('a' + letter(rng));
        return out;
    }();
    return words;
}

// A sentence as runs: plain words, and now and then a word in a run of its own formatting.
template <class Plain, class Marked>
void Sentence(std::mt19937& rng, Plain plain, Marked marked) {
    const std::vector<std::string>& words = Vocabulary();
    std::uniform_int_distribution<int> len(6, 24), word(0, int(words.size()) - 1), mark(0, 9);
    std::string run = "Then";
    const int n = len(rng);
    for (int i = 0; i < n; ++i) {
        const int m = mark(rng);
        if (m < 3) {
            plain(run + " ");
            run.clear();
            marked(m, words[std::size_t(word(rng))]);
        } else {
            run += std::string(run.empty() ? "" : " ") + words[std::size_t(word(rng))];
        }
    }
    plain(run + ".");
}

std::string WordXml(std::size_t size) {
    std::mt19937 rng(21);
    std::string x =
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
        R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main" )"
        R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><w:body>)";
    auto paragraph = [&](const char* style) {
        x += std::string("<w:p><w:pPr><w:pStyle w:val=\"") + style + "\"/></w:pPr>";
        Sentence(
            rng,
            [&](const std::string& t) {
                x += "<w:r><w:rPr><w:rFonts w:ascii=\"Calibri\"/></w:rPr><w:t xml:space=\"preserve\">" +
                     t + "</w:t></w:r>";
            },
            [&](int m, const std::string& w) {
                const std::string r = m == 0   ? "<w:b/>"
                                      : m == 1 ? "<w:i/>"
                                               : "<w:rStyle w:val=\"Hyperlink\"/>";
                std::string run = "<w:r><w:rPr>" + r + "</w:rPr><w:t>" + w + "</w:t></w:r>";
                if (m == 2) run = "<w:hyperlink r:id=\"rId9\">" + run + "</w:hyperlink>";
                x += run;
            });
        x += "</w:p>";
    };
    for (int block = 0; x.size() < size; ++block) {
        if (block % 9 == 0) {
            paragraph("Heading1");
        } else if (block % 9 == 5) {
            x += "<w:tbl><w:tr><w:tc>";
            paragraph("TableText");
            x += "</w:tc><w:tc>";
            paragraph("TableText");
            x += "</w:tc></w:tr></w:tbl>";
        } else {
            paragraph(block % 9 == 7 ? "ListParagraph" : "Normal");
        }
    }
    return x + "</w:body></w:document>";
}

std::string OdfXml(std::size_t size) {
    std::mt19937 rng(22);
    std::string x =
        R"(<?xml version="1.0" encoding="UTF-8"?>)"
        R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
        R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" )"
        R"(xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" )"
        R"(xmlns:xlink="http://www.w3.org/1999/xlink"><office:body><office:text>)";
    auto paragraph = [&](const std::string& open, const std::string& close) {
        x += open;
        Sentence(
            rng, [&](const std::string& t) { x += t; },
            [&](int m, const std::string& w) {
                x += m == 2 ? std::string("<text:a xlink:href=\"https://example.org/\">") + w + "</text:a>"
                            : std::string("<text:span text:style-name=\"T") + char('1' + m) +
                                  "\">" + w + "</text:span>";
            });
        x += close;
    };
    for (int block = 0; x.size() < size; ++block) {
        if (block % 9 == 0) {
            paragraph("<text:h text:outline-level=\"1\">", "</text:h>");
        } else if (block % 9 == 5) {
            x += "<table:table><table:table-row><table:table-cell>";
            paragraph("<text:p text:style-name=\"Table\">", "</text:p>");
            x += "</table:table-cell></table:table-row></table:table>";
        } else if (block % 9 == 7) {
            x += "<text:list><text:list-item>";
            paragraph("<text:p text:style-name=\"L1\">", "</text:p>");
            x += "</text:list-item></text:list>";
        } else {
            paragraph("<text:p text:style-name=\"P1\">", "</text:p>");
        }
    }
    return x + "</office:text></office:body></office:document-content>";
}

std::string Zip(const std::vector<std::pair<std::string, std::string>>& entries) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QuaZip zip(&buffer);
    zip.open(QuaZip::mdCreate);
    for (const auto& [name, data] : entries) {
        QuaZipFile f(&zip);
        f.open(QIODevice::WriteOnly, QuaZipNewInfo(QString::fromStdString(name)));
        f.write(data.data(), qint64(data.size()));
        f.close();
    }
    zip.close();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

std::string Package(bool word, std::size_t xmlBytes) {
    if (word)
        return Zip({{"[Content_Types].xml", R"(<?xml version="1.0"?><Types xmlns="x"/>)"},
                    {"word/document.xml", WordXml(xmlBytes)},
                    {"word/styles.xml", R"(<w:styles xmlns:w="x"/>)"}});
    return Zip({{"mimetype", "application/vnd.oasis.opendocument.text"},
                {"content.xml", OdfXml(xmlBytes)}});
}

// A package of about 1 MB: the XML sized from a first try's compression.
const std::string& File(bool word) {
    static std::string docx, odt;
    std::string& s = word ? docx : odt;
    if (s.empty()) {
        constexpr std::size_t kTarget = 1u << 20, kTry = 2u << 20;
        const std::size_t size = Package(word, kTry).size();
        s = Package(word, std::size_t(double(kTry) * double(kTarget) / double(size)));
        SaveBenchFile(word ? "bench.docx" : "bench.odt", s);
    }
    return s;
}

void Open(benchmark::State& state, bool word) {
    const std::string& bytes = File(word);
    const Format f = word ? Format::Docx : Format::Odt;
    std::size_t units = 0;
    for (auto _ : state) {
        Document d = Read(f, bytes);
        units = d.units.size();
        benchmark::DoNotOptimize(d);
    }
    state.counters["units"] = double(units);
    state.counters["MB"] = double(bytes.size()) / (1 << 20);
}

void Export(benchmark::State& state, bool word) {
    const Document d = Read(word ? Format::Docx : Format::Odt, File(word));
    const auto t = ChineseForEveryUnit(d);
    WriteReport r;
    for (auto _ : state) {
        std::string out = Write(d, t, &r);
        benchmark::DoNotOptimize(out);
    }
    state.counters["translated"] = double(r.translated);
    if (r.translated != d.units.size()) state.SkipWithError("units left untranslated");
}

BENCHMARK_CAPTURE(Open, Docx1MB, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Export, Docx1MB, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Open, Odt1MB, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Export, Odt1MB, false)->Unit(benchmark::kMillisecond);

} // namespace
