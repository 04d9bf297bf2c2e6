// The program's own texts and the paths it names, as QString for captions and messages: the
// sources are UTF-8, so U("清空原文和译文") is the caption as written; a path stays in the
// operating system's bytes until a message shows it (PathText("/home/ann/law.qbs")).
#pragma once

#include <QString>

#include <string>

namespace qb {

inline QString U(const char* utf8) { return QString::fromUtf8(utf8); }
inline QString PathText(const std::string& path) {
    return QString::fromUtf8(path.data(), qsizetype(path.size()));
}

} // namespace qb
