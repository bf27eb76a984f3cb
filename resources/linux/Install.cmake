# Installation in the GNU layout, with desktop integration:
#
#   bin/zalohy                          launcher (zalohy.sh.in)
#   bin/zaltool, bin/scale-emulator
#   libexec/zalohy/zalohy               the program, with its scale library
#   libexec/zalohy/libtwswtcp.so        beside it, where it looks for it
#   share/applications/<id>.desktop     menu entry "Zálohování dat vah"
#   share/metainfo/<id>.metainfo.xml    AppStream description
#   share/mime/packages/<id>.xml        MIME type of .zal archives
#   share/icons/hicolor/*/apps/<id>.*   icon, SVG and PNG sizes
#   share/man/man1/*.1.gz               manual pages
#   share/doc/zalohy/                   README, the documents in docs/, protocol, screenshots,
#                                       copyright, changelog, noc.env (the nightly job's
#                                       settings, a sample)
#   libexec/zalohy/zalohy-noc           the nightly job (zalohy-noc.sh.in)
#   lib/systemd/user/zalohy-noc.*       its systemd user service and timer, not enabled
#
# <id> is the application id cz.zalohy.zalohy. Included from the top-level
# CMakeLists.txt, so paths below are relative to this file's folder.
include(GNUInstallDirs)

set(ZALOHY_APP_ID cz.zalohy.zalohy)
# The program is started only by its launcher, and its scale library is its
# own, loaded from beside it: both are private to the program. (Under
# lib/zalohy CPack would also add ldconfig calls that a private library
# does not need.)
set(ZALOHY_INSTALL_PRIVATEDIR "${CMAKE_INSTALL_LIBEXECDIR}/zalohy" CACHE STRING
    "Folder, relative to the prefix, for the program and its scale library")

set(linux_src ${CMAKE_CURRENT_LIST_DIR})
set(linux_out ${CMAKE_BINARY_DIR}/linux)
set(generated)

# The program's tools and the scale library.
install(TARGETS zaltool scale-emulator RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS twswtcp LIBRARY DESTINATION ${ZALOHY_INSTALL_PRIVATEDIR} NAMELINK_SKIP)
# zaltool's runs load the scale library from the program's folder when none
# lies beside zaltool.
file(RELATIVE_PATH ZALOHY_TOOL_TO_LIBRARY
  ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${ZALOHY_INSTALL_PRIVATEDIR})
target_compile_definitions(zaltool PRIVATE ZALOHY_TOOL_TO_LIBRARY="${ZALOHY_TOOL_TO_LIBRARY}")

# The nightly job: a script that backs up the scales of a list and writes the
# page on the backups, and the systemd user service and timer that run it.
# Nothing enables them: the user enables the timer (systemctl --user enable
# --now zalohy-noc.timer); it works in the program's data folder unless
# ~/.config/zalohy/noc.env names another.
file(RELATIVE_PATH ZALOHY_JOB_TO_TOOL
  ${CMAKE_INSTALL_PREFIX}/${ZALOHY_INSTALL_PRIVATEDIR} ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/zaltool)
