// The lexicon-management, help and about commands through the real main window, offscreen,
// with the dialog seam scripting the file choices: F8 and F9, 批量添加, the manager, the scheme
// dialog, help and about; restart to find the additions again.
#include "AboutUnit.h"
#include "AddWordUnit.h"
#include "CandidateLookup.h"
#include "GbkText.h"
#include "MainManagementHost.h"
#include "MainUnit.h"
#include "PopSourceUnit.h"
#include "ZYCKunit.h"
#include "imeSetup.h"

#include "MgmtTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>

using namespace mgmttest;
using qb::TfrmMainQB;
using qb::TQbDict;

namespace {

void SetFollowSource(TfrmMainQB& w, bool on) {
    qb::TWorkspaceModes m = w.Modes();
    m.FollowSource = on;
    w.SetModes(m);
}

// Runs `body` on the dialog of type D as soon as it is shown modally (the command that opens
// it is waiting in exec()). The body must close the dialog. Polls for up to two seconds;
// a dialog that never appears fails the test and ends every modal loop so nothing hangs.
template <class D>
void WhenShown(std::function<void(D&)> body, int triesLeft = 200) {
    QTimer::singleShot(10, [body, triesLeft] {
        D* d = qobject_cast<D*>(QApplication::activeModalWidget());
        if (!d)
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* cand = qobject_cast<D*>(w); cand && cand->isVisible()) d = cand;
        if (d) {
            body(*d);
            return;
        }
        if (triesLeft > 0) {
            WhenShown<D>(body, triesLeft - 1);
            return;
        }
        ADD_FAILURE() << "the dialog was not shown";
        if (QWidget* m = QApplication::activeModalWidget()) m->close();
    });
}

// Lines of a lexicon file made into a scrambled professional lexicon.
void MakeQbs(const std::string& textFixture, const std::string& path) {
    qb::StringList lines = qb::SplitLines(ReadFile(Fixture(textFixture)));
    qb::ScrambleLines(lines);
    WriteFile(path, qb::JoinLinesCrLf(lines));
}

std::vector<std::string> Utf8(const std::vector<QString>& texts) {
    std::vector<std::string> out;
    for (const QString& t : texts) out.push_back(t.toStdString());
    return out;
}

