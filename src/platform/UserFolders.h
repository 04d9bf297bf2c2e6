// Folders of the user's own files that the program writes besides the settings store.
#pragma once

#include <string>

namespace qb {

// Where a lexicon that cannot be written to its own file is rescued:
// $XDG_DATA_HOME/quillbridge/rescued/, else ~/.local/share/quillbridge/rescued/.
std::string RescueFolder();
// The user's data folder of the program (the kept panes, the per-user lexicon):
// $XDG_DATA_HOME/quillbridge/, else ~/.local/share/quillbridge/ (with a trailing '/').
std::string UserDataFolder();
// The user's translation memory: UserDataFolder() + "translation-memory.db".
std::string TranslationMemoryFile();
// The same, for a command about to open it: the data folder is made private first, as the
// window does at its start (`qblex tm-import` run before the window ever started would
// otherwise create ~/.local/share/quillbridge 0755 through the memory's own mkdir).
std::string PrivateTranslationMemoryFile();
// What the input method learned from the typist's picks, kept across runs in that folder:
// $XDG_DATA_HOME/quillbridge/pinyin-history.
std::string PinyinHistoryFile();
// The executable's folder with a trailing '/': the program's folder.
std::string ProgramFolder();

// Makes the data folder (UserDataFolder()) the user's alone: created 0700 when missing; an
// existing one, its folders (rescued/, rescued/merged/) and its files lose every right of the
// group and of others (0755 -> 0700, 0644 -> 0600), silently. Symbolic links inside are left
// alone (the folder itself may be one).
// Files written into it later are made 0600 by their writers (kPrivateFileMode).
void MakeDataFolderPrivate(const std::string& folder);

} // namespace qb
