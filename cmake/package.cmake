# The Debian packages: `cpack -G DEB` in the build directory makes two.
# dravik ships the game component and the copyright and changelog (see install.cmake);
# its post-install script makes the games directory with its files when they are
# missing, of group games, and makes the program set-group-ID games; purging the package
# removes the files it made there and the games directory once it is empty.
# dravik-web ships the web server (web.cmake) with the computer opponent and the systemd
# unit; its post-install script makes the server's user, dravik-web, and enables and
# starts the service; purging it removes the user. It needs the VNC server, noVNC and
# Python, which the game does without.

set(DRAVIK_MAINTAINER "dravik maintainers <maintainers@dravik.example.org>" CACHE STRING
    "Maintainer of the Debian package: name <address>")

# The package's paths, below its own prefix /usr whatever the build's prefix.
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
if(IS_ABSOLUTE "${DRAVIK_GAMES_BINDIR}")
  set(DRAVIK_PACKAGE_PROGRAM "${DRAVIK_GAMES_BINDIR}/dravik")
else()
  set(DRAVIK_PACKAGE_PROGRAM "${CPACK_PACKAGING_INSTALL_PREFIX}/${DRAVIK_GAMES_BINDIR}/dravik")
endif()
get_filename_component(DRAVIK_PACKAGE_BINDIR "${DRAVIK_PACKAGE_PROGRAM}" DIRECTORY)
string(REGEX REPLACE "(.)/+$" "\\1" DRAVIK_PACKAGE_GAMES_DIR "${DRAVIK_HISCORE_DIR}")

include(${CMAKE_CURRENT_LIST_DIR}/games_files.cmake)
# The post-install script carries the script that makes the games directory's files.
file(READ ${CMAKE_CURRENT_LIST_DIR}/games_files.pl DRAVIK_GAMES_FILES_PL)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_CURRENT_LIST_DIR}/games_files.pl)
foreach(script postinst postrm web/postinst web/prerm web/postrm)
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
# Each package's description, its summary first: CPack would put a common summary above
# both. CPack indents every line: lines are kept short here.
set(CPACK_DEBIAN_GAME_DESCRIPTION "\
falling blocks for X, alone or as a duel across two displays
Pieces of seven kinds fall into a field ten columns wide; shift and turn them
so that full rows form, are removed and scored. The game speeds up as rows
are cleared.

In a duel two players, each at his own X display, play fields that share one
column: every row one player clears pushes the border toward the other.
Hiscores of single play and of duels, and a log of the duels, are shared by
all players of the machine.")
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};dravik;ALL;/")
# One package per group of components. The install runs with the package's prefix (and
# the staging directory as DESTDIR), since the server's launcher names its paths.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX "${CPACK_PACKAGING_INSTALL_PREFIX}")
set(CPACK_COMPONENTS_ALL game package web bot web_package)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
foreach(component GAME PACKAGE)
  set(CPACK_COMPONENT_${component}_GROUP game)
endforeach()
foreach(component WEB BOT WEB_PACKAGE)
  set(CPACK_COMPONENT_${component}_GROUP web)
endforeach()
set(CPACK_DEBIAN_GAME_PACKAGE_NAME "dravik")
set(CPACK_DEBIAN_WEB_PACKAGE_NAME "dravik-web")
set(CPACK_DEBIAN_WEB_DESCRIPTION "\
web server where browsers play dravik
Players come to one address with a browser and play dravik alone, against the
computer, or a duel with a friend or a stranger, and watch the games under
way. Each seat is an X server of its own with a VNC face, started on demand,
running the game of the package dravik; results go to the same hiscore tables
as the X players' of the machine.

The service dravik-serve listens on loopback, for a reverse proxy in front of
it, and runs as a user of its own.")
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "games")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The X server that shows the game needs its font; on this machine for a local display.
set(CPACK_DEBIAN_GAME_PACKAGE_RECOMMENDS "xfonts-75dpi | xfonts-100dpi")
set(CPACK_DEBIAN_GAME_PACKAGE_CONTROL_EXTRA
    "${PROJECT_BINARY_DIR}/debian/postinst;${PROJECT_BINARY_DIR}/debian/postrm")
set(CPACK_DEBIAN_WEB_PACKAGE_DEPENDS "dravik (= ${PROJECT_VERSION}), \
tigervnc-standalone-server, tigervnc-tools, novnc, xauth, python3, x11-utils, adduser")
# The seats' X servers are on this machine, and show the game in its font.
set(CPACK_DEBIAN_WEB_PACKAGE_RECOMMENDS "xfonts-base, xfonts-75dpi | xfonts-100dpi")
set(CPACK_DEBIAN_WEB_PACKAGE_CONTROL_EXTRA
    "${PROJECT_BINARY_DIR}/debian/web/postinst;${PROJECT_BINARY_DIR}/debian/web/prerm;\
${PROJECT_BINARY_DIR}/debian/web/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
