#include "MemoryCommands.h"

#include "CommandArgs.h"
#include "TmxFormat.h"
#include "UserFolders.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace qblex {

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "qblex: %s\n", message.c_str());
    return 1;
}

std::string Joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& s : items) out += (out.empty() ? "" : ", ") + s;
    return out;
}

} // namespace

std::optional<int> RunMemoryCommand(int argc, char** argv) {
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd != "tm-import" && cmd != "tm-export") return std::nullopt;
    CommandArgs args = ParseCommandArgs(argc, argv, true, false);
    std::string& memory = args.memory;
    const std::vector<std::string>& files = args.files;
    if (files.size() != 1) {
        std::fprintf(stderr, "usage:\n%s", kMemoryUsage);
        return 2;
    }
    if (memory.empty()) memory = qb::PrivateTranslationMemoryFile();
    try {
        qb::tm::TTranslationMemory tm(memory);
        if (cmd == "tm-export") {
            std::printf("exported %zu pairs\n", qb::tm::ExportTmxFile(tm, files[0]));
            return 0;
        }
        const qb::tm::ImportReport r = qb::tm::ImportTmxFile(tm, files[0]);
        std::printf(
            "imported %zu pairs: %zu new, %zu replaced, %zu unchanged, %zu older kept as history\n",
            r.added + r.replaced + r.unchanged + r.history, r.added, r.replaced, r.unchanged,
            r.history);
        if (r.counts.otherTuvs)
            std::printf("skipped %zu tuvs in other languages: %s\n", r.counts.otherTuvs,
                        Joined(r.counts.otherLanguages).c_str());
        if (r.counts.incomplete)
            std::printf("skipped %zu units without both English and Chinese\n", r.counts.incomplete);
        if (r.rejected) std::printf("skipped %zu empty or overlong units\n", r.rejected);
        return 0;
    } catch (const qb::tm::TmxError& e) {
        return Fail(files[0] + ": " + e.what());
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}

} // namespace qblex
