#include "MgmtTestSupport.h"

#include "GbkText.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace mgmttest {

std::string G(const char* utf8) { return qb::Utf8ToGbkLossy(utf8); }
QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

std::string Fixture(const std::string& name) {
    return std::string(QB_TEST_DATA_DIR) + "/management/" + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

std::vector<std::string> Entries(const qb::TQbDict& dict) {
    std::vector<std::string> lines;
    std::string key, rendering;
    for (std::size_t i = 0; i < dict.EntryCount(); ++i) {
        dict.GetEntry(static_cast<long long>(i), key, rendering);
        lines.push_back(key + "\t" + rendering);
    }
    return lines;
}

std::string RenderingOf(const qb::TQbDict& dict, const std::string& key) {
    std::string k, r;
    for (std::size_t i = 0; i < dict.EntryCount(); ++i) {
        dict.GetEntry(static_cast<long long>(i), k, r);
        if (k == key) return r;
    }
    return "<none>";
}

TempDir::TempDir() {
    std::string tmpl = std::filesystem::temp_directory_path().string() + "/qbmgmt-test-XXXXXX";
    if (!::mkdtemp(tmpl.data())) std::abort();
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

static bool SetImmutable(const std::string& dir, bool on) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

UnwritableDir::UnwritableDir(const std::string& dir) : dir_(dir) {
    ::chmod(dir.c_str(), 0555);
    if (::geteuid() == 0) immutable_ = SetImmutable(dir, true);
    const std::string probe = dir + "/.probe";
    const int fd = ::open(probe.c_str(), O_CREAT | O_WRONLY, 0600);
    if (fd >= 0) {
        ::close(fd);
        ::unlink(probe.c_str());
    } else {
        ok_ = true;
    }
}

UnwritableDir::~UnwritableDir() {
    if (immutable_) SetImmutable(dir_, false);
    ::chmod(dir_.c_str(), 0755);
}

FakeLexicons::~FakeLexicons() {
    for (qb::TQbDict* d : dicts) {
        try {
            delete d;
        } catch (...) {
        }
    }
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
