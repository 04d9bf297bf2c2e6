# The Debian package: `cpack -G DEB` in the build folder (or ./dev.sh package) after the data
# is generated gives quillbridge_<version>_amd64.deb, the install target laid out under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillbridge)
set(CPACK_PACKAGE_VENDOR "Quillbridge")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "English to Chinese translation workbench")
set(CPACK_PACKAGE_DESCRIPTION
    "Translate English text into Chinese sentence by sentence: Ctrl+J selects the next sentence
and lists its words and phrases with their Chinese senses from the lexicons, and the
translation is typed with the built-in Chinese input method (quanpin, double pinyin, ziranma,
wubi), which offers those senses first. Includes about 170,000 English-Chinese entries,
professional lexicons, a translation memory with TMX import and export, and qblex, a
command-line tool for the lexicons.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Installed with DESTDIR, so the install steps see the real prefix (/usr): the desktop entry's
# Exec= line names /usr/bin/quillbridge, not the folder the package is staged in.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX ${CPACK_PACKAGING_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quillbridge developers <maintainers@quillbridge.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries (Qt 6, libime, SQLite, the C++ runtime) are declared by dpkg-shlibdeps
# from the programs themselves. What it cannot see: Qt's X11 platform plugin and its Chinese
# texts, libime's dictionary and language model (read from /usr/share/libime and
# /usr/lib/x86_64-linux-gnu/libime), and the fonts the old font names are mapped to.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, qt6-translations-l10n, libime-data, libime-data-language-model, fonts-noto-cjk, fonts-wqy-microhei, fonts-arphic-uming, fonts-arphic-ukai")
# The help pages open in the desktop's browser.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# The program folder of a build holds the developer's own mydict.txt: the package ships it empty.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/PackageEmptyUserLexicon.cmake)
include(CPack)
