#include "UserFolders.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdlib>

namespace qb {

std::string RescueFolder() { return UserDataFolder() + "rescued/"; }

std::string UserDataFolder() {
    std::string base;
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) {
        base = x;
    } else if (const char* h = std::getenv("HOME"); h && *h) {
        base = std::string(h) + "/.local/share";
    } else {
        base = QDir::homePath().toStdString() + "/.local/share";
    }
    if (!base.empty() && base.back() != '/') base += '/';
    return base + "quillbridge/";
}

std::string TranslationMemoryFile() { return UserDataFolder() + "translation-memory.db"; }
std::string PinyinHistoryFile() { return UserDataFolder() + "pinyin-history"; }

std::string ProgramFolder() {
    std::string dir = QCoreApplication::applicationDirPath().toStdString();
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

} // namespace qb
