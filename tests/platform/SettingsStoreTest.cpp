#include "SettingsStore.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace qb {
namespace {

class SettingsStore : public testing::Test {
protected:
    QTemporaryDir dir;
    QString file() const { return dir.path() + "/qbridge10.ini"; }
    void WriteIni(const char* text) {
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray ReadIni() const {
        QFile f(file());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(SettingsStore, AbsentValuesReadAsTheDefault) {
    TSettingsStore s(file());
    EXPECT_TRUE(s.ReadBool("inisetup", "useQp", true));
    EXPECT_FALSE(s.ReadBool("inisetup", "SmartFollowCandi", false));
    EXPECT_EQ(s.ReadInteger("winpos", "left", 10), 10);
    EXPECT_EQ(s.ReadString("inisetup", "rcdicts1", ""), "");
    EXPECT_FALSE(QFile::exists(file())); // reading creates nothing
}

TEST_F(SettingsStore, NumbersAreParsedFromText) {
    WriteIni("[inisetup]\nuseQp=0\nuseSp=7\nPos1=x\nPos2=99999999999\nPos3=-3\n"
             "[winpos]\nleft=\" 12\"\n");
    TSettingsStore s(file());
    EXPECT_FALSE(s.ReadBool("inisetup", "useQp", true));
    EXPECT_TRUE(s.ReadBool("inisetup", "useSp", false)); // non-zero is true
    EXPECT_EQ(s.ReadInteger("inisetup", "Pos1", 1), 1);  // not a number
    EXPECT_EQ(s.ReadInteger("inisetup", "Pos2", 2), 2);  // overflow
    EXPECT_EQ(s.ReadInteger("inisetup", "Pos3", 3), -3);
    EXPECT_EQ(s.ReadInteger("winpos", "left", 10), 12);
}

TEST_F(SettingsStore, WritesBooleansAsZeroAndOneAndKeepsPathsIntact) {
    const std::string path = "/home/ann/词库, law.qbs";
    {
        TSettingsStore s(file());
        s.WriteBool("inisetup", "useWb", false);
        s.WriteBool("inisetup", "useQp", true);
        s.WriteInteger("winpos", "width", 640);
        s.WriteString("inisetup", "rcdicts1", path);
        ASSERT_TRUE(s.Flush());
    }
    QByteArray ini = ReadIni();
    EXPECT_TRUE(ini.contains("useWb=0"));
    EXPECT_TRUE(ini.contains("useQp=1"));
    EXPECT_TRUE(ini.contains("width=640"));
    TSettingsStore again(file());
    EXPECT_EQ(again.ReadString("inisetup", "rcdicts1", ""), path);
    EXPECT_EQ(again.ReadInteger("winpos", "width", 0), 640);
}

TEST_F(SettingsStore, FlushReportsAFileThatCannotBeWritten) {
    QFile blocker(dir.path() + "/plainfile");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TSettingsStore s(dir.path() + "/plainfile/qbridge10.ini");
    s.WriteBool("inisetup", "useQp", true);
    EXPECT_FALSE(s.Flush());
}

// qbridge10.ini and Qt's QtProject.conf (the file dialogs' folder history) name the client's
// projects: 0600 under the usual umask 022, new or left 0644 by an earlier version, and Qt's own
// rewrite of the file keeps that.
TEST_F(SettingsStore, TheSettingsFilesAreTheUsersAlone) {
    const auto mode = [](const QString& path) {
        struct stat st;
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0u;
    };
    const mode_t mask = ::umask(022);
    {
        TSettingsStore s(file());
        s.WriteInteger("winpos", "width", 640);
        EXPECT_TRUE(s.Flush());
    }
    const QString qt = dir.path() + "/QtProject.conf";
    {
        QFile f(qt);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[FileDialog]\n");
    }
    ASSERT_EQ(mode(qt), 0644u);
    MakeSettingsFilePrivate(qt);
    {
        QSettings dialogs(qt, QSettings::IniFormat);
        dialogs.setValue("FileDialog/history", QStringList{"/home/ann/client-x"});
        dialogs.sync();
    }
    ::umask(mask);
    EXPECT_EQ(mode(file()), 0600u);
    EXPECT_EQ(mode(qt), 0600u);
    QFile written(qt);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().contains("client-x"));
    // The file the dialogs really write: beside the user's settings.
    EXPECT_EQ(QFileInfo(QtOwnSettingsFile()).fileName(), "QtProject.conf");
    EXPECT_EQ(QFileInfo(QtOwnSettingsFile()).absolutePath(),
              QFileInfo(UserSettingsFile()).absolutePath());
}

} // namespace
} // namespace qb
