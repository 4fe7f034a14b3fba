# install.cmake — `cmake --install` and the Debian packages (CPack).
#
# The installed layout is the one Debian's games use, under any prefix:
#   games/flingo                          the game
#   share/games/flingo/                   its read-only assets (the build's Files/)
#   share/applications/ID.desktop         the menu entry (ID: FLINGO_APP_ID)
#   share/icons/hicolor/NxN/apps/         the icon, 16 to 256 pixels
#   share/metainfo/ID.metainfo.xml        AppStream metadata
#   share/man/man6/flingo.6               the manual page
#   sbin/flingo-scoreserver, its manual page, systemd unit and options file
#                                         (the second package)
# The game finds its assets from its own folder (../share/games/flingo/), so
# an installed or unpacked copy runs wherever it lies.
#
# Two components: "game" (package flingo) and "server" (flingo-scoreserver).

# The desktop id (reverse domain name of the home page) names the desktop
# entry and the AppStream metadata alike.
set(FLINGO_APP_ID org.example.Flingo)
set(FLINGO_HOMEPAGE "https://flingo.example.org" CACHE STRING
    "Home page named by the AppStream metadata (its screenshot lies below it)")
set(FLINGO_MAINTAINER "The Flingo developers <developers@flingo.example.org>" CACHE STRING
    "Maintainer named by the packages and their changelog")
set(FLINGO_INSTALLED_ASSETS /usr/${FLINGO_INSTALL_ASSET_DIR})
set(FLINGO_SERVER_PATH /usr/sbin/flingo-scoreserver)
# The release day, not the build's: the same sources give the same files.
execute_process(COMMAND date -u -d "${FLINGO_RELEASE_DATE} 12:00" -R
                OUTPUT_VARIABLE FLINGO_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE)

set(pkg ${CMAKE_BINARY_DIR}/packaging)
foreach(f flingo.metainfo.xml flingo.6 flingo-scoreserver.8 flingo-scoreserver.service
          copyright changelog)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/${f}.in ${pkg}/${f} @ONLY)
endforeach()
# Manual pages and the changelog are shipped compressed, reproducibly.
foreach(f flingo.6 flingo-scoreserver.8 changelog)
  add_custom_command(OUTPUT ${pkg}/${f}.gz
    COMMAND gzip -9nc ${pkg}/${f} > ${pkg}/${f}.gz
    DEPENDS ${pkg}/${f} VERBATIM)
  list(APPEND pkg_compressed ${pkg}/${f}.gz)
endforeach()
add_custom_target(packaging_files ALL DEPENDS ${pkg_compressed})

# --- the game ---------------------------------------------------------------
install(TARGETS flingo DESTINATION ${FLINGO_INSTALL_PROGRAM_DIR} COMPONENT game)
install(DIRECTORY ${CMAKE_BINARY_DIR}/Files/ DESTINATION ${FLINGO_INSTALL_ASSET_DIR}
        COMPONENT game PATTERN ".generated" EXCLUDE)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/ DESTINATION share/icons COMPONENT game)
install(FILES packaging/flingo.desktop DESTINATION share/applications
        RENAME ${FLINGO_APP_ID}.desktop COMPONENT game)
install(FILES ${pkg}/flingo.metainfo.xml DESTINATION share/metainfo
        RENAME ${FLINGO_APP_ID}.metainfo.xml COMPONENT game)
install(FILES ${pkg}/flingo.6.gz DESTINATION share/man/man6 COMPONENT game)
install(FILES ${pkg}/copyright DESTINATION share/doc/flingo COMPONENT game)
install(FILES ${pkg}/changelog.gz DESTINATION share/doc/flingo COMPONENT game)

# --- the score server -------------------------------------------------------
install(PROGRAMS $<TARGET_FILE:scoreserver> DESTINATION sbin RENAME flingo-scoreserver
        COMPONENT server)
# Installed under another name than the build's, so stripped here (CPack and
# `cmake --install --strip` strip only what install(TARGETS) names).
install(CODE [[
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND strip --strip-unneeded --remove-section=.comment
                    "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/sbin/flingo-scoreserver")
  endif()
]] COMPONENT server)
install(FILES ${pkg}/flingo-scoreserver.8.gz DESTINATION share/man/man8 COMPONENT server)
install(FILES ${pkg}/flingo-scoreserver.service DESTINATION lib/systemd/system
        COMPONENT server)
install(FILES ${pkg}/copyright DESTINATION share/doc/flingo-scoreserver COMPONENT server)
install(FILES ${pkg}/changelog.gz DESTINATION share/doc/flingo-scoreserver COMPONENT server)
# The options file belongs in /etc whatever the prefix is (/usr for the
# package, so one level up from it); under any other prefix it stays inside
# that prefix.
install(CODE [[
  if(CMAKE_INSTALL_PREFIX MATCHES "/usr/?$")
    set(FLINGO_ETC ../etc)
  else()
    set(FLINGO_ETC etc)
  endif()
]] COMPONENT server)
install(FILES packaging/flingo-scoreserver.default DESTINATION "\${FLINGO_ETC}/default"
        RENAME flingo-scoreserver COMPONENT server)

# --- packages: cmake --build build --target package -------------------------
# A package is made from what is built: neither `package` nor a test that
# runs cpack starts a build of everything (the fuzz tree included) first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME flingo)
set(CPACK_PACKAGE_VENDOR "The Flingo developers")
set(CPACK_PACKAGE_CONTACT ${FLINGO_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_COMPONENTS_ALL game server)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${FLINGO_HOMEPAGE})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_GAME_PACKAGE_NAME flingo)
set(CPACK_COMPONENT_GAME_DESCRIPTION "small arcade juggling game
Move the bar along the bottom of the screen with the mouse and keep the
coloured balls that fly in from both sides in the air. Every catch adds a
growing combo to the score; every dropped ball costs a life. Local high
scores with a history graph, a settings panel, screenshots and an optional
online score table.")
set(CPACK_DEBIAN_SERVER_PACKAGE_NAME flingo-scoreserver)
set(CPACK_DEBIAN_SERVER_PACKAGE_SECTION net)
set(CPACK_COMPONENT_SERVER_DESCRIPTION "online score server for Flingo
Keeps the online high-score tables and user logins of the Flingo game in an
SQLite database and answers the game over HTTP/1.0. Runs as a systemd
service under a user of its own; its options are in
/etc/default/flingo-scoreserver.")
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/packaging/server-scripts/conffiles
    ${CMAKE_SOURCE_DIR}/packaging/server-scripts/postinst
    ${CMAKE_SOURCE_DIR}/packaging/server-scripts/prerm
    ${CMAKE_SOURCE_DIR}/packaging/server-scripts/postrm)
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
