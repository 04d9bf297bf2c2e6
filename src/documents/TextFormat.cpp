// Plain text: paragraphs between blank lines, written back one line each.
#include "Filter.h"

namespace qb::doc::detail {

namespace {

// Paragraphs: runs of lines between blank lines. "Line one\nline two\n\nNext" gives
// "Line one line two" and "Next"; writing puts a translation on one line in place of both.
void ReadText(Document& doc, const Progress& progress) {
    DocPart part;
    part.text = DecodeText(doc.original, doc.encoding);
    doc.parts.push_back(std::move(part));
    const std::string& text = doc.parts[0].text;
    std::size_t pos = 0, paraBegin = std::string::npos, paraEnd = 0, reported = 0;
    auto flush = [&] {
        if (paraBegin == std::string::npos) return;
        Unit u;
        u.begin = paraBegin;
        u.end = paraEnd;
        AppendText(u, std::string_view(text).substr(paraBegin, paraEnd - paraBegin));
        FinishUnit(doc, std::move(u));
        paraBegin = std::string::npos;
    };
    while (pos < text.size()) {
        std::size_t next = 0;
        std::string_view line = LineAt(text, pos, next);
        if (Blank(line)) {
            flush();
        } else {
            std::size_t lead = 0;
            while (line[lead] == ' ' || line[lead] == '\t') ++lead;
            std::size_t trail = line.size();
            while (trail > 0 && (line[trail - 1] == ' ' || line[trail - 1] == '\t')) --trail;
            if (paraBegin == std::string::npos) paraBegin = pos + lead;
            paraEnd = pos + trail;
        }
        pos = next;
        if (pos - reported >= kProgressStep) Report(progress, reported = pos, text.size());
    }
    flush();
}

// Text as it is: AppendText made the line, and nothing in it needs escaping.
class PlainWriter : public UnitWriter {
public:
    std::string Text(std::size_t, const std::vector<std::size_t>&, std::string_view text) const override {
        return std::string(text);
    }
};

class TextFilterImpl final : public Filter {
public:
    bool Recognises(std::string_view path) const override { return HasExtension(path, {".txt"}); }
    void Read(Document& doc, const Limits&, const Progress& progress) const override {
        ReadText(doc, progress);
    }
    std::string Write(const Document& doc, const std::vector<std::optional<std::string>>& translations,
                      WriteReport& report) const override {
        return WritePlain(doc, translations, report);
    }
};

} // namespace

std::string WritePlain(const Document& doc, const std::vector<std::optional<std::string>>& translations,
                       WriteReport& report) {
    std::vector<std::vector<Edit>> edits = TranslationEdits(doc, translations, report);
    if (!AnyEdit(edits)) return doc.original;
    return EncodeText(*Splice(doc, std::move(edits), PlainWriter())[0], doc.encoding, doc.charset);
}

const Filter& TextFilter() {
    static const TextFilterImpl filter;
    return filter;
}

} // namespace qb::doc::detail
