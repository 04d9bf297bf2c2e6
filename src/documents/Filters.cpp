// The formats the program reads and writes, in one place: a new format is a filter of its own
// (Filter.h) named here.
#include "Filter.h"

namespace qb::doc {

const Format Format::Text{&detail::TextFilter};
const Format Format::Po{&detail::PoFilter};
const Format Format::Srt{&detail::SrtFilter};
const Format Format::Markdown{&detail::MarkdownFilter};
const Format Format::Html{&detail::HtmlFilter};
const Format Format::Docx{&detail::DocxFilter};
const Format Format::Odt{&detail::OdtFilter};

namespace {
const Format* const kFormats[] = {&Format::Text, &Format::Po,   &Format::Srt, &Format::Markdown,
                                  &Format::Html, &Format::Docx, &Format::Odt};
} // namespace

std::optional<Format> FormatOfPath(std::string_view path) {
    for (const Format* f : kFormats)
        if (f->filter().Recognises(path)) return *f;
    return std::nullopt;
}

} // namespace qb::doc

namespace qb::doc::detail {

bool HasExtension(std::string_view path, std::initializer_list<std::string_view> exts) {
    for (std::string_view ext : exts) {
        if (path.size() < ext.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < ext.size() && same; ++i) {
            char c = path[path.size() - ext.size() + i];
            if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
            same = c == ext[i];
        }
        if (same) return true;
    }
    return false;
}

} // namespace qb::doc::detail
