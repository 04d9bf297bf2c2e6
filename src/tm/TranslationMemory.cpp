#include "TranslationMemory.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <unordered_set>
#include <utility>

namespace qb::tm {

namespace {

// Version of the tables below, kept in PRAGMA user_version. A file of a newer version is not
// touched (an older program must not write tables it does not understand).
constexpr int kSchemaVersion = 1;

// The tokenizer's name inside the file's index definition.
constexpr const char* kTokenizerName = "qbwords";

constexpr const char* kSchema = R"sql(
CREATE TABLE pairs(
  id      INTEGER PRIMARY KEY,
  source  TEXT NOT NULL UNIQUE,
  target  TEXT NOT NULL,
  created INTEGER NOT NULL,
  changed INTEGER NOT NULL
);
CREATE TABLE history(
  id      INTEGER PRIMARY KEY,
  pair    INTEGER NOT NULL REFERENCES pairs(id) ON DELETE CASCADE,
  target  TEXT NOT NULL,
  changed INTEGER NOT NULL
);
CREATE INDEX history_pair ON history(pair);
CREATE VIRTUAL TABLE pair_words USING fts5(
  source, target, content='pairs', content_rowid='id', tokenize='qbwords', columnsize=0
);
CREATE TRIGGER pairs_ad AFTER DELETE ON pairs BEGIN
  INSERT INTO pair_words(pair_words, rowid, source, target)
    VALUES ('delete', old.id, old.source, old.target);
END;
PRAGMA user_version = 1;
)sql";

// The index follows every insert and update of a pair. A batch (an import) drops these two
// triggers inside its transaction and indexes its pairs in one pass before committing: 100,000
// pairs index in about 1 s that way, against 6 s row by row between the table's own writes.
constexpr const char* kIndexTriggers = R"sql(
CREATE TRIGGER pairs_ai AFTER INSERT ON pairs BEGIN
  INSERT INTO pair_words(rowid, source, target) VALUES (new.id, new.source, new.target);
END;
CREATE TRIGGER pairs_au AFTER UPDATE ON pairs BEGIN
  INSERT INTO pair_words(pair_words, rowid, source, target)
    VALUES ('delete', old.id, old.source, old.target);
  INSERT INTO pair_words(rowid, source, target) VALUES (new.id, new.source, new.target);
END;
)sql";
constexpr const char* kDropIndexTriggers = "DROP TRIGGER pairs_ai; DROP TRIGGER pairs_au;";

// ---- the full-text index's tokenizer: Tokenize's words, so index and scores agree ----

int TokenizerCreate(void*, const char**, int, Fts5Tokenizer** out) {
    static int instance = 0;
    *out = reinterpret_cast<Fts5Tokenizer*>(&instance); // no state
    return SQLITE_OK;
}
void TokenizerDelete(Fts5Tokenizer*) {}
int TokenizerRun(Fts5Tokenizer*, void* ctx, int, const char* text, int size,
                 int (*emit)(void*, int, const char*, int, int, int)) {
    int rc = SQLITE_OK;
    ForEachToken(std::string_view(text, std::size_t(std::max(size, 0))),
                 [&](std::string_view t, std::size_t begin, std::size_t end, bool word) {
                     if (word && rc == SQLITE_OK)
                         rc = emit(ctx, 0, t.data(), int(t.size()), int(begin), int(end));
                 });
    return rc;
}

fts5_api* Fts5Api(sqlite3* db) {
    fts5_api* api = nullptr;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &st, nullptr) != SQLITE_OK) return nullptr;
    sqlite3_bind_pointer(st, 1, &api, "fts5_api_ptr", nullptr);
    sqlite3_step(st);
    sqlite3_finalize(st);
    return api;
}

std::int64_t Now() { return std::int64_t(std::time(nullptr)); }

// "file:x.db" would be read as a URI by this SQLite build: a relative path gets "./" in front.
std::string SqlitePath(const std::string& path) {
    return (!path.empty() && path.front() != '/') ? "./" + path : path;
}

// A phrase for the MATCH syntax: the words in double quotes (a quote inside doubled).
std::string Phrase(const std::vector<std::string>& words) {
    std::string out = "\"";
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i) out.push_back(' ');
        for (char c : words[i]) {
            out.push_back(c);
            if (c == '"') out.push_back('"');
        }
    }
    out.push_back('"');
    return out;
}

