#include "TmxFormat.h"

#include "MyUtils.h"

#include <QString>
#include <QXmlStreamReader>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>

namespace qb::tm {

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    std::replace(out.begin(), out.end(), '_', '-');
    return out;
}

std::string Utf8(QStringView s) { return s.toString().toStdString(); }

[[noreturn]] void Fail(const QXmlStreamReader& xml, const QString& why) {
    throw TmxError("TMX line " + std::to_string(xml.lineNumber()) + ", column " +
                   std::to_string(xml.columnNumber()) + ": " + why.toStdString());
}

// The text of a <seg>, without the native codes of its inline elements:
// <seg>Press <bpt i="1">&lt;b&gt;</bpt>OK<ept i="1">&lt;/b&gt;</ept>.</seg> -> "Press OK."
QString ReadSegment(QXmlStreamReader& xml) {
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::Characters: text += xml.text(); break;
        case QXmlStreamReader::StartElement: {
            const QStringView n = xml.name();
            if (n == QStringLiteral("bpt") || n == QStringLiteral("ept") ||
                n == QStringLiteral("ph") || n == QStringLiteral("it") || n == QStringLiteral("ut")) {
                xml.skipCurrentElement();
            } else {
                ++depth;
            }
            break;
        }
        case QXmlStreamReader::EndElement: --depth; break;
        case QXmlStreamReader::EntityReference:
            // An entity the document type names but does not define ("A &e; B"), as an
            // external one is: its text is not here, and dropping it would store "A  B".
            Fail(xml, "the entity &" + xml.name().toString() +
                          "; is not defined in the file (external entities are not read)");
        default: break;
        }
    }
    return text;
}

std::int64_t DateAttribute(const QXmlStreamAttributes& a, const QString& name) {
    return a.hasAttribute(name) ? ParseTmxDate(Utf8(a.value(name))) : 0;
}

// Characters XML 1.0 cannot carry (control characters other than tab and line breaks, U+FFFE,
// U+FFFF) become U+FFFD, so that every file written can be read back.
QString XmlSafe(const QString& s) {
    QString out = s;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D) || u == 0xFFFE || u == 0xFFFF)
            c = QChar(0xFFFD);
    }
    return out;
}

QString FromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// The <tu> elements of a file, counted without parsing, for the progress of its import: "<tu"
// followed by white space, ">" or "/" ("<tuv" is not one). A "<tu" inside a comment counts
// too; the progress only runs a little short then.
std::size_t CountUnits(std::string_view bytes) {
    std::size_t n = 0;
    for (std::size_t at = bytes.find("<tu"); at != std::string_view::npos;
         at = bytes.find("<tu", at + 3)) {
        const char next = at + 3 < bytes.size() ? bytes[at + 3] : '\0';
        if (next == '>' || next == '/' || next == ' ' || next == '\t' || next == '\r' || next == '\n')
            ++n;
    }
    return n;
}

constexpr std::size_t kProgressEvery = 500;

} // namespace

bool IsEnglishCode(std::string_view lang) {
    const std::string l = Lower(lang);
    return l == "en" || l.starts_with("en-");
}

bool IsSimplifiedChineseCode(std::string_view lang) {
    const std::string l = Lower(lang);
    if (l == "zh" || l == "zh-chs") return true;
    if (!l.starts_with("zh-")) return false;
    for (const char* traditional : {"zh-tw", "zh-hk", "zh-mo", "zh-hant", "zh-cht"})
        if (l == traditional || l.starts_with(std::string(traditional) + "-")) return false;
    return true;
}

