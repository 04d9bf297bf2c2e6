// the chain of reTargetKeyDown over fakes of the main window and the composition box.
// The real windows are driven by real key events in test_ime_window.cpp.
#include "ClauseConverterLoad.h"
#include "FakeConverter.h"
#include "ImeKeyHandler.h"
#include "ImeTestSupport.h"

#include <future>
#include <map>

#include <gtest/gtest.h>

using namespace qb;
using qbtest::G;

namespace {

struct FakeHost : ImeHost {
    std::string pane;
    int marks = 0, focuses = 0;
    bool ime = true, punct = true, chars = false;
    StringList keys, words;
    SchemeTables schemes[4];
    qbtest::FakeConverter* converter = nullptr;
    ClauseConverter* Converter() const override { return converter; }
    void MarkTargetChinese() override { ++marks; }
    void ReplaceTargetSelection(std::string_view gbk) override { pane += gbk; }
    void FocusTarget() override { ++focuses; }
    bool ImeEnabled() const override { return ime; }
    bool FullWidthPunct() const override { return punct; }
    bool FullWidthChars() const override { return chars; }
    const StringList& SentenceCodeKeys() const override { return keys; }
    const StringList& SentenceCodeWords() const override { return words; }
    const SchemeTables& Scheme(int id) const override { return schemes[id - 1]; }
    bool SchemeOn(int) const override { return true; }
    std::array<int, 4> SchemeOrder() const override { return {1, 2, 3, 4}; }
    bool ClassicOrder() const override { return true; }
};

// Records what the handler asks of the composition box; visibility is set by the test.
struct FakeComposer : ImeComposer {
    std::string code;
    bool box = false, cand = false;
    std::vector<std::string> log;
    std::string Code() const override { return code; }
    void SetCode(std::string_view c) override {
        code = c;
        log.push_back("code=" + code);
    }
    bool BoxVisible() const override { return box; }
    void ShowBox() override {
        box = true;
        log.push_back("show");
    }
    void HideBox() override {
        box = false;
        log.push_back("hide");
    }
    bool CandidatesVisible() const override { return cand; }
    std::map<int, PickedCandidate> rows; // scripted rows; others give "P" + digit
    PickedCandidate Pick(int d) override {
        log.push_back("pick" + std::to_string(d));
        auto it = rows.find(d);
        if (it != rows.end()) return it->second;
        PickedCandidate p;
        p.text = "P" + std::to_string(d);
        return p;
    }
    void ShowPage(bool forward) override { log.push_back(forward ? "page+" : "page-"); }
};

struct Handler : ::testing::Test {
    FakeHost host;
    FakeComposer box;
    ImeKeyHandler h{host, box};
    int Down(int k, Modifiers m = kModNone) {
        h.KeyDown(k, m);
        return k;
    }
};

} // namespace

TEST_F(Handler, ImeOffLetsEveryKeyThrough) {
    host.ime = false;
    EXPECT_EQ(Down(65), 65);
    EXPECT_EQ(Down(188), 188);
    EXPECT_FALSE(h.KeyHandled);
    EXPECT_TRUE(box.log.empty());
    EXPECT_TRUE(host.pane.empty());
}

TEST_F(Handler, ExactlyCtrlPassesOtherSetsDoNot) {
    EXPECT_EQ(Down(74, kModCtrl), 74); // Ctrl+J reaches the pane (its shortcut)
    EXPECT_FALSE(h.KeyHandled);
    EXPECT_EQ(Down(74, kModCtrl | kModShift), 0); // Ctrl+Shift+J composes j
    EXPECT_EQ(box.code, "j");
    EXPECT_EQ(Down(75, kModAlt), 0);
    EXPECT_EQ(box.code, "jk");
}

TEST_F(Handler, LetterShowsTheBoxAppendsSmallLetterAndFocuses) {
    EXPECT_EQ(Down(90, kModShift), 0);
    EXPECT_TRUE(h.KeyHandled);
    EXPECT_EQ(box.log, (std::vector<std::string>{"show", "code=z"}));
    EXPECT_EQ(host.focuses, 1);
    char16_t ch = u'Z';
    h.KeyPress(ch);
    EXPECT_EQ(ch, 0);
    int up = 90;
    h.KeyUp(up);
    EXPECT_EQ(up, 0);
}

TEST_F(Handler, PunctuationInsertsMarkedTextWhenNothingIsComposed) {
    EXPECT_EQ(Down(188), 0);
    EXPECT_EQ(host.pane, G("，"));
    EXPECT_EQ(host.marks, 1);
    EXPECT_EQ(Down(49, kModShift), 0);
    EXPECT_EQ(host.pane, G("，！"));
    EXPECT_EQ(Down(49), 49); // plain 1 is not punctuation, and no page is shown: passes
    EXPECT_FALSE(h.KeyHandled);
    EXPECT_EQ(host.pane, G("，！"));
}

