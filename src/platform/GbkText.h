// The one converter between the GBK bytes used everywhere inside and Qt's QString / UTF-8 at
// the edges (panes, dialogs, terminal, documents in GBK). Nothing else on the Qt side converts;
// the engine's one conversion, GBK <-> UTF-8 for the pinyin library, is GbkUtf8.h (no Qt).
#pragma once

#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace qb {

// False when the platform's codec library offers no GBK; checked once at start-up.
bool GbkAvailable();

// GBK bytes -> QString. A byte sequence that is not GBK becomes U+FFFD; a stray lead byte at
// the end too. Never fails.
QString FromGbk(std::string_view gbk);
// QString -> GBK bytes. A character GBK cannot hold becomes '?', as the panes count it.
std::string ToGbk(const QString& text);
// Strict form: nothing, when some character has no GBK code (e.g. an emoji or U+00E9 é is fine,
// but U+1F600 is not). `badIndex`, when given, receives the index of the first such character.
std::optional<std::string> ToGbkStrict(const QString& text, qsizetype* badIndex = nullptr);
// Strict decoding: nothing when the bytes are not valid GBK.
std::optional<QString> FromGbkStrict(std::string_view gbk);

inline std::string Utf8ToGbkLossy(std::string_view utf8) {
    return ToGbk(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
}
inline std::string GbkToUtf8(std::string_view gbk) { return FromGbk(gbk).toStdString(); }

} // namespace qb
