// The per-user settings store: an ini file with sections ("inisetup", "winpos") of named values.
// main opens the user's own file (QSettings, IniFormat, user scope, organisation "qbridge10",
// no application name: $XDG_CONFIG_HOME/qbridge10.ini); tests open a file in a temporary folder.
//
// Every value reads back as text, so numbers are parsed from the text: "12" -> 12, "x" or
// "99999999999" (overflow) -> the default.
#pragma once

#include <QString>

#include <memory>
#include <string>

class QSettings;

namespace qb {

// The user's own store file, as main passes it to the main window.
QString UserSettingsFile();
// Qt's own settings file beside it ($XDG_CONFIG_HOME/QtProject.conf): the file dialogs keep
// the folders last visited there, which name the client's projects.
QString QtOwnSettingsFile();
// Makes a settings file the user's alone before it is written: created empty with mode 0600
// when missing (with its folder), narrowed to 0600 when wider (0644 -> 0600). Qt rewrites an
// existing settings file with that file's mode, so the mode stays. Nothing happens to a file
// that is not a regular file.
void MakeSettingsFilePrivate(const QString& file);

class TSettingsStore {
public:
    explicit TSettingsStore(const QString& file);
    ~TSettingsStore();

    bool ReadBool(const char* section, const char* name, bool def) const; // non-zero = true
    int ReadInteger(const char* section, const char* name, int def) const;
    // Paths are kept in the operating system's bytes (UTF-8).
    std::string ReadString(const char* section, const char* name, const std::string& def) const;

    void WriteBool(const char* section, const char* name, bool value); // "0" / "1"
    void WriteInteger(const char* section, const char* name, int value);
    void WriteString(const char* section, const char* name, const std::string& value);

    // Writes what was changed to the file (mode 0600); false when the file could not be written.
    bool Flush();
    const QString& File() const { return file_; }

private:
    QString file_;
    std::unique_ptr<QSettings> settings_;
};

} // namespace qb