TEST_F(Handler, QuotesAlternateEachKindOnItsOwn) {
    Down(222);
    Down(222);
    Down(222);
    Down(222);
    EXPECT_EQ(host.pane, G("‘’‘’"));
    host.pane.clear();
    Down(222, kModShift);
    Down(222);
    Down(222, kModShift);
    EXPECT_EQ(host.pane, G("“‘”"));
}

TEST_F(Handler, WhileComposingCommaPassesAndSemicolonJoinsTheCode) {
    box.box = true;
    box.code = "zh";
    EXPECT_EQ(Down(188), 188);
    EXPECT_EQ(box.code, "zh");
    EXPECT_EQ(Down(186), 0);
    EXPECT_EQ(box.code, "zh;");
    EXPECT_TRUE(host.pane.empty());
}

TEST_F(Handler, ShiftOneWithPageShownPicksRowOne) {
    box.box = box.cand = true;
    box.code = "zh";
    EXPECT_EQ(Down(49, kModShift), 0);
    EXPECT_EQ(host.pane, "P1");
    EXPECT_EQ(box.code, "");
}

TEST_F(Handler, FullWidthPunctOffAndCharsOnGivesFullWidthDigit) {
    host.punct = false;
    host.chars = true;
    EXPECT_EQ(Down(49, kModShift), 0);
    EXPECT_EQ(host.pane, G("１"));
    EXPECT_EQ(Down(65, kModShift), 0);
    EXPECT_EQ(Down(65), 0);
    EXPECT_EQ(host.pane, G("１Ａａ"));
    EXPECT_TRUE(box.log.empty());
}

TEST_F(Handler, BackspaceShortensConsumesAndHidesAtEmpty) {
    box.box = true;
    box.code = "z";
    EXPECT_EQ(Down(8), 0);
    EXPECT_EQ(box.log, (std::vector<std::string>{"code=", "hide"}));
    EXPECT_FALSE(box.box);
    box.log.clear();
    EXPECT_EQ(Down(8), 8); // nothing composed: the pane deletes, the composition is cancelled
    EXPECT_EQ(box.log, (std::vector<std::string>{"hide", "code="}));
}

TEST_F(Handler, EscapeCancelsAndPasses) {
    box.box = true;
    box.code = "zh";
    EXPECT_EQ(Down(27), 27);
    EXPECT_FALSE(h.KeyHandled);
    EXPECT_EQ(box.code, "");
    EXPECT_FALSE(box.box);
}

TEST_F(Handler, BracketsPageWithAPageAndCancelWithout) {
    box.box = box.cand = true;
    box.code = "a";
    EXPECT_EQ(Down(221), 0);
    EXPECT_EQ(Down(219), 0);
    EXPECT_EQ(Down(93), 0);
    EXPECT_EQ(Down(91), 0);
    EXPECT_EQ(box.log, (std::vector<std::string>{"page+", "page-", "page+", "page-"}));
    box.cand = false;
    EXPECT_EQ(Down(221), 221);
    EXPECT_EQ(box.code, "");
}

TEST_F(Handler, KeypadDigitsPassThrough) {
    box.box = box.cand = true;
    box.code = "a";
    EXPECT_EQ(Down(97), 97);
    EXPECT_EQ(box.code, "a");
    EXPECT_TRUE(box.log.empty());
}

TEST_F(Handler, KeyHandledIsResetAtEveryKeyDown) {
    Down(65);
    EXPECT_TRUE(h.KeyHandled);
    Down(13);
    EXPECT_FALSE(h.KeyHandled);
}

// "zhuangtaima" with 状态 on row 2 (covering "zhuangtai"): picking it inserts 状态, keeps "ma"
// composing (the box stays, its candidates are looked up again) and learns the pick; a table row
// or a whole reading ends the composition.
TEST_F(Handler, PickingPartOfAClauseKeepsTheRestAndLearns) {
    qbtest::FakeConverter converter;
    host.converter = &converter;
    box.box = box.cand = true;
    box.code = "zhuangtaima";
    box.rows[2] = PickedCandidate{G("状态"), "ma", 1, 9, false};
    box.rows[1] = PickedCandidate{G("状态吗"), "", 1, 11, false};
    EXPECT_EQ(Down(50), 0);
    EXPECT_EQ(host.pane, G("状态"));
    EXPECT_EQ(box.code, "ma");
    EXPECT_TRUE(box.box);
    EXPECT_EQ(box.log, (std::vector<std::string>{"pick2", "code=ma"}));
    EXPECT_EQ(converter.learned, std::vector<std::string>{"1:zhuangtaima:" + G("状态") + ":9"});

    box.code = "zhuangtaima";
    EXPECT_EQ(Down(32), 0); // Space: row 1, the whole reading
    EXPECT_EQ(host.pane, G("状态状态吗"));
    EXPECT_EQ(box.code, "");
    ASSERT_EQ(converter.learned.size(), 2u);
    EXPECT_EQ(converter.learned[1], "1:zhuangtaima:" + G("状态吗") + ":11");

    box.code = "de";
    EXPECT_EQ(Down(51), 0); // a table row (scheme 0) is not learned
    EXPECT_EQ(converter.learned.size(), 2u);
    box.rows[4] = PickedCandidate{std::string(500, 'x'), "", 2, 3, true};
    box.code = "abc";
    Down(52); // a cut text is not what the converter offered: not learned either
    EXPECT_EQ(converter.learned.size(), 2u);
}

