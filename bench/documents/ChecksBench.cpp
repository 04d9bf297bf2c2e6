// The checks before export on a catalogue of 10,000 messages (target: under 1 s): Python and C
// messages with placeholders, numbers and HTML, translated with a slip every seventh message,
// a repeated source every fifth, and term and reading look-ups as a lexicon answers them.
//
//   build/bench/bench_documents --benchmark_filter=Checks
#include "Checks.h"
#include "Document.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <unordered_map>

namespace {

using namespace qb::doc;

struct Catalogue {
    Document doc;
    std::vector<std::optional<std::string>> translations;
};

const Catalogue& TenThousand() {
    static const Catalogue c = [] {
        static const char* const kWords[] = {"file", "open", "menu",   "access", "rights", "kernel",
                                             "save", "user", "system", "value",  "list",   "shows"};
        std::mt19937 rng(11);
        std::uniform_int_distribution<int> word(0, int(std::size(kWords)) - 1), len(4, 16);
        std::string po = "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";
        for (int i = 0; i < 10000; ++i) {
            std::string s = i % 5 == 0 ? "Access rights of %(name)s" : "Item " + std::to_string(i);
            for (int k = len(rng); k > 0; --k) s += std::string(" ") + kWords[word(rng)];
            s += " <b>%(count)d</b> of %s.";
            po += "#, python-format\nmsgid \"" + s + "\"\nmsgstr \"\"\n\n";
        }
        Catalogue out{Read(Format::Po, po), {}};
        for (std::size_t i = 0; i < out.doc.units.size(); ++i) {
            const std::string& t = out.doc.units[i].text;
            std::string zh = i % 7 == 0 ? "访问全线" : "访问权限";
            zh += t.substr(t.find(' ')) + "。"; // numbers and placeholders kept, some dropped below
            if (i % 11 == 0) zh.erase(zh.find("{1}"), 3);
            out.translations.push_back(std::move(zh));
        }
        return out;
    }();
    return c;
}

void BM_Checks10000(benchmark::State& state) {
    const Catalogue& c = TenThousand();
    CheckOptions o;
    o.terms = [](std::string_view s) {
        return s.find("kernel") != std::string_view::npos ? std::vector<TermUse>{{"kernel", {"内核"}}}
                                                          : std::vector<TermUse>{};
    };
    o.senses = [](std::string_view s) {
        return s.find("rights") != std::string_view::npos ? std::vector<std::string>{"权限", "权利"}
                                                          : std::vector<std::string>{};
    };
    static const std::unordered_map<std::string_view, std::string> kReadings = {
        {"权限", "quanxian"}, {"全线", "quanxian"}, {"权利", "quanli"}};
    o.reading = [](std::string_view w) {
        const auto it = kReadings.find(w);
        return it == kReadings.end() ? std::string() : it->second;
    };
    std::size_t problems = 0;
    for (auto _ : state) {
        const std::vector<Problem> p = CheckTranslations(c.doc, c.translations, o);
        problems = p.size();
        benchmark::DoNotOptimize(p.data());
    }
    state.counters["segments"] = double(c.doc.units.size());
    state.counters["problems"] = double(problems);
}
BENCHMARK(BM_Checks10000)->Unit(benchmark::kMillisecond);

} // namespace