bool HasLine(const qb::StringList& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace

class Window : public ::testing::Test {
protected:
    void SetUp() override {
        folder = root.path() + "/bin/";
        QDir().mkpath(QString::fromStdString(folder));
        QDir().mkpath(QString::fromStdString(root.path() + "/config"));
        for (const char* stem : {"quanpinIme", "winsp", "zrmwin", "wb"})
            for (const char* ext : {".achr", ".mpy", ".py", ".mchar"})
                Copy(std::string(stem) + ext);
        Copy("verb.spe");
        Copy("mydict.txt");
        MakeQbs("basic.txt", folder + "BasicDict.qbs");
        QDir().mkpath(QString::fromStdString(folder + "lexicons"));
        MakeQbs("med.txt", folder + "lexicons/med.qbs");
    }
    void TearDown() override { Close(); }

    void Copy(const std::string& name) { WriteFile(folder + name, ReadFile(Fixture(name))); }

    TfrmMainQB& Make() {
        qb::TWorkspaceSetup setup;
        setup.programFolder = folder;
        setup.settingsFile = QString::fromStdString(root.path() + "/config/qbridge10.ini");
        setup.ui = &ui;
        setup.rescueFolder = root.path() + "/rescue/";
        w = std::make_unique<TfrmMainQB>(setup);
        w->CreateOtherWindows();
        w->show();
        w->activateWindow();
        (void)QTest::qWaitForWindowActive(w.get());
        // The floating source window would take over the source selection of F8 and F9; the
        // tests that want it turn it back on.
        SetFollowSource(*w, false);
        return *w;
    }
    // The end of the run: shutdown writes the settings and every modified lexicon.
    void Close() {
        if (!w) return;
        w->FormDestroy();
        w.reset();
    }
    TQbDict& User() { return *w->UserLexicon(); }

    // Source text with `selected` selected; target text with all of it selected.
    void Select(const char* source, const char* selected, const char* target) {
        const std::string s = G(source);
        w->SourcePane().SetText(s);
        const std::size_t at = s.find(G(selected));
        ASSERT_NE(at, std::string::npos);
        w->SourcePane().Select(int(at), int(G(selected).size()));
        w->TargetPane().SetText(G(target));
        w->TargetPane().Select(0, int(G(target).size()));
    }
    void Press(int key) { QTest::keyClick(w->TargetPane().Edit(), Qt::Key(key)); }

    TempDir root;
    std::string folder;
    qb::TScriptedUi ui;
    std::unique_ptr<TfrmMainQB> w;
};

// ---- F8 ----

TEST_F(Window, F8AddsBothSelectionsAndShowsTheEntryAtOnce) {
    Make();
    const std::size_t before = User().EntryCount();
    Select("The patient had a heart attack. ", "heart attack", "心脏病突发");
    Press(Qt::Key_F8);
    EXPECT_EQ(User().EntryCount(), before + 1);
    EXPECT_EQ(RenderingOf(User(), "heart attack"), G("心脏病突发"));
    // Looked up again at once: the new sense is among the phrase's suggestions.
    bool shown = false;
    for (const std::string& line : w->SentenceLists().SentencePhrases)
        if (line.rfind("heart attack\t", 0) == 0 && line.find(G("心脏病突发")) != std::string::npos)
            shown = true;
    EXPECT_TRUE(shown);
    EXPECT_GT(w->findChild<QListWidget*>("lbLongPhrase")->count(), 0);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Window, F8TrimsBlanksAndControlCharacters) {
    Make();
    Select("say  \tHello\r\n there", "  \tHello\r\n ", "\t你好 ");
    Press(Qt::Key_F8);
    EXPECT_EQ(RenderingOf(User(), "hello"), G("你好"));
}

TEST_F(Window, F8WithBlanksOnlyAddsNothingButMarksModified) {
    Make();
    const auto before = Entries(User());
    Select("a    b", "    ", "保重");
    Press(Qt::Key_F8);
    EXPECT_EQ(Entries(User()), before);
    EXPECT_TRUE(User().Modified()); // the user lexicon is written at shutdown all the same
    EXPECT_TRUE(ui.messages.empty());
}

// The English selected and no translation selected: said, naming the English, and nothing added.
TEST_F(Window, F8WithoutATranslationSelectedSaysWhatIsMissing) {
    Make();
    const auto before = Entries(User());
    Select("The patient had a heart attack. ", "heart attack", "");
    Press(Qt::Key_F8);
    EXPECT_EQ(Entries(User()), before);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].contains(QString::fromUtf8("已选中原文“heart attack”，但译文栏没有选中译文")))
        << ui.messages[0].toStdString();
}

TEST_F(Window, F8ForAnExistingWordMergesWithoutANewEntry) {
    Make();
    const std::size_t before = User().EntryCount();
    Select("Take care!", "Take care", "当心");
    Press(Qt::Key_F8);
    EXPECT_EQ(User().EntryCount(), before);
    EXPECT_EQ(RenderingOf(User(), "take care"), TQbDict::MergeRenderings(G("当心"), G("保重")));
}

TEST_F(Window, F8TakesTheSourceFromTheVisibleFloatingWindow) {
    Make();
    SetFollowSource(*w, true);
    Select("The heart is strong. ", "heart", "心");
    w->findChild<qb::TfrmPopSource*>("frmPopSource")->show();
    w->findChild<qb::TfrmPopSource*>("frmPopSource")->SetText(G("myocardial infarction"));
    w->findChild<qb::TfrmPopSource*>("frmPopSource")->Text.Select(0, int(std::string("myocardial").size()));
    w->TargetPane().SetText(G("心肌的"));
    w->TargetPane().Select(0, int(G("心肌的").size()));
    Press(Qt::Key_F8);
    EXPECT_EQ(RenderingOf(User(), "myocardial"), G("心肌的"));
    EXPECT_EQ(RenderingOf(User(), "heart"), "<none>");
    // The refresh looked up the main pane's selection, "heart".
    EXPECT_TRUE(HasLine(w->SentenceLists().SentencePhrases, "heart\t" + G("心；心脏")));
}

