# Writes dravik-serve, the web server's launcher, inside cmake_install.cmake (web.cmake):
#   DRAVIK_BINDIR     the games binary directory, without DESTDIR
#   DRAVIK_WEB_DIR    the server's directory: its modules in serve/, its pages in web/
#   DRAVIK_NOVNC_DIR  the noVNC client that the pages load
# The server is given the paths of this install; options given to the launcher come after
# them and replace them. Under systemd it keeps its seats in the unit's runtime directory.
set(_launcher "$ENV{DESTDIR}${DRAVIK_BINDIR}/dravik-serve")
message(STATUS "Installing: ${_launcher}")
file(WRITE "${_launcher}" "#!/bin/sh
# dravik-serve: the dravik web server of this installation (see dravik-serve(6)).
exec /usr/bin/python3 -S ${DRAVIK_WEB_DIR}/serve/dravik_serve.py \\
	--game ${DRAVIK_BINDIR}/dravik --bot ${DRAVIK_BINDIR}/dravik-bot \\
	--tables ${DRAVIK_BINDIR}/dravik-tables \\
	--pages ${DRAVIK_WEB_DIR}/web --novnc ${DRAVIK_NOVNC_DIR} \\
	\${RUNTIME_DIRECTORY:+--run \"\$RUNTIME_DIRECTORY\"} \"\$@\"
")
execute_process(COMMAND chmod 0755 "${_launcher}" RESULT_VARIABLE _dravik_failed)
if(_dravik_failed)
  message(FATAL_ERROR "Cannot make ${_launcher} executable")
endif()
