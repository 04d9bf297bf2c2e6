// Start-up and the lexicons in use, with a temporary program folder and store.
#include "WorkspaceTestSupport.h"

#include "ClauseConverter.h"
#include "ExplanUnit.h"
#include "GbkText.h"
#include "PopSourceUnit.h"
#include "SingleInstance.h"
#include "Startup.h"
#include "UserFolders.h"
#include "imeSetup.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>

#include <csignal>

namespace qb::test {
namespace {

using Strings = std::vector<std::string>;

class Startup : public TWindowTest, public testing::Test {};

TEST_F(Startup, EmptyStoreGivesTheDefaults) {
    TfrmMainQB& w = Make();
    EXPECT_TRUE(w.FormCreateCompleted());
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(w.pos(), QPoint(10, 10));
    EXPECT_EQ(w.size(), QSize(640, 480));
    EXPECT_TRUE(w.SchemeOn(1) && w.SchemeOn(2) && w.SchemeOn(3) && w.SchemeOn(4));
    EXPECT_EQ(w.SchemeSettings().order, (std::array<int, 4>{1, 2, 3, 4}));
    EXPECT_TRUE(w.Modes().FollowSource);
    EXPECT_FALSE(w.Modes().SmartFollow);
    EXPECT_TRUE(w.Modes().ImeEnabled);
    EXPECT_TRUE(w.Modes().FullWidthPunct);
    EXPECT_FALSE(w.Modes().FullWidthChars);
    EXPECT_FALSE(w.Modes().BrowseMode);
    ASSERT_EQ(w.LexiconsInUse().size(), 2u);
    EXPECT_EQ(w.UserLexicon()->FileName(), folder.Path("mydict.txt"));
    EXPECT_EQ(w.BasicLexicon()->FileName(), folder.Path("BasicDict.qbs"));
    EXPECT_EQ(w.windowTitle(), QString::fromUtf8("文渡翻译环境"));
    EXPECT_FALSE(folder.IniExists()); // reading creates nothing
}

TEST_F(Startup, SavedBoundsAndSwitchesAreApplied) {
    folder.WriteIni("[inisetup]\nSmartFollowCandi=1\nPopSourceSet=0\nuseQp=0\nuseWb=0\n"
                    "Pos1=4\nPos2=3\nPos3=2\nPos4=1\n"
                    "[winpos]\nleft=120\ntop=90\nwidth=500\nheight=400\n");
    TfrmMainQB& w = Make();
    EXPECT_EQ(w.pos(), QPoint(120, 90));
    EXPECT_EQ(w.size(), QSize(500, 400));
    EXPECT_TRUE(w.Modes().SmartFollow);
    EXPECT_FALSE(w.Modes().FollowSource);
    EXPECT_FALSE(w.SchemeOn(1));
    EXPECT_TRUE(w.SchemeOn(2));
    EXPECT_TRUE(w.SchemeOn(3));
    EXPECT_FALSE(w.SchemeOn(4));
    EXPECT_EQ(w.SchemeSettings().order, (std::array<int, 4>{4, 3, 2, 1}));
    EXPECT_EQ(w.StatusText(3), QString::fromUtf8("原文固定"));
    EXPECT_TRUE(w.findChild<QAction*>("actSmartFollow")->isChecked());
}

TEST_F(Startup, SchemeOrderThatIsNoPermutationFallsBack) {
    folder.WriteIni("[inisetup]\nPos1=1\nPos2=1\nPos3=3\nPos4=4\n");
    TfrmMainQB& w = Make(false);
    EXPECT_EQ(w.SchemeSettings().order, (std::array<int, 4>{1, 2, 3, 4}));
}

TEST_F(Startup, PositionOnNoScreenIsMovedOntoThePrimaryScreen) {
    folder.WriteIni("[winpos]\nleft=-5000\ntop=-4000\nwidth=500\nheight=300\n");
    TfrmMainQB& w = Make(false);
    EXPECT_GE(w.x(), 0);
    EXPECT_GE(w.y(), 0);
    EXPECT_EQ(w.size(), QSize(500, 300)); // the other bounds as read
}

TEST_F(Startup, ProfessionalListWithGapsRepeatsAndMissingFiles) {
    folder.MakeProfessional("law.txt", folder.Path("law.qbs"));
    folder.MakeProfessional("med.txt", folder.Path("med.qbs"));
    const std::string missing = folder.Path("gone.qbs");
    folder.WriteIni("[inisetup]\nrcdicts1=" + folder.Path("law.qbs") + "\nrcdicts2=\n" +
                    "rcdicts3=" + missing + "\nrcdicts4=" + folder.Path("med.qbs") + "\nrcdicts5=" +
                    folder.Path("law.qbs") + "\nrcdicts10=" + folder.Path("mydict.txt") + "\n");
    TfrmMainQB& w = Make(false);
    ASSERT_EQ(w.LexiconsInUse().size(), 4u);
    EXPECT_EQ(w.Lexicon(2)->FileName(), folder.Path("law.qbs"));
    EXPECT_EQ(w.Lexicon(3)->FileName(), folder.Path("med.qbs"));
    EXPECT_EQ(Messages(), Strings{"词库" + missing + "没有找到！"});
}

TEST_F(Startup, MissingUserAndBasicLexiconsKeepTheirSlots) {
    folder.Remove("mydict.txt");
    folder.Remove("BasicDict.qbs");
    folder.MakeProfessional("law.txt", folder.Path("law.qbs"));
    folder.WriteIni("[inisetup]\nrcdicts1=" + folder.Path("law.qbs") + "\n");
    TfrmMainQB& w = Make(false);
    EXPECT_EQ(Messages(), (Strings{"词库" + folder.Path("mydict.txt") + "没有找到！",
                                   "词库" + folder.Path("BasicDict.qbs") + "没有找到！"}));
    ASSERT_EQ(w.LexiconsInUse().size(), 3u);
    ASSERT_TRUE(w.UserLexicon());
    EXPECT_EQ(w.UserLexicon()->FileName(), folder.Path("mydict.txt"));
    EXPECT_EQ(w.UserLexicon()->EntryCount(), 0u);
    EXPECT_FALSE(w.BasicLexicon());
    EXPECT_EQ(w.Lexicon(2)->FileName(), folder.Path("law.qbs"));
    EXPECT_EQ(w.IndexOfDict(folder.Path("mydict.txt")), 0);
}

TEST_F(Startup, UnreadableSchemeFileStopsFormCreate) {
    folder.Remove("zrmwin.mpy");
    TfrmMainQB& w = Make(false);
    EXPECT_EQ(Messages(), Strings{"Cannot open file " + folder.Path("zrmwin.mpy")});
    EXPECT_FALSE(w.FormCreateCompleted());
    // 全拼 loaded, 自然 stopped after its .achr, 双拼 and 五笔 not reached.
    EXPECT_EQ(w.Table(1).CodeKeys.size(), 6u);
    EXPECT_EQ(w.Table(3).CharKeys.size(), 6u);
    EXPECT_TRUE(w.Table(3).CharCodes.empty());
    EXPECT_TRUE(w.Table(2).CharKeys.empty());
    EXPECT_TRUE(w.Table(4).CharKeys.empty());
    // The status bar keeps the texts it was built with.
    EXPECT_EQ(w.StatusText(0), QString::fromUtf8("启用输入"));
    EXPECT_EQ(w.StatusText(1), QString::fromUtf8("全标"));
    EXPECT_EQ(w.StatusText(2), QString::fromUtf8("半符"));
    EXPECT_EQ(w.StatusText(3), QString::fromUtf8("原文随动"));
}

TEST_F(Startup, MissingVerbSpeIsReportedAndStartUpGoesOn) {
    folder.Remove("verb.spe");
    TfrmMainQB& w = Make(false);
    EXPECT_EQ(Messages(), Strings{"Cannot open file " + folder.Path("verb.spe")});
    EXPECT_TRUE(w.FormCreateCompleted());
    ASSERT_TRUE(w.UserLexicon());
    ASSERT_TRUE(w.BasicLexicon());
    EXPECT_GT(w.BasicLexicon()->EntryCount(), 0u);
    EXPECT_EQ(w.BasicLexicon()->IrregularCount(), 0u);
    EXPECT_FALSE(w.Table(1).CodeKeys.empty());
}

TEST_F(Startup, OtherWindowsAreCreatedHidden) {
    TfrmMainQB& w = Make();
    ASSERT_TRUE(w.findChild<TfrmPopSource*>("frmPopSource"));
    ASSERT_TRUE(w.findChild<TfrmShowExplain*>("frmShowExplain"));
    EXPECT_FALSE(w.findChild<TfrmPopSource*>("frmPopSource")->isVisible());
    EXPECT_FALSE(w.findChild<TfrmShowExplain*>("frmShowExplain")->isVisible());
    EXPECT_TRUE(
        w.findChild<TfrmPopSource*>("frmPopSource")->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(
        w.findChild<TfrmPopSource*>("frmPopSource")->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

// ---- Dicts ----

TEST_F(Startup, OpenDictTwiceLoadsOnceAndCaseDiffersLoadsAgain) {
    TfrmMainQB& w = Make(false);
    folder.MakeProfessional("law.txt", folder.Path("law.qbs"));
    folder.MakeProfessional("law.txt", folder.Path("LAW.qbs"));
    w.OpenDict(folder.Path("law.qbs"));
    w.OpenDict(folder.Path("law.qbs"));
    EXPECT_EQ(w.LexiconsInUse().size(), 3u);
    w.OpenDict(folder.Path("LAW.qbs"));
    EXPECT_EQ(w.LexiconsInUse().size(), 4u);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(Startup, CloseDictLeavesAnEmptySlotAndReopenAppends) {
    TfrmMainQB& w = Make(false);
    folder.MakeProfessional("law.txt", folder.Path("law.qbs"));
    const std::string law = folder.Path("law.qbs");
    w.OpenDict(law);
    ASSERT_EQ(w.IndexOfDict(law), 2);
    w.CloseDict(law);
    EXPECT_EQ(w.LexiconsInUse().size(), 3u);
    EXPECT_FALSE(w.Lexicon(2));
    EXPECT_EQ(w.IndexOfDict(law), -1);
    w.OpenDict(law);
    EXPECT_EQ(w.IndexOfDict(law), 3);
}

TEST_F(Startup, OpenDictOfAMissingFileShowsOneMessageAndAddsNoSlot) {
    TfrmMainQB& w = Make(false);
    w.OpenDict(folder.Path("nothere.qbs"));
    EXPECT_EQ(w.LexiconsInUse().size(), 2u);
    EXPECT_EQ(Messages(), Strings{"词库" + folder.Path("nothere.qbs") + "没有找到！"});
}

// ---- scheme tables ----

TEST_F(Startup, LoadSchemeTablesFollowsTheSwitches) {
    folder.WriteIni("[inisetup]\nuseWb=0\n");
    TfrmMainQB& w = Make(false);
    EXPECT_EQ(w.Table(1).CharKeys.size(), 6u);
    EXPECT_EQ(w.Table(2).CharKeys.size(), 6u);
    EXPECT_EQ(w.Table(3).CharKeys.size(), 6u);
    EXPECT_TRUE(w.Table(4).CharKeys.empty());
    qb::SchemeChoice schemes = w.SchemeSettings();
    schemes.use[3] = true;  // 五笔
    schemes.use[0] = false; // 全拼
    w.SetSchemeSettings(schemes);
    w.LoadSchemeTables();
    EXPECT_TRUE(w.Table(1).CharKeys.empty());
    EXPECT_TRUE(w.Table(1).CodeWords.empty());
    EXPECT_EQ(w.Table(4).CharKeys.size(), 6u);
    EXPECT_EQ(w.Table(4).CodeWords.size(), 6u);
}

TEST_F(Startup, GetWordCodes) {
    TfrmMainQB& w = Make(false);
    StringList codes;
    w.GetWordCodes(G("银行"), codes, 1); // 行: xing hang
    EXPECT_EQ(codes, (StringList{"yx", "yh"}));
    w.GetWordCodes(G("中文国"), codes, 1); // 文 is not in the tables
    EXPECT_EQ(codes, StringList{"zg"});
    w.GetWordCodes("ASCII only", codes, 1);
    EXPECT_TRUE(codes.empty());
    w.GetWordCodes(G("中重"), codes, 1); // zhong / zhong chong: distinct codes
    EXPECT_EQ(codes, (StringList{"zz", "zc"}));
    w.GetWordCodes(G("保国保国保国保国保国保国保"), codes, 1); // 13 characters: 12 count
    EXPECT_EQ(codes, StringList{"bgbgbgbgbgbg"});
    w.GetWordCodes(G("中国"), codes, 4);
    EXPECT_EQ(codes, StringList{"kl"});
}

// ---- single instance (the first step of start-up) ----

// The program itself (not a test's setup) converts whole clauses and learns into the user's
// history file: a setup without the converter types word by word from the tables alone.
TEST(ProgramStart, TheProgramsOwnSetupConvertsClausesAndKeepsTheUsersHistory) {
    const TProgramSetup setup = UserProgramSetup();
    EXPECT_EQ(setup.memoryFile, TranslationMemoryFile());
    ASSERT_TRUE(setup.makeConverter);
    auto converter = setup.makeConverter();
    ASSERT_TRUE(converter) << "libime's data is missing (libime-data, libime-data-language-model)";
    std::vector<ClauseCandidate> rows;
    converter->Convert(1, "womenyinggai", rows);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(GbkToUtf8(rows.front().text), "我们应该");
    converter->Learn(1, "womenyinggai", rows.front());
    converter->SaveHistory();
    EXPECT_TRUE(QFile::exists(QString::fromStdString(PinyinHistoryFile())));
}

TProgramSetup ProgramSetup(const TProgramFolder& folder, const QString& instance, TUi* ui,
                           bool handleSignals) {
    TProgramSetup s;
    s.programFolder = folder.folder;
    s.settingsFile = folder.settings;
    s.instanceName = instance;
    s.ui = ui;
    s.handleSignals = handleSignals;
    return s;
}

TEST(ProgramStart, SecondInstanceActivatesTheFirstAndTouchesNothing) {
    TProgramFolder first;
    TProgramFolder second;
    TScriptedUi ui1, ui2;
    const QString name = QStringLiteral("qbtest-start-%1").arg(QCoreApplication::applicationPid());
    TProgram a(ProgramSetup(first, name, &ui1, false));
    ASSERT_TRUE(a.Start());
    ASSERT_TRUE(a.MainWindow());
    EXPECT_TRUE(a.MainWindow()->isVisible());
    QSignalSpy spy(a.Instance(), &TSingleInstance::activateRequested);

    TProgram b(ProgramSetup(second, name, &ui2, false));
    EXPECT_FALSE(b.Start());
    EXPECT_EQ(b.MainWindow(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() == 1; }, 15000));
    b.Finish();
    EXPECT_FALSE(second.IniExists());
    EXPECT_TRUE(ui2.messages.empty());

    a.Finish();
    EXPECT_TRUE(first.IniExists());
}

TEST(ProgramStart, SigtermClosesTheWindowAndShutdownSaves) {
    TProgramFolder folder;
    TScriptedUi ui;
    const QString name = QStringLiteral("qbtest-sig-%1").arg(QCoreApplication::applicationPid());
    TProgram p(ProgramSetup(folder, name, &ui, true));
    ASSERT_TRUE(p.Start());
    QSignalSpy closed(p.MainWindow(), &TfrmMainQB::closed);
    ::raise(SIGTERM);
    EXPECT_TRUE(QTest::qWaitFor([&] { return closed.count() == 1; }, 15000));
    p.Finish();
    EXPECT_TRUE(folder.IniExists());
}

// Raises SIGTERM at every message, as a session ending at logout would while a shutdown
// message is up.
class TSigtermAtMessageUi : public TScriptedUi {
public:
    void ShowMessage(const QString& text) override {
        TScriptedUi::ShowMessage(text);
        ::raise(SIGTERM);
    }
};

TEST(ProgramStart, ASigtermDuringTheShutdownSaveStopsNothing) {
    TProgramFolder folder;
    TSigtermAtMessageUi ui;
    const QString name = QStringLiteral("qbtest-sig2-%1").arg(QCoreApplication::applicationPid());
    TProgramSetup setup = ProgramSetup(folder, name, &ui, true);
    // A settings store under a regular file cannot be written: the shutdown shows that, and the
    // signal comes while the lexicons are still to be saved.
    setup.settingsFile = QString::fromStdString(folder.Path("verb.spe")) + "/qbridge10.ini";
    TProgram p(setup);
    ASSERT_TRUE(p.Start());
    p.MainWindow()->UserLexicon()->AddEntry("kept at logout", G("保留"));
    p.Finish(); // with the system's handler back, the SIGTERM would end the test process here
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_NE(ReadBytes(folder.Path("mydict.txt")).find("kept at logout\t" + G("保留")),
              std::string::npos);
}

} // namespace
} // namespace qb::test
