// The lexicon work behind the management windows, as plain functions over TQbDict: the view of
// the main window's lexicon slots they need, the rules of the new-lexicon name and of moving
// list entries up, the checks on a text lexicon file, merging and expanding with progress.
// No widgets here: progress goes to a TProgress, which may be null. The commands run this work
// on a worker thread (RunJob), so nothing here may touch a window.
#pragma once

#include "DictUnit.h"
#include "Progress.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qb {

// The lexicons in use (the main window's Dicts), as the manager sees them. Slot 0 is the user
// lexicon, slot 1 the basic lexicon, slots 2 onward the professional lexicons; an empty slot
// gives nullptr.
class LexiconHost {
public:
    virtual ~LexiconHost() = default;
    virtual int SlotCount() const = 0;
    virtual TQbDict* Slot(int index) const = 0;
    virtual int IndexOfDict(const std::string& fileName) const = 0;
    virtual void OpenDict(const std::string& fileName) = 0;
    virtual void CloseDict(const std::string& fileName) = 0;
    // The program's folder, with its trailing separator.
    virtual std::string ProgramFolder() const = 0;
};

// ---- names and lists ----

// The path of a new professional lexicon from the name chosen in the save dialog: the last
// extension of the file-name part becomes ".qbs"; a name without one gets ".qbs" appended.
// "/d/law.txt" -> "/d/law.qbs", "/d/law" -> "/d/law.qbs", "/d/a.b/law" -> "/d/a.b/law.qbs".
std::string NewLexiconPath(std::string_view chosen);

// Lower-cased extension of the file-name part, with its dot ("" when there is none).
std::string LowerExtension(std::string_view path);

// Moves each selected entry up one place, testing positions 1 .. last once each, top to
// bottom: with W X Y Z and X, Z selected the list becomes X W Z Y; a run of selected entries
// moves as a block; a selected first entry stays. The selection travels with its entry.
struct ListRow {
    std::string text;
    bool selected = false;
};
void MoveSelectedUp(std::vector<ListRow>& rows);

// ---- text lexicon files ----

enum class TextKind {
    Gbk,     // plain ASCII or valid GBK: merged as it is
    Unicode, // UTF-8 or UTF-16 (DetectTextEncoding): converted to GBK, which may fail
    NotGbk,  // neither
    Binary,  // holds NUL bytes (and is no UTF-16 with its byte-order mark): not a text file
};
TextKind ClassifyTextLexicon(std::string_view bytes);

// ---- merging and expanding ----

// Adds every line of a text lexicon (GBK bytes) to `target` exactly as the lexicon's own
// MergeTextBytes would, in slices cut at line breaks, so that progress can be shown between
// slices. A NUL byte ends the text, as in every lexicon file.
void MergeTextLexicon(TQbDict& target, std::string_view bytes, TProgress* progress);

// Adds every entry of `source`, in index order, to `target` through the batch form of
// AddEntry, in slices, with progress: the result of adding them one by one.
void AddEntriesOf(const TQbDict& source, TQbDict& target, TProgress* progress);

// Expands the lexicon `targetPath` with the entries of `sourcePath` and returns the number of
// new entries. A target in use is expanded in memory and saved at once; any other target is
// loaded into a temporary lexicon, which is written when anything was added and discarded
// unwritten when the work fails. A source in use is read from memory; a ".qbs" source is
// loaded temporarily; any other source is read as text lines: `textSource` gives them (GBK)
// when the caller has already read and checked the file, else the file is read here in the
// format of its name (ReadGbkLines: a text lexicon, .tsv, .csv or .tbx).
// Failures throw FileError ("Cannot open file …", "Cannot create file …") or
// LexiconFormatError.
std::size_t ExpandLexicon(LexiconHost& host, const std::string& targetPath,
                          const std::string& sourcePath, const std::string* textSource,
                          TProgress* progress);

// True when an expansion reads `sourcePath` as text lines (it is neither in use nor ".qbs").
bool IsTextSource(const LexiconHost& host, const std::string& sourcePath);

} // namespace qb
