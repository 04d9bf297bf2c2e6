#include "MgmtTestSupport.h"

#include "GbkText.h"

#include <filesystem>

namespace mgmttest {

std::string G(const char* utf8) { return qb::Utf8ToGbkLossy(utf8); }
QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

std::string Fixture(const std::string& name) {
    return std::string(QB_TEST_DATA_DIR) + "/management/" + name;
}

FakeLexicons::~FakeLexicons() {
    for (qb::TQbDict* d : dicts) delete d;
}

int FakeLexicons::IndexOfDict(const std::string& name) const {
    for (std::size_t i = 0; i < dicts.size(); ++i)
        if (dicts[i] && dicts[i]->FileName() == name) return int(i);
    return -1;
}

void FakeLexicons::OpenDict(const std::string& name) {
    if (!qb::FileExists(name)) {
        ui_.ShowMessage(QString::fromUtf8("词库") + QString::fromUtf8(name.c_str()) +
                        QString::fromUtf8("没有找到！"));
        return;
    }
    if (IndexOfDict(name) != -1) return;
    dicts.push_back(new qb::TQbDict);
    dicts.back()->Load(name, folder_ + "verb.spe");
}

void FakeLexicons::CloseDict(const std::string& name) {
    for (qb::TQbDict*& d : dicts) {
        if (!d || d->FileName() != name) continue;
        d->Save(); // throws with the lexicon still loaded
        delete d;
        d = nullptr;
    }
}

qb::TQbDict& FakeLexicons::Add(const std::string& path) {
    dicts.push_back(new qb::TQbDict);
    dicts.back()->Load(path, folder_ + "verb.spe");
    return *dicts.back();
}

void WriteLexicon(const std::string& path,
                  const std::vector<std::pair<std::string, std::string>>& entries) {
    if (entries.empty()) {
        WriteFile(path, std::string());
        return;
    }
    qb::TQbDict d;
    d.SetFileName(path);
    for (const auto& [k, r] : entries) d.AddEntry(k, r, true);
    d.Save();
}

} // namespace mgmttest