TEST_F(Window, F8RefusesACharacterGbkCannotHoldNamingItAndAddsNothing) {
    Make();
    const auto before = Entries(User());
    w->SourcePane().SetUnicodeText(QString::fromUtf8("smile 😀 please"));
    w->SourcePane().Select(0, w->SourcePane().TextLength());
    w->TargetPane().SetText(G("微笑"));
    w->TargetPane().Select(0, w->TargetPane().TextLength());
    Press(Qt::Key_F8);
    EXPECT_EQ(Entries(User()), before);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].contains(QString::fromUtf8("😀")));
    EXPECT_TRUE(ui.messages[0].contains(QStringLiteral("U+1F600")));
    EXPECT_TRUE(ui.messages[0].startsWith(QString::fromUtf8("原文")));
}

// ---- F9 ----

TEST_F(Window, F9ShowsTheSourceAsItIsAndRefusesWhatGbkCannotHoldKeepingTheDialogOpen) {
    Make();
    const auto before = Entries(User());
    w->SourcePane().SetUnicodeText(QString::fromUtf8("Straße"));
    w->SourcePane().Select(0, w->SourcePane().TextLength());
    bool stayedOpen = false;
    WhenShown<qb::TfrmAddword>([&](qb::TfrmAddword& d) {
        EXPECT_EQ(d.sourceBox->text(), QString::fromUtf8("Straße"));
        d.targetBox->setText(QString::fromUtf8("街道"));
        d.btAddClick();
        stayedOpen = d.isVisible();
        d.reject();
    });
    Press(Qt::Key_F9);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(Entries(User()), before);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].contains(QString::fromUtf8("“ß”（U+00DF）")));
}

TEST_F(Window, F9ThenCancelAddsNothingAndStillRefreshes) {
    Make();
    const auto before = Entries(User());
    Select("The patient had a heart attack. ", "patient", "");
    w->SetSentenceLists({{"stale"}, {}, {}, {}, {}, {}, {}, {}});
    WhenShown<qb::TfrmAddword>([](qb::TfrmAddword& d) {
        EXPECT_EQ(d.sourceBox->text(), QStringLiteral("patient"));
        EXPECT_TRUE(d.targetBox->text().isEmpty());
        d.targetBox->setText(QString::fromUtf8("病号"));
        QTest::mouseClick(d.btCancel, Qt::LeftButton);
    });
    Press(Qt::Key_F9);
    EXPECT_EQ(Entries(User()), before);
    EXPECT_FALSE(HasLine(w->SentenceLists().SentencePhrases, "stale"));
    EXPECT_TRUE(HasLine(w->SentenceLists().SentencePhrases, "patient\t" + G("病人；耐心的")));
}

TEST_F(Window, F9AddsTheDialogTextsAsTheyStand) {
    Make();
    Select("The patient had a heart attack. ", "had a ", "");
    qb::TfrmAddword* first = nullptr;
    qb::TfrmAddword* second = nullptr;
    WhenShown<qb::TfrmAddword>([&first](qb::TfrmAddword& d) {
        first = &d;
        EXPECT_EQ(d.sourceBox->text(), QStringLiteral("had a ")); // untrimmed
        d.targetBox->setText(QString::fromUtf8("有一次"));
        QTest::keyClick(d.targetBox, Qt::Key_Return); // Enter is 添加
    });
    Press(Qt::Key_F9);
    EXPECT_EQ(RenderingOf(User(), "had a"), G("有一次"));
    // The same dialog is reused, its fields overwritten.
    Select("The patient had a heart attack. ", "heart", "");
    WhenShown<qb::TfrmAddword>([&second](qb::TfrmAddword& d) {
        second = &d;
        EXPECT_EQ(d.sourceBox->text(), QStringLiteral("heart"));
        EXPECT_TRUE(d.targetBox->text().isEmpty());
        d.reject();
    });
    w->findChild<QAction*>("actAdjust")->trigger();
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, &w->Management()->AddwordDialog());
}

