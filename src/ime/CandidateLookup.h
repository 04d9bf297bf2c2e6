// looking a typed code up in the code tables, and the pure parts of the composition
// box's paging and picking. Plain C++ over GBK bytes: no Qt.
//
// A candidate is one CandidateRow. A prefix row is a table word of a longer code; only the
// candidate window draws it as word + "..." + the rest of that code: with the code zh and the
// table line zhong -> 中;钟, the prefix rows 中 and 钟 are drawn 中...ong and 钟...ong.
#pragma once

#include "ClauseConverter.h"
#include "SchemeTables.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qb {

inline constexpr std::string_view kPrefixMark = "...";
inline constexpr int kPrefixLimit = 20; // prefix candidates per table, tested between keys
inline constexpr std::size_t kMaxCodeRest = 1000; // bytes of the rest of a code in a prefix candidate
inline constexpr std::size_t kMaxPickBytes = 500; // bytes of a picked candidate
inline constexpr int kPageSize = 10;

// A word a code table holds for a typed code, seen in the table itself (valid while the table is
// unchanged): an exact hit is a word of the code; a prefix hit is a word of a longer key that
// begins with the code, with the rest of that key ("ong" of zhong for zh, at most kMaxCodeRest
// bytes).
struct TableHit {
    std::string_view word;
    std::string_view codeRest; // prefix hits only
};
using TableHits = std::vector<TableHit>;

// Fills exactHits with the words of `code` itself and prefixHits with the words of the keys that
// follow it and begin with it (plain byte comparison). Both lists are emptied first. keys is
// sorted in text order; words is parallel to it, each line ";"-separated (empty pieces dropped).
void FindTableHits(std::string_view code, const StringList& keys, const StringList& words,
                   TableHits& exactHits, TableHits& prefixHits);

// FindTableHits as the window draws the hits: the prefix hits as word + "..." + rest.
void LookupCodeTable(std::string_view code, const StringList& keys, const StringList& words,
                     StringList& exactHits, StringList& prefixHits);

// Where a row of the candidate list comes from.
enum class CandidateOrigin {
    Sentence,   // the selected sentence: its code table or a sense of its phrases
    Library,    // the pinyin library's reading of the code (a whole clause or its first words)
    Table,      // a scheme's code table
    Prediction, // offered before any letter: a word likely to follow what was typed
};

// One row of the candidate list. A prefix row is a table word of a longer code; it is drawn as
// word + "..." + the rest of that code (中...ong for zh), and picking it inserts the word alone.
struct CandidateRow {
    std::string text;           // GBK, what picking inserts
    std::size_t codeLength = 0; // bytes of the typed code the text covers
    // The code left in the composition box after the pick: empty for a table word and a reading
    // of the whole code, "ma" for 状态 offered for "zhuangtaima".
    std::string rest;
    // The pinyin scheme (1 全拼, 2 双拼, 3 自然) whose library reading the row is; 0 otherwise. A
    // library row never commits by itself (DecideCompose), and picking one is learned
    // (ClauseConverter::Learn) in that scheme.
    int scheme = 0;
    // The scheme (1..4) whose reading or code table gave the row, credited when it is picked
    // (SchemeUsage); 0 for the sentence's own rows, which every typist gets alike.
    int source = 0;
    CandidateOrigin origin = CandidateOrigin::Table;
    bool prefix = false;
    std::string codeRest; // prefix rows: the rest of the longer code ("ong" for 中 of zh)
};
using CandidateRows = std::vector<CandidateRow>;

// The row as the candidate window draws it: "中...ong" for a prefix row, the text otherwise.
std::string DrawnRow(const CandidateRow& row);