// ---- the shape of a source: how many tokens it has and, roughly, which words ----
//
// Short sentences of common words ("Click OK now.") name no rare word that every match must
// share, and the newest postings of "click" and "ok" may all be long sentences that cannot
// score. A match must be about as long as the sentence (60% of 4 tokens: 3 to 6 tokens), so
// the pairs of such lengths are read from an index of shapes: the token count in the high
// bits, below it 48 bits with two bits set for every word the source holds. A word whose bits
// are missing is surely not in the source; one whose bits are there may be (a false hit only
// costs a score computed for nothing).
constexpr int kShapeWordBits = 48;
constexpr std::int64_t kShapeMaxTokens = (std::int64_t(1) << 15) - 1;
constexpr std::uint64_t kShapeWordMask = (std::uint64_t(1) << kShapeWordBits) - 1;
// Sources of more tokens than this share the last bucket of the shapes in memory; a sentence
// that long is never short of rare words.
constexpr std::int64_t kShapeBuckets = 256;

std::uint64_t ShapeWordBits(std::string_view word) {
    std::uint64_t h = 1469598103934665603ull; // FNV-1a
    for (unsigned char c : word) {
        h ^= c;
        h *= 1099511628211ull;
    }
    h ^= h >> 31;
    return (std::uint64_t(1) << (h % kShapeWordBits)) |
           (std::uint64_t(1) << ((h >> 16) % kShapeWordBits));
}

std::int64_t ShapeOf(std::string_view source) {
    std::int64_t tokens = 0;
    std::uint64_t words = 0;
    ForEachToken(source, [&](std::string_view t, std::size_t, std::size_t, bool word) {
        ++tokens;
        if (word) words |= ShapeWordBits(t);
    });
    return (std::min(tokens, kShapeMaxTokens) << kShapeWordBits) | std::int64_t(words);
}

void ShapeFunction(sqlite3_context* ctx, int, sqlite3_value** args) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(args[0]));
    const int size = sqlite3_value_bytes(args[0]);
    sqlite3_result_int64(ctx, text ? ShapeOf(std::string_view(text, std::size_t(size))) : 0);
}

// Kept beside the tables of version 1 (an older program ignores it): the pairs such a program
// adds are given their shapes at the next opening here.
constexpr const char* kShapeSchema = R"sql(
CREATE TABLE IF NOT EXISTS pair_shape(
  id    INTEGER PRIMARY KEY REFERENCES pairs(id) ON DELETE CASCADE,
  shape INTEGER NOT NULL
);
CREATE INDEX IF NOT EXISTS pair_shape_by_shape ON pair_shape(shape);
)sql";

} // namespace

// ---- statements ----

class Stmt {
public:
    Stmt(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &st_, nullptr) != SQLITE_OK)
            throw TmError(std::string("translation memory: ") + sqlite3_errmsg(db));
    }
    ~Stmt() { sqlite3_finalize(st_); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    Stmt& Reset() {
        sqlite3_reset(st_);
        sqlite3_clear_bindings(st_);
        return *this;
    }
    Stmt& Bind(int i, std::string_view text) {
        sqlite3_bind_text64(st_, i, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        return *this;
    }
    Stmt& Bind(int i, std::int64_t v) {
        sqlite3_bind_int64(st_, i, v);
        return *this;
    }
    // True for a row, false when done; SQLite's error otherwise.
    bool Step() {
        const int rc = sqlite3_step(st_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        throw TmError(sqlite3_errmsg(db_));
    }
    std::int64_t Int(int col) const { return sqlite3_column_int64(st_, col); }
    std::string Text(int col) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, col));
        return p ? std::string(p, std::size_t(sqlite3_column_bytes(st_, col))) : std::string();
    }
    Pair ReadPair() const { return Pair{Int(0), Text(1), Text(2), Int(3), Int(4)}; }

private:
    sqlite3* db_;
    sqlite3_stmt* st_ = nullptr;
};

