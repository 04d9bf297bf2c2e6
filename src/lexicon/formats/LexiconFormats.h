// Lexicon files in the encodings and formats other programs write, turned into the GBK text
// lexicon lines the engine reads (key TAB rendering), and lexicons written back in them.
//
//   kind                      extension        encoding                 one entry
//   professional lexicon      .qbs             GBK, scrambled lines     key TAB rendering
//   text lexicon              any other        GBK, UTF-8 or UTF-16     key TAB rendering
//   tab-separated terms       .tsv             as a text lexicon        key TAB rendering
//   comma-separated terms     .csv             as a text lexicon        a row under the header en,zh
//   TBX-Basic                 .tbx             as the XML declares      a termEntry, en and zh langSets
//
// Reading a text lexicon: a file that begins with a byte-order mark is in that encoding; a file
// that is valid UTF-8 and holds at least one multi-byte sequence is UTF-8 ("内核" is E5 86 85
// E6 A0 B8; the GBK bytes C4 DA BA CB are not UTF-8); anything else is GBK and is read exactly as
// before, byte for byte. Text in another encoding is converted to GBK as a whole before the
// first entry is taken, so a character GBK cannot hold ("😀", "ß") fails the whole file with an
// error naming its line, and nothing is added.
//
// Qt (Core) is used here, at the edge: QStringDecoder/Encoder for the encodings and
// QXmlStreamReader/Writer for TBX. The engine behind it stays plain C++ over GBK bytes.
#pragma once

#include "DictUnit.h"

#include <QString>

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qb {

// Why a lexicon file could not be read or written. what() is English for the command line
// ("line 3: the character "😀" (U+1F600) has no GBK code"); ChineseMessage() is for the window.
class LexiconFormatError : public std::runtime_error {
public:
    enum class Kind {
        NoGbkCode,      // reading: a character GBK cannot hold
        BadUtf8,        // reading: a file marked or recognised as UTF-8 with bytes that are not
        NotGbk,         // reading a .csv: bytes that are neither UTF-8 nor GBK
        NoKey,          // reading: a line with a rendering but no English key, or no TAB
        BadXml,         // reading a .tbx: not well-formed XML
        NotTbx,         // reading a .tbx: well-formed XML of another kind
        MissingColumn,  // reading a .csv: the header has no "en" or no "zh" column
        FieldCount,     // reading a .csv: a row with more or fewer fields than the header
        UnclosedQuote,  // reading a .csv: a quoted field that the file's end cuts off
        TextAfterQuote, // reading a .csv: text between a closing quote and the next comma
        NotUnicode,     // writing a UTF-8 format: an entry holds bytes that are not GBK
        NotXmlChar,     // writing a .tbx: a control character XML cannot hold
    };
    LexiconFormatError(Kind kind, long long line, QString character = {}, QString detail = {});

    Kind kind;
    // 1-based line of the file being read; for writing, the 1-based number of the entry.
    long long line;
    QString character; // NoGbkCode, NotXmlChar: the character itself
    QString detail;    // the column name, the XML parser's message, the field counts
};

// The message box text: 文件 + path + what went wrong + 没有添加任何词条。 (or, for writing,
// 没有写入文件。).
QString ChineseMessage(const LexiconFormatError& e, const std::string& path);

enum class LexiconFormat { Scrambled, Text, Tsv, Csv, Tbx };
// By the name alone: ".qbs" (any letter case) as IsScrambledFileName decides, ".tsv", ".csv",
// ".tbx" (any letter case), and every other name a text lexicon.
LexiconFormat LexiconFormatOf(std::string_view path);

enum class TextEncoding { Gbk, Utf8, Utf16Le, Utf16Be };
// The encoding of a text file by the rule above; `bomBytes` receives the length of its
// byte-order mark (0, 2 or 3). For GBK and UTF-8 only the bytes before a NUL count, since a NUL
// ends the text of every lexicon file.
TextEncoding DetectTextEncoding(std::string_view bytes, std::size_t* bomBytes = nullptr);

// A text lexicon's bytes as GBK: GBK comes back unchanged; UTF-8 and UTF-16 are converted
// (without their byte-order mark, up to a NUL). Throws LexiconFormatError.
std::string TextLexiconToGbk(std::string_view bytes);

// The GBK text lexicon lines of `gbk` that are entries, for a file whose first line is line
// `firstLine`: a blank line (spaces and tabs only, or nothing) is no entry and is left out; a
// line whose key normalises to nothing ("\t咖啡", or "café 咖啡馆" without a TAB) throws NoKey
// naming it, where the lexicon would otherwise get an entry with an empty key.
std::string KeyedLinesOnly(std::string_view gbk, long long firstLine = 1);

// The entries of a file of any format but Scrambled, as GBK text lexicon lines (key TAB
// rendering, each line ending in LF), ready for TQbDict::LoadEntriesFromBytes (which
// normalises the keys) or MergeTextBytes. Throws LexiconFormatError; nothing is returned then.
std::string LexiconBytesToGbkLines(std::string_view bytes, LexiconFormat format);

// The entries of `dict`, in entry order, as a file of `format`: Scrambled and Text as Save
// writes them; .tsv UTF-8 lines; .csv UTF-8 with a byte-order mark (so that spreadsheets take
// it as UTF-8) and the header en,zh; .tbx TBX-Basic. Throws LexiconFormatError.
std::string LexiconToBytes(const TQbDict& dict, LexiconFormat format);

// ---- the files around the byte forms ----

// Loads a lexicon file of any format into a fresh lexicon as TQbDict::Load does (a missing
// file leaves it empty, without FileName); the irregular forms come from `irregularPath`.
// Throws FileError ("Cannot open file …") or LexiconFormatError.
void LoadLexiconFile(TQbDict& fresh, const std::string& path, const std::string& irregularPath);
// The entries of a file that is not a professional lexicon, as LexiconBytesToGbkLines gives
// them for its format. Throws FileError or LexiconFormatError.
std::string ReadGbkLines(const std::string& path);
// Writes `dict` to `path` in the format of the name, replacing the file safely.
// Throws FileError ("Cannot create file …") or LexiconFormatError (nothing is written then).
void WriteLexiconFile(const TQbDict& dict, const std::string& path);

} // namespace qb
