#include "WorkspaceTestSupport.h"

#include "GbkText.h"
#include "MyUtils.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <fstream>
#include <iterator>

namespace qb::test {

std::string G(const char* utf8) { return ToGbk(QString::fromUtf8(utf8)); }

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

namespace {
const std::string kFixtures = std::string(QB_TEST_DATA_DIR) + "/workspace/";
}

TProgramFolder::TProgramFolder() {
    folder = dir_.path().toStdString() + "/bin/";
    QDir().mkpath(QString::fromStdString(folder));
    QDir().mkpath(dir_.path() + "/config");
    rescue = dir_.path().toStdString() + "/rescue/";
    data = dir_.path().toStdString() + "/data/";
    panes = data + "panes.state";
    memory = data + "translation-memory.db";
    settings = dir_.path() + "/config/qbridge10.ini";
    QDir fixtures(QString::fromStdString(kFixtures));
    for (const QString& name : fixtures.entryList(QDir::Files)) {
        if (name == "README.md" || name.endsWith(".txt")) continue;
        QFile::copy(fixtures.filePath(name), QString::fromStdString(folder) + name);
    }
    QFile::copy(fixtures.filePath("mydict.txt"), QString::fromStdString(folder) + "mydict.txt");
    MakeProfessional("basic.txt", folder + "BasicDict.qbs");
}

void TProgramFolder::MakeProfessional(const char* plain, const std::string& path) const {
    StringList lines = SplitLines(ReadBytes(kFixtures + plain));
    ScrambleLines(lines);
    WriteBytes(path, JoinLinesCrLf(lines));
}

void TProgramFolder::WriteIni(const std::string& text) const {
    WriteBytes(settings.toStdString(), text);
}

std::string TProgramFolder::ReadIni() const { return ReadBytes(settings.toStdString()); }

bool TProgramFolder::IniExists() const { return QFile::exists(settings); }

void TProgramFolder::Remove(const char* name) const {
    QFile::remove(QString::fromStdString(folder + name));
}

TfrmMainQB& TWindowTest::Make(bool show) {
    TWorkspaceSetup setup;
    setup.programFolder = folder.folder;
    setup.settingsFile = folder.settings;
    setup.ui = &ui;
    setup.rescueFolder = folder.rescue;
    setup.dataFolder = folder.data;
    if (keepPanes) setup.panesFile = folder.panes;
    if (keepMemory) setup.memoryFile = folder.memory;
    setup.makeConverter = makeConverter;
    window = std::make_unique<TfrmMainQB>(setup);
    window->CreateOtherWindows();
    if (show) {
        window->show();
        window->activateWindow();
        (void)QTest::qWaitForWindowActive(window.get());
    }
    return *window;
}

std::vector<std::string> TWindowTest::Messages() const {
    std::vector<std::string> out;
    for (const QString& m : ui.messages) out.push_back(m.toStdString());
    return out;
}

} // namespace qb::test
