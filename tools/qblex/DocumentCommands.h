// qblex's document commands: doc-units prints a document's units as the source pane shows them;
// doc-export writes the translated document from the translation memory.
#pragma once

#include <optional>

namespace qblex {

// Runs argv[1] when it is a document command and gives its exit status (0 done, 1 bad input or
// a file that cannot be read or written, 2 usage); nothing for any other command.
std::optional<int> RunDocumentCommand(int argc, char** argv);

inline constexpr const char* kDocumentUsage =
    "       qblex doc-units FILE\n"
    "       qblex doc-export [--memory FILE] FILE OUT\n"
    "       qblex doc-check [--memory FILE] [--lexicon FILE]... FILE\n";

} // namespace qblex
