# The Debian package, made by "cpack -G DEB" in the build folder (see
# scripts/package-deb.sh). Its dependencies come from dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME zalohy)
set(CPACK_PACKAGE_VENDOR "The zalohy authors")
set(CPACK_PACKAGE_CONTACT "The zalohy authors <zalohy@example.org>")
set(ZALOHY_DEB_MAINTAINER "${CPACK_PACKAGE_CONTACT}" CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "backup and restore of DIGI SM90/300/500 ETH scale data")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build/;/build-.*/;/demo/;/\\\\.git/")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZALOHY_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Czech texts of Qt's own buttons and dialogs; xdg-open for the menu's
# "Přehled záloh".
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, xdg-utils")
# The long description, English then Czech; CPack puts the summary above it
# and indents it as the control file wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "A desktop program for service technicians. It downloads the data of a DIGI
shop scale with an Ethernet interface (label formats, texts, shop name,
preset keys, the PLU file and the image file) into one archive file (.zal),
and sends such an archive back to one scale or to every scale in a list.

Also included: zaltool, which lists, extracts, appends and verifies .zal
archives, and scale-emulator, which emulates scales on loopback addresses
for trying the program without a scale.

The bundled scale library libtwswtcp.so is a stand-in: it talks to the
included scale-emulator only and cannot communicate with real scales. Work
with real scales needs the scale maker's communication library in its place.

Zálohování dat vah: program pro servisní techniky. Stáhne data váhy DIGI
s rozhraním Ethernet (formáty etiket, texty, název obchodu, předvolby,
soubor PLU a soubor obrázků) do jednoho archivního souboru (.zal) a takový
archiv pošle zpět do jedné váhy nebo do všech vah ze seznamu.

Přiložená knihovna libtwswtcp.so je jen náhradní: komunikuje pouze
s přiloženým emulátorem vah, se skutečnými váhami komunikovat neumí.")

# The changelog and the AppStream release are written by hand: both must name
# the project's version, the one the package, the programs' --version and the
# Windows files carry.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog changelog_top LIMIT_COUNT 1)
file(READ ${CMAKE_CURRENT_LIST_DIR}/cz.zalohy.zalohy.metainfo.xml metainfo)
string(FIND "${changelog_top}" "zalohy (${PROJECT_VERSION})" changelog_at)
string(FIND "${metainfo}" "<release version=\"${PROJECT_VERSION}\"" metainfo_at)
if(NOT changelog_at EQUAL 0 OR metainfo_at EQUAL -1)
  message(FATAL_ERROR "resources/linux/changelog and the metainfo's newest release must name version ${PROJECT_VERSION}")
endif()

include(CPack)