configure_file(${linux_src}/zalohy-noc.sh.in ${linux_out}/zalohy-noc @ONLY)
install(PROGRAMS ${linux_out}/zalohy-noc DESTINATION ${ZALOHY_INSTALL_PRIVATEDIR})
# The service names the script by its absolute path, so it is made when
# installing, under the prefix of that install (cpack's /usr included).
install(CODE "
  set(ZALOHY_NOC_JOB \"\${CMAKE_INSTALL_PREFIX}/${ZALOHY_INSTALL_PRIVATEDIR}/zalohy-noc\")
  configure_file(\"${linux_src}/zalohy-noc.service.in\" \"${linux_out}/service/zalohy-noc.service\" @ONLY)
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/user\" TYPE FILE
       FILES \"${linux_out}/service/zalohy-noc.service\")")
install(FILES ${linux_src}/zalohy-noc.timer DESTINATION lib/systemd/user)
install(FILES ${linux_src}/noc.env DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages, gzip -9n so the packages are reproducible.
set(man_pages zaltool scale-emulator)
if(TARGET zalohy)
  list(APPEND man_pages zalohy)
endif()
foreach(page IN LISTS man_pages)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.1 ${linux_out}/man/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${linux_out}/man/${page}.1.gz
    COMMAND gzip -9nfk ${page}.1
    WORKING_DIRECTORY ${linux_out}/man
    DEPENDS ${linux_out}/man/${page}.1
    COMMENT "Compressing the manual page ${page}.1")
  list(APPEND generated ${linux_out}/man/${page}.1.gz)
  install(FILES ${linux_out}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The changelog (Debian's format) and the licence in Debian's copyright format,
# made from LICENSE so that the two never disagree.
add_custom_command(OUTPUT ${linux_out}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${linux_src}/changelog ${linux_out}/changelog
  COMMAND gzip -9nf changelog
  WORKING_DIRECTORY ${linux_out}
  DEPENDS ${linux_src}/changelog
  COMMENT "Compressing the changelog")
list(APPEND generated ${linux_out}/changelog.gz)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence_text)
string(REGEX REPLACE "^.*Copyright \\(c\\) ([^\n]*)\n\n" "" licence_terms "${licence_text}")
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" licence_holder "${licence_text}")
set(licence_holder "${CMAKE_MATCH_1}")
string(STRIP "${licence_terms}" licence_terms)
string(REGEX REPLACE "\n\n" "\n.\n" licence_terms "${licence_terms}")
string(REGEX REPLACE "\n" "\n " licence_terms "${licence_terms}")
file(WRITE ${linux_out}/copyright.new
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: zalohy\n\n"
  "Files: *\nCopyright: ${licence_holder}\nLicense: Expat\n\n"
  "License: Expat\n ${licence_terms}\n")
configure_file(${linux_out}/copyright.new ${linux_out}/copyright COPYONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)

install(FILES ${linux_out}/copyright ${linux_out}/changelog.gz
  ${PROJECT_SOURCE_DIR}/README.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/emulator/PROTOCOL.md DESTINATION ${CMAKE_INSTALL_DOCDIR}/emulator)
install(FILES ${PROJECT_SOURCE_DIR}/scalelib/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR}/scalelib)
# The README's pictures, under the names it links them by.
file(GLOB readme_pictures ${PROJECT_SOURCE_DIR}/docs/*.png)
install(FILES ${readme_pictures} DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
# The documents the README links to (troubleshooting, differences, developing),
# also under the names it links them by.
file(GLOB doc_pages ${PROJECT_SOURCE_DIR}/docs/*.md)
install(FILES ${doc_pages} DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)

if(TARGET zalohy)
  install(TARGETS zalohy RUNTIME DESTINATION ${ZALOHY_INSTALL_PRIVATEDIR})

  # The launcher finds the program by its path relative to itself, so the
  # installed tree works under any prefix and DESTDIR.
  file(RELATIVE_PATH ZALOHY_LAUNCHER_TO_PROGRAM
    ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
    ${CMAKE_INSTALL_PREFIX}/${ZALOHY_INSTALL_PRIVATEDIR}/zalohy)
  configure_file(${linux_src}/zalohy.sh.in ${linux_out}/zalohy @ONLY)
  install(PROGRAMS ${linux_out}/zalohy DESTINATION ${CMAKE_INSTALL_BINDIR})

  install(FILES ${linux_src}/${ZALOHY_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${linux_src}/${ZALOHY_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${linux_src}/${ZALOHY_APP_ID}.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
    RENAME ${ZALOHY_APP_ID}.xml)

  # The icon: drawn as SVG, rendered to the usual PNG sizes at build time.
  set(icon_svg ${linux_src}/${ZALOHY_APP_ID}.svg)
  install(FILES ${icon_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  find_program(ZALOHY_RSVG_CONVERT rsvg-convert)
  if(ZALOHY_RSVG_CONVERT)
    foreach(size 16 32 48 64 128 256)
      set(png ${linux_out}/icons/${size}x${size}/${ZALOHY_APP_ID}.png)
      file(MAKE_DIRECTORY ${linux_out}/icons/${size}x${size})
      add_custom_command(OUTPUT ${png}
        COMMAND ${ZALOHY_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${icon_svg}
        DEPENDS ${icon_svg}
        COMMENT "Rendering the ${size}x${size} icon")
      list(APPEND generated ${png})
      install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
  else()
    message(WARNING "rsvg-convert (librsvg2-bin) not found: only the SVG icon is installed; "
                    "scripts/install-deps.sh installs it")
  endif()
endif()

add_custom_target(zalohy_install_files ALL DEPENDS ${generated})
