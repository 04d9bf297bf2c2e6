#include "Segments.h"

#include "Checks.h"
#include "DocumentMemory.h"
#include "Filter.h"

namespace qb::doc {

bool IsDone(SegmentStatus status) {
    return status == SegmentStatus::Translated || status == SegmentStatus::Checked;
}

std::string TargetPaneText(const TSegments& segments) {
    std::string text;
    for (std::size_t i = 0; i < segments.Size(); ++i) {
        if (i) text += "\n\n";
        text += segments[i].translation;
    }
    return text;
}

void TSegments::Reset(const Document& doc) {
    Clear();
    segments_.resize(doc.units.size());
    for (std::size_t i = 0; i < doc.units.size(); ++i) {
        Segment& s = segments_[i];
        s.words = CountWords(doc.units[i].text);
        words_ += s.words;
        const bool fuzzy = FuzzyInFile(doc, doc.units[i]);
        if (fuzzy) s.status = SegmentStatus::Fuzzy;
        std::string own = doc.format.filter().TranslationInFile(doc, i);
        if (!own.empty()) {
            s.translation = std::move(own);
            s.fromFile = true;
            if (!fuzzy) s.status = SegmentStatus::Translated;
            Count(s, +1);
        }
    }
}

void TSegments::Count(const Segment& s, int sign) {
    if (!IsDone(s.status)) return;
    if (sign > 0) {
        ++doneSegments_;
        doneWords_ += s.words;
    } else {
        --doneSegments_;
        doneWords_ -= s.words;
    }
}

void TSegments::Put(std::size_t i, std::string_view text, SegmentStatus status) {
    Segment& s = segments_[i];
    Count(s, -1);
    if (s.translation != text) s.fromFile = false;
    s.translation.assign(text);
    s.status = status;
    Count(s, +1);
}

bool TSegments::SetTranslation(std::size_t i, std::string_view text) {
    if (i >= segments_.size()) return false;
    const Segment& s = segments_[i];
    if (s.translation == text) return false;
    Put(i, text, text.empty() ? SegmentStatus::Untranslated : SegmentStatus::Translated);
    return true;
}

bool TSegments::Fill(std::size_t i, std::string_view text) {
    if (i >= segments_.size() || text.empty()) return false;
    const Segment& s = segments_[i];
    if (s.translation == text && s.status == SegmentStatus::Fuzzy) return false;
    Put(i, text, SegmentStatus::Fuzzy);
    return true;
}

bool TSegments::SetChecked(std::size_t i, bool checked) {
    if (i >= segments_.size() || segments_[i].translation.empty()) return false;
    const SegmentStatus want = checked ? SegmentStatus::Checked : SegmentStatus::Translated;
    if (segments_[i].status == want) return false;
    Put(i, segments_[i].translation, want);
    return true;
}

std::string TSegments::StatusLetters() const {
    std::string out;
    out.reserve(segments_.size());
    for (const Segment& s : segments_) out += char(s.status);
    return out;
}

bool TSegments::ApplyStatusLetters(std::string_view letters) {
    if (letters.size() != segments_.size()) return false;
    for (char c : letters)
        if (c != 'u' && c != 'f' && c != 't' && c != 'c') return false;
    for (std::size_t i = 0; i < letters.size(); ++i) {
        auto status = SegmentStatus(letters[i]);
        const bool empty = segments_[i].translation.empty();
        // The text decides between none and some: a file written just before a paragraph was
        // typed says "u" for a segment that has text now.
        if (empty && status != SegmentStatus::Fuzzy) status = SegmentStatus::Untranslated;
        if (!empty && status == SegmentStatus::Untranslated) status = SegmentStatus::Translated;
        Put(i, segments_[i].translation, status);
    }
    return true;
}

std::vector<std::optional<std::string>>
OwnTranslationsFirst(const TSegments& segments, std::vector<std::optional<std::string>> fromMemory) {
    fromMemory.resize(segments.Size());
    for (std::size_t i = 0; i < segments.Size(); ++i)
        if (!segments[i].translation.empty()) fromMemory[i] = segments[i].translation;
    return fromMemory;
}

std::size_t LeaveFileTranslations(const TSegments& segments,
                                  std::vector<std::optional<std::string>>& translations) {
    std::size_t left = 0;
    for (std::size_t i = 0; i < segments.Size() && i < translations.size(); ++i)
        if (segments[i].fromFile && segments[i].status != SegmentStatus::Checked &&
            translations[i] && *translations[i] == segments[i].translation) {
            translations[i].reset();
            ++left;
        }
    return left;
}

} // namespace qb::doc
