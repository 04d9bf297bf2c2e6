#include "GbkText.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace qb {

namespace {
constexpr auto kFlags = QStringConverter::Flag::Stateless;

QStringEncoder Encoder() { return QStringEncoder("GBK", kFlags); }
QStringDecoder Decoder() { return QStringDecoder("GBK", kFlags); }
} // namespace

bool GbkAvailable() { return Encoder().isValid() && Decoder().isValid(); }

// True when the text ends in a lead byte with no trail byte: "ab" + D6 (half of 中).
static bool EndsInHalfCharacter(std::string_view gbk) {
    std::size_t i = 0;
    while (i < gbk.size()) {
        const auto b = static_cast<unsigned char>(gbk[i]);
        if (b >= 0x81 && b <= 0xFE) {
            if (i + 1 == gbk.size()) return true;
            i += 2;
        } else {
            ++i;
        }
    }
    return false;
}

QString FromGbk(std::string_view gbk) {
    // The stateless decoder drops a half character at the very end without a trace; keep it
    // visible as U+FFFD so nothing disappears and byte counts still line up.
    const bool half = EndsInHalfCharacter(gbk);
    if (half) gbk.remove_suffix(1);
    QStringDecoder dec = Decoder();
    QString text = dec.decode(QByteArrayView(gbk.data(), qsizetype(gbk.size())));
    if (half) text.append(QChar(QChar::ReplacementCharacter));
    return text;
}

std::optional<QString> FromGbkStrict(std::string_view gbk) {
    if (EndsInHalfCharacter(gbk)) return std::nullopt;
    QStringDecoder dec = Decoder();
    QString s = dec.decode(QByteArrayView(gbk.data(), qsizetype(gbk.size())));
    if (dec.hasError()) return std::nullopt;
    return s;
}

std::string ToGbk(const QString& text) {
    QStringEncoder enc = Encoder();
    QByteArray bytes = enc.encode(text);
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

std::optional<std::string> ToGbkStrict(const QString& text, qsizetype* badIndex) {
    QStringEncoder enc = Encoder();
    QByteArray bytes = enc.encode(text);
    if (!enc.hasError()) return std::string(bytes.constData(), std::size_t(bytes.size()));
    if (badIndex) {
        // Rare path: find the first character the encoder could not hold, one code point at a
        // time, so a surrogate pair (an emoji) counts as one character at its first index.
        *badIndex = -1;
        for (qsizetype i = 0; i < text.size();) {
            qsizetype len = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
            QStringEncoder one = Encoder();
            // encode() is lazy: only the conversion to QByteArray runs the encoder.
            const QByteArray probe = one.encode(QStringView(text).mid(i, len));
            if (one.hasError() || probe.isEmpty()) {
                *badIndex = i;
                break;
            }
            i += len;
        }
    }
    return std::nullopt;
}

} // namespace qb
