# Installation and packaging: the install rules into DESTDIRs of the tests' own, the
# Debian package, the manual page, and the set-group-ID install played by an ordinary
# user. As root the tests also make groups and modes; without root they skip those parts.
find_program(DRAVIK_SH sh REQUIRED)

add_test(NAME install_layout
         COMMAND ${DRAVIK_SH} ${CMAKE_CURRENT_SOURCE_DIR}/install_layout.sh
                 ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR} ${DRAVIK_HISCORE_DIR_SLASH}
                 ${PROJECT_VERSION})
add_test(NAME install_manual
         COMMAND ${DRAVIK_SH} ${CMAKE_CURRENT_SOURCE_DIR}/install_manual.sh ${PROJECT_SOURCE_DIR})
set_tests_properties(install_layout install_manual PROPERTIES LABELS install TIMEOUT 300)
# A package of a sanitized build would ship the sanitizers: packages come from plain builds.
if(NOT DRAVIK_SANITIZE)
  add_test(NAME install_deb
           COMMAND ${DRAVIK_SH} ${CMAKE_CURRENT_SOURCE_DIR}/install_deb.sh
                   ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR} ${DRAVIK_HISCORE_DIR_SLASH}
                   ${PROJECT_VERSION})
  set_tests_properties(install_deb PROPERTIES LABELS install TIMEOUT 300)
endif()

# Builds and installs a game of its own, with its games directory in a tree of its own.
dravik_test(install_setgid_test SOURCES install_setgid_test.cpp LIBS dravik_x_support
            LABELS install)
target_compile_definitions(install_setgid_test PRIVATE
  DRAVIK_CMAKE="${CMAKE_COMMAND}" DRAVIK_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

# Both installers' games directory files, raced by a member of group games.
dravik_test(install_race_test SOURCES install_race_test.cpp support/results_files.cpp
            LABELS install)
target_compile_definitions(install_race_test PRIVATE
  DRAVIK_CMAKE="${CMAKE_COMMAND}" GAMES_DIR_SCRIPT="${PROJECT_SOURCE_DIR}/cmake/games_dir.cmake"
  POSTINST="${PROJECT_BINARY_DIR}/debian/postinst"
  PACKAGE_GAMES_DIR="${DRAVIK_PACKAGE_GAMES_DIR}" PACKAGE_PROGRAM="${DRAVIK_PACKAGE_PROGRAM}")

# The README's pictures: a driver that plays the real game under Xvfb, run by
# scripts/screenshots, which makes PNG images of its pictures and checks them. The game
# it plays keeps its games directory in the build; the suite's pictures go there too.
dravik_program(dravik_screenshots_game "${CMAKE_BINARY_DIR}/screenshots/games/")
add_executable(dravik_screenshots install_screenshots.cpp)
target_include_directories(dravik_screenshots PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(dravik_screenshots PRIVATE dravik_x_support dravik_rules)
find_program(DRAVIK_BASH bash REQUIRED)
add_test(NAME install_screenshots
         COMMAND ${DRAVIK_BASH} ${PROJECT_SOURCE_DIR}/scripts/screenshots
                 --build-dir ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}/screenshots/pictures)
set_tests_properties(install_screenshots PROPERTIES LABELS install TIMEOUT 300)