struct TTranslationMemory::Statements {
    explicit Statements(sqlite3* db)
        : bySource(db, "SELECT id, source, target, created, changed FROM pairs WHERE source = ?1"),
          byId(db, "SELECT id, source, target, created, changed FROM pairs WHERE id = ?1"),
          insert(db, "INSERT INTO pairs(source, target, created, changed) VALUES (?1, ?2, ?3, ?4) "
                     "ON CONFLICT(source) DO NOTHING"),
          update(db, "UPDATE pairs SET target = ?2, changed = ?3 WHERE id = ?1"),
          toHistory(db, "INSERT INTO history(pair, target, changed) VALUES (?1, ?2, ?3)"),
          inHistory(db, "SELECT 1 FROM history WHERE pair = ?1 AND target = ?2"),
          dropFromHistory(db, "DELETE FROM history WHERE pair = ?1 AND target = ?2"),
          history(db, "SELECT h.target, h.changed FROM history h JOIN pairs p ON p.id = h.pair "
                      "WHERE p.source = ?1 ORDER BY h.changed DESC, h.id DESC"),
          postings(db,
                   "SELECT rowid FROM pair_words WHERE pair_words MATCH ?1 ORDER BY rowid DESC LIMIT ?2"),
          search(db, "SELECT id, source, target, created, changed FROM pairs WHERE id IN "
                     "(SELECT rowid FROM pair_words WHERE pair_words MATCH ?1 ORDER BY rowid DESC LIMIT ?2) "
                     "ORDER BY id DESC"),
          count(db, "SELECT count(*) FROM pairs"),
          maxId(db, "SELECT coalesce(max(id), 0) FROM pairs"),
          all(db, "SELECT id, source, target, created, changed FROM pairs ORDER BY id"),
          allHistory(db, "SELECT pair, target, changed FROM history ORDER BY pair, changed, id"),
          historyCount(db, "SELECT count(*) FROM history"),
          unindex(db,
                  "INSERT INTO pair_words(pair_words, rowid, source, target) VALUES ('delete', ?1, ?2, ?3)"),
          indexFrom(
              db,
              "INSERT INTO pair_words(rowid, source, target) SELECT id, source, target FROM pairs WHERE id >= ?1"),
          indexOne(
              db,
              "INSERT INTO pair_words(rowid, source, target) SELECT id, source, target FROM pairs WHERE id = ?1"),
          begin(db, "BEGIN IMMEDIATE"), commit(db, "COMMIT"), rollback(db, "ROLLBACK") {}
    Stmt bySource, byId, insert, update, toHistory, inHistory, dropFromHistory, history, postings,
        search, count, maxId, all, allHistory, historyCount, unindex, indexFrom, indexOne, begin,
        commit, rollback;
};

struct TTranslationMemory::ShapeStatements {
    explicit ShapeStatements(sqlite3* db)
        : insert(db, "INSERT OR REPLACE INTO pair_shape(id, shape) VALUES (?1, ?2)"),
          fillFrom(db, "INSERT OR REPLACE INTO pair_shape(id, shape) "
                       "SELECT id, qb_shape(source) FROM pairs WHERE id >= ?1"),
          after(db, "SELECT id, shape FROM pair_shape WHERE id > ?1 ORDER BY id") {}
    Stmt insert, fillFrom, after;
    // The shapes in memory, by token count (the last bucket takes every longer source), each
    // bucket in id order: 100,000 pairs take 1.6 MB and are scanned in about a millisecond,
    // ten times faster than the file's index. Read at the first need and brought up to date
    // (the pairs added since, by any program) at every later one.
    std::vector<std::vector<std::pair<std::int64_t, std::uint64_t>>> byTokens;
    std::int64_t lastId = 0;
};

// ---- opening ----

TTranslationMemory::TTranslationMemory(std::string path) : path_(std::move(path)) {
    auto cannot = [&](const std::string& why) {
        return TmError("Cannot open file " + path_ + ": " + why);
    };
    if (path_.empty()) throw cannot("no file name");
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::path(path_).parent_path();
    if (!parent.empty() && !std::filesystem::exists(parent, ec)) {
        std::filesystem::create_directories(parent, ec);
        if (ec) throw TmError("Cannot create file " + path_ + ": " + ec.message());
    }
    // A new memory is made 0600 before SQLite opens it: it holds the client's text, and the
    // -wal and -shm files SQLite makes beside it take the file's mode.
    if (const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600); fd >= 0)
        ::close(fd);
    const int rc =
        sqlite3_open_v2(SqlitePath(path_).c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const std::string why = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw cannot(why);
    }
    try {
        sqlite3_busy_timeout(db_, 5000);
        // The first statement reads the file: a file that is no database fails here.
        int version = 0;
        int objects = 0;
        {
            Stmt v(db_, "PRAGMA user_version");
            if (v.Step()) version = int(v.Int(0));
            Stmt o(db_, "SELECT count(*) FROM sqlite_master");
            if (o.Step()) objects = int(o.Int(0));
        }
        if (version > kSchemaVersion) throw cannot("made by a newer version of the program");
        if (version == 0 && objects > 0) throw cannot("not a translation memory");

        fts5_api* api = Fts5Api(db_);
        if (!api) throw cannot("this SQLite has no full-text search (FTS5)");
        static fts5_tokenizer tokenizer{TokenizerCreate, TokenizerDelete, TokenizerRun};
        if (api->xCreateTokenizer(api, kTokenizerName, nullptr, &tokenizer, nullptr) != SQLITE_OK)
            throw cannot(sqlite3_errmsg(db_));

        // Write-ahead log with synchronous=NORMAL: a commit is in the log before Record returns,
        // so a killed program loses nothing committed; only a power cut can lose the last pairs,
        // and then the file still opens whole.
        Exec("PRAGMA journal_mode = WAL");
        Exec("PRAGMA synchronous = NORMAL");
        Exec("PRAGMA foreign_keys = ON");
        // 16 MB of page cache: the pages a fuzzy search touches (the index's postings of the
        // sentence's words, the candidates' rows) stay in memory from one sentence to the next.
        Exec("PRAGMA cache_size = -16384");
        if (version == 0) {
            Exec("BEGIN IMMEDIATE");
            try {
                // Another process may have made the tables meanwhile.
                Stmt o(db_, "SELECT count(*) FROM sqlite_master");
                if (o.Step() && o.Int(0) == 0) {
                    Exec(kSchema);
                    Exec(kIndexTriggers);
                }
                Exec("COMMIT");
            } catch (...) {
                sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
                throw;
            }
        }
        st_ = std::make_unique<Statements>(db_);
        OpenShapes();
    } catch (const TmError& e) {
        st_.reset();
        sqlite3_close_v2(db_);
        db_ = nullptr;
        const std::string what = e.what();
        if (what.rfind("Cannot ", 0) == 0) throw;
        throw cannot(what);
    }
}

