// Qt's own texts in Chinese: the standard buttons (确定, 取消, 是, 否) and the file dialog (查找范围,
// 文件名) come from Qt's catalogue qtbase_zh_CN, which Debian ships in qt6-translations-l10n.
#pragma once

namespace qb {

// Loads qtbase_zh_CN from Qt's translations folder into the application, once per run; false
// when the catalogue is not installed (Qt's texts then stay English, nothing else changes).
bool InstallQtChineseTranslations();

} // namespace qb
