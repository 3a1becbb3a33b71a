# SPDX-License-Identifier: MIT
# What `cmake --install` puts in place, and the Debian package that CPack makes of it:
# the game, the board server, the desktop entry, the icons, the AppStream metainfo, the
# manual pages, the licence and the changelog.

include(GNUInstallDirs)

set(PONPIRA_APP_ID "io.github.ponpira.Ponpira")
set(PONPIRA_HOMEPAGE "https://github.com/ponpira/ponpira" CACHE STRING
    "Home page named in the package and the AppStream metainfo")
set(PONPIRA_SCREENSHOT_URL "https://raw.githubusercontent.com/ponpira/ponpira/main/docs/screenshots"
    CACHE STRING "Where software centres fetch the screenshots of docs/screenshots from")
set(PONPIRA_PACKAGE_CONTACT "ポンピラ developers <ponpira@example.org>" CACHE STRING
    "Maintainer of the Debian package")

# Debian keeps games apart from other programs, in /usr/games (on the PATH of its desktop
# sessions, so the desktop entry's plain Exec finds it). The board server is an ordinary
# program and stays in bin.
if(UNIX AND NOT APPLE)
    set(_games_dir games)
else()
    set(_games_dir ${CMAKE_INSTALL_BINDIR})
endif()
set(PONPIRA_INSTALL_GAMESDIR ${_games_dir} CACHE STRING
    "Where the game is installed, relative to the prefix (bin puts it on a user's PATH in ~/.local)")
install(TARGETS ponpira RUNTIME DESTINATION ${PONPIRA_INSTALL_GAMESDIR})
# ponpira-board installs itself from board/ when it is built.

# The package's version: the project's, and the packaging's own revision after the dash.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(PONPIRA_PACKAGE_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})

if(UNIX AND NOT APPLE)
    set(_res ${PROJECT_SOURCE_DIR}/resources)
    install(FILES ${_res}/${PONPIRA_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

    # The board is named only where this build installs it.
    if(TARGET ponpira-board)
        set(PONPIRA_METAINFO_BOARD_BINARY "    <binary>ponpira-board</binary>\n")
    else()
        set(PONPIRA_METAINFO_BOARD_BINARY "")
    endif()
    configure_file(${_res}/${PONPIRA_APP_ID}.metainfo.xml.in
                   ${PROJECT_BINARY_DIR}/${PONPIRA_APP_ID}.metainfo.xml @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/${PONPIRA_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

    # The hand-drawn 16 and 32 pixel images and the renderings of ponpira.svg, which goes in
    # as the scalable icon.
    foreach(size 16 32 48 64 128 256)
        install(FILES ${_res}/icons/ponpira-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME ${PONPIRA_APP_ID}.png)
    endforeach()
    install(FILES ${_res}/ponpira.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
            RENAME ${PONPIRA_APP_ID}.svg)

    # Manual pages and the changelog go in compressed, without name or time in the gzip header,
    # so that the same sources give the same package.
    find_program(PONPIRA_GZIP gzip REQUIRED)
    set(_pkg ${PROJECT_SOURCE_DIR}/packaging)
    set(_out ${PROJECT_BINARY_DIR}/packaging)
    file(STRINGS ${_pkg}/changelog _changelog_top LIMIT_COUNT 1)
    if(NOT _changelog_top MATCHES "^ponpira \\(${PONPIRA_PACKAGE_VERSION}\\) ")
        message(FATAL_ERROR "packaging/changelog starts with '${_changelog_top}', but the package "
                            "is version ${PONPIRA_PACKAGE_VERSION}: add an entry for it")
    endif()
    set(_compressed)
    foreach(page ponpira.6 ponpira-board.1)
        configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page} ${_out}/${page} @ONLY)
    endforeach()
    configure_file(${_pkg}/changelog ${_out}/changelog.Debian COPYONLY)
    foreach(file ponpira.6 ponpira-board.1 changelog.Debian)
        add_custom_command(OUTPUT ${_out}/${file}.gz
            COMMAND ${PONPIRA_GZIP} -9n -c ${_out}/${file} > ${_out}/${file}.gz
            DEPENDS ${_out}/${file} VERBATIM)
        list(APPEND _compressed ${_out}/${file}.gz)
    endforeach()
    add_custom_target(ponpira_package_docs ALL DEPENDS ${_compressed})

    install(FILES ${_out}/ponpira.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
    if(TARGET ponpira-board)
        install(FILES ${_out}/ponpira-board.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
    set(_doc ${CMAKE_INSTALL_DATADIR}/doc/ponpira)
    install(FILES ${_pkg}/copyright ${_out}/changelog.Debian.gz DESTINATION ${_doc})
    install(FILES ${_pkg}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
            RENAME ponpira)
endif()

# CPack: `cpack -G DEB` in the build folder.
set(CPACK_PACKAGE_NAME ponpira)
set(CPACK_PACKAGE_VENDOR "ポンピラ developers")
set(CPACK_PACKAGE_CONTACT "${PONPIRA_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "click-speed game: how many clicks in 10, 20 or 30 seconds")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "ポンピラ is a small desktop game: choose 10, 20 or 30 seconds and click\n"
    "the big button as often as you can. The button counts down the last\n"
    "seconds, and a message tells how many clicks you made. A demo plays by\n"
    "itself, and a result can be posted to a bulletin board through the web\n"
    "browser. The local board server, ponpira-board, is included.\n"
    "All of the game's text is Japanese.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# A package from a build for another prefix would start programs that are not where it puts them.
set(PONPIRA_CONFIGURED_PREFIX ${CMAKE_INSTALL_PREFIX})
configure_file(${CMAKE_CURRENT_LIST_DIR}/cpack-checks.cmake.in
               ${PROJECT_BINARY_DIR}/cpack-checks.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/cpack-checks.cmake)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PONPIRA_HOMEPAGE}")
# The libraries come from dpkg-shlibdeps; what it cannot see is listed here: Qt's platform
# plugins (without them no window opens) and a Japanese font (without one the captions are
# empty boxes).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic | fonts-noto-cjk")
# The result is posted by opening the board in the default browser.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-liberation2")
# The maintainer scripts enable, start, restart and stop the board's systemd units.
if(TARGET ponpira-board)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
        ${_pkg}/postinst ${_pkg}/prerm ${_pkg}/postrm)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)
