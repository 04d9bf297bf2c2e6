// TQbDict: one loaded lexicon: entries in key order, the first-word index that bounds how long
// a phrase is worth trying, and the irregular word forms read from verb.spe.
#pragma once

#include "MyUtils.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qb {

class TQbDict {
public:
    TQbDict(); // Create: empty, no FileName, Modified 0
    // Writes nothing: whoever frees a lexicon that may be modified calls Save() first and
    // decides what a failed write means (the main window's shutdown rescues the entries, the
    // removal of a professional lexicon keeps it loaded).
    ~TQbDict();
    TQbDict(const TQbDict&) = delete;
    TQbDict& operator=(const TQbDict&) = delete;

    // Called once on a fresh lexicon. A missing lexicon file leaves it empty without FileName;
    // an unreadable one throws "Cannot open file <path>". The irregular-form file is read
    // whether or not the lexicon file existed (a missing one gives no forms).
    void Load(const std::string& lexiconPath, const std::string& irregularPath);

    // Byte forms of Load's two halves, for tests and tools: `scrambled` says whether the
    // lines are those of a professional lexicon file (unscrambled, keys taken as read) or of a
    // text lexicon file (keys normalised). LoadEntriesFromBytes also brings the first-word
    // index up to date, so the lexicon is ready for lookups.
    void LoadEntriesFromBytes(std::string_view bytes, bool scrambled);
    void LoadIrregularFromBytes(std::string_view bytes);

    // `reducedFrom` (may be null) is filled parallel to `results`: for an entry reached only
    // through reduced forms, the sentence's words it was reduced from ("buffer" for the entry
    // "buff", "took part in" for "take part in"); empty for an entry the sentence has as written.
    void LookupSentence(std::string_view sentence, StringList& results,
                        StringList* reducedFrom = nullptr) const;
    void WordForms(std::string_view word, StringList& list) const;

    std::size_t EntryCount() const;
    // Throws "List index out of bounds (<i>)" outside 0 .. EntryCount()-1.
    void GetEntry(long long index, std::string& key, std::string& rendering) const;

    static std::string FirstWords(std::string_view text, int n);
    static std::string NthWord(std::string_view text, int n);
    int MaxPhraseWords(std::string_view word) const;
    void BuildFirstWordIndex();
    void UpdateFirstWordIndex(std::string_view key);
    static std::string MergeRenderings(std::string_view a, std::string_view b);
    static std::string NormalizeRendering(std::string_view text);
    bool IsScrambledFile() const;
    static bool IsScrambledFileName(std::string_view fileName);

    void AddEntry(std::string_view source, std::string_view rendering, bool merging = true);
    // Adds every line of a text lexicon file; the whole file is read before the first entry
    // is added, and an unreadable file throws "Cannot open file <path>" with nothing added.
    void MergeTextFile(const std::string& path, bool merging = true);
    // Batch form of AddEntry over many (source, rendering) pairs, with exactly the result of
    // adding them one by one, but without one middle insertion per entry.
    void AddEntries(const StringList& sources, const StringList& renderings, bool merging = true);
    void MergeTextBytes(std::string_view bytes, bool merging = true);

    // Writes FileName when Modified is 1 (temporary file + rename). A lexicon without FileName
    // that has something to write throws "Cannot create file " with an empty path rather than
    // dropping the entries silently; one whose file could not be read whole (LoadFailed)
    // throws the FileError of ThrowNotReadWhole and leaves its file alone.
    void Save();
    // Save's bytes: one line per entry, scrambled when `scrambled`, each ending CR LF.
    std::string SaveToBytes(bool scrambled) const;

    // Fields of the lexicon, read by the workspace and the manager.
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& path) { fileName_ = path; }
    bool Modified() const { return modified_; }
    // Load could not read the lexicon file to its end; the entries read before stay.
    bool LoadFailed() const { return loadFailed_; }
    void SetModified() {
        modified_ = true;
        ++revision_;
    }
    // Counts the changes (every AddEntry, every batch, every SetModified): a writer that kept
    // the count of what it wrote knows whether the file is behind.
    std::uint64_t Revision() const { return revision_; }
    // Unchecked (i < EntryCount()); the view stays valid until the lexicon next changes.
    std::string_view KeyAt(std::size_t i) const;
    std::string_view RenderingAt(std::size_t i) const;
    std::size_t IrregularCount() const { return irregularForms_.size(); }

private:
    // The storage of the entries is the engine's own affair (it may pool the bytes); only the
    // operations above are the lexicon's contract.
    //
    // Every entry lives in pool_ as key TAB rendering, back to back, and is described by a
    // record (offset and lengths). Records never move: an entry's id is its record's index.
    // order_ holds the live ids in key order (entry i is records_[order_[i]]), and slots_ is a
    // hash index of the live ids by their key folded as the text order folds it, so a key is
    // found without a binary search. Rewritten entries leave their old bytes behind (garbage_),
    // reclaimed by Compact().
    struct Record {
        std::uint64_t off = 0;
        std::uint32_t klen = 0;
        std::uint32_t rlen = 0;
    };
    enum class Absorb { Load, Add, Replace };
    struct LoadState;

    std::string_view KeyOf(std::uint32_t id) const;
    std::string_view RenderingOf(std::uint32_t id) const;
    std::string_view LineOf(std::uint32_t id) const;
    std::uint32_t AppendRecord(std::string_view key, std::string_view rendering);
    void PutAtPoolEnd(Record& r, std::string_view key, std::string_view rendering);
    void RewriteRecord(std::uint32_t id, const std::string& key, const std::string& rendering);
    void KillRecord(std::uint32_t id);
    static constexpr std::uint32_t kNoId = 0xFFFFFFFFu;
    std::uint32_t FindId(std::string_view key) const;
    std::size_t LowerBound(std::string_view key) const;
    void HashInsert(std::uint32_t id);
    void RebuildHash(bool byId = false);
    static constexpr std::uint64_t kDeadOffset = ~std::uint64_t(0); // Record::off of a dead record
    void AbsorbPending(std::vector<std::uint32_t>& pending, Absorb mode);
    void MaybeCompact();
    void Compact();
    void LoadLine(std::string_view line, bool scrambled, LoadState& st);
    void FinishLoad(LoadState& st);
    void AddPair(std::string_view source, std::string_view rendering,
                 std::vector<std::uint32_t>& pending);
    void FinishAdd(std::vector<std::uint32_t>& pending, bool merging);

    std::string fileName_;
    std::string pool_;
    std::vector<Record> records_;
    std::vector<std::uint32_t> order_;
    std::vector<std::uint64_t> slots_; // (hash high bits << 32) | (id + 1); 0 = empty
    std::size_t garbage_ = 0;          // bytes of pool_ no live record uses
    std::size_t deadRecords_ = 0;
    // The first-word index (FirstWordKeys / FirstWordMax): first word, folded as
    // the text order folds it, -> the largest word count of the keys of more than 3 words that
    // begin with it. A hash map, so that keys arriving in any order cost no middle insertions.
    std::unordered_map<std::string, int> firstWordMax_;
    StringList irregularForms_;
    StringList irregularBases_;
    bool modified_ = false;
    std::uint64_t revision_ = 0;
    bool loadFailed_ = false;
};

} // namespace qb
