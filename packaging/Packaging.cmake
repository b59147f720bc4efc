# Stashbook as a Linux desktop program: what `cmake --install` puts where,
# and the Debian package CPack builds from it (`--target package`).
#
# Everything on the desktop goes by one application id (STASHBOOK_APP_ID, set
# beside the project's version): the desktop entry, the icon, the AppStream
# metadata and the name the program gives Qt for its windows.
include(GNUInstallDirs)

set(_pkg_src ${CMAKE_CURRENT_LIST_DIR})
set(_pkg_out ${PROJECT_BINARY_DIR}/packaging)
set(STASHBOOK_MAINTAINER "Stashbook Dev <dev@stashbook.invalid>"
    CACHE STRING "Maintainer named in the Debian package")

# --- The release: version from project(), date from the changelog ------------
# The changelog's newest entry is the release being built: a new VERSION
# needs a new entry, and the entry's date is the release date the metadata
# and the manual page give.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_pkg_src}/debian/changelog)
file(STRINGS ${_pkg_src}/debian/changelog _changelog)
list(GET _changelog 0 _newest)
string(REGEX MATCH "^stashbook \\(([^)]+)\\)" _ "${_newest}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(WARNING "packaging/debian/changelog starts with version '${CMAKE_MATCH_1}', "
                    "the project is ${PROJECT_VERSION}: add an entry for this release")
endif()
list(FILTER _changelog INCLUDE REGEX "^ -- ")
list(GET _changelog 0 _signature)
string(REGEX MATCH ", ([0-9]+) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) " _ "${_signature}")
set(_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND _months "${CMAKE_MATCH_2}" _month)
if(_month LESS 0)
    message(FATAL_ERROR "packaging/debian/changelog: no date in '${_signature}'")
endif()
math(EXPR _month "${_month} + 1" OUTPUT_FORMAT DECIMAL)
string(LENGTH "${CMAKE_MATCH_1}" _day_digits)
set(_day ${CMAKE_MATCH_1})
if(_day_digits EQUAL 1)
    set(_day 0${_day})
endif()
if(_month LESS 10)
    set(_month 0${_month})
endif()
set(STASHBOOK_RELEASE_DATE "${CMAKE_MATCH_3}-${_month}-${_day}")

# --- Desktop entry, metadata, manual page ----------------------------------
configure_file(${_pkg_src}/stashbook.desktop.in ${_pkg_out}/${STASHBOOK_APP_ID}.desktop @ONLY)
configure_file(${_pkg_src}/stashbook.metainfo.xml.in
               ${_pkg_out}/${STASHBOOK_APP_ID}.metainfo.xml @ONLY)
configure_file(${_pkg_src}/stashbook.1.in ${_pkg_out}/stashbook.1 @ONLY)
configure_file(${_pkg_src}/stashbook-cli.1.in ${_pkg_out}/stashbook-cli.1 @ONLY)
install(FILES ${_pkg_out}/${STASHBOOK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_pkg_out}/${STASHBOOK_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Debian wants the manual page and the changelog compressed, reproducibly.
set(_compressed)
foreach(_doc stashbook.1 stashbook-cli.1 changelog)
    if(_doc STREQUAL changelog)
        set(_from ${_pkg_src}/debian/changelog)
    else()
        set(_from ${_pkg_out}/${_doc})
    endif()
    add_custom_command(OUTPUT ${_pkg_out}/gz/${_doc}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${_from} ${_pkg_out}/gz/${_doc}
        COMMAND gzip -9nf ${_pkg_out}/gz/${_doc}
        DEPENDS ${_from}
        COMMENT "Compressing ${_doc}"
        VERBATIM)
    list(APPEND _compressed ${_pkg_out}/gz/${_doc}.gz)
endforeach()
install(FILES ${_pkg_out}/gz/stashbook.1.gz ${_pkg_out}/gz/stashbook-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_pkg_out}/gz/changelog.gz ${_pkg_src}/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# --- Icons: the drawing, and the sizes menus and trays ask for ---------------
install(FILES ${_pkg_src}/stashbook.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${STASHBOOK_APP_ID}.svg)
set(_icons)
find_program(STASHBOOK_RSVG_CONVERT rsvg-convert)
if(STASHBOOK_RSVG_CONVERT)
    foreach(_size 16 22 24 32 48 64 128 256)
        set(_dir ${_pkg_out}/icons/${_size}x${_size})
        add_custom_command(OUTPUT ${_dir}/${STASHBOOK_APP_ID}.png
            COMMAND ${CMAKE_COMMAND} -E make_directory ${_dir}
            COMMAND ${STASHBOOK_RSVG_CONVERT} --width ${_size} --height ${_size}
                    --output ${_dir}/${STASHBOOK_APP_ID}.png ${_pkg_src}/stashbook.svg
            DEPENDS ${_pkg_src}/stashbook.svg
            VERBATIM)
        list(APPEND _icons ${_dir}/${STASHBOOK_APP_ID}.png)
        install(FILES ${_dir}/${STASHBOOK_APP_ID}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps)
    endforeach()
else()
    message(STATUS "Stashbook: rsvg-convert not found (package librsvg2-bin): "
                   "only the scalable icon is installed")
endif()
add_custom_target(stashbook_desktop_files ALL DEPENDS ${_compressed} ${_icons})

# --- The Debian package --------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME stashbook)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${STASHBOOK_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keeps web sites and the accounts you hold there")
# dpkg shows the description as it stands: lines of at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Stashbook keeps a list of web sites and, for every site, the accounts you
hold there: a user name, a password and one free extra field. It lives in
the system tray, pops up anywhere with Ctrl+T, copies fields and listings
to the clipboard and opens addresses in the web browser. The command
stashbook-cli reads and changes the same files from a terminal, a script or
a launcher, with the same rules.

Everything is kept in two plain text files in a folder of your choice.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its display plugins at run time, so no library link names them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Native on Wayland desktops (without it, Qt runs the program under Xwayland).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
include(CPack)
