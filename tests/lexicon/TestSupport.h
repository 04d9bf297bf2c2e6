// Helpers shared by the lexicon engine tests: GBK sample texts, a temporary folder that is
// removed afterwards, whole-file access and a folder that cannot be written.
#pragma once

#include "DictUnit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qbtest {

// GBK bytes of a few characters (kept as separate literals: a \x escape would swallow
// following hex letters).
inline const std::string kPingguo = "\xC6\xBB\xB9\xFB";           // 苹果
inline const std::string kPingguoShu = "\xC6\xBB\xB9\xFB\xCA\xF7"; // 苹果树
inline const std::string kCanjia = "\xB2\xCE\xBC\xD3";            // 参加
inline const std::string kBufen = "\xB2\xBF\xB7\xD6";             // 部分
inline const std::string kGou = "\xB9\xB7";                       // 狗
inline const std::string kZhong = "\xD6\xD0";                     // 中
inline const std::string kKao = "\x81\x40";                       // 丂: trail byte '@'
inline const std::string kZhuo = "\x81\x5A";                      // 乑: trail byte 'Z'
inline const std::string kSemi = "\xA3\xBB";                      // ；

std::string FixturePath(const std::string& name); // tests/fixtures/lexicon/<name>
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
std::vector<std::string> ListDir(const std::string& dir);

// Every entry of a lexicon as key TAB rendering lines, in entry order.
std::vector<std::string> Entries(const qb::TQbDict& dict);

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

// A lexicon for tests that may be modified without a file of its own: when freed without a
// file name it saves into a temporary folder of its own (a modified lexicon without a file
// name would rightly throw from its destructor).
struct ScratchHome {
    TempDir scratchDir;
};
class ScratchDict : private ScratchHome, public qb::TQbDict {
public:
    ~ScratchDict() {
        if (FileName().empty()) SetFileName(scratchDir / "scratch.txt");
    }
};

// Makes a folder unwritable for the test's lifetime: mode 0555, and for root (who ignores the
// mode) the immutable attribute. ok() is false when neither works here.
class UnwritableDir {
public:
    explicit UnwritableDir(const std::string& dir);
    ~UnwritableDir();
    bool ok() const { return ok_; }

private:
    std::string dir_;
    bool immutable_ = false;
    bool ok_ = false;
};

} // namespace qbtest
