# The Debian package, built with `cpack -G DEB` (see scripts/package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sonabank)
set(CPACK_PACKAGE_VENDOR "Sonabank maintainers")
set(CPACK_PACKAGE_CONTACT "Sonabank maintainers <maintainers@users.noreply.c-seed-6f66fd68.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for the sound memory of an embedded sound player")
set(CPACK_PACKAGE_DESCRIPTION "Sonabank prepares the paged sound memory of an embedded sound-playing
device: a catalogue of numbered fragments imported from RAW files and
stored as 8-bit PCM or 4-bit ADPCM. It plays and exports fragments and
saves the whole memory image as a project file.

The package holds the desktop editor (sonabank) and the command-line
tool (sonabank-cli).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# The library dependencies come from the binaries themselves through
# dpkg-shlibdeps, except the libraries opened with dlopen, which it cannot
# see: the sound libraries (on the first Play), the speech synthesizer (when
# text is spoken; it brings its data) and the audio file libraries (when an
# audio file or speech is converted).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libpulse0, libasound2, libespeak-ng1, libsndfile1, libsoxr0, libebur128-1")
# Qt's own buttons and file dialogs in Russian, like the rest of the program;
# without them the program works with those texts in English. The windows'
# font, without which captions may be cut.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-liberation2")
include(CPack)
