// Input method speed: with all four schemes on and a sentence code table filled,
//  - BM_KeyToCandidateWindow: from one key press (a real QKeyEvent into the target pane, through
//    the virtual-key map and the controller) to the candidate window's rows set; must stay under
//    2 ms for any code of one to six letters, the crowded "yi", "shi" and one-letter codes
//    included;
//  - BM_LookupCandidates: LookupCandidates alone; must stay under 100 microseconds.
// The real tables are looked for in $QB_TABLE_DIR, the build's program folder, then build/bin and
// build-data/bin of the source tree; without them those benchmarks skip with a message. The
// *_Synthetic benchmarks always run on generated tables at least as crowded as the real ones.
#include "GbkText.h"
#include "ImeController.h"
#include "SchemeTables.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextCursor>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>

using namespace qb;

namespace {

// ---- the host: a real pane, the four schemes, a sentence code table ----
struct BenchHost : ImeHost {
    QPlainTextEdit* edit = nullptr;
    std::array<SchemeTables, 4> schemes;
    StringList keys, words;
    void MarkTargetChinese() override {}
    void ReplaceTargetSelection(std::string_view gbk) override {
        QTextCursor c = edit->textCursor();
        c.insertText(FromGbk(gbk));
        edit->setTextCursor(c);
    }
    void FocusTarget() override { edit->setFocus(); }
    bool ImeEnabled() const override { return true; }
    bool FullWidthPunct() const override { return true; }
    bool FullWidthChars() const override { return false; }
    const StringList& SentenceCodeKeys() const override { return keys; }
    const StringList& SentenceCodeWords() const override { return words; }
    const SchemeTables& Scheme(int id) const override {
        return schemes[static_cast<std::size_t>(id - 1)];
    }
    bool SchemeOn(int) const override { return true; }
    std::array<int, 4> SchemeOrder() const override { return {1, 2, 3, 4}; }
};

std::string TableDir() {
    namespace fs = std::filesystem;
    std::vector<std::string> dirs;
    if (const char* env = std::getenv("QB_TABLE_DIR")) dirs.push_back(env);
    dirs.push_back(QB_BIN_DIR);
    dirs.push_back(std::string(QB_SOURCE_DIR) + "/build/bin");
    dirs.push_back(std::string(QB_SOURCE_DIR) + "/build-data/bin");
    for (const std::string& d : dirs) {
        bool all = true;
        for (const auto& s : Schemes())
            for (const char* ext : {".achr", ".mpy", ".py", ".mchar"})
                all = all && fs::exists(d + "/" + s.stem + ext);
        // The real full-pinyin code table runs to megabytes; a test fixture has a few lines.
        if (all && fs::file_size(d + "/quanpinIme.mchar") > 100000) return d + "/";
    }
    return {};
}

// The sentence code table as the sentence flow builds it: the tokens under their small letters, each
// phrase under its initials with its senses, each sense under its codes in every scheme.
void FillSentenceTable(BenchHost& h) {
    h.keys.clear();
    h.words.clear();
    const char* sentence =
        "In the last ten years the people of China have taken care of economic development "
        "and the city is one of the biggest in the world .";
    StringList tokens;
    SplitString(sentence, " ", tokens);
    for (const std::string& t : tokens) MergeKeyedValue(LowerAscii(t), t, h.keys, h.words, ";");
    // clang-format off
    const std::pair<const char*, const char*> phrases[] = {
        {"take care", "保重；照顾；小心"},   {"economic development", "经济发展"},
        {"China", "中国；瓷器"},             {"people", "人民；人们；民族"},
        {"last", "最后；上一个；持续"},      {"ten years", "十年"},
        {"development", "发展；开发；进展"}, {"city", "城市；都市"},
        {"one of", "之一"},                  {"in the world", "世界上；在世界上"},
        {"biggest", "最大的"},               {"world", "世界；天下；领域"},
        {"years", "年；岁月；时代"},         {"economic", "经济的；经济上的；合算的"},
    };
    // clang-format on
    StringList senses, codes;
    for (const auto& [phraseUtf8, renderingUtf8] : phrases) {
        const std::string phrase = phraseUtf8;
        const std::string rendering = Utf8ToGbkLossy(renderingUtf8);
        StringList pieces;
        SplitString(phrase, " ", pieces);
        std::string abbrev;
        if (pieces.size() == 1) {
            abbrev = phrase;
        } else {
            for (const std::string& p : pieces)
                if (std::isalpha(static_cast<unsigned char>(p[0])))
                    abbrev += static_cast<char>(std::tolower(static_cast<unsigned char>(p[0])));
        }
        MergeKeyedValue(abbrev, phrase, h.keys, h.words, ";");
        MergeKeyedValue(abbrev, ReplaceAll(rendering, kSenseSep, ";"), h.keys, h.words, ";");
        SplitString(rendering, kSenseSep, senses);
        for (const std::string& sense : senses)
            for (int id : kLoadOrder) {
                const SchemeTables& t = h.schemes[static_cast<std::size_t>(id - 1)];
                GetWordCodes(sense, codes, t.CharKeys, t.CharCodes);
                for (const std::string& q : codes) MergeKeyedValue(q, sense, h.keys, h.words, ";");
            }
    }
}

// Synthetic tables at least as crowded as the real ones: in every scheme each one- and two-letter
// code and "shi" has 400 single-character words (half of them shared with the other schemes), and
// each two-letter code is followed by 200 longer codes of 5 words each.
void FillSynthetic(BenchHost& h) {
    auto ch = [](int n) { // the n-th GBK character from B0A1
        std::string s;
        s += static_cast<char>(0xB0 + n / 94);
        s += static_cast<char>(0xA1 + n % 94);
        return s;
    };
    for (int id = 1; id <= 4; ++id) {
        SchemeTables& t = h.schemes[static_cast<std::size_t>(id - 1)];
        t.Clear();
        std::vector<std::string> codes;
        for (char a = 'a'; a <= 'z'; ++a) {
            codes.push_back(std::string(1, a));
            for (char b = 'a'; b <= 'z'; ++b) {
                const std::string two{a, b};
                codes.push_back(two);
                if (two == "sh") codes.push_back("shi");
                for (int k = 0; k < 200; ++k) codes.push_back(two + "z" + std::to_string(1000 + k));
            }
        }
        std::sort(codes.begin(), codes.end(),
                  [](const std::string& x, const std::string& y) { return TextLess(x, y); });
        int salt = 0;
        for (const std::string& c : codes) {
            std::string line;
            const int n = c.size() <= 2 || c == "shi" ? 400 : 5;
            for (int i = 0; i < n; ++i) {
                // Half shared across schemes, half of this scheme alone.
                const int k = (i % 2 == 0) ? (salt + i) % 6000 : (salt + i + id * 1500) % 6000;
                line += ch(k) + ";";
            }
            salt += 7;
            t.CodeKeys.push_back(c);
            t.CodeWords.push_back(line);
        }
    }
}

// ---- the fixture shared by all benchmarks ----
struct World {
    BenchHost host;
    std::unique_ptr<QPlainTextEdit> edit;
    std::unique_ptr<TImeController> ime;
    bool real = false;
    std::string note;

