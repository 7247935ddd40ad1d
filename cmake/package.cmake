# The Debian package, made from what `cmake --install` installs under /usr:
#   cmake --build BUILD --target deb      (or `cpack -G DEB` in a built BUILD)
# CPack rather than dpkg-buildpackage: it packages the build that the tests
# ran on, in seconds and without root, and there is no second build
# description to keep in step.
set(KD_PACKAGE_DOC "${CMAKE_INSTALL_DATADIR}/doc/kaleidrome-launcher")
install(FILES resources/debian/copyright DESTINATION "${KD_PACKAGE_DOC}")
# Debian wants the changelog and the manual page compressed, reproducibly.
foreach(pair "changelog;${KD_PACKAGE_DOC}" "kaleidrome-launcher.1;${CMAKE_INSTALL_MANDIR}/man1")
  list(GET pair 0 name)
  list(GET pair 1 folder)
  install(CODE "
    set(target \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${folder}\")
    file(MAKE_DIRECTORY \"\${target}\")
    execute_process(COMMAND gzip -9nc \"${PROJECT_SOURCE_DIR}/resources/debian/${name}\"
                    OUTPUT_FILE \"\${target}/${name}.gz\" COMMAND_ERROR_IS_FATAL ANY)")
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kaleidrome-launcher)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "Kaleidrome Launcher developers <launcher@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "launcher for the Kaleidrome arcade emulator")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Kaleidrome Launcher keeps a list of arcade games with a snapshot and an icon
for each, turns its preferences into the command line of the Kaleidrome
emulator, runs the emulator and shows what it prints in a log window. Games
can be found and started from the desktop's own search.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # kaleidrome-launcher_<version>_amd64.deb
# Debian's section for emulators; "games" would want the command in /usr/games.
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/kaleidrome-launcher")
# Computed from the binaries by dpkg-shlibdeps; the database driver is a
# plugin Qt loads by name, so no binary names it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, qt6-wayland")
set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/strip-package.cmake")
# Installed with DESTDIR under the real prefix, so that files naming an
# installed path (the D-Bus service) name /usr, not the staging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# CPack installs without first checking the whole build (which costs more than
# the packing on a tree the tests have just built); the target `deb` builds
# what the package holds, then packs.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
add_custom_target(deb COMMAND "${CMAKE_CPACK_COMMAND}" -G DEB
                  WORKING_DIRECTORY "${CMAKE_BINARY_DIR}" VERBATIM)
add_dependencies(deb kaleidrome-launcher demo-emulator kd_bundle_resources)