// What LookupCandidates searches: the sentence code table first, then the enabled schemes.
// The main window's lists are referenced, never copied; they are read at every call, so a
// change of the tables, switches or order is seen at the next key.
struct CandidateSources {
    const StringList* sentenceKeys = nullptr;     // SentenceCodeTable keys (may be null: empty)
    const StringList* sentenceWords = nullptr;    // ... and its ";"-joined texts
    std::array<const SchemeTables*, 4> schemes{}; // indexed by scheme id - 1; null = empty
    std::array<bool, 4> use{};                    // useQp, useSp, useZr, useWb by id - 1
    std::array<int, 4> order{1, 2, 3, 4};         // SchemeOrder: positions 1..4 hold scheme ids
    ClauseConverter* converter = nullptr;         // whole-clause pinyin; null = tables only
    // The senses of the sentence's phrases under their full pinyin and initials in each enabled
    // pinyin scheme (BuildSenseCodeTable); may be null.
    const StringList* senseKeys = nullptr;
    const StringList* senseWords = nullptr;
    // The setting ClassicOrder (按码表顺序排列候选): the tables' order, the conversion only for
    // codes no table knows. Off: the sentence's rows, the library's readings merged over the
    // schemes, then the tables' words in simplified characters.
    bool classicOrder = false;
    // The schemes the typist types (SchemeUsage::Leading), by id - 1. With classicOrder off only
    // these are read by the library and give prefix rows; the other enabled schemes keep their
    // exact table hits, kOtherSchemeRows of each, on the first page after the leading
    // rows. All true: every enabled scheme leads.
    std::array<bool, 4> lead{true, true, true, true};
};

// Rows each scheme that does not lead keeps on the first page: "khlg" still shows 五笔's 中国 to a
// Wubi typist whose schemes are not inferred yet, however many readings 全拼 finds for it. One
// each: with three shared out first come first served, 双拼 took all of them for any two-letter
// code (选 玄 轩 for "xr"), and a new Wubi typist never saw 绵.
inline constexpr std::size_t kOtherSchemeRows = 1;

// Letters of the longest code read as two senses' initials (SenseCombos), and the most such rows.
inline constexpr std::size_t kMaxSenseComboKeys = 8;
inline constexpr std::size_t kMaxSenseCombos = 2;
// The senses of each part that are paired (SenseCombos).
inline constexpr std::size_t kSenseComboChoices = 3;

// Which schemes the typist actually types, inferred from the picks: each pick is credited to the
// scheme whose reading or table gave it. A scheme leads once it holds kLeadPicks picks and at
// least half of the busiest scheme's; older picks fade (kPickFade a pick), so a typist who moves
// from 双拼 to 全拼 is followed. Nothing inferred yet: the first enabled scheme in SchemeOrder
// leads, so a new user with the defaults gets 全拼's 自动化 for "zdh", not a 双拼 reading.
class SchemeUsage {
public:
    static constexpr float kLeadPicks = 2.5f;
    static constexpr float kPickFade = 0.98f;

    void Credit(int scheme);
    void Forget() { picks_ = {}; }
    bool Inferred() const;
    std::array<bool, 4> Leading(const std::array<bool, 4>& use, const std::array<int, 4>& order) const;
    const std::array<float, 4>& Picks() const { return picks_; }
    // As the settings keep it: four numbers, "0,0,0,3". Text that is not four numbers of zero or
    // more (edited by hand) reads as nothing inferred.
    std::string Save() const;
    static SchemeUsage Load(std::string_view text);

private:
    std::array<float, 4> picks_{};
};

// The hits of the five tables, kept between calls so a key press allocates little. Source 0 is
// the sentence table, source id the scheme with that id. The hits see into the tables of the
// last call: read them before the tables change.
class CandidateLookup {
public:
    // Empty code: no candidates. Otherwise: the sentence's exact hits, the enabled schemes' exact
    // hits in SchemeOrder, the sentence's prefix hits, the enabled schemes' prefix hits in
    // SchemeOrder; a row drawn equal in text order to an earlier one is dropped (AppendDistinct).
    // When no source has an exact hit and a converter is given, the conversion rows of each
    // enabled pinyin scheme in SchemeOrder come before the prefix hits: "zhuangtaima" gives
    // 状态吗, 状态码, 状态 ... then 状态码...x from a longer code.
    //
    // With classicOrder off: the sentence's exact hits and the senses typed by their pinyin or
    // initials ("ku" gives 库 first while "library" renders 库), then every reading the pinyin
    // library offers in each enabled pinyin scheme, merged by its likelihood with each scheme's
    // own order kept (a reading padded with bare initials only when no scheme reads the code
    // whole), then the tables' exact and prefix hits as above, traditional characters left out.
    void LookupCandidates(std::string_view code, const CandidateSources& sources, CandidateRows& rows);
    // The same rows as the candidate window draws them (DrawnRow), for a caller that prints them.
    void LookupCandidates(std::string_view code, const CandidateSources& sources, StringList& drawn);

