// The words after a qblex command that reads documents or the memory: `--memory FILE` once,
// `--lexicon FILE` any number of times, the files in order. `qblex doc-check --memory m.db
// --lexicon law.qbs a.po` gives memory m.db, lexicons {law.qbs}, files {a.po}.
#pragma once

#include <string>
#include <vector>

namespace qblex {

struct CommandArgs {
    std::string memory; // empty: the user's own memory
    std::vector<std::string> lexicons;
    // Empty after an option the command does not take (a second --memory too, or one without
    // its FILE): the caller's count of files then fails and it prints its usage.
    std::vector<std::string> files;
};

CommandArgs ParseCommandArgs(int argc, char** argv, bool takesMemory, bool takesLexicons);

} // namespace qblex