    void Attach() {
        if (!edit) {
            edit = std::make_unique<QPlainTextEdit>();
            edit->setAttribute(Qt::WA_InputMethodEnabled, false);
            host.edit = edit.get();
            ime = std::make_unique<TImeController>(host);
            edit->installEventFilter(ime.get());
            edit->resize(400, 300);
            edit->show();
        }
    }
    bool UseReal() {
        const std::string dir = TableDir();
        if (dir.empty()) return false;
        for (int id : kLoadOrder) {
            SchemeTables& t = host.schemes[static_cast<std::size_t>(id - 1)];
            t.Clear();
            LoadScheme(t, dir, Schemes()[static_cast<std::size_t>(id - 1)].stem, true);
        }
        FillSentenceTable(host);
        Attach();
        note = dir;
        return true;
    }
    void UseSynthetic() {
        FillSynthetic(host);
        FillSentenceTable(host);
        Attach();
    }
    // The widgets must go before the QApplication of main(), not at static destruction after
    // it (that crashed the benchmark on exit).
    void Detach() {
        if (edit) edit->removeEventFilter(ime.get());
        ime.reset();
        edit.reset();
    }
};

World& TheWorld() {
    static World w;
    return w;
}

// clang-format off
const char* const kCodes[] = {"a", "y", "s", "z", "yi", "shi", "zh", "zhong", "vsgo", "khlg",
                               "zhongg", "jingji", "sj", "zg", "ui", "e"};
// clang-format on

void SendKey(QWidget* w, Qt::Key k) {
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

// Types the code's last letter with the rest already composed; resets between iterations.
void KeyToWindow(benchmark::State& state, World& w) {
    const std::string code = kCodes[state.range(0)];
    const std::string head = code.substr(0, code.size() - 1);
    const Qt::Key last = Qt::Key(Qt::Key_A + (code.back() - 'a'));
    TfrmBianma& box = *w.ime->frmBianma();
    std::size_t rows = 0, candidates = 0;
    for (auto _ : state) {
        state.PauseTiming();
        box.SetCode({});
        box.hide();
        w.edit->clear();
        if (!head.empty()) {
            box.ShowBox();
            box.SetCode(head);
        }
        state.ResumeTiming();
        SendKey(w.edit.get(), last);
        rows = static_cast<std::size_t>(w.ime->frmCandidates()->RowCount());
        candidates = box.CandidateBuffer.size();
    }
    state.SetLabel(code + ": " + std::to_string(candidates) + " candidates, " +
                   std::to_string(rows) + " rows");
}

void Lookup(benchmark::State& state, World& w) {
    const std::string code = kCodes[state.range(0)];
    CandidateRows out;
    for (auto _ : state) {
        w.ime->LookupCandidates(code, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetLabel(code + ": " + std::to_string(out.size()) + " candidates");
}

void BM_KeyToCandidateWindow(benchmark::State& state) {
    World& w = TheWorld();
    if (!w.real) {
        state.SkipWithError("real tables not found (QB_TABLE_DIR, build/bin, build-data/bin)");
        for (auto _ : state) {
        }
        return;
    }
    KeyToWindow(state, w);
}
void BM_LookupCandidates(benchmark::State& state) {
    World& w = TheWorld();
    if (!w.real) {
        state.SkipWithError("real tables not found (QB_TABLE_DIR, build/bin, build-data/bin)");
        for (auto _ : state) {
        }
        return;
    }
    Lookup(state, w);
}

World& SyntheticWorld() {
    static World w;
    return w;
}
World& Synthetic() {
    static bool filled = false;
    if (!filled) {
        SyntheticWorld().UseSynthetic();
        filled = true;
    }
    return SyntheticWorld();
}
void BM_KeyToCandidateWindow_Synthetic(benchmark::State& state) { KeyToWindow(state, Synthetic()); }
void BM_LookupCandidates_Synthetic(benchmark::State& state) { Lookup(state, Synthetic()); }

// GetWordCodes over the real character tables of all four schemes, as the sentence flow runs it
// for every sense of a sentence: a plain word, a word of polyphonic characters, and a long sense
// of which only the first 12 characters count.
const char* const kWords[] = {"中国", "银行行长重新长大了", "会计和音乐的长处还是重要的差不多一样",
                              "一二三四五六七八九十百千万亿"};
void BM_GetWordCodes(benchmark::State& state) {
    World& w = TheWorld();
    if (!w.real) {
        state.SkipWithError("real tables not found (QB_TABLE_DIR, build/bin, build-data/bin)");
        for (auto _ : state) {
        }
        return;
    }
    const std::string word = Utf8ToGbkLossy(kWords[state.range(0)]);
    StringList codes;
    std::size_t total = 0;
    for (auto _ : state) {
        total = 0;
        for (int id : kLoadOrder) {
            const SchemeTables& t = w.host.schemes[static_cast<std::size_t>(id - 1)];
            GetWordCodes(word, codes, t.CharKeys, t.CharCodes);
            total += codes.size();
        }
    }
    state.SetLabel(std::string(kWords[state.range(0)]) + ": " + std::to_string(total) +
                   " codes in four schemes");
}
BENCHMARK(BM_GetWordCodes)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

constexpr int kCodeCount = sizeof(kCodes) / sizeof(kCodes[0]);
BENCHMARK(BM_KeyToCandidateWindow)->DenseRange(0, kCodeCount - 1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LookupCandidates)->DenseRange(0, kCodeCount - 1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeyToCandidateWindow_Synthetic)->DenseRange(0, kCodeCount - 1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LookupCandidates_Synthetic)->DenseRange(0, kCodeCount - 1)->Unit(benchmark::kMicrosecond);

QtMessageHandler previousHandler = nullptr;
// The offscreen platform reports every raise() of a stay-on-top pop-up; keep the output readable.
void QuietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith("This plugin does not support")) return;
    if (previousHandler) previousHandler(type, context, text);
}

} // namespace

int main(int argc, char** argv) {
    previousHandler = qInstallMessageHandler(QuietOffscreen);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    World& w = TheWorld();
    w.real = w.UseReal();
    std::cerr << (w.real ? "real tables: " + w.note
                         : std::string("real tables not found: the real-table benchmarks skip"))
              << "\n";
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    w.Detach();
    SyntheticWorld().Detach();
    return 0;
}