std::string TmxDate(std::int64_t seconds) {
    const std::time_t t = std::time_t(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[72];
    std::snprintf(buf, sizeof buf, "%04d%02d%02dT%02d%02d%02dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

std::int64_t ParseTmxDate(std::string_view s) {
    if (s.size() != 16 || s[8] != 'T' || s[15] != 'Z') return 0;
    auto num = [&](std::size_t at, std::size_t len) {
        int v = 0;
        for (std::size_t i = at; i < at + len; ++i) {
            if (s[i] < '0' || s[i] > '9') return -1;
            v = v * 10 + (s[i] - '0');
        }
        return v;
    };
    std::tm tm{};
    const int y = num(0, 4), mo = num(4, 2), d = num(6, 2), h = num(9, 2), mi = num(11, 2),
              se = num(13, 2);
    if (y < 1970 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 ||
        se < 0 || se > 60)
        return 0;
    tm.tm_year = y - 1900, tm.tm_mon = mo - 1, tm.tm_mday = d, tm.tm_hour = h, tm.tm_min = mi,
    tm.tm_sec = se;
    return std::int64_t(timegm(&tm));
}

TmxCounts ReadTmx(std::string_view bytes, const std::function<void(const TmxUnit&)>& unit) {
    TmxCounts counts;
    if (bytes.find_first_not_of(" \t\r\n") == std::string_view::npos)
        throw TmxError("not a TMX file (the file is empty)");
    QXmlStreamReader xml(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())));
    std::vector<std::string> others;
    bool sawRoot = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        // No TMX tool writes an entity of its own; one of 4,000 characters used 100,000 times
        // made a 300 KB file take 2.4 GB to import.
        if (token == QXmlStreamReader::DTD && !xml.entityDeclarations().isEmpty())
            Fail(xml, "the document type declares entities (<!ENTITY>); such a file is refused, "
                      "as its entities could expand past any memory");
        if (token != QXmlStreamReader::StartElement) continue;
        if (!sawRoot) {
            if (xml.name() != QStringLiteral("tmx"))
                Fail(xml, "not a TMX file (the root element is <" + xml.name().toString() + ">)");
            sawRoot = true;
            continue;
        }
        if (xml.name() != QStringLiteral("tu")) continue;
        ++counts.units;
        TmxUnit u;
        u.created = DateAttribute(xml.attributes(), QStringLiteral("creationdate"));
        u.changed = DateAttribute(xml.attributes(), QStringLiteral("changedate"));
        bool haveEn = false, haveZh = false;
        while (xml.readNextStartElement()) {
            if (xml.name() != QStringLiteral("tuv")) {
                xml.skipCurrentElement();
                continue;
            }
            const QXmlStreamAttributes a = xml.attributes();
            // TMX 1.4 says xml:lang; TMX 1.1 files say lang.
            const std::string lang =
                Utf8(a.hasAttribute(QStringLiteral("xml:lang")) ? a.value(QStringLiteral("xml:lang"))
                                                                : a.value(QStringLiteral("lang")));
            const bool en = IsEnglishCode(lang), zh = !en && IsSimplifiedChineseCode(lang);
            if (!en && !zh) {
                ++counts.otherTuvs;
                others.push_back(lang.empty() ? "(none)" : lang);
                xml.skipCurrentElement();
                continue;
            }
            const std::int64_t tuvChanged = DateAttribute(a, QStringLiteral("changedate"));
            QString seg;
            bool haveSeg = false;
            while (xml.readNextStartElement()) {
                if (xml.name() == QStringLiteral("seg") && !haveSeg) {
                    seg = ReadSegment(xml);
                    haveSeg = true;
                } else {
                    xml.skipCurrentElement();
                }
            }
            if (!haveSeg) continue;
            // The first variant of a language counts; a second one is not another unit.
            if (en && !haveEn) {
                u.en = seg.toStdString();
                haveEn = true;
            } else if (zh && !haveZh) {
                u.zh = seg.toStdString();
                haveZh = true;
                if (u.changed == 0) u.changed = tuvChanged;
            }
        }
        if (xml.hasError()) break;
        if (haveEn && haveZh) {
            if (u.changed == 0) u.changed = u.created;
            ++counts.pairs;
            unit(u);
        } else {
            ++counts.incomplete;
        }
    }
    if (xml.hasError()) Fail(xml, xml.errorString());
    if (!sawRoot) throw TmxError("not a TMX file (no root element)");
    std::sort(others.begin(), others.end());
    others.erase(std::unique(others.begin(), others.end()), others.end());
    counts.otherLanguages = std::move(others);
    return counts;
}

TmxWriter::TmxWriter(std::int64_t now) : xml_(std::make_unique<QXmlStreamWriter>(&bytes_)) {
    if (now <= 0) now = std::int64_t(std::time(nullptr));
    QXmlStreamWriter& x = *xml_;
    x.setAutoFormatting(true);
    x.setAutoFormattingIndent(1);
    x.writeStartDocument();
    x.writeDTD(QStringLiteral("<!DOCTYPE tmx SYSTEM \"tmx14.dtd\">"));
    x.writeStartElement(QStringLiteral("tmx"));
    x.writeAttribute(QStringLiteral("version"), QStringLiteral("1.4"));
    x.writeEmptyElement(QStringLiteral("header"));
    x.writeAttribute(QStringLiteral("creationtool"), QStringLiteral("Quillbridge"));
    x.writeAttribute(QStringLiteral("creationtoolversion"), QStringLiteral("1.0"));
    x.writeAttribute(QStringLiteral("datatype"), QStringLiteral("plaintext"));
    x.writeAttribute(QStringLiteral("segtype"), QStringLiteral("sentence"));
    x.writeAttribute(QStringLiteral("adminlang"), QStringLiteral("en"));
    x.writeAttribute(QStringLiteral("srclang"), QStringLiteral("en"));
    x.writeAttribute(QStringLiteral("o-tmf"), QStringLiteral("Quillbridge"));
    x.writeAttribute(QStringLiteral("creationdate"), QString::fromStdString(TmxDate(now)));
    x.writeStartElement(QStringLiteral("body"));
}

