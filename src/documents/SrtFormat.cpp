// SubRip subtitles: each cue's text lines are a unit; numbers and timecodes are never touched.
#include "Filter.h"

namespace qb::doc::detail {

namespace {

// Cues: an optional number, a timecode line ("00:00:01,000 --> 00:00:04,000") and text lines up
// to a blank line. The text lines are the unit; numbers and timecodes are never touched.
void ReadSrt(Document& doc, const Progress& progress) {
    DocPart part;
    part.text = DecodeText(doc.original, doc.encoding);
    doc.parts.push_back(std::move(part));
    const std::string& text = doc.parts[0].text;
    std::size_t pos = 0, reported = 0;
    while (pos < text.size()) {
        std::size_t next = 0;
        std::string_view line = LineAt(text, pos, next);
        if (Blank(line)) {
            pos = next;
            continue;
        }
        // The cue's head: a number line (optional) and its timecode line.
        const std::size_t headLine = pos;
        if (line.find("-->") == std::string_view::npos) {
            std::size_t after = 0;
            std::string_view second = LineAt(text, next, after);
            if (next >= text.size() || second.find("-->") == std::string_view::npos)
                throw DocError("第 " + std::to_string(LineOf(text, headLine)) +
                               " 行：字幕缺少时间码行（“开始 --> 结束”）");
            next = after;
        }
        pos = next;
        std::size_t textBegin = std::string::npos, textEnd = 0;
        while (pos < text.size()) {
            std::string_view l = LineAt(text, pos, next);
            if (Blank(l)) break;
            if (textBegin == std::string::npos) textBegin = pos;
            textEnd = pos + l.size();
            pos = next;
        }
        if (textBegin != std::string::npos) {
            Unit u;
            u.begin = textBegin;
            u.end = textEnd;
            AppendWithTags(u, text, textBegin, textEnd);
            FinishUnit(doc, std::move(u));
        }
        if (pos - reported >= kProgressStep) Report(progress, reported = pos, text.size());
    }
}

class SrtFilterImpl final : public Filter {
public:
    bool Recognises(std::string_view path) const override { return HasExtension(path, {".srt"}); }
    void Read(Document& doc, const Limits&, const Progress& progress) const override {
        ReadSrt(doc, progress);
    }
    std::string Write(const Document& doc, const std::vector<std::optional<std::string>>& translations,
                      WriteReport& report) const override {
        return WritePlain(doc, translations, report);
    }
};

} // namespace

const Filter& SrtFilter() {
    static const SrtFilterImpl filter;
    return filter;
}

} // namespace qb::doc::detail
