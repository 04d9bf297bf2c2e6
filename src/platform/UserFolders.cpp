#include "UserFolders.h"

#include <QCoreApplication>
#include <QDir>

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>

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

std::string PrivateTranslationMemoryFile() {
    MakeDataFolderPrivate(UserDataFolder());
    return TranslationMemoryFile();
}

namespace {
// Takes the group's and others' rights from `path` and, `depth` levels down, from what it holds.
void Narrow(const std::string& path, int depth) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        if ((st.st_mode & 077) != 0) ::chmod(path.c_str(), st.st_mode & 07700);
        if (depth == 0) return;
        DIR* dir = ::opendir(path.c_str());
        if (!dir) return;
        while (const dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") Narrow(path + "/" + name, depth - 1);
        }
        ::closedir(dir);
    } else if (S_ISREG(st.st_mode) && (st.st_mode & 077) != 0) {
        ::chmod(path.c_str(), st.st_mode & 0600);
    }
}
} // namespace

void MakeDataFolderPrivate(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (path.empty()) return;
    if (::mkdir(path.c_str(), 0700) != 0 && errno == ENOENT) {
        // ~/.local/share itself missing (a fresh account): the usual modes up to it.
        QDir().mkpath(QString::fromStdString(path.substr(0, path.rfind('/'))));
        ::mkdir(path.c_str(), 0700);
    }
    // A data folder that is a link to a folder elsewhere (on another disk) is narrowed there.
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        path = real;
        std::free(real);
    }
    Narrow(path, 3); // the folder, rescued/, rescued/merged/, their files
}

std::string ProgramFolder() {
    std::string dir = QCoreApplication::applicationDirPath().toStdString();
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

} // namespace qb
