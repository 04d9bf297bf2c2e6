// The text encodings of the text formats: UTF-8 (with or without its mark), UTF-16 with its
// mark, GBK, and the charset a page or a catalogue names, each read so that writing it again
// gives the same bytes. Over Qt Core's converters.
#include "Filter.h"
#include "GbkText.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <cctype>
#include <cstring>
#include <optional>

namespace qb::doc::detail {

namespace {

// Control characters that no text file holds: a binary file given a text file's name.
bool LooksBinary(std::string_view utf8) {
    std::size_t controls = 0;
    for (char ch : utf8) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == 0) return true;
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1B) ++controls;
    }
    return controls > 0 && controls * 1000 >= utf8.size(); // a stray one in a long text is no sign
}

std::string Decode(QStringConverter::Encoding enc, std::string_view bytes) {
    QStringDecoder dec(enc, QStringConverter::Flag::Stateless);
    const QString s = dec.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (dec.hasError()) throw DocError("含有不合这种编码的字节");
    return s.toStdString();
}

} // namespace

namespace {

std::string EncoderName(Encoding encoding, const std::string& charset) {
    switch (encoding) {
    case Encoding::Utf16LE: return "UTF-16LE";
    case Encoding::Utf16BE: return "UTF-16BE";
    case Encoding::Gbk: return "GBK";
    case Encoding::Named: return charset;
    default: return "UTF-8";
    }
}

// `s` in the named encoding when every character fits, else nothing.
std::optional<QByteArray> EncodeExactly(const QString& s, const std::string& name) {
    QStringEncoder enc(name.c_str(), QStringConverter::Flag::Stateless);
    if (!enc.isValid()) throw DocError("不认识的字符集“" + name + "”");
    const QByteArray b = enc.encode(s);
    if (enc.hasError()) return std::nullopt;
    // Some converters put '?' for what they lack without saying so: read the bytes back.
    QStringDecoder dec(name.c_str(), QStringConverter::Flag::Stateless);
    if (QString(dec.decode(b)) != s) return std::nullopt;
    return b;
}

} // namespace

bool IsUtf8Name(std::string_view charset) {
    std::string n;
    for (char c : charset)
        if (c != '-' && c != '_') n += char(std::tolower(static_cast<unsigned char>(c)));
    return n == "utf8";
}

std::string DecodeCharset(std::string_view bytes, const std::string& charset) {
    QStringDecoder dec(charset.c_str(), QStringConverter::Flag::Stateless);
    if (!dec.isValid()) throw DocError("不认识的字符集“" + charset + "”");
    const QString s = dec.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (dec.hasError()) throw DocError("含有不合所声明字符集“" + charset + "”的字节");
    std::string out = s.toStdString();
    // What is written back must be these very bytes where nothing was translated.
    const std::optional<QByteArray> again = EncodeExactly(s, charset);
    if (!again || std::string_view(again->constData(), std::size_t(again->size())) != bytes)
        throw DocError("字符集“" + charset + "”的文本无法原样写回");
    return out;
}

std::string DecodeText(std::string_view bytes, Encoding& encoding) {
    std::string out;
    if (bytes.size() >= 3 && std::memcmp(bytes.data(), "\xEF\xBB\xBF", 3) == 0) {
        encoding = Encoding::Utf8Bom;
        out = std::string(bytes.substr(3));
        if (!IsUtf8Text(out)) throw DocError("以 UTF-8 标记开头，却含有不是 UTF-8 的字节");
    } else if (bytes.size() >= 2 && (std::memcmp(bytes.data(), "\xFF\xFE", 2) == 0 ||
                                     std::memcmp(bytes.data(), "\xFE\xFF", 2) == 0)) {
        const bool le = bytes[0] == '\xFF';
        encoding = le ? Encoding::Utf16LE : Encoding::Utf16BE;
        if (bytes.size() % 2) throw DocError("UTF-16 文本的字节数是奇数，文件不完整");
        out = Decode(le ? QStringConverter::Utf16LE : QStringConverter::Utf16BE, bytes.substr(2));
    } else if (IsUtf8Text(bytes)) {
        encoding = Encoding::Utf8;
        out = std::string(bytes);
    } else {
        if (std::memchr(bytes.data(), 0, bytes.size()))
            throw DocError("不是文本文件（含有二进制数据）");
        encoding = Encoding::Gbk;
        const std::optional<QString> s = GbkAvailable() ? FromGbkStrict(bytes) : std::nullopt;
        if (!s) throw DocError("既不是 UTF-8 也不是 GBK 编码的文本");
        out = s->toStdString();
        if (ToGbkStrict(*s) != std::optional<std::string>(bytes))
            throw DocError("这种编码的文本无法原样写回");
    }
    if (LooksBinary(out)) throw DocError("不是文本文件（含有二进制数据）");
    if (encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE) {
        if (EncodeText(out, encoding) != bytes) throw DocError("这种编码的文本无法原样写回");
    }
    return out;
}

std::string EncodeText(std::string_view utf8, Encoding encoding, const std::string& charset,
                       const std::function<std::string(char32_t)>& unfit) {
    switch (encoding) {
    case Encoding::Utf8: return std::string(utf8);
    case Encoding::Utf8Bom: return "\xEF\xBB\xBF" + std::string(utf8);
    default: break;
    }
    const QString s = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    const std::string name = EncoderName(encoding, charset);
    const char* bom = encoding == Encoding::Utf16LE   ? "\xFF\xFE"
                      : encoding == Encoding::Utf16BE ? "\xFE\xFF"
                                                      : "";
    if (std::optional<QByteArray> b = EncodeExactly(s, name))
        return std::string(bom) + std::string(b->constData(), std::size_t(b->size()));
    // Character by character, to find (or replace) what does not fit: only a translation that
    // holds such a character comes here ("😀" in a GBK file, "中" in a windows-1252 page).
    std::string out = bom;
    for (qsizetype i = 0; i < s.size();) {
        const qsizetype n = s[i].isHighSurrogate() && i + 1 < s.size() ? 2 : 1;
        const QString ch = s.mid(i, n);
        if (std::optional<QByteArray> b = EncodeExactly(ch, name)) {
            out.append(b->constData(), std::size_t(b->size()));
        } else {
            const char32_t cp = n == 2 ? QChar::surrogateToUcs4(s[i], s[i + 1]) : s[i].unicode();
            if (!unfit)
                throw DocError("译文中的“" + ch.toStdString() + "”无法用原文件的编码（" + name +
                               "）写出；请改用别的字，或把原文件另存为 UTF-8 后再打开");
            out += unfit(cp);
        }
        i += n;
    }
    return out;
}

} // namespace qb::doc::detail
