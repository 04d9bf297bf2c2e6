// The translation memory's view of text: UTF-8 tokens, the normal form in which a sentence is
// stored, and the word similarity behind fuzzy matches. Plain C++, no Qt, no SQLite.
//
// One tokenizer serves the full-text index, the queries, the similarity and the marking of
// hits, so that what the index finds and what the score counts are the same words:
//   "Don't stop, John." -> don ' t stop , john .   (words lower-cased, each symbol a token)
//   "翻译记忆。"         -> 翻 译 记 忆 。          (every ideograph a word of its own)
//   "ＡＢＣ１２"         -> abc12                   (full-width letters and digits folded)
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qb::tm {

struct Token {
    std::string text;      // folded: ASCII and full-width letters lower-cased, full-width -> ASCII
    std::size_t begin = 0; // byte range in the text it came from
    std::size_t end = 0;
    bool word = false; // a word or an ideograph (indexed); false for a symbol
};

// Splits UTF-8 text into tokens. Bytes that are not UTF-8 become one symbol token each, so a
// broken text still tokenizes (and never indexes garbage as words).
std::vector<Token> Tokenize(std::string_view utf8);
// The same tokens one by one, without building a list: (folded text, begin, end, word). The
// text is valid only during the call.
using TokenSink = std::function<void(std::string_view, std::size_t, std::size_t, bool)>;
void ForEachToken(std::string_view utf8, const TokenSink& sink);

// True when `text` is well-formed UTF-8 without NUL bytes and without surrogates.
bool IsCleanUtf8(std::string_view text);

// The stored form of a source sentence: white space at both ends removed, every inner run of
// white space (spaces, tabs, line breaks, U+3000) one ASCII space.
//   "  The cat\r\n sat. " -> "The cat sat."
std::string NormalizeSource(std::string_view utf8);
// The stored form of a translation: white space at both ends removed, CR LF and lone CR -> LF.
std::string NormalizeTarget(std::string_view utf8);

// Word similarity in percent: 100 - 100 * (token edit distance) / (longer token count), rounded
// down, so only identical token sequences reach 100. Tokens compare folded, so "The cat." and
// "the cat." are 100 here; TTranslationMemory reports such a pair as 99 (not the same sentence).
// "The cat sat on the mat." vs "The dog sat on the mat.": 7 tokens, one substitution -> 85.
// A pair that cannot reach `minScore` gives -1 early (most candidates of a fuzzy search do).
int Similarity(const std::vector<Token>& a, const std::vector<Token>& b, int minScore = 0);

// One piece of the difference between a stored source and the sentence it was matched for.
struct DiffPiece {
    enum Kind { Same, Old, New };
    Kind kind = Same; // Same: in both; Old: only in the stored source; New: only in the sentence
    std::string text; // the original text of the piece, with the white space before it
};
// The token alignment of `stored` against `sentence` as pieces in reading order; a replaced word
// gives its Old piece, then its New piece. Texts too long to align (over a few thousand tokens
// each) give one Old piece and one New piece.
//   stored "The cat sat." sentence "The dog sat." -> Same "The", Old " cat", New " dog", Same " sat."
std::vector<DiffPiece> Difference(std::string_view stored, std::string_view sentence);
// The texts of the Old pieces, trimmed: what the stored source has and the sentence has not.
// "Cannot open file." matched for "Cannot read file." gives "open".
std::vector<std::string> OldPieces(std::string_view stored, std::string_view sentence);

// Where the query's words occur in `text`, as byte ranges [begin, end): each run of tokens whose
// words equal the query's words in order (symbols between them ignored), the last query word
// also matching as a prefix when `lastIsPrefix`. "take care" in "Take  care, or take-care."
// gives two ranges.
struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
    bool operator==(const Span&) const = default;
};
std::vector<Span> FindWords(std::string_view text, const std::vector<std::string>& queryWords,
                            bool lastIsPrefix);

} // namespace qb::tm