TEST_F(Window, F9WithABlankSourceSaysSoAndAddsNoEmptyEntry) {
    Make();
    Select("The patient had a heart attack. ", "heart", "");
    const std::size_t before = User().EntryCount();
    WhenShown<qb::TfrmAddword>([this](qb::TfrmAddword& d) {
        d.sourceBox->setText(QStringLiteral("  "));
        d.targetBox->setText(QString::fromUtf8("心"));
        QTest::keyClick(d.targetBox, Qt::Key_Return);
        EXPECT_TRUE(d.isVisible()); // still open for the English text
        EXPECT_EQ(ui.messages.size(), 1u);
        EXPECT_TRUE(!ui.messages.empty() && ui.messages[0].startsWith(Q("原文是空的")));
        d.reject();
    });
    Press(Qt::Key_F9);
    EXPECT_EQ(User().EntryCount(), before);
}

TEST_F(Window, AdditionsSurviveARestart) {
    Make();
    Select("Gene therapy works.", "Gene therapy", "基因疗法");
    Press(Qt::Key_F8);
    Select("The patient had a heart attack. ", "attack", "");
    WhenShown<qb::TfrmAddword>([](qb::TfrmAddword& d) {
        d.targetBox->setText(QString::fromUtf8("发作"));
        QTest::mouseClick(d.btAdd, Qt::LeftButton);
    });
    Press(Qt::Key_F9);
    Close();
    // On disk, as a text lexicon.
    const std::string file = ReadFile(folder + "mydict.txt");
    EXPECT_NE(file.find("gene therapy\t" + G("基因疗法") + "\r\n"), std::string::npos);
    Make();
    EXPECT_EQ(RenderingOf(User(), "gene therapy"), G("基因疗法"));
    EXPECT_EQ(RenderingOf(User(), "attack"), G("发作"));
    EXPECT_EQ(RenderingOf(User(), "take care"), G("保重"));
}

// ---- 批量添加 ----

TEST_F(Window, MergingTheSameFileTwiceAddsEntriesOnce) {
    Make();
    const std::size_t before = User().EntryCount();
    const QString file = QString::fromStdString(Fixture("words-gbk.txt"));
    ui.openAnswers = {{file}, {file}};
    w->findChild<QAction*>("mnuMerge")->trigger();
    // gene therapy (two lines) and apoptosis; the blank line is no entry.
    EXPECT_EQ(User().EntryCount(), before + 2);
    EXPECT_EQ(RenderingOf(User(), "gene therapy"),
              TQbDict::MergeRenderings(G("基因疗法"), G("基因治疗")));
    const auto once = Entries(User());
    w->findChild<QAction*>("mnuMerge")->trigger();
    EXPECT_EQ(Entries(User()), once);
    EXPECT_TRUE(ui.messages.empty());
    // The busy pointer came and went (reading, merging) and was left restored.
    ASSERT_FALSE(ui.busyCalls.empty());
    EXPECT_EQ(std::count(ui.busyCalls.begin(), ui.busyCalls.end(), true),
              std::count(ui.busyCalls.begin(), ui.busyCalls.end(), false));
}

TEST_F(Window, MergeCancelledDoesNothing) {
    Make();
    ui.busyCalls.clear(); // those of the start
    const auto before = Entries(User());
    w->findChild<QAction*>("mnuMerge")->trigger();
    EXPECT_EQ(Entries(User()), before);
    EXPECT_TRUE(ui.busyCalls.empty());
}

