// FormDestroy: settings written once, the professional list, modified lexicons only,
// and the decided changes (every lexicon saved whatever failed, rescue files).
#include "WorkspaceTestSupport.h"

#include "GbkText.h"
#include "imeSetup.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTest>

#include <sys/stat.h>

namespace qb::test {
namespace {

using Strings = std::vector<std::string>;

class Shutdown : public TWindowTest, public testing::Test {
protected:
    bool IniHas(const std::string& line) const {
        return folder.ReadIni().find(line + "\n") != std::string::npos;
    }
};

TEST_F(Shutdown, WritesTheSettings) {
    TfrmMainQB& w = Make();
    w.TargetPane().Edit()->setFocus();
    QTest::keyClick(w.TargetPane().Edit(), Qt::Key_F, Qt::ControlModifier); // FollowSource off
    QTest::keyClick(w.TargetPane().Edit(), Qt::Key_M, Qt::ControlModifier); // SmartFollow on
    ASSERT_FALSE(w.Modes().FollowSource);
    ASSERT_TRUE(w.Modes().SmartFollow);
    qb::SchemeChoice schemes = w.SchemeSettings();
    schemes.use[1] = false; // 双拼
    schemes.order = {2, 1, 4, 3};
    w.SetSchemeSettings(schemes);
    w.move(33, 44);
    w.resize(700, 500);
    w.FormDestroy();
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(IniHas("SmartFollowCandi=1"));
    EXPECT_TRUE(IniHas("PopSourceSet=0"));
    EXPECT_TRUE(IniHas("useQp=1"));
    EXPECT_TRUE(IniHas("useSp=0"));
    EXPECT_TRUE(IniHas("Pos1=2"));
    EXPECT_TRUE(IniHas("Pos4=3"));
    EXPECT_TRUE(IniHas("left=33"));
    EXPECT_TRUE(IniHas("top=44"));
    EXPECT_TRUE(IniHas("width=700"));
    EXPECT_TRUE(IniHas("height=500"));
    EXPECT_EQ(folder.ReadIni().find("rcdicts"), std::string::npos); // no slot 2: no list value
}

TEST_F(Shutdown, SettingsSurviveARestart) {
    {
        TfrmMainQB& w = Make();
        {
            TWorkspaceModes m = w.Modes();
            m.FollowSource = false;
            w.SetModes(m);
        }
        w.move(50, 60);
        w.resize(610, 420);
        window.reset(); // the destructor runs FormDestroy
    }
    TfrmMainQB& again = Make();
    EXPECT_FALSE(again.Modes().FollowSource);
    EXPECT_EQ(again.pos(), QPoint(50, 60));
    EXPECT_EQ(again.size(), QSize(610, 420));
}

TEST_F(Shutdown, ProfessionalListKeepsSlotOrderWithAnEmptyNameForAClosedOne) {
    for (const char* n : {"a.qbs", "b.qbs", "c.qbs"})
        folder.MakeProfessional("law.txt", folder.Path(n));
    folder.WriteIni("[inisetup]\nrcdicts1=" + folder.Path("a.qbs") +
                    "\nrcdicts2=" + folder.Path("b.qbs") + "\nrcdicts3=" + folder.Path("c.qbs") +
                    "\nrcdicts7=/old/kept.qbs\n");
    TfrmMainQB& w = Make(false);
    EXPECT_EQ(Messages(), Strings{"词库/old/kept.qbs没有找到！"});
    w.CloseDict(folder.Path("b.qbs"));
    w.FormDestroy();
    EXPECT_TRUE(IniHas("rcdicts1=" + folder.Path("a.qbs")));
    EXPECT_TRUE(IniHas("rcdicts2="));
    EXPECT_TRUE(IniHas("rcdicts3=" + folder.Path("c.qbs")));
    EXPECT_TRUE(IniHas("rcdicts7=/old/kept.qbs")); // higher numbers keep what they held
}

TEST_F(Shutdown, OnlyTheFirstTenProfessionalSlotsAreWritten) {
    TfrmMainQB& w = Make(false);
    for (int i = 1; i <= 12; ++i) {
        const std::string p = folder.Path(("p" + std::to_string(i) + ".qbs").c_str());
        folder.MakeProfessional("law.txt", p);
        w.OpenDict(p);
    }
    ASSERT_EQ(w.LexiconsInUse().size(), 14u);
    w.FormDestroy();
    EXPECT_TRUE(IniHas("rcdicts10=" + folder.Path("p10.qbs")));
    EXPECT_EQ(folder.ReadIni().find("p11.qbs"), std::string::npos);
    EXPECT_EQ(folder.ReadIni().find("rcdicts11"), std::string::npos);
}

TEST_F(Shutdown, WritesModifiedLexiconsOnly) {
    TfrmMainQB& w = Make(false);
    const std::string basicBefore = ReadBytes(folder.Path("BasicDict.qbs"));
    const QDateTime basicTime =
        QFileInfo(QString::fromStdString(folder.Path("BasicDict.qbs"))).lastModified();
    w.UserLexicon()->AddEntry("new word", G("新词"));
    w.FormDestroy();
    EXPECT_NE(ReadBytes(folder.Path("mydict.txt")).find("new word\t" + G("新词")), std::string::npos);
    EXPECT_EQ(ReadBytes(folder.Path("BasicDict.qbs")), basicBefore);
    EXPECT_EQ(QFileInfo(QString::fromStdString(folder.Path("BasicDict.qbs"))).lastModified(),
              basicTime);
    EXPECT_TRUE(w.LexiconsInUse().empty() || !w.UserLexicon());
}

TEST_F(Shutdown, UnmodifiedUserLexiconIsNotRewritten) {
    TfrmMainQB& w = Make(false);
    WriteBytes(folder.Path("mydict.txt"), "changed outside\r\n");
    w.FormDestroy();
    EXPECT_EQ(ReadBytes(folder.Path("mydict.txt")), "changed outside\r\n");
}

TEST_F(Shutdown, MissingUserLexiconReceivesTheAdditions) {
    folder.Remove("mydict.txt");
    TfrmMainQB& w = Make(false);
    w.UserLexicon()->AddEntry("fresh", G("新"));
    w.FormDestroy();
    EXPECT_NE(ReadBytes(folder.Path("mydict.txt")).find("fresh\t" + G("新")), std::string::npos);
}

TEST_F(Shutdown, ALexiconThatCannotBeWrittenIsRescuedAndTheOthersAreSaved) {
    const std::string sub = folder.folder + "pro/";
    QDir().mkpath(QString::fromStdString(sub));
    folder.MakeProfessional("law.txt", sub + "law.qbs");
    folder.MakeProfessional("med.txt", folder.Path("med.qbs"));
    TfrmMainQB& w = Make(false);
    w.OpenDict(sub + "law.qbs");
    w.OpenDict(folder.Path("med.qbs")); // after the failing one: still saved
    ASSERT_EQ(w.LexiconsInUse().size(), 4u);
    w.Lexicon(2)->AddEntry("appeal", G("上诉"));
    w.Lexicon(3)->AddEntry("fracture", G("骨折"));
    w.UserLexicon()->AddEntry("user word", G("用户词"));
    QDir(QString::fromStdString(sub)).removeRecursively(); // its folder is gone
    w.FormDestroy();
    ASSERT_EQ(ui.messages.size(), 1u);
    const std::string m = ui.messages[0].toStdString();
    EXPECT_EQ(m, "词库" + sub + "law.qbs无法写入；词库的内容已另存为" + folder.rescue + "law.qbs");
    StringList lines = SplitLines(ReadBytes(folder.rescue + "law.qbs"));
    ScrambleLines(lines);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "appeal\t" + G("上诉")), lines.end());
    EXPECT_NE(ReadBytes(folder.Path("mydict.txt")).find("user word"), std::string::npos);
    lines = SplitLines(ReadBytes(folder.Path("med.qbs")));
    ScrambleLines(lines);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "fracture\t" + G("骨折")), lines.end());
}

