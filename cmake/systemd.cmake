# SPDX-License-Identifier: MIT
# The board's systemd units, all of the system: the board of this machine (a socket on the
# board's address, enabled by the package's maintainer scripts, and its service) and the board
# for others behind a reverse proxy (a Unix socket and its service, left disabled). Both
# services share one hardening. No enablement link is installed: the maintainer scripts make
# them with deb-systemd-helper, so that an administrator's choice is kept and purge undoes it.

include(GNUInstallDirs)
# Relative, so that --prefix moves it too; Debian 12 merges /lib into /usr, and systemd reads
# /usr/lib/systemd/system.
set(PONPIRA_SYSTEMD_SYSTEM_UNIT_DIR lib/systemd/system CACHE STRING
    "Where the board's systemd units go, relative to the prefix unless absolute")

set(_systemd_src ${PROJECT_SOURCE_DIR}/resources/systemd)
set(_systemd_out ${PROJECT_BINARY_DIR}/systemd)
set(PONPIRA_BOARD_EXE ${CMAKE_INSTALL_FULL_BINDIR}/ponpira-board)
file(READ ${_systemd_src}/hardening.conf PONPIRA_BOARD_HARDENING)
string(STRIP "${PONPIRA_BOARD_HARDENING}" PONPIRA_BOARD_HARDENING)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_systemd_src}/hardening.conf)
set(_units)
foreach(unit ponpira-board.service ponpira-board-public.service)
    configure_file(${_systemd_src}/${unit}.in ${_systemd_out}/${unit} @ONLY)
    list(APPEND _units ${_systemd_out}/${unit})
endforeach()
foreach(unit ponpira-board.socket ponpira-board-public.socket)
    configure_file(${_systemd_src}/${unit} ${_systemd_out}/${unit} COPYONLY)
    list(APPEND _units ${_systemd_out}/${unit})
endforeach()
install(FILES ${_units} DESTINATION ${PONPIRA_SYSTEMD_SYSTEM_UNIT_DIR})
