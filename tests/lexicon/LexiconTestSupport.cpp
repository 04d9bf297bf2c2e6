#include "LexiconTestSupport.h"

namespace qbtest {

std::string FixturePath(const std::string& name) {
    return std::string(QB_TEST_DATA_DIR) + "/lexicon/" + name;
}

} // namespace qbtest
