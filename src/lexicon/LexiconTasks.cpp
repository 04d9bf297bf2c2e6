#include "LexiconTasks.h"

#include "GbkText.h"
#include "LexiconFormats.h"

#include <algorithm>
#include <cstring>

namespace qb {

namespace {

// Slices of the work between two progress reports. They only decide how often progress is
// shown: the result is that of adding everything in one go.
// Each slice of entries costs one pass over the target's entries, so there are few of them.
constexpr std::size_t kSliceBytes = std::size_t(1) << 20;
constexpr std::size_t kMinSliceEntries = 200000;
constexpr std::size_t kMaxSlices = 3;

std::size_t FileNameStart(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? 0 : slash + 1;
}

} // namespace

std::string NewLexiconPath(std::string_view chosen) {
    const std::size_t nameStart = FileNameStart(chosen);
    const std::size_t dot = chosen.find_last_of('.');
    std::string path(chosen);
    if (dot != std::string_view::npos && dot >= nameStart) path.resize(dot);
    return path + ".qbs";
}

std::string LowerExtension(std::string_view path) {
    const std::size_t nameStart = FileNameStart(path);
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || dot < nameStart) return {};
    return LowerAscii(path.substr(dot));
}

void MoveSelectedUp(std::vector<ListRow>& rows) {
    for (std::size_t i = 1; i < rows.size(); ++i)
        if (rows[i].selected) std::swap(rows[i], rows[i - 1]);
}

namespace {
// GBK by its byte structure: single bytes below 0x80, or a lead byte 0x81-0xFE followed by a
// trail byte 0x40-0xFE other than 0x7F; and every such pair known to the converter.
bool IsGbkText(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) continue;
        if (!IsLeadByte(b) || i + 1 == bytes.size()) return false;
        const auto trail = static_cast<unsigned char>(bytes[++i]);
        if (trail < 0x40 || trail == 0x7F || trail == 0xFF) return false;
    }
    return FromGbkStrict(bytes).has_value();
}
} // namespace

TextKind ClassifyTextLexicon(std::string_view bytes) {
    const TextEncoding enc = DetectTextEncoding(bytes);
    if (enc == TextEncoding::Utf16Le || enc == TextEncoding::Utf16Be) return TextKind::Unicode;
    if (std::memchr(bytes.data(), 0, bytes.size()) != nullptr) return TextKind::Binary;
    if (enc == TextEncoding::Utf8) return TextKind::Unicode;
    return IsGbkText(bytes) ? TextKind::Gbk : TextKind::NotGbk;
}

void MergeTextLexicon(TQbDict& target, std::string_view bytes, TProgress* progress) {
    if (const std::size_t nul = bytes.find('\0'); nul != std::string_view::npos)
        bytes = bytes.substr(0, nul);
    if (progress) progress->Start(bytes.size());
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t cut = std::min(pos + kSliceBytes, bytes.size());
        if (cut < bytes.size()) {
            // Cut just after a line break, so that every slice holds whole lines and a CR LF
            // pair is never split (a lone CR and a lone LF are line breaks of their own). A
            // line break at the end of a slice starts no further line, exactly as within one
            // text; CR and LF never occur inside a two-byte GBK character.
            const std::size_t brk = bytes.find_first_of("\r\n", cut);
            if (brk == std::string_view::npos)
                cut = bytes.size();
            else
                cut = (bytes[brk] == '\r' && brk + 1 < bytes.size() && bytes[brk + 1] == '\n')
                          ? brk + 2
                          : brk + 1;
        }
        target.MergeTextBytes(bytes.substr(pos, cut - pos), true);
        pos = cut;
        if (progress) progress->Advance(pos);
    }
}

void AddEntriesOf(const TQbDict& source, TQbDict& target, TProgress* progress) {
    // The count is read once, before the loop. Entries are read slice by slice, just before
    // they are added; when the source is the target itself every key is already there, so
    // adding only merges and no index moves.
    const std::size_t n = source.EntryCount();
    const std::size_t slice = std::max(kMinSliceEntries, (n + kMaxSlices - 1) / kMaxSlices);
    if (progress) progress->Start(n);
    StringList keys, renderings;
    std::string k, r;
    for (std::size_t pos = 0; pos < n; pos += slice) {
        const std::size_t end = std::min(pos + slice, n);
        keys.clear();
        renderings.clear();
        keys.reserve(end - pos);
        renderings.reserve(end - pos);
        for (std::size_t i = pos; i < end; ++i) {
            source.GetEntry(static_cast<long long>(i), k, r);
            keys.push_back(std::move(k));
            renderings.push_back(std::move(r));
        }
        target.AddEntries(keys, renderings, true);
        if (progress) progress->Advance(end);
    }
}

bool IsTextSource(const LexiconHost& host, const std::string& sourcePath) {
    return host.IndexOfDict(sourcePath) == -1 && LowerExtension(sourcePath) != ".qbs";
}

std::size_t ExpandLexicon(LexiconHost& host, const std::string& targetPath,
                          const std::string& sourcePath, const std::string* textSource,
                          TProgress* progress) {
    const std::string irregular = host.ProgramFolder() + "verb.spe";

    // A target not in use is loaded for the expansion alone: written at the end when anything
    // was added, dropped unwritten when the work fails before that.
    TQbDict temporary;
    TQbDict* target = nullptr;
    const int t = host.IndexOfDict(targetPath);
    if (t != -1) {
        target = host.Slot(t);
    } else {
        temporary.Load(targetPath, irregular);
        target = &temporary;
    }
    const std::size_t before = target->EntryCount();

    if (const int s = host.IndexOfDict(sourcePath); s != -1) {
        AddEntriesOf(*host.Slot(s), *target, progress);
    } else if (LowerExtension(sourcePath) == ".qbs") {
        TQbDict source;
        source.Load(sourcePath, irregular);
        AddEntriesOf(source, *target, progress);
    } else if (textSource) {
        MergeTextLexicon(*target, *textSource, progress);
    } else {
        const std::string lines = ReadGbkLines(sourcePath);
        MergeTextLexicon(*target, lines, progress);
    }

    const std::size_t after = target->EntryCount();
    target->Save(); // a target in use stays loaded and is written again at shutdown
    return after - before;
}

} // namespace qb
