# SPDX-License-Identifier: MIT
# The board's systemd units: a user socket on the board's address with its service, enabled
# for every user (the link below is what `systemctl --global enable` would make, shipped with
# the package), and a hardened system service for a board that others use, left disabled.

include(GNUInstallDirs)
set(PONPIRA_SYSTEMD_USER_UNIT_DIR lib/systemd/user CACHE STRING
    "Where the board's user units go, relative to the prefix unless absolute")
# Relative, so that --prefix moves it too; Debian 12 merges /lib into /usr, and systemd reads
# /usr/lib/systemd/system.
set(_system_unit_dir lib/systemd/system)
set(PONPIRA_SYSTEMD_SYSTEM_UNIT_DIR ${_system_unit_dir} CACHE STRING
    "Where the board's system service goes, relative to the prefix unless absolute")

set(_systemd_src ${PROJECT_SOURCE_DIR}/resources/systemd)
set(_systemd_out ${PROJECT_BINARY_DIR}/systemd)
set(PONPIRA_BOARD_EXE ${CMAKE_INSTALL_FULL_BINDIR}/ponpira-board)
foreach(unit ponpira-board.service ponpira-board-public.service)
    configure_file(${_systemd_src}/${unit}.in ${_systemd_out}/${unit} @ONLY)
endforeach()
configure_file(${_systemd_src}/ponpira-board.socket ${_systemd_out}/ponpira-board.socket COPYONLY)
file(MAKE_DIRECTORY ${_systemd_out}/sockets.target.wants)
file(CREATE_LINK ../ponpira-board.socket ${_systemd_out}/sockets.target.wants/ponpira-board.socket
     SYMBOLIC)

install(FILES ${_systemd_out}/ponpira-board.socket ${_systemd_out}/ponpira-board.service
        DESTINATION ${PONPIRA_SYSTEMD_USER_UNIT_DIR})
install(DIRECTORY ${_systemd_out}/sockets.target.wants DESTINATION ${PONPIRA_SYSTEMD_USER_UNIT_DIR})
install(FILES ${_systemd_out}/ponpira-board-public.service
        DESTINATION ${PONPIRA_SYSTEMD_SYSTEM_UNIT_DIR})