TEST_F(Window, MergeOfAMissingFileShowsTheFileErrorAndAddsNothing) {
    Make();
    ui.busyCalls.clear(); // those of the start
    const auto before = Entries(User());
    const std::string gone = root.path() + "/gone.txt";
    ui.openAnswers = {{QString::fromStdString(gone)}};
    w->findChild<QAction*>("mnuMerge")->trigger();
    ASSERT_FALSE(ui.openRequests.empty());
    EXPECT_TRUE(ui.openRequests.back().typedNameMayNotExist); // else the dialog's own refusal
    EXPECT_EQ(Utf8(ui.messages), (std::vector<std::string>{"Cannot open file " + gone}));
    EXPECT_EQ(Entries(User()), before);
    EXPECT_EQ(ui.busyCalls, (std::vector<bool>{true, false}));
}

TEST_F(Window, MergeRefusesBinaryAndNulFilesWithoutTouchingTheUserLexicon) {
    Make();
    Select("Take care!", "Take care", "当心");
    Press(Qt::Key_F8); // something of the user's own in memory
    const auto before = Entries(User());
    ui.openAnswers = {{QString::fromStdString(Fixture("binary.bin"))},
                      {QString::fromStdString(Fixture("words-nul.txt"))}};
    w->findChild<QAction*>("mnuMerge")->trigger();
    w->findChild<QAction*>("mnuMerge")->trigger();
    ASSERT_EQ(ui.messages.size(), 2u);
    for (const QString& m : ui.messages)
        EXPECT_TRUE(m.contains(Q("不是文本词库"))) << m.toStdString();
    EXPECT_EQ(Entries(User()), before);
    Close();
    Make();
    EXPECT_EQ(RenderingOf(User(), "take care"), TQbDict::MergeRenderings(G("当心"), G("保重")));
}

TEST_F(Window, MergeOfALineWithoutAKeyNamesItAndAddsNothing) {
    Make();
    const auto before = Entries(User());
    TempDir extra;
    WriteFile(extra / "keyless.txt",
              "apoptosis\t" + G("细胞凋亡") + "\r\n\r\ncafe " + G("咖啡") + "\r\n");
    ui.openAnswers = {{QString::fromStdString(extra / "keyless.txt")}};
    w->findChild<QAction*>("mnuMerge")->trigger();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].contains(Q("第3行没有英文原文"))) << ui.messages[0].toStdString();
    EXPECT_EQ(Entries(User()), before);
}

TEST_F(Window, MergeOfUtf8ConvertsAndACharacterGbkCannotHoldAddsNothing) {
    Make();
    const auto before = Entries(User());
    TempDir extra;
    WriteFile(extra / "emoji.txt", "apoptosis\t细胞凋亡\r\nsmile\t微笑😀\r\n");
    ui.openAnswers = {{QString::fromStdString(extra / "emoji.txt")},
                      {QString::fromStdString(Fixture("words-utf8.txt"))}};
    w->findChild<QAction*>("mnuMerge")->trigger();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].contains(Q("第2行的字符“😀”"))) << ui.messages[0].toStdString();
    EXPECT_EQ(Entries(User()), before);
    w->findChild<QAction*>("mnuMerge")->trigger();
    EXPECT_TRUE(ui.questions.empty()); // UTF-8 is recognised, not asked about
    EXPECT_EQ(RenderingOf(User(), "apoptosis"), G("细胞凋亡"));
    EXPECT_EQ(RenderingOf(User(), "gene therapy"), G("基因疗法"));
}

// ---- the professional lexicon manager ----

