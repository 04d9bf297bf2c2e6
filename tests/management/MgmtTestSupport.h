// Helpers of the management tests: GBK texts written readably, temporary folders, files, a
// folder that cannot be written, and the lexicons in use without a main window.
#pragma once

#include "Dialogs.h"
#include "DictUnit.h"
#include "LexiconTasks.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QString>

#include <string>
#include <vector>

namespace mgmttest {

std::string G(const char* utf8);              // UTF-8 literal -> GBK bytes
QString Q(const char* utf8);                  // UTF-8 literal -> QString
std::string Fixture(const std::string& name); // tests/fixtures/management/<name>

using qbtest::Entries;
using qbtest::Exists;
using qbtest::ReadFile;
using qbtest::RenderingOf;
using qbtest::TempDir;
using qbtest::UnwritableDir;
using qbtest::WriteFile;

// The lexicons in use as the main window keeps them, for the dialogs without the window:
// dicts that are appended and emptied, never removed; OpenDict reports a missing file with
// the main window's message; CloseDict writes before it frees and throws with the lexicon
// still loaded when the write fails.
class FakeLexicons : public qb::LexiconHost {
public:
    FakeLexicons(std::string folder, qb::TUi& ui) : folder_(std::move(folder)), ui_(ui) {}
    ~FakeLexicons() override;
    int SlotCount() const override { return int(dicts.size()); }
    qb::TQbDict* Slot(int i) const override { return dicts[std::size_t(i)]; }
    int IndexOfDict(const std::string& name) const override;
    void OpenDict(const std::string& name) override;
    void CloseDict(const std::string& name) override;
    std::string ProgramFolder() const override { return folder_; }

    // Loads a lexicon into a new slot without the checks of OpenDict.
    qb::TQbDict& Add(const std::string& path);
    // Appends an empty slot.
    void AddEmpty() { dicts.push_back(nullptr); }

    std::vector<qb::TQbDict*> dicts;

private:
    std::string folder_;
    qb::TUi& ui_;
};

// A professional lexicon file (.qbs, scrambled) or a text lexicon file with these entries.
void WriteLexicon(const std::string& path,
                  const std::vector<std::pair<std::string, std::string>>& entries);

} // namespace mgmttest
