// The term-list formats translation tools exchange: tab-separated lines (.tsv), comma-separated
// rows under a header (.csv) and TBX-Basic (.tbx), read into GBK text lexicon lines and written
// from a lexicon's entries.
#include "GbkText.h"
#include "LexiconFormats.h"
#include "LexiconFormatsDetail.h"

#include <QByteArray>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <vector>

namespace qb {

namespace {

using formats::GbkLines;
using K = LexiconFormatError::Kind;

const QChar kSense(0xFF1B); // "；", which joins the senses of a rendering

// ---- .tsv ----

// A first line "en<TAB>zh" (or "en-US<TAB>zh-CN") names the columns: it is no entry.
bool IsLanguageHeader(std::string_view gbk) {
    const std::size_t end = gbk.find_first_of("\r\n");
    const std::string line = LowerAscii(gbk.substr(0, end));
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) return false;
    auto isLang = [](std::string_view s, std::string_view lang) {
        return s == lang || (s.size() > 3 && s.substr(0, 2) == lang && (s[2] == '-' || s[2] == '_'));
    };
    return isLang(std::string_view(line).substr(0, tab), "en") &&
           isLang(std::string_view(line).substr(tab + 1), "zh");
}

std::string ReadTsv(std::string_view bytes) {
    std::string gbk = TextLexiconToGbk(bytes);
    if (IsLanguageHeader(gbk)) {
        std::size_t end = gbk.find_first_of("\r\n");
        if (end == std::string::npos) return {};
        end += (gbk[end] == '\r' && end + 1 < gbk.size() && gbk[end + 1] == '\n') ? 2 : 1;
        return KeyedLinesOnly(std::string_view(gbk).substr(end), 2);
    }
    return KeyedLinesOnly(gbk);
}

std::string WriteTsv(const TQbDict& dict) {
    QString text;
    for (const auto& [key, rendering] : formats::DecodeEntries(dict)) {
        text += key;
        text += u'\t';
        text += rendering;
        text += u'\n';
    }
    return text.toStdString();
}

// ---- .csv ----

struct CsvRecord {
    std::vector<QString> fields;
    long long line = 0;
    bool blank = false; // an empty line: no field, not even an empty quoted one
};

// RFC 4180 rows: fields separated by commas; a field that begins with a double quote runs to the
// next lone double quote, "" standing for one quote, commas and line breaks included. Spaces
// around an unquoted field are dropped (a, b gives "b"); a quote inside an unquoted field is
// kept as it stands (5" screen).
std::vector<CsvRecord> ParseCsv(const QString& s) {
    std::vector<CsvRecord> records;
    const qsizetype n = s.size();
    qsizetype i = 0;
    long long line = 1;
    auto atBreak = [&](qsizetype k) { return k < n && (s.at(k) == u'\r' || s.at(k) == u'\n'); };
    auto skipBreak = [&] {
        if (s.at(i) == u'\r' && i + 1 < n && s.at(i + 1) == u'\n') ++i;
        ++i;
        ++line;
    };
    while (i < n) {
        CsvRecord rec;
        rec.line = line;
        bool quotedAny = false;
        for (;;) {
            QString field;
            // Leading spaces of a field.
            qsizetype j = i;
            while (j < n && s.at(j) == u' ') ++j;
            if (j < n && s.at(j) == u'"') {
                quotedAny = true;
                const long long openLine = line;
                i = j + 1;
                for (;;) {
                    if (i >= n) throw LexiconFormatError(K::UnclosedQuote, openLine);
                    const QChar c = s.at(i);
                    if (c == u'"') {
                        if (i + 1 < n && s.at(i + 1) == u'"') {
                            field += u'"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    if (c == u'\r' || c == u'\n') {
                        field += c;
                        if (c == u'\r' && i + 1 < n && s.at(i + 1) == u'\n') field += s.at(++i);
                        ++i;
                        ++line;
                        continue;
                    }
                    field += c;
                    ++i;
                }
                while (i < n && s.at(i) == u' ') ++i;
                if (i < n && s.at(i) != u',' && !atBreak(i))
                    throw LexiconFormatError(K::TextAfterQuote, line);
            } else {
                while (i < n && s.at(i) != u',' && !atBreak(i)) field += s.at(i++);
                field = field.trimmed();
            }
            rec.fields.push_back(std::move(field));
            if (i < n && s.at(i) == u',') {
                ++i;
                continue;
            }
            break;
        }
        rec.blank = !quotedAny && rec.fields.size() == 1 && rec.fields[0].isEmpty();
        if (i < n) skipBreak();
        records.push_back(std::move(rec));
    }
    return records;
}

// The column of a language: "en" itself, else the first "en-…" or "en_…" ("en-US").
int LanguageColumn(const std::vector<QString>& header, const QString& lang) {
    for (std::size_t c = 0; c < header.size(); ++c)
        if (header[c].trimmed().compare(lang, Qt::CaseInsensitive) == 0) return int(c);
    for (std::size_t c = 0; c < header.size(); ++c) {
        const QString h = header[c].trimmed().toLower();
        if (h.size() > 3 && h.startsWith(lang) && (h.at(2) == u'-' || h.at(2) == u'_'))
            return int(c);
    }
    return -1;
}

std::string ReadCsv(std::string_view bytes) {
    const std::vector<CsvRecord> records = ParseCsv(formats::DecodeText(bytes));
    std::size_t r = 0;
    while (r < records.size() && records[r].blank) ++r;
    if (r == records.size())
        throw LexiconFormatError(K::MissingColumn, 1, {}, QStringLiteral("en"));
    const CsvRecord& header = records[r];
    const int en = LanguageColumn(header.fields, QStringLiteral("en"));
    const int zh = LanguageColumn(header.fields, QStringLiteral("zh"));
    if (en < 0) throw LexiconFormatError(K::MissingColumn, header.line, {}, QStringLiteral("en"));
    if (zh < 0) throw LexiconFormatError(K::MissingColumn, header.line, {}, QStringLiteral("zh"));
    const std::size_t needed = std::size_t(std::max(en, zh)) + 1;
    GbkLines out;
    for (++r; r < records.size(); ++r) {
        const CsvRecord& rec = records[r];
        if (rec.blank) continue;
        // More fields than the header is the usual sign of a comma inside an unquoted field
        // (apple,苹果,苹果树): taking any two of them would make a garbled entry.
        if (rec.fields.size() > header.fields.size() || rec.fields.size() < needed)
            throw LexiconFormatError(K::FieldCount, rec.line, {},
                                     QStringLiteral("%1 fields, the header has %2")
                                         .arg(rec.fields.size())
                                         .arg(header.fields.size()));
        // A row with Chinese but no English (",苹果") would be an entry with an empty key.
        const QString& key = rec.fields[std::size_t(en)];
        const QString& rendering = rec.fields[std::size_t(zh)];
        if (key.trimmed().isEmpty()) {
            if (rendering.trimmed().isEmpty()) continue;
            throw LexiconFormatError(K::NoKey, rec.line);
        }
        out.Key(key, rec.line);
        out.Rendering(rendering, rec.line);
        out.EndEntry();
    }
    return out.Finish();
}

QString CsvField(const QString& f) {
    const bool quote = f.contains(u',') || f.contains(u'"') || f.contains(u'\r') ||
                       f.contains(u'\n') || f != f.trimmed();
    if (!quote) return f;
    QString q = f;
    q.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

std::string WriteCsv(const TQbDict& dict) {
    QString text = QStringLiteral("en,zh\r\n");
    for (const auto& [key, rendering] : formats::DecodeEntries(dict))
        text += CsvField(key) + u',' + CsvField(rendering) + QStringLiteral("\r\n");
    return "\xEF\xBB\xBF" + text.toStdString();
}

// ---- .tbx ----

bool IsLanguage(QStringView lang, QStringView code) {
    return lang.compare(code, Qt::CaseInsensitive) == 0 ||
           (lang.size() > 3 && lang.first(2).compare(code, Qt::CaseInsensitive) == 0 &&
            (lang.at(2) == u'-' || lang.at(2) == u'_'));
}

// Term text as an entry can hold it: no space at either end, and a line break of a
// pretty-printed term (with the indentation around it) one space.
QString TermText(const QString& raw) {
    QString t = raw.trimmed();
    QString out;
    out.reserve(t.size());
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (t.at(i) == u'\r' || t.at(i) == u'\n') {
            while (!out.isEmpty() && out.back().isSpace()) out.chop(1);
            while (i + 1 < t.size() && t.at(i + 1).isSpace()) ++i;
            out += u' ';
        } else {
            out += t.at(i);
        }
    }
    return out;
}

// TBX-Basic as TBX 2 writes it (martif / termEntry / langSet / tig / term) and as TBX 3 does
// (tbx / conceptEntry / langSec / termSec / term). Each English term of an entry becomes a key
// whose senses are the entry's Chinese terms in document order; other languages are ignored,
// and so is an entry without an English term.
// Entities are refused before reading: one of 4,000 characters used 100,000 times made a
// 300 KB file take 3.1 GB and write a 400 MB key, and an undefined (external) one ("A &e; B")
// was dropped silently. A TBX tool writes neither.
void CheckTbxEntities(const QByteArray& data) {
    QXmlStreamReader xml(data);
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType t = xml.readNext();
        if (t == QXmlStreamReader::DTD && !xml.entityDeclarations().isEmpty())
            throw LexiconFormatError(
                K::BadXml, xml.lineNumber(), {},
                QStringLiteral("文档类型定义中声明了实体（<!ENTITY>），可能展开成极大的文本，拒绝读取"));
        if (t == QXmlStreamReader::EntityReference)
            throw LexiconFormatError(
                K::BadXml, xml.lineNumber(), {},
                QStringLiteral("实体 &%1; 未在文件中定义（不读取外部实体）").arg(xml.name().toString()));
    }
}

std::string ReadTbx(std::string_view bytes) {
    CheckTbxEntities(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())));
    QXmlStreamReader xml(QByteArray(bytes.data(), qsizetype(bytes.size())));
    GbkLines out;
    bool rootSeen = false;
    bool inEntry = false;
    QString lang;
    struct Term {
        QString text;
        long long line;
    };
    std::vector<Term> en, zh;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QStringView name = xml.name();
            if (!rootSeen) {
                rootSeen = true;
                if (name != u"martif" && name != u"tbx")
                    throw LexiconFormatError(K::NotTbx, 0, {}, name.toString());
            }
            if (name == u"termEntry" || name == u"conceptEntry") {
                inEntry = true;
                en.clear();
                zh.clear();
            } else if (name == u"langSet" || name == u"langSec") {
                lang = xml.attributes().value(QStringLiteral("xml:lang")).toString();
            } else if (name == u"term" && inEntry) {
                const long long line = xml.lineNumber();
                const QString text =
                    TermText(xml.readElementText(QXmlStreamReader::IncludeChildElements));
                if (xml.hasError()) break;
                if (IsLanguage(lang, u"en")) {
                    if (!text.isEmpty()) en.push_back({text, line});
                } else if (IsLanguage(lang, u"zh")) {
                    if (!text.isEmpty()) zh.push_back({text, line});
                }
            }
        } else if (xml.isEndElement()) {
            const QStringView name = xml.name();
            if (name == u"langSet" || name == u"langSec") {
                lang.clear();
            } else if ((name == u"termEntry" || name == u"conceptEntry") && inEntry) {
                inEntry = false;
                for (const Term& k : en) {
                    out.Key(k.text, k.line);
                    for (const Term& s : zh) out.Sense(s.text, s.line);
                    out.EndEntry();
                }
            }
        }
    }
    if (xml.hasError())
        throw LexiconFormatError(K::BadXml, xml.lineNumber(), {}, xml.errorString());
    return out.Finish();
}

