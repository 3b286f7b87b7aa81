# The Debian package: `cpack -G DEB` in the build directory. It ships the game component
# and the copyright and changelog (see install.cmake); its post-install script makes the
# games directory with its files when they are missing, of group games, and makes the
# program set-group-ID games; purging the package removes the files it made there and the
# games directory once it is empty.

set(DRAVIK_MAINTAINER "dravik maintainers <maintainers@dravik.example.org>" CACHE STRING
    "Maintainer of the Debian package: name <address>")

# The package's paths, below its own prefix /usr whatever the build's prefix.
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
if(IS_ABSOLUTE "${DRAVIK_GAMES_BINDIR}")
  set(DRAVIK_PACKAGE_PROGRAM "${DRAVIK_GAMES_BINDIR}/dravik")
else()
  set(DRAVIK_PACKAGE_PROGRAM "${CPACK_PACKAGING_INSTALL_PREFIX}/${DRAVIK_GAMES_BINDIR}/dravik")
endif()
string(REGEX REPLACE "(.)/+$" "\\1" DRAVIK_PACKAGE_GAMES_DIR "${DRAVIK_HISCORE_DIR}")

include(${CMAKE_CURRENT_LIST_DIR}/games_files.cmake)
# The post-install script carries the script that makes the games directory's files.
file(READ ${CMAKE_CURRENT_LIST_DIR}/games_files.pl DRAVIK_GAMES_FILES_PL)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_CURRENT_LIST_DIR}/games_files.pl)
foreach(script postinst postrm)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/${script}.in
                 ${PROJECT_BINARY_DIR}/debian/${script} @ONLY)
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in
               ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
dravik_gzip(${PROJECT_BINARY_DIR}/debian/changelog ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_target(dravik_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES data/copyright ${PROJECT_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT package EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "dravik")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${DRAVIK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${DRAVIK_HOMEPAGE}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "falling blocks for X, alone or as a duel across two displays")
# CPack indents every line: lines are kept short here.
set(CPACK_PACKAGE_DESCRIPTION "\
Pieces of seven kinds fall into a field ten columns wide; shift and turn them
so that full rows form, are removed and scored. The game speeds up as rows
are cleared.

In a duel two players, each at his own X display, play fields that share one
column: every row one player clears pushes the border toward the other.
Hiscores of single play and of duels, and a log of the duels, are shared by
all players of the machine.")
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${PROJECT_BINARY_DIR};dravik;game;/"
    "${PROJECT_BINARY_DIR};dravik;package;/")
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "games")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The X server that shows the game needs its font; on this machine for a local display.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xfonts-75dpi | xfonts-100dpi")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${PROJECT_BINARY_DIR}/debian/postinst;${PROJECT_BINARY_DIR}/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