void TTranslationMemory::OpenShapes() {
    if (sqlite3_create_function_v2(db_, "qb_shape", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                   ShapeFunction, nullptr, nullptr, nullptr) != SQLITE_OK)
        return;
    // A file this program cannot write (no permission, a full disk) still answers look-ups,
    // without the shapes: short sentences of common words then find fewer matches.
    if (sqlite3_exec(db_, kShapeSchema, nullptr, nullptr, nullptr) != SQLITE_OK) return;
    try {
        shapes_ = std::make_unique<ShapeStatements>(db_);
        // The pairs an older program added since: they come after the last one with a shape.
        Stmt pairs(db_, "SELECT coalesce(max(id), 0) FROM pairs");
        Stmt shaped(db_, "SELECT coalesce(max(id), 0) FROM pair_shape");
        if (pairs.Step() && shaped.Step() && pairs.Int(0) > shaped.Int(0))
            shapes_->fillFrom.Reset().Bind(1, shaped.Int(0) + 1).Step();
        shapesComplete_ = true;
    } catch (const TmError&) {
        shapes_.reset();
    }
}

TTranslationMemory::~TTranslationMemory() {
    shapes_.reset();
    st_.reset();
    if (db_) sqlite3_close_v2(db_);
}

void TTranslationMemory::Exec(const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        const std::string why = err ? err : sqlite3_errmsg(db_);
        sqlite3_free(err);
        throw TmError(why);
    }
}

[[noreturn]] void TTranslationMemory::Fail(const char* what) {
    throw TmError(std::string("Cannot write file ") + path_ + ": " + what);
}

