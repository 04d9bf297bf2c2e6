// TMX 1.4 (the exchange format of translation memories) in and out, over Qt's XML streams, and
// the import and export of a whole memory. Texts are UTF-8 std::strings, as in the engine.
// See TM-FORMAT.md for what is read and written.
#pragma once

#include "TranslationMemory.h"

#include <QByteArray>
#include <QXmlStreamWriter>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qb::tm {

// Not TMX: what() names the place, e.g. "TMX line 12, column 9: Opening and ending tag mismatch."
class TmxError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One translation unit with an English and a Chinese (simplified) variant.
struct TmxUnit {
    std::string en;
    std::string zh;
    std::int64_t created = 0; // Unix seconds; 0 when the file gives none
    std::int64_t changed = 0;
};

struct TmxCounts {
    std::size_t units = 0;                   // <tu> elements read
    std::size_t pairs = 0;                   // of them with both an English and a Chinese <tuv>
    std::size_t otherTuvs = 0;               // <tuv>s in other languages, skipped
    std::vector<std::string> otherLanguages; // their language codes, sorted, each once
    std::size_t incomplete = 0;              // units lacking the English or the Chinese side
};

// English: any "en" code (en, en-US, EN-GB). Chinese: zh, zh-CN, zh-SG, zh-Hans...; traditional
// Chinese (zh-TW, zh-HK, zh-MO, zh-Hant) counts as another language.
bool IsEnglishCode(std::string_view lang);
bool IsSimplifiedChineseCode(std::string_view lang);

// Reads TMX bytes and hands every unit with both sides to `unit`, in file order. Inline markup
// of a segment (<bpt>, <ept>, <ph>, <it>, <ut>) is left out, the text of <hi> kept.
// TmxError on anything that is not well-formed TMX; units handed out before it stand.
TmxCounts ReadTmx(std::string_view bytes, const std::function<void(const TmxUnit&)>& unit);

// Writes TMX 1.4: the header, then one <tu> per Add, "en" and "zh-CN" variants.
class TmxWriter {
public:
    explicit TmxWriter(std::int64_t now = 0);
    void Add(const TmxUnit& unit);
    // The finished document, UTF-8.
    QByteArray Finish();

private:
    QByteArray bytes_;
    std::unique_ptr<QXmlStreamWriter> xml_;
};

// Unix seconds <-> TMX dates (20261208T125500Z); a malformed date reads as 0.
std::string TmxDate(std::int64_t seconds);
std::int64_t ParseTmxDate(std::string_view text);

// ---- a whole memory ----

// Progress of a long import or export, called now and then (every few hundred units) with the
// units done and the units in all: first (0, total), last (total, total). A progress dialog
// paints from here, so 100,000 units do not freeze the window.
using TmxProgress = std::function<void(std::size_t done, std::size_t total)>;

struct ImportReport {
    TmxCounts counts;
    std::size_t added = 0, replaced = 0, unchanged = 0, history = 0, rejected = 0;
    bool cancelled = false; // ImportTmxInSteps: stopped before the end, the rest not recorded
};
// Records every unit in one transaction: on a TmxError or TmError nothing of the file is kept.
ImportReport ImportTmx(TTranslationMemory& tm, std::string_view bytes,
                       const TmxProgress& progress = {});
// The import of the window, which goes on working meanwhile: the whole file is read first (a
// file that is not TMX records nothing), then its units are recorded in transactions of
// `step` units, so that the window's own pairs are written between them rather than waiting
// for the whole import. `cancel` set stops it after the transaction in hand; what was recorded
// until then stays (and the report counts it), as it does after a TmError halfway.
ImportReport ImportTmxInSteps(TTranslationMemory& tm, std::string_view bytes,
                              const TmxProgress& progress, const std::atomic<bool>* cancel,
                              std::size_t step = 5000);
// The whole memory as TMX bytes, a full backup: every translation kept, in the order of
// recording, each source's earlier translations (oldest first) before its current one, all
// with their dates. Importing it into an empty memory gives the same memory back.
QByteArray ExportTmx(TTranslationMemory& tm, std::size_t* count = nullptr,
                     const TmxProgress& progress = {});

// File shells: FileError "Cannot open file %s" / "Cannot create file %s" (the export written to
// a temporary file and renamed, so a failed export leaves an older file whole).
ImportReport ImportTmxFile(TTranslationMemory& tm, const std::string& path,
                           const TmxProgress& progress = {});
std::size_t ExportTmxFile(TTranslationMemory& tm, const std::string& path,
                          const TmxProgress& progress = {});

} // namespace qb::tm
