// qblex's translation-memory commands: tm-import and tm-export of TMX files.
#pragma once

#include <optional>

namespace qblex {

// Runs argv[1] when it is a memory command and gives its exit status; nothing for any other
// command. The memory is the user's own (the one the program uses) unless --memory FILE names
// another.
std::optional<int> RunMemoryCommand(int argc, char** argv);

inline constexpr const char* kMemoryUsage = "       qblex tm-import [--memory FILE] FILE.tmx\n"
                                            "       qblex tm-export [--memory FILE] FILE.tmx\n";

} // namespace qblex