void TmxWriter::Add(const TmxUnit& u) {
    QXmlStreamWriter& x = *xml_;
    x.writeStartElement(QStringLiteral("tu"));
    if (u.created > 0)
        x.writeAttribute(QStringLiteral("creationdate"), QString::fromStdString(TmxDate(u.created)));
    if (u.changed > 0)
        x.writeAttribute(QStringLiteral("changedate"), QString::fromStdString(TmxDate(u.changed)));
    for (const auto& [lang, text] :
         {std::pair{QStringLiteral("en"), &u.en}, std::pair{QStringLiteral("zh-CN"), &u.zh}}) {
        x.writeStartElement(QStringLiteral("tuv"));
        x.writeAttribute(QStringLiteral("xml:lang"), lang);
        x.writeTextElement(QStringLiteral("seg"), XmlSafe(FromUtf8(*text)));
        x.writeEndElement();
    }
    x.writeEndElement();
}

QByteArray TmxWriter::Finish() {
    xml_->writeEndDocument(); // closes body and tmx
    xml_.reset();
    return std::move(bytes_);
}

ImportReport ImportTmx(TTranslationMemory& tm, std::string_view bytes, const TmxProgress& progress) {
    ImportReport report;
    const std::size_t total = progress ? CountUnits(bytes) : 0;
    std::size_t done = 0;
    if (progress) progress(0, total);
    TTranslationMemory::Batch batch(tm);
    report.counts = ReadTmx(bytes, [&](const TmxUnit& u) {
        if (progress && ++done % kProgressEvery == 0) progress(std::min(done, total), total);
        switch (tm.Record(u.en, u.zh, u.changed, u.created)) {
        case Recorded::Added: ++report.added; break;
        case Recorded::Replaced: ++report.replaced; break;
        case Recorded::Unchanged: ++report.unchanged; break;
        case Recorded::KeptAsHistory: ++report.history; break;
        case Recorded::Rejected: ++report.rejected; break;
        }
    });
    batch.Commit();
    if (progress) progress(total, total);
    return report;
}

namespace {
void Count(ImportReport& report, Recorded r) {
    switch (r) {
    case Recorded::Added: ++report.added; break;
    case Recorded::Replaced: ++report.replaced; break;
    case Recorded::Unchanged: ++report.unchanged; break;
    case Recorded::KeptAsHistory: ++report.history; break;
    case Recorded::Rejected: ++report.rejected; break;
    }
}
} // namespace

ImportReport ImportTmxInSteps(TTranslationMemory& tm, std::string_view bytes,
                              const TmxProgress& progress, const std::atomic<bool>* cancel,
                              std::size_t step) {
    ImportReport report;
    std::vector<TmxUnit> units;
    report.counts = ReadTmx(bytes, [&](const TmxUnit& u) { units.push_back(u); });
    const std::size_t total = units.size();
    if (progress) progress(0, total);
    step = std::max<std::size_t>(step, 1);
    for (std::size_t at = 0; at < total; at += step) {
        if (cancel && cancel->load()) {
            report.cancelled = true;
            break;
        }
        const std::size_t end = std::min(total, at + step);
        ImportReport part; // counted once its transaction is committed
        TTranslationMemory::Batch batch(tm);
        for (std::size_t i = at; i < end; ++i)
            Count(part, tm.Record(units[i].en, units[i].zh, units[i].changed, units[i].created));
        batch.Commit();
        report.added += part.added;
        report.replaced += part.replaced;
        report.unchanged += part.unchanged;
        report.history += part.history;
        report.rejected += part.rejected;
        if (progress) progress(end, total);
    }
    return report;
}

QByteArray ExportTmx(TTranslationMemory& tm, std::size_t* count, const TmxProgress& progress) {
    TmxWriter writer;
    std::size_t n = 0;
    const std::size_t total = progress ? tm.TranslationCount() : 0;
    if (progress) progress(0, total);
    // Earlier translations too, each as a unit of its own dated when it was recorded and
    // written before the later ones: an import records the oldest first, and each later one
    // sends the one before it to the history, as it happened.
    tm.ForEachTranslation([&](const Pair& p, bool) {
        writer.Add(TmxUnit{p.source, p.target, p.created, p.changed});
        ++n;
        if (progress && n % kProgressEvery == 0) progress(std::min(n, total), total);
    });
    if (progress) progress(total, total);
    if (count) *count = n;
    return writer.Finish();
}

ImportReport ImportTmxFile(TTranslationMemory& tm, const std::string& path,
                           const TmxProgress& progress) {
    const std::string bytes = ReadWholeFile(path);
    return ImportTmx(tm, bytes, progress);
}

std::size_t ExportTmxFile(TTranslationMemory& tm, const std::string& path, const TmxProgress& progress) {
    std::size_t n = 0;
    const QByteArray bytes = ExportTmx(tm, &n, progress);
    WriteWholeFileSafely(path, std::string_view(bytes.constData(), std::size_t(bytes.size())));
    return n;
}

} // namespace qb::tm
