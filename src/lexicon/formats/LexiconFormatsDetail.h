// Pieces shared by the readers and writers of LexiconFormats.cpp and TermFormats.cpp.
#pragma once

#include "LexiconFormats.h"

#include <QString>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qb::formats {

// 1-based line of index `at` of a text whose lines end at CR LF, lone CR or lone LF.
long long LineAt(const QString& text, qsizetype at);

// A text file of any encoding (DetectTextEncoding) as a QString, without its byte-order mark
// and up to a NUL. GBK is decoded strictly: bytes that are neither UTF-8 nor GBK throw NotGbk
// naming their line.
QString DecodeText(std::string_view bytes);

// Collects entries as text with the line each piece came from, and turns them into GBK text
// lexicon lines in one go; a character GBK cannot hold throws NoGbkCode naming the line of the
// piece that holds it. A key's TABs and line breaks become spaces (the key is normalised on
// reading anyway); a line break inside a rendering becomes a space, since an entry is one line.
class GbkLines {
public:
    void Key(const QString& key, long long line);
    // Appends a sense, "；" before it unless it is the first; or the whole rendering as it is.
    void Sense(const QString& sense, long long line);
    void Rendering(const QString& rendering, long long line);
    void EndEntry();
    std::string Finish() const;

private:
    QString text_;
    bool firstSense_ = true;
    std::vector<std::pair<qsizetype, long long>> marks_; // start of a piece -> its line
};

// The entries of a lexicon decoded strictly from GBK: one (key, rendering) per entry, in
// entry order. Bytes that are not GBK throw NotUnicode naming the entry.
std::vector<std::pair<QString, QString>> DecodeEntries(const TQbDict& dict);

// The one code point at `at` (a surrogate pair is one), and its "U+1F600" form.
QString CodePointAt(const QString& text, qsizetype at);
QString CodePointName(const QString& character);

} // namespace qb::formats
