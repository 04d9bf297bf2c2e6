#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qb {

namespace {
QString Key(const char* section, const char* name) {
    return QString::fromLatin1(section) + u'/' + QString::fromLatin1(name);
}
} // namespace

QString UserSettingsFile() {
    QSettings s(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("qbridge10"));
    return s.fileName();
}

QString QtOwnSettingsFile() {
    QSettings s(QSettings::UserScope, QStringLiteral("QtProject"));
    return s.fileName();
}

void MakeSettingsFilePrivate(const QString& file) {
    if (file.isEmpty()) return;
    const QByteArray path = QFile::encodeName(file);
    struct stat st;
    if (::lstat(path.constData(), &st) != 0) {
        QDir().mkpath(QFileInfo(file).absolutePath());
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) ::close(fd);
        return;
    }
    if (S_ISREG(st.st_mode) && (st.st_mode & 077) != 0)
        ::chmod(path.constData(), st.st_mode & 0600);
}

TSettingsStore::TSettingsStore(const QString& file)
    : file_(file), settings_(std::make_unique<QSettings>(file, QSettings::IniFormat)) {}

TSettingsStore::~TSettingsStore() = default;

int TSettingsStore::ReadInteger(const char* section, const char* name, int def) const {
    QVariant v = settings_->value(Key(section, name));
    if (!v.isValid()) return def;
    bool ok = false;
    int n = v.toString().trimmed().toInt(&ok);
    return ok ? n : def;
}

bool TSettingsStore::ReadBool(const char* section, const char* name, bool def) const {
    return ReadInteger(section, name, def ? 1 : 0) != 0;
}

std::string TSettingsStore::ReadString(const char* section, const char* name,
                                       const std::string& def) const {
    QVariant v = settings_->value(Key(section, name));
    if (!v.isValid()) return def;
    return v.toString().toStdString();
}

void TSettingsStore::WriteBool(const char* section, const char* name, bool value) {
    settings_->setValue(Key(section, name), QStringLiteral("%1").arg(value ? 1 : 0));
}

void TSettingsStore::WriteInteger(const char* section, const char* name, int value) {
    settings_->setValue(Key(section, name), value);
}

void TSettingsStore::WriteString(const char* section, const char* name, const std::string& value) {
    settings_->setValue(Key(section, name), QString::fromStdString(value));
}

bool TSettingsStore::Flush() {
    MakeSettingsFilePrivate(file_);
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

} // namespace qb
