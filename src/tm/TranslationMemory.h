// The translation memory: every source sentence with the translation typed for it, kept in one
// SQLite file (UTF-8 inside; the workspace converts its GBK texts at its edge), with a full-text
// index for fuzzy matches and concordance search. Plain C++ over SQLite, no Qt.
//
// Safety: write-ahead log, each pair recorded in its own transaction (an import in one), so a
// kill at any moment loses at most the pair (or import) being written and never the file.
// One object is used by one thread at a time; several objects (and processes) may share a file.
#pragma once

#include "TmText.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

struct sqlite3;

namespace qb::tm {

// A failure of the memory file: what() names the file and SQLite's reason, e.g.
// "Cannot open file /home/ann/.local/share/quillbridge/memory.db: file is not a database".
class TmError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Longest source or translation recorded, in bytes: a whole chapter taken as one "sentence"
// (Ctrl+L over several pages) is not a reusable pair.
inline constexpr std::size_t kMaxPairBytes = 20000;

struct Pair {
    std::int64_t id = 0;
    std::string source;       // normal form (NormalizeSource)
    std::string target;       // normal form (NormalizeTarget)
    std::int64_t created = 0; // Unix seconds
    std::int64_t changed = 0; // when the current translation was recorded
};

struct Match {
    int score = 0; // 100 only for the very same sentence; 99 when only case or spacing differs
    Pair pair;
};

struct Hit {
    Pair pair;
    std::vector<Span> sourceMarks; // where the query's words stand, byte ranges
    std::vector<Span> targetMarks;
};

struct Earlier {
    std::string target;
    std::int64_t changed = 0;
};

enum class Recorded {
    Added,         // a new source
    Replaced,      // a new translation for a known source; the old one went to the history
    Unchanged,     // the same translation again
    KeptAsHistory, // older than the current translation (an import of old work): history only
    Rejected,      // empty, longer than kMaxPairBytes, or not clean UTF-8
};

class TTranslationMemory {
public:
    // Opens the file, creating it (and its folder) when missing. TmError when it cannot be
    // opened or created, is not a translation memory, or was made by a newer version.
    explicit TTranslationMemory(std::string path);
    ~TTranslationMemory();
    TTranslationMemory(const TTranslationMemory&) = delete;
    TTranslationMemory& operator=(const TTranslationMemory&) = delete;

    const std::string& Path() const { return path_; }

    // Records `target` as the translation of `source` (UTF-8, normalised first), at `when`
    // (Unix seconds; 0 = now). A known source takes the newer translation; the other one is
    // kept in its history. A new source is dated `created` (0: `when`), as an import keeps the
    // dates of its file. TmError when the file cannot be written.
    Recorded Record(std::string_view source, std::string_view target, std::int64_t when = 0,
                    std::int64_t created = 0);

    // The stored sources most similar to `sentence` (Similarity >= minScore), best first (equal
    // scores: the more recent first), at most `max`. The same sentence is always found; a
    // fuzzy match is looked for among the stored sources that share the sentence's rarer words.
    std::vector<Match> Matches(std::string_view sentence, int minScore = 60, std::size_t max = 5);

    // Pairs whose source or translation holds the query's words in a row (case ignored; a query
    // ending in "*" also takes longer words for its last word: "transl*"), newest first.
    std::vector<Hit> Search(std::string_view query, std::size_t max = 200);

    // Earlier translations of a source, newest first.
    std::vector<Earlier> History(std::string_view source);
    std::size_t PairCount();
    // Every pair in the order of recording.
    void ForEachPair(const std::function<void(const Pair&)>& visit);
    // Every translation kept, the earlier ones included: pair by pair in the order of
    // recording, each pair's earlier translations first, oldest first (`current` false, the
    // pair's target and changed those of the earlier translation), then its current one.
    // Recording them in this order into an empty memory gives this memory back.
    void ForEachTranslation(const std::function<void(const Pair&, bool current)>& visit);
    // ForEachTranslation's count: the pairs and their earlier translations.
    std::size_t TranslationCount();

    // Many records in one transaction (an import): Commit() ends it; leaving the scope without
    // Commit() undoes every record made inside it.
    class Batch {
    public:
        explicit Batch(TTranslationMemory& tm);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        void Commit();

    private:
        TTranslationMemory& tm_;
        bool open_ = true;
    };

    struct Statements;      // prepared statements, defined in the .cpp
    struct ShapeStatements; // those of the shape index (see the .cpp)
    struct MatchTerm;       // a word of a sentence being matched, with its postings (see the .cpp)

private:
    void Exec(const char* sql);
    void Begin();
    void Commit();
    void Rollback();
    [[noreturn]] void Fail(const char* what);
    void OpenShapes();
    Recorded RecordInside(const std::string& source, const std::string& target, std::int64_t when,
                          std::int64_t created);
    // The steps of Matches: the word's postings, the candidates (weight of the shared words,
    // pair id) by the shapes of short sentences or by the words' postings, their scores.
    void ReadPostings(MatchTerm& term);
    std::vector<std::pair<double, std::int64_t>> CandidatesByShape(std::vector<MatchTerm>& terms,
                                                                   long n, int minScore, long need,
                                                                   std::int64_t exactId);
    std::vector<std::pair<double, std::int64_t>>
    CandidatesByPostings(const std::vector<MatchTerm>& terms, double total, std::size_t eligibleBy,
                         std::int64_t exactId);
    void ScoreCandidates(const std::vector<std::pair<double, std::int64_t>>& candidates,
                         const std::vector<Token>& tokens, int minScore, std::vector<Match>& out);

    std::string path_;
    sqlite3* db_ = nullptr;
    std::unique_ptr<Statements> st_;
    std::unique_ptr<ShapeStatements> shapes_; // null when the file could not take the index
    bool shapesComplete_ = false;             // every pair had its shape when the file was opened
    bool inBatch_ = false;
    std::int64_t batchFirstNew_ = 0;                // ids from here on were added by the batch
    std::unordered_set<std::int64_t> batchReindex_; // older pairs the batch gave a new translation
    std::vector<float> weight_;                     // Matches' scratch, by pair id
    std::vector<std::uint8_t> eligible_;
    std::vector<std::int64_t> touched_;
};

} // namespace qb::tm