// A short page (three rows) and the digit 7: no row, so no text. Inserting the empty text would
// delete the pane's selection: the pane is never touched, the composition ends.
TEST_F(Handler, ADigitPastTheLastRowInsertsNothing) {
    box.box = box.cand = true;
    box.code = "zhong";
    box.rows[7] = PickedCandidate{};
    int replaced = 0;
    struct CountingHost : FakeHost {
        int* replaced = nullptr;
        void ReplaceTargetSelection(std::string_view gbk) override {
            ++*replaced;
            FakeHost::ReplaceTargetSelection(gbk);
        }
    } counting;
    counting.replaced = &replaced;
    ImeKeyHandler handler{counting, box};
    int key = 55;
    handler.KeyDown(key, kModNone);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(replaced, 0);
    EXPECT_EQ(counting.marks, 0);
    EXPECT_EQ(box.log, (std::vector<std::string>{"pick7", "code="}));
}

TEST_F(Handler, BackspaceAndEscapeActOnTheRestAfterAPartialPick) {
    box.box = box.cand = true;
    box.code = "zhuangtaima";
    box.rows[2] = PickedCandidate{G("状态"), "ma", 1, 9, false};
    Down(50);
    EXPECT_EQ(Down(8), 0);
    EXPECT_EQ(box.code, "m");
    EXPECT_EQ(host.pane, G("状态")); // the inserted part stays in the pane
    EXPECT_EQ(Down(27), 27);
    EXPECT_EQ(box.code, "");
    EXPECT_FALSE(box.box);
    EXPECT_EQ(host.pane, G("状态"));
}

// The window asks WouldConsume before the shortcuts see a key; it must say exactly what KeyDown
// then does, in every state, or Alt+E would open a menu while the key is also composed.
TEST_F(Handler, WouldConsumeAgreesWithKeyDown) {
    const int keys[] = {65, 69, 90, 49, 48, 32, 8, 27, 186, 188, 190, 219, 221, 222, 97, 13, 112};
    const Modifiers mods[] = {kModNone, kModShift,          kModAlt, kModCtrl | kModShift,
                              kModCtrl, kModShift | kModAlt};
    for (int state = 0; state < 16; ++state) {
        for (int k : keys) {
            for (Modifiers m : mods) {
                host.ime = state & 1;
                host.chars = state & 2;
                box.box = state & 4;
                box.cand = box.box && (state & 8);
                box.code = box.box ? "zh" : "";
                const bool would = h.WouldConsume(k, m);
                int key = k;
                h.KeyDown(key, m);
                EXPECT_EQ(would, h.KeyHandled) << "key " << k << " mods " << m << " state " << state;
            }
        }
    }
}

// The converter made on a worker thread reaches the caller whole: Get waits for a load still
// running, a missing library gives null, and an error of the load is reported once.
TEST(ClauseConverterLoad, GetWaitsForTheLoadAndReportsItsErrorOnce) {
    std::promise<void> release;
    std::shared_future<void> go = release.get_future().share();
    TClauseConverterLoad load;
    load.Start([go] {
        go.wait();
        return std::unique_ptr<ClauseConverter>(std::make_unique<qbtest::FakeConverter>());
    });
    EXPECT_FALSE(load.Ready());
    release.set_value();
    ClauseConverter* c = load.Get();
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(load.Ready());
    EXPECT_EQ(load.Get(), c);

    TClauseConverterLoad none;
    EXPECT_EQ(none.Get(), nullptr);
    none.Start([] { return std::unique_ptr<ClauseConverter>(); });
    EXPECT_EQ(none.Get(), nullptr);

    TClauseConverterLoad failing;
    failing.Start([]() -> std::unique_ptr<ClauseConverter> {
        throw std::runtime_error("Cannot open file /usr/lib/x86_64-linux-gnu/libime/zh_CN.lm");
    });
    EXPECT_THROW(failing.Get(), std::runtime_error);
    EXPECT_EQ(failing.Get(), nullptr);
}
