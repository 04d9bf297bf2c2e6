// Helpers shared by the tests of every area: whole-file access, a temporary folder removed
// afterwards, a folder that cannot be written (also for root), and a lexicon's entries as lines.
// Plain C++ (no Qt), so the sanitizer build of the engine tests can use it too.
#pragma once

#include "DictUnit.h"

#include <string>
#include <vector>

namespace qbtest {

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
std::vector<std::string> ListDir(const std::string& dir); // names, sorted

// Every entry of a lexicon as key TAB rendering lines, in entry order.
std::vector<std::string> Entries(const qb::TQbDict& dict);
// The rendering stored under exactly `key` (GBK), or "<none>".
std::string RenderingOf(const qb::TQbDict& dict, const std::string& key);

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Makes a folder unwritable for the helper's lifetime: mode 0555, and for root (who ignores the
// mode) the immutable attribute. ok() is false when neither works here.
class UnwritableDir {
public:
    explicit UnwritableDir(const std::string& dir);
    ~UnwritableDir();
    UnwritableDir(const UnwritableDir&) = delete;
    UnwritableDir& operator=(const UnwritableDir&) = delete;
    bool ok() const { return ok_; }

private:
    std::string dir_;
    bool immutable_ = false;
    bool ok_ = false;
};

} // namespace qbtest
