# The web server and the hiscore reader. Components, beside install.cmake's:
#   game         dravik-tables, with the game: it reads the games directory as the game does
#   web          dravik-serve, its Python modules and its pages (with the computer
#                opponent, component bot, what the package dravik-web ships)
#   web_package  the systemd unit and dravik-web's copyright and changelog: a plain
#                install leaves them out, since only the package makes the server's user
# The launcher is written at install time, when the prefix is known, with the paths of
# the installed programs and files.

install(TARGETS dravik-tables RUNTIME DESTINATION ${DRAVIK_GAMES_BINDIR} COMPONENT game)
dravik_gzip(${PROJECT_SOURCE_DIR}/docs/dravik-tables.6 ${PROJECT_BINARY_DIR}/dravik-tables.6.gz)
dravik_gzip(${PROJECT_SOURCE_DIR}/docs/dravik-serve.6 ${PROJECT_BINARY_DIR}/dravik-serve.6.gz)
add_custom_target(dravik_web_manuals ALL DEPENDS ${PROJECT_BINARY_DIR}/dravik-tables.6.gz
                                                 ${PROJECT_BINARY_DIR}/dravik-serve.6.gz)
install(FILES ${PROJECT_BINARY_DIR}/dravik-tables.6.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT game)
install(FILES ${PROJECT_BINARY_DIR}/dravik-serve.6.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT web)

set(DRAVIK_NOVNC_DIR "/usr/share/novnc" CACHE PATH "The noVNC client that the web pages load")
set(DRAVIK_WEB_DATADIR "${CMAKE_INSTALL_DATAROOTDIR}/dravik")
# The modules apart from the pages, which the server serves.
install(FILES web/dravik_serve.py web/dravik_bridge.py
        DESTINATION ${DRAVIK_WEB_DATADIR}/serve COMPONENT web)
install(DIRECTORY data/web/ DESTINATION ${DRAVIK_WEB_DATADIR}/web COMPONENT web)

if(IS_ABSOLUTE "${DRAVIK_GAMES_BINDIR}")
  set(_dravik_bindir "${DRAVIK_GAMES_BINDIR}")
else()
  set(_dravik_bindir "\${CMAKE_INSTALL_PREFIX}/${DRAVIK_GAMES_BINDIR}")
endif()
install(CODE "
  set(DRAVIK_BINDIR \"${_dravik_bindir}\")
  set(DRAVIK_WEB_DIR \"\${CMAKE_INSTALL_PREFIX}/${DRAVIK_WEB_DATADIR}\")
  set(DRAVIK_NOVNC_DIR \"${DRAVIK_NOVNC_DIR}\")
" COMPONENT web)
install(SCRIPT cmake/web/install_launcher.cmake COMPONENT web)

# The unit names the package's paths.
set(DRAVIK_SYSTEMD_UNITDIR "/lib/systemd/system" CACHE STRING
    "Directory of the package's systemd unit")
configure_file(cmake/web/dravik-serve.service.in ${PROJECT_BINARY_DIR}/dravik-serve.service @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/dravik-serve.service
        DESTINATION ${DRAVIK_SYSTEMD_UNITDIR} COMPONENT web_package EXCLUDE_FROM_ALL)
install(FILES data/copyright ${PROJECT_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/dravik-web
        COMPONENT web_package EXCLUDE_FROM_ALL)
