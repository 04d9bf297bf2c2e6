#include "SettingsStore.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

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

} // namespace
} // namespace qb
