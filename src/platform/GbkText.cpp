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

QString FromGbk(std::string_view gbk) {
    QStringDecoder dec = Decoder();
    return dec.decode(QByteArrayView(gbk.data(), qsizetype(gbk.size())));
}

std::optional<QString> FromGbkStrict(std::string_view gbk) {
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
            (void)one.encode(QStringView(text).mid(i, len));
            if (one.hasError()) {
                *badIndex = i;
                break;
            }
            i += len;
        }
    }
    return std::nullopt;
}

} // namespace qb
