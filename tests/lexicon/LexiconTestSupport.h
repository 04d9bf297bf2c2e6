// Helpers of the lexicon engine tests: GBK sample texts, fixtures and a scratch lexicon; the
// file helpers shared with other areas are in tests/support/TestFiles.h.
#pragma once

#include "DictUnit.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qbtest {

// GBK bytes of a few characters (kept as separate literals: a \x escape would swallow
// following hex letters).
inline const std::string kPingguo = "\xC6\xBB\xB9\xFB";            // 苹果
inline const std::string kPingguoShu = "\xC6\xBB\xB9\xFB\xCA\xF7"; // 苹果树
inline const std::string kCanjia = "\xB2\xCE\xBC\xD3";             // 参加
inline const std::string kBufen = "\xB2\xBF\xB7\xD6";              // 部分
inline const std::string kGou = "\xB9\xB7";                        // 狗
inline const std::string kZhong = "\xD6\xD0";                      // 中
inline const std::string kKao = "\x81\x40";                        // 丂: trail byte '@'
inline const std::string kZhuo = "\x81\x5A";                       // 乑: trail byte 'Z'
inline const std::string kSemi = "\xA3\xBB";                       // ；

std::string FixturePath(const std::string& name); // tests/fixtures/lexicon/<name>

// The tests' lexicon: freeing one writes nothing, so a test may modify a lexicon that has no
// file of its own.
using ScratchDict = qb::TQbDict;

} // namespace qbtest
