# The Debian package (`make deb`): CPack's DEB generator over the install rules, for /usr.

# Debian's copyright file is the licence, under the package's name; the changelog beside it
# comes from MorvelleChangelog.cmake.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/morvelle RENAME copyright)

set(MORVELLE_PACKAGE_MAINTAINER "The Morvelle developers <morvelle@users.invalid>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvelle)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Morvelle developers")
set(CPACK_PACKAGE_CONTACT ${MORVELLE_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "batch substitution and character-code conversion of Japanese text files")
# Lines of at most 79 characters, as dpkg and apt show them.
set(CPACK_PACKAGE_DESCRIPTION
    "Morvelle applies a table of Perl-style substitution rules (s/ABC/XYZ/g) to
many text files at once, or converts them between Shift_JIS (CP932), EUC-JP,
ISO-2022-JP, UTF-16 and UTF-8. Each result is written beside its source as
NAME.exp; sources are never modified, and bytes outside the replaced spans are
kept as they were.

The package holds the window program, whose user interface is Japanese, and
morvelle-batch, which runs the same batches from a shell.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${MORVELLE_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Depends comes from the libraries the programs link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the SVG plugin draws the program's
# icon, a Japanese font draws the user interface, and Qt's translations put its own dialogs
# in Japanese. The program runs without them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "libqt6svg6, fonts-noto-cjk | fonts-japanese-gothic, qt6-translations-l10n")
# Typing Japanese rules needs an input method. Qt 6 reaches ibus through a plugin of its own
# (in libqt6gui6); fcitx5 needs its Qt 6 frontend.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "fcitx5-frontend-qt6")

include(CPack)
