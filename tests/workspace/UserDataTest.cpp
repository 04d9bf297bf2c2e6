// The user lexicon when the program folder cannot be written (a system-wide install), and the
// rescued entries merged back at the next start.
#include "WorkspaceTestSupport.h"

#include "TestFiles.h"
#include "TranslationMemory.h"
#include "UserFolders.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QPlainTextEdit>
#include <QTest>

#include <sys/stat.h>

namespace qb::test {
namespace {

using Strings = std::vector<std::string>;

class UserData : public TWindowTest, public testing::Test {};

TEST_F(UserData, AWritableProgramFolderKeepsMydictBesideTheProgram) {
    TfrmMainQB& w = Make(false);
    EXPECT_EQ(w.UserLexicon()->FileName(), folder.Path("mydict.txt"));
    EXPECT_FALSE(QDir(QString::fromStdString(folder.data)).exists());
}

TEST_F(UserData, AProgramFolderThatCannotBeWrittenGivesEachUserTheirOwn) {
    const std::string shipped = ReadBytes(folder.Path("mydict.txt"));
    {
        qbtest::UnwritableDir locked(folder.folder.substr(0, folder.folder.size() - 1));
        if (!locked.ok()) GTEST_SKIP() << "cannot make a folder unwritable here";
        TfrmMainQB& w = Make(false);
        const std::string own = folder.data + "mydict.txt";
        ASSERT_EQ(w.UserLexicon()->FileName(), own);
        EXPECT_EQ(ReadBytes(own), shipped); // started from the program folder's
        w.UserLexicon()->AddEntry("own word", G("自己的词"));
        window.reset();
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_NE(ReadBytes(own).find("own word"), std::string::npos);
        EXPECT_FALSE(qbtest::Exists(folder.rescue)); // nothing had to be rescued

        Make(false); // the next start reads it back, and does not copy over it
        EXPECT_EQ(window->UserLexicon()->FileName(), own);
        EXPECT_NE(ReadBytes(own).find("own word"), std::string::npos);
        window.reset();
    }
    EXPECT_EQ(ReadBytes(folder.Path("mydict.txt")), shipped);
}

TEST_F(UserData, RescuedEntriesAreMergedOnceAndMovedAside) {
    QDir().mkpath(QString::fromStdString(folder.rescue));
    WriteBytes(folder.rescue + "mydict.txt", "rescued one\t" + G("救回一") + "\r\n");
    WriteBytes(folder.rescue + "mydict-20260101-120000.txt", "rescued two\t" + G("救回二") + "\r\n");
    WriteBytes(folder.rescue + "law.qbs", "x");
    TfrmMainQB& w = Make(false);
    const std::string merged = folder.rescue + "merged/";
    EXPECT_EQ(Messages(),
              Strings{"找到上次未能写入用户词库的词条：\n" + folder.rescue +
                      "mydict-20260101-120000.txt\n" + folder.rescue + "mydict.txt\n" +
                      "这些词条已并入用户词库" + folder.Path("mydict.txt") + "，原文件已移到" +
                      merged + "\n\n找到另存的专业词库内容：\n" + folder.rescue + "law.qbs\n" +
                      "可用“专业词库...”的“扩充”页并回原词库。"});
    // In the lexicon and on disk at once, the files moved.
    EXPECT_EQ(qbtest::RenderingOf(*w.UserLexicon(), "rescued one"), G("救回一"));
    EXPECT_NE(ReadBytes(folder.Path("mydict.txt")).find("rescued two"), std::string::npos);
    EXPECT_EQ(qbtest::ListDir(folder.rescue), (Strings{"law.qbs", "merged"}));
    EXPECT_EQ(qbtest::ListDir(merged), (Strings{"mydict-20260101-120000.txt", "mydict.txt"}));
    window.reset();

    ui.messages.clear();
    Make(false); // once: only the other lexicon's file is named again
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(Messages()[0].rfind("找到另存的专业词库内容：", 0), 0u);
}

TEST_F(UserData, NothingIsMergedIntoAUserLexiconThatFailedToLoad) {
    QDir().mkpath(QString::fromStdString(folder.rescue));
    WriteBytes(folder.rescue + "mydict.txt", "rescued\t" + G("救回") + "\r\n");
    folder.Remove("mydict.txt");
    ASSERT_EQ(::mkfifo(folder.Path("mydict.txt").c_str(), 0600), 0);
    Make(false);
    EXPECT_EQ(Messages(), Strings{"Cannot open file " + folder.Path("mydict.txt")});
    EXPECT_EQ(qbtest::ListDir(folder.rescue), Strings{"mydict.txt"});
}

// The user lexicon between start and shutdown: a new entry is in its file within seconds; a
// file that cannot be written is said once however long that lasts, and shutdown rescues it all.
TEST_F(UserData, NewEntriesReachTheFileWithinSecondsAndAFailureIsSaidOnce) {
    TfrmMainQB& w = Make(false);
    w.UserLexicon()->AddEntry("kept early", G("早存"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return ReadBytes(folder.Path("mydict.txt")).find("kept early") != std::string::npos; },
        15000));
    w.UserLexicon()->SetFileName(folder.folder + "gone/mydict.txt");
    w.UserLexicon()->AddEntry("kept late", G("晚存"));
    // The first failed try is said (on a loaded machine the first tick may come late), then
    // three more tries at least say nothing more.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Messages().empty(); }, 15000));
    QTest::qWait(3500);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].rfind("用户词库暂时无法写入", 0), 0u) << Messages()[0];
    window.reset();
    EXPECT_NE(ReadBytes(folder.rescue + "mydict.txt").find("kept late"), std::string::npos);
}

int ModeOf(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// Another local user must not read the client's text: the data folder is narrowed at start, and
// what is written into it is the user's alone from its first byte, whatever the umask.
TEST_F(UserData, TheDataFolderAndItsFilesAreTheUsersAlone) {
    const std::string& d = folder.data;
    QDir().mkpath(QString::fromStdString(d + "rescued/merged"));
    WriteBytes(d + "panes.state", "x");
    WriteBytes(d + "rescued/merged/mydict.txt", "y");
    for (const std::string& p : {d, d + "rescued", d + "rescued/merged"}) ::chmod(p.c_str(), 0755);
    for (const std::string& p : {d + "panes.state", d + "rescued/merged/mydict.txt"})
        ::chmod(p.c_str(), 0644);
    MakeDataFolderPrivate(d);
    EXPECT_EQ(ModeOf(d), 0700);
    EXPECT_EQ(ModeOf(d + "rescued"), 0700);
    EXPECT_EQ(ModeOf(d + "rescued/merged"), 0700);
    EXPECT_EQ(ModeOf(d + "panes.state"), 0600);
    EXPECT_EQ(ModeOf(d + "rescued/merged/mydict.txt"), 0600);

    QDir(QString::fromStdString(d)).removeRecursively();
    const mode_t umask = ::umask(022);
    MakeDataFolderPrivate(d);
    EXPECT_EQ(ModeOf(d), 0700);
    {
        tm::TTranslationMemory memory(folder.memory);
        memory.Record("A secret.", "机密。");
        for (const char* end : {"", "-wal", "-shm"})
            EXPECT_EQ(ModeOf(folder.memory + end), 0600) << end;
    }
    keepPanes = true;
    Make(false);
    window->TargetPane().Edit()->setPlainText(QStringLiteral("secret"));
    window.reset(); // the shutdown writes the panes
    EXPECT_EQ(ModeOf(folder.panes), 0600);
    ::umask(umask);
}

} // namespace
} // namespace qb::test
