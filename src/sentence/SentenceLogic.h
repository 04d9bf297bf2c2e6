// The computations of sentence selection, suggestions and browse mode that need no window: the sentence rule, the code
// table, the phrase list lines and the explanation text. The main window feeds them from its
// panes; where its pop-ups go is WindowPlacement's (src/workspace).
#pragma once

#include "MyUtils.h"
#include "SchemeTables.h"

#include <array>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace qb {

class TQbDict;
class ClauseConverter;

struct TByteSelection {
    int start = 0;
    int length = 0;
};

// The sentence rule: a sentence ends at LF, CR, ! . : ; ? followed by LF, CR or a space.
// "Hello there. How are you? Fine." with nothing selected at 0: -> (0, 12) "Hello there.";
// from there -> (13, 12) "How are you?"; extending (0, 12) instead -> (0, 26), which takes in
// the space after the question mark.
TByteSelection FindSentence(std::string_view text, int selStart, int selLength, bool extend);

// For the entries a lookup reached only through reduced forms, the sentence's words they came
// from, by the entry's key in lower case: "buff" -> "buffer", "take" -> "took". An entry that
// some lexicon found as written is not in it.
using TReducedFrom = std::unordered_map<std::string, std::string>;

// Looks `text` up in every lexicon of the slots, slot 0 first, skipping empty slots, and pools
// the lines (phrase TAB rendering) with MergeKeyedLines (TAB, "；"). Used for the sentence
// (SentencePhrases) and for browse mode. `reduced` (may be null) receives where the entries
// reached through reduced forms came from.
void PoolLookups(std::string_view text, const std::vector<std::unique_ptr<TQbDict>>& dicts,
                 StringList& pooled, TReducedFrom* reduced = nullptr);

// Where a sentence's word is found as written, its entry comes before the entries of its
// reduced forms: the indices of `lines` (phrase TAB rendering) in the order to show them, each
// reduced entry whose sentence words have an entry of their own moved to just after it
// ("buffer", then "buff"); every other line keeps its place.
std::vector<std::size_t> WrittenFirstOrder(const StringList& lines, const TReducedFrom& reduced);
// The phrase as shown: a reduced form marked with the words it came from, "buff ← buffer".
std::string ShownPhrase(std::string_view phrase, const TReducedFrom* reduced);

// Phrase abbreviations: "take care of" -> "tco", "Mr. Smith" -> "ms", "3D model" -> "m", "USA" -> "USA".
std::string PhraseAbbrev(std::string_view phrase);

// Tables indexed by scheme id - 1 (1 全拼, 2 双拼, 3 自然, 4 五笔), switches likewise.
struct TSchemeSet {
    const std::array<SchemeTables, 4>* tables = nullptr;
    std::array<bool, 4> on{};
};

// Builds a sorted key list with parallel ";"-joined words with exactly the result of calling
// MergeKeyedValue(key, text, keys, words, ";") for each Add in order, without keeping the lists
// sorted on every call: equal keys (text order) are grouped by their folded form, each group
// folds its texts as MergeKeyedValue would, and the groups are sorted once at the end.
class TKeyedMerger {
public:
    void Add(std::string_view key, std::string_view text);
    void Finish(StringList& keys, StringList& words);

private:
    struct Group {
        std::string key; // the form first met
        std::string out; // the texts as MergeKeyedValue would hold them
        std::unordered_set<std::string> seen;
        int adds = 0;
        // The held text is made of whole pieces that SplitString produced, with no byte limit
        // cut into it: appending distinct pieces then gives what JoinDistinct would.
        bool clean = false;
    };
    std::vector<Group> groups_;
    std::unordered_map<std::string, std::size_t> index_;
};

// Fills the sentence code table (keys sorted in text order, parallel ";"-joined words).
void BuildSentenceCodeTable(std::string_view sentence, const StringList& sentencePhrases,
                            const TSchemeSet& schemes, StringList& keys, StringList& words);

// The senses of the sentence's phrases (every one, single characters included) under their full
// codes and their initials in each enabled pinyin scheme: with "library" rendered 库, "ku" and
// "k" give 库; with "frame buffer" rendered 帧缓存器, "zhenhuancunqi" and "zhcq" give it. Sorted
// keys with parallel ";"-joined words, the senses in the order of the phrases.
void BuildSenseCodeTable(const StringList& sentencePhrases, const TSchemeSet& schemes,
                         StringList& keys, StringList& words);
// The same from groups of lines, in the order they are offered: the window and qblex pass the
// sentence's phrases, the words inside their senses (SensePieceLines), the memory's best match
// (MatchWordLines), then the document's words (DocumentRenderings::WordLines).
void BuildSenseCodeTable(std::initializer_list<std::reference_wrapper<const StringList>> groups,
                         const TSchemeSet& schemes, StringList& keys, StringList& words);

// Lines of the phrase list: each phrase of two or more words, then its senses, each preceded
// by one space. With `reduced`, phrases the sentence has as written come before their reduced
// forms, which are marked ("look forward to ← looking forward to"); `inserted` (may be null)
// receives, parallel to the lines, the text a click inserts (the phrase without its mark).
StringList PhraseListLines(const StringList& sentencePhrases, const TReducedFrom* reduced = nullptr,
                           StringList* inserted = nullptr);

// The senses of the sentence's phrases, each once, in the order met: the words the whole-clause
// conversion prefers while the sentence is selected. A rendering splits at "；" and at ";"
// ("状态码；状态代码;返回码" gives three), blanks around a sense are dropped. A sense found
// inside a longer one of at most 8 characters is left out: with "status" (状态) and "status code" (状态码) in the
// sentence, preferring 状态 too would read "zhuangtaima" as 状态 + 吗 again, and 状态 is what
// the conversion offers for "zhuangtai" anyway.
// With `reduced`, the senses of the entries the sentence has as written come first, and those of
// a reduced form whose word has an entry of its own are left out ("buffer" 缓冲器 is preferred,
// not "buff" 擦亮); a reduced form that is all there is ("is" -> be: 是) keeps its senses.
std::vector<std::string> SentenceSenses(const StringList& sentencePhrases,
                                        const TReducedFrom* reduced = nullptr);

// The words of the translation memory's best match for the sentence (its translation
// `matchTarget`, GBK) that the sentence's differences leave alone, as lines "TAB word": the
// words (TranslationWords) that are no sense, nor inside one, of the stored source's words the
// sentence lacks (`oldPieces`, GBK, OldPieces). "Cannot open file." translated 无法打开文件,
// matched for "Cannot read file.", gives 无法 and 文件; 打开 went with "open". Each once.
StringList MatchWordLines(std::string_view matchTarget, const StringList& oldPieces,
                          const std::vector<std::unique_ptr<TQbDict>>& dicts,
                          ClauseConverter* converter);

// the explanation lines (CR LF text cut into lines) and the longest string M.
struct TExplanation {
    StringList lines;
    std::string longest;
};
// With `reduced`, as PhraseListLines: the word as written first, reduced forms marked.
TExplanation BuildExplanation(StringList pooled, const TReducedFrom* reduced = nullptr);
// The example text of F11 (GBK = ASCII here).
std::string ExampleText();

} // namespace qb