// Regression: an unreadable mydict.txt, one F8 and a close left a mydict.txt of that one entry.
// Here the file is a FIFO (refused like an unreadable file, also for root): it stays a FIFO,
// the entries go to the rescue folder, and the start that stopped early writes no settings.
TEST_F(Shutdown, ALexiconThatFailedToLoadIsRescuedNeverWrittenOverItsFile) {
    const std::string ini = "[winpos]\nleft=333\n[inisetup]\nuseWb=false\n";
    folder.WriteIni(ini);
    folder.Remove("mydict.txt");
    ASSERT_EQ(::mkfifo(folder.Path("mydict.txt").c_str(), 0600), 0);
    TfrmMainQB& w = Make(false);
    EXPECT_EQ(Messages(), Strings{"Cannot open file " + folder.Path("mydict.txt")});
    EXPECT_FALSE(w.FormCreateCompleted());
    ASSERT_TRUE(w.UserLexicon());
    EXPECT_TRUE(w.UserLexicon()->LoadFailed());
    w.UserLexicon()->AddEntry("new word", G("新词"));
    ui.messages.clear();
    w.FormDestroy();
    struct stat st;
    ASSERT_EQ(::lstat(folder.Path("mydict.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(Messages(), Strings{"词库" + folder.Path("mydict.txt") +
                                  "没有完整读出，不能覆盖原文件；词库的内容已另存为" +
                                  folder.rescue + "mydict.txt"});
    EXPECT_EQ(ReadBytes(folder.rescue + "mydict.txt"), "new word\t" + G("新词") + "\r\n");
    EXPECT_EQ(folder.ReadIni(), ini);
}

TEST_F(Shutdown, AStoreThatCannotBeWrittenDoesNotSkipTheLexicons) {
    TfrmMainQB& w = Make(false);
    w.UserLexicon()->AddEntry("kept", G("保留"));
    QDir(folder.settings).removeRecursively();
    QFile::remove(folder.settings);
    // Make the store's folder a plain file so that the ini cannot be written.
    const QString configDir = QFileInfo(folder.settings).absolutePath();
    QDir(configDir).removeRecursively();
    WriteBytes(configDir.toStdString(), "not a folder");
    w.FormDestroy();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].toStdString(), "Cannot create file " + folder.settings.toStdString());
    EXPECT_NE(ReadBytes(folder.Path("mydict.txt")).find("kept"), std::string::npos);
}

} // namespace
} // namespace qb::test
