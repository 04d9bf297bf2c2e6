// Text utilities shared by the lexicon engine, the input method and the workspace.
//
// Every text is a std::string of GBK bytes. A byte 0x81-0xFE starts a two-byte character whose
// trail byte (0x40-0xFE) may look like ASCII: 中 is D6 D0, but 丂 is 81 40, whose trail byte is
// '@', and 乑 is 81 5A, whose trail byte is 'Z'. Searches and case folding never start on, or
// touch, such a trail byte. Nothing here includes or needs Qt.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qb {

using StringList = std::vector<std::string>;

// The one error of file access and list indexing; what() is the message shown to the user,
// e.g. "Cannot open file /home/ann/med.qbs".
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
[[noreturn]] void ThrowCannotOpen(const std::string& path);
[[noreturn]] void ThrowCannotCreate(const std::string& path);
// A lexicon that could not be read whole is never saved over its file (the message is shown
// as UTF-8 text, like the paths in the other messages).
[[noreturn]] void ThrowNotReadWhole(const std::string& path);
[[noreturn]] void ThrowIndexOutOfBounds(long long index);

inline constexpr std::size_t kMaxTextBytes = 5000;        // rendering / reach after a separator
inline constexpr std::string_view kSenseSep = "\xA3\xBB"; // "；" full-width semicolon

// ---- bytes and characters ----
inline bool IsLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
// A hanzi starts at `at`: a whole two-byte character outside GBK's rows A1-A9, which hold
// punctuation and symbols (。 is A1A3, … A1AD). The gloss 在…之上 of "on" is no word a
// translator types, and a run of hanzi ends at 。.
inline bool IsHanziAt(std::string_view text, std::size_t at) {
    const auto b = static_cast<unsigned char>(text[at]);
    return at + 1 < text.size() && IsLeadByte(b) && !(b >= 0xA1 && b <= 0xA9);
}
inline bool AllHanzi(std::string_view text) {
    if (text.empty() || text.size() % 2 != 0) return false;
    for (std::size_t i = 0; i < text.size(); i += 2)
        if (!IsHanziAt(text, i)) return false;
    return true;
}
// The letters of GBK's pinyin row, A8 A1 to A8 C0: ā á ǎ à ē é ě è ... ü ê ɑ ḿ ń ň ǹ ɡ, all
// small letters (the row has no capitals). They are letters of English words too: é of café,
// ü of Zürich; NormalizeKey and SeparateSymbols keep them inside their words.
inline bool IsPinyinRowLetter(unsigned char lead, unsigned char trail) {
    return lead == 0xA8 && trail >= 0xA1 && trail <= 0xC0;
}

// A pane holds any Unicode text; in its GBK bytes a character that GBK has no code for stands
// as one byte that begins no GBK character, so it neither ends a sentence nor matches a key:
// - kNoGbkLetter (0xFF) for a letter, a digit or a combining mark (the ï of naïve, ß, 𠀀
//   U+20000). It is part of the word around it: naïve is the one word "na" FF "ve", which
//   matches nothing, rather than the words na and ve (or, dropped, nave).
// - kNoGbkSymbol (0x7F) for anything else (😀, ™, ½): a symbol of its own, as GBK punctuation
//   is, so Windows™ still finds windows.
inline constexpr char kNoGbkLetter = '\xFF';
inline constexpr char kNoGbkSymbol = '\x7F';
inline bool HoldsNoGbkCharacter(std::string_view text) {
    return text.find_first_of(std::string_view("\xFF\x7F", 2)) != std::string_view::npos;
}
// First occurrence of pattern in text at or after byte offset `from` that starts on a character
// boundary; npos if none. `from` must itself be a character boundary.
std::size_t FindText(std::string_view text, std::string_view pattern, std::size_t from = 0);
// Replaces the non-overlapping boundary-aligned occurrences, left to right, in one pass.
std::string ReplaceAll(std::string_view text, std::string_view pattern, std::string_view with);
std::string Trim(std::string_view text);       // strips bytes 0x00-0x20 at both ends
std::string LowerAscii(std::string_view text); // 'A'-'Z' -> 'a'-'z', lead/trail bytes untouched
// Cuts at most `max` bytes; the cut may fall inside a two-byte character, as the byte limits
// of the file format require.
inline std::string_view Head(std::string_view text, std::size_t max = kMaxTextBytes) {
    return text.substr(0, max);
}

// ---- text order ----
// Walk both texts character by character; fold single-byte 'A'-'Z' only; compare unsigned bytes.
// Returns <0, 0, >0. Equal in this order means "one key".
int TextCompare(std::string_view a, std::string_view b);
inline bool TextLess(std::string_view a, std::string_view b) { return TextCompare(a, b) < 0; }
// Binary search of a list sorted in text order: true and the index of an equal item, or false
// and the index at which `text` would be inserted.
bool SortedFind(const StringList& list, std::string_view text, std::size_t& index);

// ---- the operations of the text utilities ----
int WordCount(std::string_view text);
std::string SeparateSymbols(std::string_view text);
std::string NormalizeKey(std::string_view text);
void SplitString(std::string_view text, std::string_view separator, StringList& list);
std::pair<std::string, std::string> SplitAtFirst(std::string_view text, char separator);
std::string JoinDistinct(std::string_view text, std::string_view separator);
void MergeKeyedValue(std::string_view key, std::string_view value, StringList& keys,
                     StringList& values, std::string_view separator);
