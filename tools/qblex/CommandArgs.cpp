#include "CommandArgs.h"

namespace qblex {

CommandArgs ParseCommandArgs(int argc, char** argv, bool takesMemory, bool takesLexicons) {
    CommandArgs a;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (takesMemory && arg == "--memory" && i + 1 < argc && a.memory.empty()) {
            a.memory = argv[++i];
        } else if (takesLexicons && arg == "--lexicon" && i + 1 < argc) {
            a.lexicons.push_back(argv[++i]);
        } else if (arg.starts_with("--")) {
            a.files.clear();
            break;
        } else {
            a.files.push_back(arg);
        }
    }
    return a;
}

} // namespace qblex
