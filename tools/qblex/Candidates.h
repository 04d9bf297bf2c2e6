// qblex candidates: the input method's candidate list from a script.
#pragma once

namespace qblex {
// argv[1] is "candidates". Returns the exit status (2 after a usage message for bad arguments);
// throws std::exception for a failure such as a lexicon that cannot be read.
int Candidates(int argc, char** argv);
} // namespace qblex
