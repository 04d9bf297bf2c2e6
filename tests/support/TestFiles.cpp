#include "TestFiles.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qbtest {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

std::vector<std::string> ListDir(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Entries(const qb::TQbDict& dict) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < dict.EntryCount(); ++i) {
        std::string key, rendering;
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
    std::string tmpl = std::filesystem::temp_directory_path().string() + "/qb-test-XXXXXX";
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
    // Probe: can a file still be made there?
    const std::string probe = dir + "/.probe";
    const int fd = ::open(probe.c_str(), O_CREAT | O_WRONLY, 0600);
    if (fd >= 0) {
        ::close(fd);
        ::unlink(probe.c_str());
        ok_ = false;
    } else {
        ok_ = true;
    }
}

UnwritableDir::~UnwritableDir() {
    if (immutable_) SetImmutable(dir_, false);
    ::chmod(dir_.c_str(), 0755);
}

} // namespace qbtest