TEST_F(Window, AddTheMedicineLexiconAndSeeItsTermsInAMedicalSentence) {
    Make();
    const std::string med = folder + "lexicons/med.qbs";
    w->SourcePane().SetText(G("The patient had a myocardial infarction. "));
    w->findChild<QAction*>("DoGetASent")->trigger();
    EXPECT_FALSE(
        HasLine(w->SentenceLists().SentencePhrases, "myocardial infarction\t" + G("心肌梗死")));
    ui.openAnswers = {{QString::fromStdString(med)}};
    WhenShown<qb::TfrmZYCK>([](qb::TfrmZYCK& d) {
        EXPECT_EQ(d.ListZYKUsing->count(), 0);
        QTest::mouseClick(d.btAddLib, Qt::LeftButton);
        EXPECT_EQ(d.ListZYKUsing->count(), 1);
        d.close();
    });
    w->findChild<QAction*>("mnuPro")->trigger();
    ASSERT_EQ(w->IndexOfDict(med), 2);
    w->findChild<QAction*>("DoConfirmSelection")->trigger();
    EXPECT_TRUE(HasLine(w->SentenceLists().SentencePhrases, "myocardial infarction\t" + G("心肌梗死")));
    // patient: the basic lexicon's senses and the professional one pooled in one line.
    const auto patient = std::find_if(
        w->SentenceLists().SentencePhrases.begin(), w->SentenceLists().SentencePhrases.end(),
        [](const std::string& l) { return l.rfind("patient\t", 0) == 0; });
    ASSERT_NE(patient, w->SentenceLists().SentencePhrases.end());
    EXPECT_NE(patient->find(G("病人")), std::string::npos);
    EXPECT_NE(patient->find(G("患者")), std::string::npos);
    Close();
    // The lexicon in use is saved at shutdown and opened at the next start.
    Make();
    EXPECT_EQ(w->IndexOfDict(med), 2);
}

TEST_F(Window, RemovedLexiconsLeaveEmptySlotsAndTheSavedListShowsThem) {
    const std::string med = folder + "lexicons/med.qbs";
    const std::string law = folder + "lexicons/law.qbs";
    MakeQbs("med.txt", law);
    Make();
    ui.openAnswers = {
        {QString::fromStdString(med), QString::fromStdString(law), QString::fromStdString(med)}};
    WhenShown<qb::TfrmZYCK>([&](qb::TfrmZYCK& d) {
        d.btAddLibClick();
        EXPECT_EQ(Utf8(ui.messages), (std::vector<std::string>{"此库已在使用中！"}));
        d.ListZYKUsing->item(0)->setSelected(true);
        QTest::mouseClick(d.btDeleteSelLib, Qt::LeftButton);
        EXPECT_EQ(d.ListZYKUsing->count(), 1);
        d.close();
    });
    w->findChild<QAction*>("mnuPro")->trigger();
    ASSERT_EQ(w->LexiconsInUse().size(), 4u);
    EXPECT_EQ(w->Lexicon(2), nullptr);
    EXPECT_EQ(w->IndexOfDict(law), 3);
    Close();
    const std::string ini = ReadFile(root.path() + "/config/qbridge10.ini");
    EXPECT_NE(ini.find("rcdicts1="), std::string::npos);
    EXPECT_EQ(ini.find("rcdicts1=" + med), std::string::npos);
    EXPECT_NE(ini.find("rcdicts2=" + law), std::string::npos);
}

TEST_F(Window, ExpandTheBasicLexiconAndReadTheCount) {
    Make();
    ui.openAnswers = {{QString::fromStdString(folder + "BasicDict.qbs")},
                      {QString::fromStdString(folder + "lexicons/med.qbs")}};
    WhenShown<qb::TfrmZYCK>([](qb::TfrmZYCK& d) {
        d.PagesOfCiku->setCurrentIndex(2);
        d.btSpecifyTargetClick();
        d.btSpecifySourceClick();
        QTest::mouseClick(d.btBeginExpand, Qt::LeftButton);
        d.close();
    });
    const std::size_t before = w->BasicLexicon()->EntryCount();
    w->findChild<QAction*>("mnuPro")->trigger();
    // myocardial infarction and heart attack are new; patient only merges.
    EXPECT_EQ(Utf8(ui.messages), (std::vector<std::string>{"扩充完成！新增条目：2"}));
    EXPECT_EQ(w->BasicLexicon()->EntryCount(), before + 2);
    // Written at once and still in use.
    TQbDict reread;
    reread.Load(folder + "BasicDict.qbs", folder + "verb.spe");
    EXPECT_EQ(reread.EntryCount(), before + 2);
    w->SourcePane().SetText(G("a heart attack"));
    w->SourcePane().Select(0, 14);
    w->findChild<QAction*>("DoConfirmSelection")->trigger();
    EXPECT_TRUE(HasLine(w->SentenceLists().SentencePhrases, "heart attack\t" + G("心脏病发作")));
}