    std::array<TableHits, 5> ExactHits;
    std::array<TableHits, 5> PrefixHits;
    TableHits SenseHits, SensePrefixHits;
    // Two senses typed by their initials one after the other, after the library's best
    // readings of the whole code: in "Cannot backspace archive file", "gdwj" gives 归档文件 (归档 and 文件 are both
    // senses of "file"), which no reading of the library holds (广大玩家 first). Each part takes
    // its first sense of as many hanzi as it has letters.
    TableHits SenseCombos;

private:
    class Merger;
    void LookupClassic(std::string_view code, const CandidateSources& sources, CandidateRows& rows);
    void LookupMerged(std::string_view code, const CandidateSources& sources, CandidateRows& rows);
    void FindSenseCombos(std::string_view code, const CandidateSources& sources);
    std::vector<std::string> comboTexts_; // the texts SenseCombos points at
    void Convert(std::string_view code, const CandidateSources& sources, bool leadOnly);
    std::vector<std::uint32_t> mergeSlots_;
    std::vector<int> clauseSchemes_;                         // the enabled pinyin schemes, in order
    std::vector<std::vector<ClauseCandidate>> clauseRows_;   // their readings, scheme by scheme
    std::vector<std::pair<int, ClauseCandidate>> clauseAll_; // scheme, reading
    std::string spelled_;     // the code as the full-pinyin table spells it (lve -> lue)
    CandidateRows drawnRows_; // the rows behind the drawn overload
};

// ---- the document's own renderings ----

// What the translator chose earlier in the document for its phrases: after "Open the library."
// was translated 打开库, "library" is rendered 库, and the next sentence with "library" offers 库
// before 图书馆 (its candidates, the conversion's preferred words and the prediction all read the
// sentence's phrase lines in order).
class DocumentRenderings {
public:
    // For each phrase line ("phrase TAB sense；sense", GBK) of a translated sentence, the
    // longest of its senses that the translation holds is its rendering from now on. Returns
    // how many phrases got one.
    std::size_t Learn(const StringList& sentencePhrases, std::string_view translation);
    // Puts each phrase's rendering first among its senses; a phrase rendered with no sense of
    // its own lines is left as it is.
    void Apply(StringList& sentencePhrases) const;
    // The words of a translation (GBK) as the converter's language model cuts them, those of
    // two hanzi or more: the document's own vocabulary. 归档 typed in one sentence comes first
    // for "gd" in the next ones, after the sentence's senses. They are not predicted: the
    // library's next words, which learn them too, would give way to them.
    void LearnWords(std::string_view translation, ClauseConverter* converter);
    // One phrase line per learned word ("TAB 归档"), at most kMaxDocumentWords: what the sense
    // code table takes after the sentence's senses. The words typed most often first, the latest
    // first among equals: a day's work on archive messages typed 解压 six times, and by the
    // 250th message two hundred newer words had pushed it out of a list kept latest first.
    const StringList& WordLines() const { return wordLines_; }
    void Clear() {
        chosen_.clear();
        uses_.clear();
        wordLines_.clear();
        sentences_ = 0;
    }
    std::size_t Size() const { return chosen_.size(); }

    static constexpr std::size_t kMaxDocumentWords = 500;

private:
    struct Use {
        std::size_t count = 0; // occurrences in the translations so far
        std::size_t last = 0;  // the sentence (LearnWords call) it last came in
        std::size_t at = 0;    // its first place among that sentence's words
    };
    std::unordered_map<std::string, std::string> chosen_; // phrase in lower case -> sense
    std::unordered_map<std::string, Use> uses_;           // by word line
    std::size_t sentences_ = 0;
    StringList wordLines_;
};

// The senses of a phrase line ("phrase TAB sense；sense;sense"), trimmed, empty ones dropped, in
// their order.
void SensesOf(const std::string& line, StringList& senses);

// The words of a translation (GBK) as the converter's language model cuts them, in their
// order, those of two to kMaxPredictedChars hanzi: "无法打开文件" gives 无法, 打开, 文件. Empty
// without a converter.
void TranslationWords(std::string_view translation, ClauseConverter* converter, StringList& out);

