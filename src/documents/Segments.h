// The segments of an open document: each unit's own translation and its status, as the
// translator works through the file. The translation typed for unit 3 is unit 3's, whatever
// happens to units 2 and 4: skipping a unit or coming back to it never moves a translation to
// another unit. Plain C++: the window shows these, the panes file keeps the statuses, and the
// export takes a segment's own translation before the memory's.
#pragma once

#include "Document.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qb::doc {

enum class SegmentStatus : char {
    Untranslated = 'u',
    Fuzzy = 'f', // a PO message flagged "fuzzy", or a translation the memory filled in
    Translated = 't',
    Checked = 'c', // the translator looked at it again and confirmed it
};

struct Segment {
    std::string translation; // UTF-8, one line; empty: none
    SegmentStatus status = SegmentStatus::Untranslated;
    std::size_t words = 0; // English words of the unit
    bool fromFile = false; // the translation is the file's own (a PO msgstr), not changed since
};

class TSegments {
public:
    // One segment a unit, with the translation the file holds for it (a PO message's msgstr):
    // translated, fuzzy when the message is flagged "fuzzy", untranslated without one.
    void Reset(const Document& doc);
    void Clear() { *this = TSegments{}; }

    std::size_t Size() const { return segments_.size(); }
    const Segment& operator[](std::size_t i) const { return segments_[i]; }

    // What the translator typed for segment `i`. A new text makes it translated (a fuzzy or
    // checked one edited wants a new look), an empty one untranslated; the same text changes
    // nothing. True when the translation or the status changed.
    bool SetTranslation(std::size_t i, std::string_view text);
    // A translation the memory filled in: fuzzy until the translator edits or confirms it.
    bool Fill(std::size_t i, std::string_view text);
    // The translator confirms segment `i` (checked) or takes the confirmation back
    // (translated); untranslated segments stay so. True when the status changed.
    bool SetChecked(std::size_t i, bool checked);

    // Done: translated or checked. Words: the English words of those units.
    std::size_t SegmentsDone() const { return doneSegments_; }
    std::size_t WordsDone() const { return doneWords_; }
    std::size_t Words() const { return words_; }

    // The statuses one letter a segment ("ttuf"), as the panes file keeps them, and the way
    // back: false (nothing changed) when the letters are not one known status per segment.
    // A letter that disagrees with the translation (translated but empty) gives way to it.
    std::string StatusLetters() const;
    bool ApplyStatusLetters(std::string_view letters);

private:
    void Count(const Segment& s, int sign);
    void Put(std::size_t i, std::string_view text, SegmentStatus status);

    std::vector<Segment> segments_;
    std::size_t doneSegments_ = 0, doneWords_ = 0, words_ = 0;
};

bool IsDone(SegmentStatus status);

// The target pane's text for the segments: each translation a paragraph, a blank line between
// two, lined up with the source pane's units ("保存\n\n\n\n退出" for three, the second empty).
std::string TargetPaneText(const TSegments& segments);

// The translations an export writes: each segment's own first, else `fromMemory`'s (the
// memory's pair for the whole unit, then its sentences joined). Same index as the units.
std::vector<std::optional<std::string>>
OwnTranslationsFirst(const TSegments& segments, std::vector<std::optional<std::string>> fromMemory);

// What an export writes of `translations` (OwnTranslationsFirst's): a segment whose
// translation is the file's own, untouched and not confirmed (已审), is left out, so the file
// keeps that msgstr byte for byte and a message flagged fuzzy stays so. The number left out.
std::size_t LeaveFileTranslations(const TSegments& segments,
                                  std::vector<std::optional<std::string>>& translations);

} // namespace qb::doc