void TTranslationMemory::Begin() { st_->begin.Reset().Step(); }
void TTranslationMemory::Commit() { st_->commit.Reset().Step(); }
void TTranslationMemory::Rollback() {
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

// ---- recording ----

Recorded TTranslationMemory::Record(std::string_view source, std::string_view target,
                                    std::int64_t when, std::int64_t created) {
    const std::string s = NormalizeSource(source);
    const std::string t = NormalizeTarget(target);
    if (s.empty() || t.empty() || s.size() > kMaxPairBytes || t.size() > kMaxPairBytes ||
        !IsCleanUtf8(s) || !IsCleanUtf8(t))
        return Recorded::Rejected;
    if (when <= 0) when = Now();
    if (created <= 0 || created > when) created = when;
    if (inBatch_) return RecordInside(s, t, when, created);
    try {
        Begin();
        const Recorded r = RecordInside(s, t, when, created);
        Commit();
        return r;
    } catch (const TmError& e) {
        Rollback();
        Fail(e.what());
    }
}

Recorded TTranslationMemory::RecordInside(const std::string& s, const std::string& t,
                                          std::int64_t when, std::int64_t created) {
    Statements& st = *st_;
    // Most sources are new: try the insert first, look the pair up only when it is there.
    st.insert.Reset().Bind(1, s).Bind(2, t).Bind(3, created).Bind(4, when).Step();
    if (sqlite3_changes(db_) == 1) {
        // A batch gives its new pairs their shapes at its end, in one statement.
        if (shapes_ && !inBatch_)
            shapes_->insert.Reset()
                .Bind(1, std::int64_t(sqlite3_last_insert_rowid(db_)))
                .Bind(2, ShapeOf(s))
                .Step();
        return Recorded::Added;
    }
    if (!st.bySource.Reset().Bind(1, s).Step()) Fail("a pair vanished while it was written");
    const Pair old = st.bySource.ReadPair();
    st.bySource.Reset();
    if (old.target == t) return Recorded::Unchanged;
    if (when >= old.changed) {
        // In a batch the index is brought up to date at its end: take the old text out now,
        // while it is known (a pair added in this batch is not in the index yet).
        if (inBatch_ && old.id < batchFirstNew_ && batchReindex_.insert(old.id).second)
            st.unindex.Reset().Bind(1, old.id).Bind(2, old.source).Bind(3, old.target).Step();
        st.toHistory.Reset().Bind(1, old.id).Bind(2, old.target).Bind(3, old.changed).Step();
        st.dropFromHistory.Reset().Bind(1, old.id).Bind(2, t).Step();
        st.update.Reset().Bind(1, old.id).Bind(2, t).Bind(3, when).Step();
        return Recorded::Replaced;
    }
    const bool known = st.inHistory.Reset().Bind(1, old.id).Bind(2, t).Step();
    st.inHistory.Reset();
    if (known) return Recorded::Unchanged;
    st.toHistory.Reset().Bind(1, old.id).Bind(2, t).Bind(3, when).Step();
    return Recorded::KeptAsHistory;
}

TTranslationMemory::Batch::Batch(TTranslationMemory& tm) : tm_(tm) {
    if (tm_.inBatch_) throw TmError("translation memory: batches do not nest");
    try {
        tm_.Begin();
        tm_.st_->maxId.Reset().Step();
        tm_.batchFirstNew_ = tm_.st_->maxId.Int(0) + 1;
        tm_.st_->maxId.Reset();
        tm_.batchReindex_.clear();
        // A larger page cache keeps the table, its index and the full-text index in memory
        // while they grow (64 MB at most, given back at the end).
        tm_.Exec("PRAGMA cache_size = -65536");
        tm_.Exec(kDropIndexTriggers);
    } catch (const TmError& e) {
        tm_.Rollback();
        tm_.Exec("PRAGMA cache_size = -16384");
        tm_.Fail(e.what());
    }
    tm_.inBatch_ = true;
}

TTranslationMemory::Batch::~Batch() {
    if (!open_) return;
    tm_.inBatch_ = false;
    tm_.Rollback(); // the triggers come back with it
    sqlite3_exec(tm_.db_, "PRAGMA cache_size = -16384", nullptr, nullptr, nullptr);
}

void TTranslationMemory::Batch::Commit() {
    if (!open_) return;
    open_ = false;
    tm_.inBatch_ = false;
    try {
        Statements& st = *tm_.st_;
        st.indexFrom.Reset().Bind(1, tm_.batchFirstNew_).Step();
        for (std::int64_t id : tm_.batchReindex_) st.indexOne.Reset().Bind(1, id).Step();
        if (tm_.shapes_) tm_.shapes_->fillFrom.Reset().Bind(1, tm_.batchFirstNew_).Step();
        tm_.Exec(kIndexTriggers);
        tm_.Commit();
    } catch (const TmError& e) {
        tm_.Rollback();
        sqlite3_exec(tm_.db_, "PRAGMA cache_size = -16384", nullptr, nullptr, nullptr);
        tm_.Fail(e.what());
    }
    tm_.batchReindex_.clear();
    tm_.Exec("PRAGMA cache_size = -16384");
}

// ---- fuzzy matches ----

namespace {

// Postings read per word, newest first. A word in more pairs than this ("the", "of") is too
// common to tell pairs apart; its first postings still count, its rest is not read. 1,000
// postings cost about 0.1 ms; all 85,000 of "the" in 100,000 pairs would cost 20 ms.
constexpr std::int64_t kPostingCap = 1000;
// Candidates scored in full after the word count: the best by the weight of shared words
// (a rare word weighs more). At 100,000 pairs the best match was always among them.
constexpr std::size_t kCandidates = 100;
// Sentences of up to this many tokens are looked for by their shapes when they have too few
// rare words: the pairs of their lengths are few enough to be read whole (12 tokens at 60%:
// 8 to 20 tokens). A longer sentence has more words to go by; its best match was always among
// the pairs sharing its words' newest postings.
constexpr long kShortSentenceTokens = 12;

// The reads of one search in one read transaction: one lock for all its statements, and one
// consistent state of the file while another program (qblex) writes to it.
class ReadScope {
public:
    ReadScope(sqlite3* db, bool inside) : db_(inside ? nullptr : db) {
        if (db_ && sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
            db_ = nullptr;
    }
    ~ReadScope() {
        if (db_) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    }
    ReadScope(const ReadScope&) = delete;
    ReadScope& operator=(const ReadScope&) = delete;

private:
    sqlite3* db_;
};

// Candidates in the order they are kept: the greater weight of shared words first, then the
// newer pair (the greater id).
bool Better(const std::pair<double, std::int64_t>& a, const std::pair<double, std::int64_t>& b) {
    return a.first != b.first ? a.first > b.first : a.second > b.second;
}

// Keeps `c` in `heap` when it is among the best kCandidates so far. The heap has the worst on
// top: most pairs are turned away by one comparison with it.
void KeepBest(std::vector<std::pair<double, std::int64_t>>& heap,
              const std::pair<double, std::int64_t>& c) {
    if (heap.size() == kCandidates) {
        if (!Better(c, heap.front())) return;
        std::pop_heap(heap.begin(), heap.end(), Better);
        heap.back() = c;
    } else {
        heap.push_back(c);
    }
    std::push_heap(heap.begin(), heap.end(), Better);
}

// Best first; equal scores: the more recently translated, then the newer pair.
void SortMatches(std::vector<Match>& matches, std::size_t max) {
    std::sort(matches.begin(), matches.end(), [](const Match& a, const Match& b) {
        if (a.score != b.score) return a.score > b.score;
        if (a.pair.changed != b.pair.changed) return a.pair.changed > b.pair.changed;
        return a.pair.id > b.pair.id;
    });
    if (matches.size() > max) matches.resize(max);
}

} // namespace

struct TTranslationMemory::MatchTerm {
    std::string term;
    int countInSentence = 0;
    std::vector<std::int64_t> ids; // the pairs holding it, newest first
    double df = 0;                 // pairs holding the word (estimated when not complete)
    bool complete = false;         // every pair holding the word, not only the first kPostingCap
    double idf = 0;                // the weight of sharing it: log((pairs + 1) / (df + 0.5))
    std::uint64_t bits = 0;        // its bits in a shape
};

namespace {

// The sentence's words, each once, with how often it stands in the sentence.
std::vector<TTranslationMemory::MatchTerm> SentenceWords(const std::vector<Token>& tokens) {
    std::vector<TTranslationMemory::MatchTerm> terms;
    for (const Token& t : tokens) {
        if (!t.word) continue;
        auto it =
            std::find_if(terms.begin(), terms.end(), [&](const auto& p) { return p.term == t.text; });
        if (it == terms.end()) {
            terms.push_back({t.text, 1, {}, 0, false, 0, 0});
        } else {
            ++it->countInSentence;
        }
    }
    return terms;
}

// How many pairs hold each word, and what sharing it weighs. `total` is the newest pair's id.
void EstimateFrequencies(std::vector<TTranslationMemory::MatchTerm>& terms, double total) {
    for (TTranslationMemory::MatchTerm& term : terms) {
        term.df = double(term.ids.size());
        if (!term.complete) {
            // The newest postings, ids from the newest pair down to ids.back(), stand for the
            // whole list: "the", in 2,000 of the newest 2,350 pairs, is in about 85% of all.
            term.df =
                double(kPostingCap) * total / std::max(1.0, total - double(term.ids.back()) + 1.0);
        }
        term.idf = std::log((total + 1.0) / (term.df + 0.5));
    }
}

// The rarest words that every match must share at least one of.
struct RareWords {
    long need = 0;            // tokens a match may not all lack
    std::size_t required = 0; // terms[0 .. required) are the rarest words that cover `need`
    bool filtered = false;    // they do: a match holds at least one of them
};

// A source scoring at least minScore shares at least minScore% of the sentence's n tokens in
// order (each unshared one costs an edit). So if words standing `need` = n - ceil(n *
// minScore / 100) + 1 times in the sentence are all missing from a source, it cannot score
// high enough: the rarest words, up to that count, name every possible match. Example: in
// "Click the OK button." (5 tokens, 60%) need = 3, and click, ok, button suffice. Sorts the
// terms rarest first (the words read in full before those cut at kPostingCap).
RareWords ChooseRareWords(std::vector<TTranslationMemory::MatchTerm>& terms, long n, int minScore) {
    std::sort(terms.begin(), terms.end(), [](const auto& a, const auto& b) {
        if (a.complete != b.complete) return a.complete;
        return a.df < b.df;
    });
    RareWords r;
    r.need = n - (n * minScore + 99) / 100 + 1;
    long covered = 0;
    while (r.required < terms.size() && terms[r.required].complete && covered < r.need)
        covered += terms[r.required++].countInSentence;
    r.filtered = covered >= r.need;
    return r;
}

} // namespace

std::vector<Match> TTranslationMemory::Matches(std::string_view sentence, int minScore,
                                               std::size_t max) {
    std::vector<Match> out;
    if (max == 0) return out;
    const std::string s = NormalizeSource(sentence);
    if (s.empty() || !IsCleanUtf8(s)) return out;
    Statements& st = *st_;
    minScore = std::clamp(minScore, 0, 100);
    ReadScope reading(db_, inBatch_);

    // The same sentence, through the unique index: always found, whatever its words.
    std::int64_t exactId = 0;
    if (st.bySource.Reset().Bind(1, s).Step()) {
        out.push_back(Match{100, st.bySource.ReadPair()});
        exactId = out.back().pair.id;
    }
    st.bySource.Reset();

    const std::vector<Token> tokens = Tokenize(s);
    std::vector<MatchTerm> terms = SentenceWords(tokens);
    if (terms.empty()) return out;
    st.maxId.Reset().Step();
    const double total = double(std::max<std::int64_t>(st.maxId.Int(0), 1));
    st.maxId.Reset();
    for (MatchTerm& term : terms) ReadPostings(term);
    EstimateFrequencies(terms, total);
    const long n = long(tokens.size());
    const RareWords rare = ChooseRareWords(terms, n, minScore);

    std::vector<std::pair<double, std::int64_t>> ranked;
    if (!rare.filtered && shapesComplete_ && minScore > 0 && n <= kShortSentenceTokens)
        ranked = CandidatesByShape(terms, n, minScore, rare.need, exactId);
    else
        ranked =
            CandidatesByPostings(terms, total, rare.filtered ? rare.required : terms.size(), exactId);
    const std::size_t keep = std::min(ranked.size(), kCandidates);
    std::partial_sort(ranked.begin(), ranked.begin() + std::ptrdiff_t(keep), ranked.end(), Better);
    ranked.resize(keep);

    ScoreCandidates(ranked, tokens, minScore, out);
    SortMatches(out, max);
    return out;
}

// The pairs holding the word, newest first: all of them, or the newest kPostingCap when there
// are more (then `complete` is false).
void TTranslationMemory::ReadPostings(MatchTerm& term) {
    Stmt& postings = st_->postings;
    postings.Reset().Bind(1, "source : " + Phrase({term.term})).Bind(2, kPostingCap + 1);
    while (postings.Step()) term.ids.push_back(postings.Int(0));
    postings.Reset();
    term.complete = std::int64_t(term.ids.size()) <= kPostingCap;
    if (!term.complete) term.ids.resize(std::size_t(kPostingCap));
}

// No rare words to go by: every pair of a length that can score, that holds enough of the
// sentence's words, the best kCandidates by the weight of the words they share.
std::vector<std::pair<double, std::int64_t>>
TTranslationMemory::CandidatesByShape(std::vector<MatchTerm>& terms, long n, int minScore,
                                      long need, std::int64_t exactId) {
    std::vector<std::pair<double, std::int64_t>> ranked;
    for (MatchTerm& term : terms) term.bits = ShapeWordBits(term.term);
    ShapeStatements& sh = *shapes_;
    if (sh.byTokens.empty()) sh.byTokens.resize(std::size_t(kShapeBuckets));
    sh.after.Reset().Bind(1, sh.lastId);
    while (sh.after.Step()) {
        const std::int64_t id = sh.after.Int(0);
        const auto shape = std::uint64_t(sh.after.Int(1));
        const auto tokens = std::min<std::uint64_t>(shape >> kShapeWordBits, kShapeBuckets - 1);
        sh.byTokens[std::size_t(tokens)].emplace_back(id, shape & kShapeWordMask);
        sh.lastId = std::max(sh.lastId, id);
    }
    sh.after.Reset();
    const std::int64_t shortest =
        std::clamp<std::int64_t>((n * minScore + 99) / 100, 1, kShapeBuckets - 1);
    const std::int64_t longest = std::min<std::int64_t>(100 * n / minScore, kShapeBuckets - 1);
    for (std::int64_t len = shortest; len <= longest; ++len) {
        for (const auto& [id, words] : sh.byTokens[std::size_t(len)]) {
            if (id == exactId) continue;
            long missing = 0;
            double weight = 0;
            for (const MatchTerm& term : terms) {
                if ((words & term.bits) == term.bits)
                    weight += term.idf * term.countInSentence;
                else
                    missing += term.countInSentence;
            }
            if (missing < need) KeepBest(ranked, {weight, id});
        }
    }
    return ranked;
}

// Every pair holding one of terms[0 .. eligibleBy) (the rare words; every word when none
// filters), weighed by all the words it shares. Weights by pair id in a table as long as the
// ids (5 bytes a pair, kept between calls): the 30,000 postings of a long sentence add up in a
// fraction of a millisecond there.
std::vector<std::pair<double, std::int64_t>>
TTranslationMemory::CandidatesByPostings(const std::vector<MatchTerm>& terms, double total,
                                         std::size_t eligibleBy, std::int64_t exactId) {
    const std::size_t slots = std::size_t(total) + 1;
    if (weight_.size() < slots) {
        weight_.resize(slots, 0.0f);
        eligible_.resize(slots, 0);
    }
    touched_.clear();
    for (std::size_t k = 0; k < terms.size(); ++k) {
        const float idf = float(terms[k].idf);
        const bool makesEligible = k < eligibleBy;
        for (std::int64_t id : terms[k].ids) {
            const auto i = std::size_t(id);
            if (i >= slots) continue;
            if (!eligible_[i]) {
                if (!makesEligible) continue; // a common word alone does not make a candidate
                eligible_[i] = 1;
                touched_.push_back(id);
            }
            weight_[i] += idf * float(terms[k].countInSentence);
        }
    }
    std::vector<std::pair<double, std::int64_t>> ranked;
    ranked.reserve(touched_.size());
    for (std::int64_t id : touched_) {
        const auto i = std::size_t(id);
        if (id != exactId) ranked.emplace_back(double(weight_[i]), id);
        weight_[i] = 0.0f;
        eligible_[i] = 0;
    }
    return ranked;
}

// Reads each candidate and scores it by its edit distance to the sentence in tokens
// (Similarity); those under minScore are left out.
void TTranslationMemory::ScoreCandidates(const std::vector<std::pair<double, std::int64_t>>& ranked,
                                         const std::vector<Token>& tokens, int minScore,
                                         std::vector<Match>& out) {
    Stmt& byId = st_->byId;
    for (const auto& [weight, id] : ranked) {
        if (!byId.Reset().Bind(1, id).Step()) continue;
        Pair p = byId.ReadPair();
        byId.Reset();
        int score = Similarity(tokens, Tokenize(p.source), minScore);
        if (score == 100) score = 99; // same words, but not the same sentence (case, spacing)
        if (score < minScore) continue;
        out.push_back(Match{score, std::move(p)});
    }
}

// ---- concordance ----

std::vector<Hit> TTranslationMemory::Search(std::string_view query, std::size_t max) {
    std::vector<Hit> out;
    if (max == 0 || !IsCleanUtf8(query)) return out;
    std::vector<std::string> words;
    for (Token& t : Tokenize(query))
        if (t.word) words.push_back(std::move(t.text));
    if (words.empty()) return out;
    std::string_view trimmed = query;
    while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t'))
        trimmed.remove_suffix(1);
    const bool prefix = !trimmed.empty() && trimmed.back() == '*';
    const std::string match = Phrase(words) + (prefix ? " *" : "");
    Statements& st = *st_;
    ReadScope reading(db_, inBatch_);
    st.search.Reset().Bind(1, match).Bind(2, std::int64_t(std::min<std::size_t>(max, 1'000'000)));
    while (st.search.Step()) {
        Hit h{st.search.ReadPair(), {}, {}};
        h.sourceMarks = FindWords(h.pair.source, words, prefix);
        h.targetMarks = FindWords(h.pair.target, words, prefix);
        out.push_back(std::move(h));
    }
    st.search.Reset();
    return out;
}

std::vector<Earlier> TTranslationMemory::History(std::string_view source) {
    std::vector<Earlier> out;
    Statements& st = *st_;
    st.history.Reset().Bind(1, NormalizeSource(source));
    while (st.history.Step()) out.push_back(Earlier{st.history.Text(0), st.history.Int(1)});
    st.history.Reset();
    return out;
}

std::size_t TTranslationMemory::PairCount() {
    st_->count.Reset().Step();
    const auto n = std::size_t(st_->count.Int(0));
    st_->count.Reset();
    return n;
}

void TTranslationMemory::ForEachPair(const std::function<void(const Pair&)>& visit) {
    Stmt& all = st_->all;
    all.Reset();
    try {
        while (all.Step()) visit(all.ReadPair());
    } catch (...) {
        all.Reset();
        throw;
    }
    all.Reset();
}

void TTranslationMemory::ForEachTranslation(const std::function<void(const Pair&, bool current)>& visit) {
    Stmt& all = st_->all;
    Stmt& older = st_->allHistory;
    ReadScope reading(db_, inBatch_); // pairs and history as of one moment
    all.Reset();
    older.Reset();
    try {
        bool haveOlder = older.Step();
        while (all.Step()) {
            Pair p = all.ReadPair();
            // Both lists run by pair id; history rows of a pair that is gone are skipped.
            while (haveOlder && older.Int(0) < p.id) haveOlder = older.Step();
            while (haveOlder && older.Int(0) == p.id) {
                visit(Pair{p.id, p.source, older.Text(1), p.created, older.Int(2)}, false);
                haveOlder = older.Step();
            }
            visit(p, true);
        }
    } catch (...) {
        all.Reset();
        older.Reset();
        throw;
    }
    all.Reset();
    older.Reset();
}

std::size_t TTranslationMemory::TranslationCount() {
    st_->historyCount.Reset().Step();
    const auto n = std::size_t(st_->historyCount.Int(0));
    st_->historyCount.Reset();
    return n + PairCount();
}

} // namespace qb::tm