// ---- prediction: the words offered after a pick, before the next letter ----

inline constexpr std::size_t kMaxPredictions = 20;

// The words likely to follow `typed` (GBK, the text committed since the sentence was selected):
// the senses of the sentence's phrases (lines "phrase TAB rendering") whose phrase is not typed
// yet, and the library's prediction, all ranked by how likely they follow the typed text
// ("打印" typed for "Print the status code." offers 状态码 first, and no other sense of
// "print"), the senses with a bonus for their length and for being their phrase's first, the
// library's words with a margin against them; each once, at most kMaxPredictions.
// With `pieces` (SensePieceLines), the words inside the senses are offered as well, ranked as
// senses that are not their phrase's first: "另一个" of "another" offers 一个 too.
void BuildPredictions(std::string_view typed, const StringList& sentencePhrases,
                      ClauseConverter* converter, StringList& out,
                      const StringList* pieces = nullptr, const StringList* matchWords = nullptr);

// The words inside the sentence's senses that are no sense of the sentence themselves, as
// phrase lines ("another TAB 一个", GBK): translators type "无效" where "invalid" reads 无效的,
// and "一个" inside 另一个. Cut by the converter's language model (SplitWords); pieces of two
// to kMaxPredictedChars hanzi, each once, from senses of at most 8 characters. Empty without a
// converter. The sense code table and the prediction take them after the senses themselves.
StringList SensePieceLines(const StringList& sentencePhrases, ClauseConverter* converter);

// ---- the composition box's decisions ----

enum class ComposeOutcome {
    NoCandidates,  // hide the candidate window (and the box too when the code is empty)
    ShowFirstPage, // PageNo = 0, ShowPage forward, show the candidate window
    Commit,        // exactly one exact candidate: insert it and end the composition
};
// Only a lone table or sentence word commits: a lone prefix row waits for more letters, and a
// lone library reading (a clause that no table knows, say "womenyinggai" -> 我们应该) waits for
// the typist to pick it.
ComposeOutcome DecideCompose(const CandidateRows& candidates);

// What picking a row gives: the text that goes into the pane and what stays to be composed.
struct PickedCandidate {
    std::string text;           // PickCandidate: the row without its number and "...", cut
    std::string rest;           // the code left in the composition box; empty ends the composition
    int scheme = 0;             // the conversion's scheme; 0 for a table candidate
    std::size_t codeLength = 0; // bytes of the typed code the text covers (conversion rows)
    bool cut = false;           // the text was longer than kMaxPickBytes and was cut
    int source = 0;             // CandidateRow::source of the picked row
};

// Cuts `text` to at most `max` bytes at a character boundary: a two-byte GBK character that
// would be split is left out whole (so "中" + 499 letters cut to 500 keeps 中 and 498 letters,
// never a lone lead byte that would swallow the next character in the pane).
std::string_view CutAtCharBoundary(std::string_view text, std::size_t max);

// The page number after [ or ]: forward from the last page stays there (23 candidates: 3 stays
// 3); back from page 1 gives 0, no page, and the window hides.
int StepPage(int pageNo, int candidateCount, bool forward);

struct PageText {
    std::string text;    // "1:..." CR LF "2:..." ...; the final CR LF dropped
    std::string longest; // the longest entry of the page by bytes, the first one on a tie
    int rows = 0;
};
// The rows of one page, each drawn (DrawnRow): page 2 shows candidates 11 to 20 numbered 1: to 9:
// and 0:, so the digit key of a row is the row number mod 10.
PageText BuildPageText(const CandidateRows& buffer, int pageNo);

// The candidate window's width for the measured width of the page's longest row + "中文":
// never narrower than 80 pixels nor wider than 400.
inline int CandidateWindowWidth(int measured) {
    return measured < 80 ? 80 : (measured > 400 ? 400 : measured);
}

// PickCandidate on the rows of the page: "" for d < 0 or fewer rows than d (d = 0 stands for the
// tenth row); else the row cut before its first "...", without its digit and colon, at most
// 500 bytes, cut at a character boundary.
std::string PickFromRows(const StringList& rows, int d);

} // namespace qb