TEST_F(Window, ExpandingALexiconThatCannotBeWrittenKeepsMemoryAndFile) {
    TempDir locked;
    MakeQbs("med.txt", locked / "cardio.qbs");
    const std::string old = ReadFile(locked / "cardio.qbs");
    Make();
    w->OpenDict(locked / "cardio.qbs");
    const int slot = w->IndexOfDict(locked / "cardio.qbs");
    ASSERT_EQ(slot, 2);
    const std::size_t before = w->Lexicon(2)->EntryCount();
    WriteFile(root / "more.txt", "angina\t" + G("心绞痛") + "\r\n");
    ui.openAnswers = {{QString::fromStdString(locked / "cardio.qbs")},
                      {QString::fromStdString(root / "more.txt")}};
    UnwritableDir guard(locked.path());
    if (!guard.ok()) GTEST_SKIP() << "no way to make a folder unwritable here";
    ui.busyCalls.clear();
    WhenShown<qb::TfrmZYCK>([](qb::TfrmZYCK& d) {
        d.btSpecifyTargetClick();
        d.btSpecifySourceClick();
        d.btBeginExpandClick();
        d.close();
    });
    w->findChild<QAction*>("mnuPro")->trigger();
    EXPECT_EQ(Utf8(ui.messages),
              (std::vector<std::string>{"Cannot create file " + (locked / "cardio.qbs")}));
    EXPECT_EQ(w->Lexicon(2)->EntryCount(), before + 1); // in memory, still in use
    EXPECT_EQ(ReadFile(locked / "cardio.qbs"), old);    // the file as it was
    EXPECT_EQ(std::count(ui.busyCalls.begin(), ui.busyCalls.end(), true),
              std::count(ui.busyCalls.begin(), ui.busyCalls.end(), false));
    // Nothing lost at shutdown either: the lexicon that cannot be written goes to the rescue
    // folder (the main window's shutdown does that); here it is pointed elsewhere first.
    w->Lexicon(2)->SetFileName(root / "cardio-saved.qbs");
    Close();
    TQbDict reread;
    reread.Load(root / "cardio-saved.qbs", folder + "verb.spe");
    EXPECT_EQ(RenderingOf(reread, "angina"), G("心绞痛"));
}

// ---- the scheme dialog ----

namespace {
std::vector<std::string> CandidatesOf(TfrmMainQB& w, const char* code) {
    qb::CandidateSources sources;
    for (int id = 1; id <= 4; ++id) {
        sources.schemes[std::size_t(id - 1)] = &w.Table(id);
        sources.use[std::size_t(id - 1)] = w.SchemeOn(id);
    }
    sources.order = w.SchemeSettings().order;
    sources.classicOrder = true;
    qb::CandidateLookup lookup;
    qb::StringList out;
    lookup.LookupCandidates(code, sources, out);
    std::vector<std::string> utf8;
    for (const std::string& c : out) utf8.push_back(qb::GbkToUtf8(c));
    return utf8;
}
} // namespace

TEST_F(Window, WubiMovedUpComesFirstInTheCandidates) {
    Make();
    EXPECT_EQ(CandidatesOf(*w, "ab"), (std::vector<std::string>{"甲", "丙", "丁", "乙"}));
    WhenShown<qb::TOKRightDlg>([](qb::TOKRightDlg& d) {
        EXPECT_EQ(d.CheckListBox1->item(3)->text(), QString::fromUtf8("五笔"));
        d.CheckListBox1->setCurrentRow(3);
        for (int i = 0; i < 3; ++i) QTest::mouseClick(d.Button1, Qt::LeftButton);
        QTest::mouseClick(d.OKBtn, Qt::LeftButton);
    });
    w->findChild<QAction*>("mnuIMESetup")->trigger();
    EXPECT_EQ(w->SchemeSettings().order, (std::array<int, 4>{4, 1, 2, 3}));
    EXPECT_EQ(CandidatesOf(*w, "ab"), (std::vector<std::string>{"乙", "甲", "丙", "丁"}));
    // Saved at shutdown, read at the next start.
    Close();
    Make();
    EXPECT_EQ(w->SchemeSettings().order, (std::array<int, 4>{4, 1, 2, 3}));
}