// The first character XML 1.0 cannot hold (controls other than TAB, LF, CR), or none.
QString NotXml(const QString& s) {
    for (QChar c : s)
        if (c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') return QString(c);
    return {};
}

std::string WriteTbx(const TQbDict& dict) {
    const auto entries = formats::DecodeEntries(dict);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        QString bad = NotXml(entries[i].first);
        if (bad.isEmpty()) bad = NotXml(entries[i].second);
        if (!bad.isEmpty())
            throw LexiconFormatError(K::NotXmlChar, static_cast<long long>(i) + 1, bad);
    }
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(1);
    w.writeStartDocument();
    w.writeDTD(QStringLiteral("<!DOCTYPE martif SYSTEM \"TBXBasiccoreStructV02.dtd\">"));
    w.writeStartElement(QStringLiteral("martif"));
    w.writeAttribute(QStringLiteral("type"), QStringLiteral("TBX-Basic"));
    w.writeAttribute(QStringLiteral("xml:lang"), QStringLiteral("en"));
    w.writeStartElement(QStringLiteral("martifHeader"));
    w.writeStartElement(QStringLiteral("fileDesc"));
    w.writeStartElement(QStringLiteral("sourceDesc"));
    w.writeTextElement(QStringLiteral("p"), QStringLiteral("文渡翻译环境"));
    w.writeEndElement();
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("encodingDesc"));
    w.writeStartElement(QStringLiteral("p"));
    w.writeAttribute(QStringLiteral("type"), QStringLiteral("XCSURI"));
    w.writeCharacters(QStringLiteral("TBXBasicXCSV02.xcs"));
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement(); // martifHeader
    w.writeStartElement(QStringLiteral("text"));
    w.writeStartElement(QStringLiteral("body"));
    auto writeTerm = [&w](const QString& term) {
        w.writeStartElement(QStringLiteral("tig"));
        w.writeTextElement(QStringLiteral("term"), term);
        w.writeEndElement();
    };
    long long id = 0;
    for (const auto& [key, rendering] : entries) {
        // The entry with an empty key (from a blank line of a text lexicon) has no term to
        // stand under: TBX-Basic requires one.
        if (key.isEmpty()) continue;
        w.writeStartElement(QStringLiteral("termEntry"));
        w.writeAttribute(QStringLiteral("id"), QStringLiteral("c%1").arg(++id));
        w.writeStartElement(QStringLiteral("langSet"));
        w.writeAttribute(QStringLiteral("xml:lang"), QStringLiteral("en"));
        writeTerm(key);
        w.writeEndElement();
        const QStringList senses = rendering.split(kSense, Qt::SkipEmptyParts);
        if (!senses.isEmpty()) {
            w.writeStartElement(QStringLiteral("langSet"));
            w.writeAttribute(QStringLiteral("xml:lang"), QStringLiteral("zh"));
            for (const QString& s : senses) writeTerm(s);
            w.writeEndElement();
        }
        w.writeEndElement(); // termEntry
    }
    w.writeEndDocument();
    return std::string(out.constData(), std::size_t(out.size()));
}

} // namespace

std::string LexiconBytesToGbkLines(std::string_view bytes, LexiconFormat format) {
    switch (format) {
    case LexiconFormat::Scrambled: break;
    case LexiconFormat::Text: return KeyedLinesOnly(TextLexiconToGbk(bytes));
    case LexiconFormat::Tsv: return ReadTsv(bytes);
    case LexiconFormat::Csv: return ReadCsv(bytes);
    case LexiconFormat::Tbx: return ReadTbx(bytes);
    }
    throw std::logic_error("LexiconBytesToGbkLines: professional lexicon lines are scrambled");
}

std::string LexiconToBytes(const TQbDict& dict, LexiconFormat format) {
    switch (format) {
    case LexiconFormat::Scrambled: return dict.SaveToBytes(true);
    case LexiconFormat::Text: return dict.SaveToBytes(false);
    case LexiconFormat::Tsv: return WriteTsv(dict);
    case LexiconFormat::Csv: return WriteCsv(dict);
    case LexiconFormat::Tbx: return WriteTbx(dict);
    }
    return {};
}

} // namespace qb
