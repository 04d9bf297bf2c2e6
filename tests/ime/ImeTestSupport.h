// Tests write their Chinese in UTF-8 and convert it once to the GBK bytes the engine works in.
#pragma once

#include "GbkText.h"

#include <string>
#include <string_view>

namespace qbtest {
inline std::string G(std::string_view utf8) { return qb::Utf8ToGbkLossy(utf8); }
inline std::string Fixture(std::string_view name) {
    return std::string(QB_TEST_DATA_DIR) + "/ime/" + std::string(name);
}
} // namespace qbtest
