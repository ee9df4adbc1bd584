# The Linux install rules and the Debian package (included from the top CMakeLists.txt).
#
# `cmake --install` (any prefix) and the package share the program, the manual page and
# README.md. Files only a plain install gets (component "plain": LICENSE, NOTICE.md, whose
# contents the package's copyright file carries) and files only the package gets (component
# "debian", left out of a plain install: the copyright file, the changelog, the systemd user unit
# that runs /usr/bin/drivenudge) are kept apart by component; CPack puts the default and "debian"
# components into one package.
include(GNUInstallDirs)
set(dn_pkg ${CMAKE_BINARY_DIR}/packaging)

install(TARGETS drivenudge RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES LICENSE NOTICE.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT plain)

# Manual page and changelog, compressed as Debian wants them: gzip -9, no name or time stamp.
function(dn_gzip source output)
    add_custom_command(OUTPUT ${output}
        COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/${source} > ${output}
        DEPENDS ${CMAKE_SOURCE_DIR}/${source}
        VERBATIM)
endfunction()
dn_gzip(packaging/drivenudge.1 ${dn_pkg}/drivenudge.1.gz)
dn_gzip(packaging/changelog ${dn_pkg}/changelog.gz)
add_custom_target(dn_packaging_files ALL DEPENDS ${dn_pkg}/drivenudge.1.gz ${dn_pkg}/changelog.gz)
install(FILES ${dn_pkg}/drivenudge.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The systemd user unit, from one template: the one the README copies to ~/.config/systemd/user
# runs ~/.local/bin/drivenudge; the package's, in /usr/lib/systemd/user, runs /usr/bin/drivenudge.
set(DN_UNIT_PROGRAM "%h/.local/bin/drivenudge")
set(DN_UNIT_WHERE "this one runs ~/.local/bin/drivenudge, where `cmake --install build/native
# --prefix ~/.local` puts it; copy it to ~/.config/systemd/user/ first")
configure_file(packaging/drivenudge.service.in ${dn_pkg}/drivenudge.service @ONLY)
set(DN_UNIT_PROGRAM "/usr/bin/drivenudge")
set(DN_UNIT_WHERE "this one comes with the Debian package and runs /usr/bin/drivenudge")
configure_file(packaging/drivenudge.service.in ${dn_pkg}/debian/drivenudge.service @ONLY)
install(FILES ${dn_pkg}/debian/drivenudge.service DESTINATION lib/systemd/user
        COMPONENT debian EXCLUDE_FROM_ALL)

# The changelog's newest entry must be this version: a new version needs its entry.
file(STRINGS packaging/changelog dn_changelog_top LIMIT_COUNT 1)
if(NOT dn_changelog_top MATCHES "^drivenudge \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog starts '${dn_changelog_top}', not with an entry for "
                        "version ${PROJECT_VERSION}")
endif()
install(FILES ${dn_pkg}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR}
        COMPONENT debian EXCLUDE_FROM_ALL)

# Debian's machine-readable copyright file; its Source field names the source archive beside the
# package and, when known, the repository.
if(DN_SOURCE_URL)
    set(DN_SOURCE_REPOSITORY "\n and the repository ${DN_SOURCE_URL}")
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${DN_SOURCE_URL}")
else()
    set(DN_SOURCE_REPOSITORY "\n and the repository it was made from")
endif()
configure_file(packaging/copyright.in ${dn_pkg}/copyright @ONLY)
install(FILES ${dn_pkg}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR}
        COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Unspecified debian)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_NAME drivenudge)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The maintainer is the one who signed the changelog's newest entry.
file(STRINGS packaging/changelog dn_changelog_signed REGEX "^ -- " LIMIT_COUNT 1)
string(REGEX REPLACE "^ -- (.*>)  .*$" "\\1" CPACK_DEBIAN_PACKAGE_MAINTAINER "${dn_changelog_signed}")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "drivenudge visits each named disk once every 170 seconds: it makes a folder
called $drivenudge.tmp at the top of the disk and removes it at once, which
is enough traffic to keep external drives, network volumes and older disks
from going to sleep. It has no settings, prints nothing and runs until it is
ended; a systemd user service runs it for every disk linked in
~/.local/share/drivenudge.")