TEST_F(Window, UncheckedSchemeIsEmptiedAndCheckedAgainIsReadAgain) {
    Make();
    ASSERT_FALSE(w->Table(1).CodeKeys.empty());
    WhenShown<qb::TOKRightDlg>([](qb::TOKRightDlg& d) {
        d.CheckListBox1->item(0)->setCheckState(Qt::Unchecked);
        d.OKBtnClick();
    });
    w->findChild<QAction*>("mnuIMESetup")->trigger();
    EXPECT_FALSE(w->SchemeOn(1));
    EXPECT_TRUE(w->Table(1).CodeKeys.empty());
    EXPECT_EQ(CandidatesOf(*w, "ab"), (std::vector<std::string>{"丙", "丁", "乙"}));
    WhenShown<qb::TOKRightDlg>([](qb::TOKRightDlg& d) {
        d.CheckListBox1->item(0)->setCheckState(Qt::Checked);
        QTest::keyClick(&d, Qt::Key_Return); // Enter is 确定
    });
    w->findChild<QAction*>("mnuIMESetup")->trigger();
    EXPECT_TRUE(w->SchemeOn(1));
    EXPECT_FALSE(w->Table(1).CodeKeys.empty());
}

TEST_F(Window, SchemeDialogCancelChangesNothing) {
    Make();
    WhenShown<qb::TOKRightDlg>([](qb::TOKRightDlg& d) {
        d.CheckListBox1->setCurrentRow(2);
        d.Button1Click();
        d.CheckListBox1->item(3)->setCheckState(Qt::Unchecked);
        QTest::mouseClick(d.CancelBtn, Qt::LeftButton);
    });
    w->findChild<QAction*>("mnuIMESetup")->trigger();
    EXPECT_EQ(w->SchemeSettings().order, (std::array<int, 4>{1, 2, 3, 4}));
    EXPECT_TRUE(w->SchemeOn(4));
    EXPECT_FALSE(w->Table(4).CodeKeys.empty());
    EXPECT_TRUE(ui.messages.empty());
}

// ---- help, web and about ----

TEST_F(Window, F1OpensTheLocalHelpPageWithoutAMessage) {
    Make();
    Press(Qt::Key_F1); // there is no help folder in this program folder
    EXPECT_EQ(Utf8(ui.openedUrls), (std::vector<std::string>{folder + "help/index.htm"}));
    EXPECT_TRUE(ui.messages.empty());
    w->findChild<QAction*>("mnuWebSite")->trigger();
    w->findChild<QAction*>("mnuMovie")->trigger();
    EXPECT_EQ(Utf8(ui.openedUrls),
              (std::vector<std::string>{folder + "help/index.htm", qb::kWebSite, qb::kDownloadPage}));
}

TEST_F(Window, AboutBoxIsMadeShownAndGone) {
    Make();
    WhenShown<qb::TAboutBox>([](qb::TAboutBox& box) {
        EXPECT_EQ(box.ProductName->text(), QString::fromUtf8("文渡翻译环境"));
        QTest::mouseClick(box.OKButton, Qt::LeftButton);
    });
    w->findChild<QAction*>("mnuAbout")->trigger();
    for (QWidget* top : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<qb::TAboutBox*>(top), nullptr); // destroyed when closed
}

TEST(HelpFolder, TheBuildCopiesTheHelpPagesBesideTheProgram) {
    for (const char* page : {"index.htm", "start.htm", "sentence.htm", "ime.htm", "lexicon.htm",
                             "keys.htm", "style.css", "images/main.png", "images/zyck.png"})
        EXPECT_EQ(ReadFile(std::string(QB_BIN_DIR) + "/help/" + page),
                  ReadFile(std::string(QB_HELP_SRC_DIR) + "/" + page))
            << page;
}
