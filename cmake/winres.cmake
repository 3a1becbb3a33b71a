# SPDX-License-Identifier: MIT
# The executable's version resource, its numbers taken from one version string (1.2.0.2 gives
# 1,2,0,2 and the text 1.02.0002, the form Explorer shows), so it cannot drift from the project.
#   ponpira_windows_resources(<target> <major.minor.patch.tweak>)
function(ponpira_windows_resources target version)
    string(REPLACE "." ";" parts "${version}")
    list(GET parts 0 major)
    list(GET parts 1 minor)
    list(GET parts 3 tweak)
    string(REPLACE "." "," PONPIRA_RC_VERSION "${version}")
    string(LENGTH "${minor}" length)
    if(length LESS 2)
        set(minor "0${minor}")
    endif()
    string(LENGTH "${tweak}" length)
    math(EXPR zeros "4 - ${length}")
    string(REPEAT "0" ${zeros} padding)
    set(PONPIRA_RC_TEXT "${major}.${minor}.${padding}${tweak}")
    set(PONPIRA_ICON "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../resources/ponpira.ico")
    configure_file("${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../resources/ponpira.rc.in"
                   "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc" @ONLY)
    target_sources(${target} PRIVATE "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc")
endfunction()
