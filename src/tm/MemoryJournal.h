// Pairs the memory file cannot take for now (a full disk, a file without write permission, a
// file of a newer version), kept on disk beside it until it can. Plain C++, no Qt.
//
// One pair a line, UTF-8, appended and flushed to disk pair by pair:
//   1765000000 TAB Two lines. TAB 第一行\n第二行 LF
// (the time in Unix seconds; a backslash, TAB, CR and LF inside a text written as \\ \t \r \n).
// A line cut off by a crash (no LF at its end) is left out on reading; so is a malformed one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qb::tm {

struct KeptPair {
    std::string source; // as it would have been recorded
    std::string target;
    std::int64_t when = 0;
    bool operator==(const KeptPair&) const = default;
};

std::string JournalLine(const KeptPair& pair);
std::vector<KeptPair> ReadJournal(std::string_view bytes);

// The journal of a memory file: "…/translation-memory.db" -> "…/translation-memory-unwritten.txt".
std::string JournalPathFor(const std::string& memoryPath);
// Appends the pairs and flushes them to disk; a new journal is made readable by its owner only
// (0600). FileError "Cannot create file <path>" when it cannot be written.
void AppendToJournal(const std::string& path, const std::vector<KeptPair>& pairs);
// The pairs of a journal; none when there is no journal. FileError when it cannot be read.
std::vector<KeptPair> ReadJournalFile(const std::string& path);

} // namespace qb::tm
