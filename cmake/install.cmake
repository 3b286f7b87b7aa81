# Installation: `cmake --install` onto a system, and the same rules as CPack's packages
# use them (package.cmake). The rules come in three components:
#   game     the program in the games binary directory, its manual page, desktop entry,
#            icon and AppStream metadata: what a package ships
#   system   what only an install onto a system does, and a package's post-install
#            script does in its place: the games directory with its files, made only
#            when missing, and, with DRAVIK_SETGID_GAMES, the program set-group-ID games
#   package  the package's copyright and changelog, left out of a plain install
# DESTDIR and the prefix (CMAKE_INSTALL_PREFIX, or --prefix) are honoured; the games
# directory is the one compiled in, DRAVIK_HISCORE_DIR, below DESTDIR.
include(GNUInstallDirs)

set(DRAVIK_GAMES_BINDIR "games" CACHE STRING
    "Directory of the game's executable: relative to the prefix, or absolute")
set(DRAVIK_SETGID_GAMES "AUTO" CACHE STRING
    "Install the game set-group-ID games, its games directory writable by that group: ON, OFF, or AUTO (on when the install runs as root)")
set_property(CACHE DRAVIK_SETGID_GAMES PROPERTY STRINGS AUTO ON OFF)
set(DRAVIK_GAMES_GROUP "games")
set(DRAVIK_HOMEPAGE "https://dravik.example.org/" CACHE STRING
    "The game's home page, named by the AppStream metadata and the Debian package")

# Manual pages and changelogs are installed compressed: -n keeps the name and the time
# out of the header, so that a rebuild gives the same bytes.
find_program(DRAVIK_GZIP gzip)
if(NOT DRAVIK_GZIP)
  message(FATAL_ERROR "gzip is needed to compress the manual page")
endif()
function(dravik_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${DRAVIK_GZIP} -9n -c ${source} > ${output}
    DEPENDS ${source})
endfunction()
dravik_gzip(${PROJECT_SOURCE_DIR}/docs/dravik.6 ${PROJECT_BINARY_DIR}/dravik.6.gz)
add_custom_target(dravik_manual ALL DEPENDS ${PROJECT_BINARY_DIR}/dravik.6.gz)

install(TARGETS dravik RUNTIME DESTINATION ${DRAVIK_GAMES_BINDIR} COMPONENT game)
install(FILES ${PROJECT_BINARY_DIR}/dravik.6.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT game)
install(FILES data/dravik.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications COMPONENT game)
install(FILES data/dravik.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps COMPONENT game)
# The AppStream metadata is named after its component's id. Its screenshots are the
# README's pictures, published at the home page below docs/.
string(REGEX REPLACE "/+$" "" DRAVIK_PICTURES "${DRAVIK_HOMEPAGE}")
string(APPEND DRAVIK_PICTURES "/docs")
configure_file(data/dravik.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/org.example.dravik.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/org.example.dravik.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo COMPONENT game)

# The installed program's path at install time, when DESTDIR and the prefix are known.
if(IS_ABSOLUTE "${DRAVIK_GAMES_BINDIR}")
  set(_dravik_program "\$ENV{DESTDIR}${DRAVIK_GAMES_BINDIR}/dravik")
else()
  set(_dravik_program "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${DRAVIK_GAMES_BINDIR}/dravik")
endif()
# The setting can be changed for one install: cmake -DDRAVIK_SETGID_GAMES=ON -P cmake_install.cmake
install(CODE "
  if(NOT DEFINED DRAVIK_SETGID_GAMES)
    set(DRAVIK_SETGID_GAMES \"${DRAVIK_SETGID_GAMES}\")
  endif()
  set(DRAVIK_GAMES_GROUP \"${DRAVIK_GAMES_GROUP}\")
  set(DRAVIK_PROGRAM \"${_dravik_program}\")
  set(GAMES_DIR \"\$ENV{DESTDIR}${DRAVIK_HISCORE_DIR_SLASH}\")
" COMPONENT system)
install(SCRIPT cmake/install_system.cmake COMPONENT system)