void MergeKeyedLines(StringList& target, const StringList& source, char keySeparator,
                     std::string_view valueSeparator);
void AppendDistinct(StringList& target, StringList& source);

// ---- line layer of every lexicon file ----
std::string ScrambleLine(std::string_view line); // its own inverse
void ScrambleLines(StringList& lines);
// Cuts bytes into lines at CR LF, lone CR or lone LF; a NUL byte ends the text; a final line
// break starts no further line.
StringList SplitLines(std::string_view bytes);
// Every line followed by CR LF; no lines gives no bytes.
std::string JoinLinesCrLf(const StringList& lines);

// Index of the first CR or LF in p[0..n), or n. Eight bytes at a time: the lowest byte flagged
// by the zero-byte test is always a true match (a false flag only follows a true one).
inline std::size_t FindLineBreak(const char* p, std::size_t n) {
    std::size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
        for (; i + 8 <= n; i += 8) {
            std::uint64_t x;
            std::memcpy(&x, p + i, 8);
            const std::uint64_t cr = x ^ (ones * '\r'), lf = x ^ (ones * '\n');
            const std::uint64_t hit = (((cr - ones) & ~cr) | ((lf - ones) & ~lf)) & highs;
            if (hit) return i + static_cast<std::size_t>(__builtin_ctzll(hit) >> 3);
        }
    }
    for (; i < n; ++i) {
        if (p[i] == '\r' || p[i] == '\n') return i;
    }
    return n;
}

// Incremental form of SplitLines for bytes that arrive in pieces: Feed every piece in order, then
// Finish. sink(std::string_view) receives exactly the lines SplitLines gives for the whole; a
// line handed to sink is valid only during that call.
class LineSplitter {
public:
    template <class Sink>
    void Feed(std::string_view chunk, Sink&& sink);
    template <class Sink>
    void Finish(Sink&& sink);

private:
    std::string partial_;  // bytes of a line not yet ended
    bool afterCr_ = false; // the previous piece ended with CR: a leading LF belongs to it
    bool ended_ = false;   // a NUL byte was met: the text is over
};

// The lines of SplitLines (bytes), handed one by one to sink without building a list.
template <class Sink>
void ForEachLine(std::string_view bytes, Sink&& sink) {
    LineSplitter splitter;
    splitter.Feed(bytes, sink);
    splitter.Finish(sink);
}

template <class Sink>
void LineSplitter::Feed(std::string_view chunk, Sink&& sink) {
    if (ended_) return;
    if (const void* nul = std::memchr(chunk.data(), 0, chunk.size())) {
        chunk =
            chunk.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - chunk.data()));
        ended_ = true;
    }
    std::size_t i = 0;
    const std::size_t n = chunk.size();
    const char* data = chunk.data();
    if (afterCr_ && n > 0) {
        afterCr_ = false;
        if (data[0] == '\n') i = 1;
    }
    while (i < n) {
        std::size_t j = i + FindLineBreak(data + i, n - i);
        if (j == n) {
            partial_.append(chunk.substr(i));
            break;
        }
        if (partial_.empty()) {
            sink(chunk.substr(i, j - i));
        } else {
            partial_.append(chunk.substr(i, j - i));
            sink(std::string_view(partial_));
            partial_.clear();
        }
        if (data[j] == '\r') {
            if (j + 1 < n) {
                if (data[j + 1] == '\n') ++j;
            } else if (!ended_) {
                afterCr_ = true;
            }
        }
        i = j + 1;
    }
}

template <class Sink>
void LineSplitter::Finish(Sink&& sink) {
    if (!partial_.empty()) sink(std::string_view(partial_));
    partial_.clear();
    afterCr_ = false;
    ended_ = true;
}

// Reads the file in pieces and hands its lines (as SplitLines cuts them) to sink; FileError
// "Cannot open file <path>" when it cannot be opened or read. Bounded memory for huge files.
void ForEachFileLine(const std::string& path, const std::function<void(std::string_view)>& sink);
// Size of a file in bytes, 0 when unknown.
std::size_t FileSizeOf(const std::string& path);

// ---- files: the outer shell around the byte forms ----
bool FileExists(const std::string& path);
// Whole-file read; FileError "Cannot open file <path>" on failure.
std::string ReadWholeFile(const std::string& path);
// Writes a temporary file beside `path`, flushes it to disk and renames it over `path`, so a
// failed save never destroys the old file. FileError "Cannot create file <path>" on failure;
// on a full disk "磁盘已满，不能写入文件<path>；原来的文件保持不变。".
// The file gets `mode` when it is given (>= 0), else the old file's mode, else the usual mode
// of a new file (0666 less the umask); the temporary file is 0600 until its bytes are in.
// Temporary files of `path` left by a write that was killed (path.tmpXXXXXX, a minute old and
// no longer locked by their writer) are removed first.
void WriteWholeFileSafely(const std::string& path, std::string_view bytes, int mode = -1);
// The mode of a file of the user's data folder, which only its owner may read: the kept panes,
// the memory, the input method's history, rescued lexicons hold the client's text.
constexpr int kPrivateFileMode = 0600;

} // namespace qb
