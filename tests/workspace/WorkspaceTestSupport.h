// A temporary program folder made from tests/fixtures/workspace (the ".txt" lexicons that stand
// for professional ones are scrambled into ".qbs" here), a settings file beside it, and the main
// window made on them with a scripted dialog seam. Nothing of the user's own is touched.
#pragma once

#include "Dialogs.h"
#include "MainUnit.h"

#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <string>

namespace qb::test {

std::string G(const char* utf8); // UTF-8 literal -> GBK bytes
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

class TProgramFolder {
public:
    TProgramFolder();
    std::string folder; // with trailing '/'
    QString settings;   // <tmp>/config/qbridge10.ini
    std::string rescue; // <tmp>/rescue/
    std::string data;   // <tmp>/data/: the user's data folder
    std::string panes;  // <tmp>/data/panes.state (used when a test keeps the panes)
    std::string memory; // <tmp>/data/translation-memory.db (used when a test keeps a memory)
    std::string Path(const char* name) const { return folder + name; }
    // A professional lexicon made from fixtures/workspace/<plain> at `path`.
    void MakeProfessional(const char* plain, const std::string& path) const;
    void WriteIni(const std::string& text) const;
    std::string ReadIni() const;
    bool IniExists() const;
    void Remove(const char* name) const;

private:
    QTemporaryDir dir_;
};

class TWindowTest {
public:
    TProgramFolder folder;
    TScriptedUi ui;
    std::unique_ptr<TfrmMainQB> window;
    bool keepPanes = false;  // Make gives the window folder.panes as its panes file
    bool keepMemory = false; // Make gives the window folder.memory as its translation memory
    std::function<std::unique_ptr<ClauseConverter>()> makeConverter; // null: the tables alone
    TfrmMainQB& Make(bool show = true);
    std::vector<std::string> Messages() const; // as UTF-8
};

} // namespace qb::test
