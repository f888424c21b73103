# Installation and the Debian package. `cmake --install` puts zarvo, zarvo-export and
# zarvo-cli into bin/ (the rules are beside the targets in ui/, export/ and cli/, which
# also install the manual pages), the menu entry into share/applications and the icon, the handset of
# the tree's images, into the hicolor theme at the sizes desktops look for.
# `cpack -G DEB` in a release build makes zarvo_<version>_<arch>.deb from the same rules;
# packaging/check.sh builds, checks and (with --install) installs it.

include(GNUInstallDirs)

set(zarvo_icon_dir ${PROJECT_SOURCE_DIR}/ui/images/icon)  # drawn by ui/images/make_icon.py
set(ZARVO_ICON_SIZES 16 24 32 48 64 128 256)

install(FILES ${CMAKE_CURRENT_LIST_DIR}/zarvo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size ${ZARVO_ICON_SIZES})
  install(FILES ${zarvo_icon_dir}/zarvo-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME zarvo.png)
endforeach()
install(FILES ${zarvo_icon_dir}/zarvo.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Debian looks for the terms of a package in its doc folder, under this name.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The package.
set(ZARVO_PACKAGE_MAINTAINER "ZARVO developers <zarvo@example.org>" CACHE STRING
    "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zarvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ZARVO")
set(CPACK_PACKAGE_CONTACT "${ZARVO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "ZARVO reads the address-book groups, contacts, calendar events and custom ring tones
of a Siemens S40 phone attached to a serial port, shows them in a tree, saves them to a
backup file of vCard and vCalendar text, and stores such a backup on a phone that holds
no entries. zarvo-cli does the same from a shell, without a display, with documented
exit codes and a check of a restore against the phone. zarvo-export takes a backup's
contacts and calendar to other phones and programs as vCard 3.0 and iCalendar 2.0
files, and compares two backups. A USB serial
cable is used through a port link in ~/.config/zarvo/ports; the user must be in the
dialout group to open the device.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from dpkg-shlibdeps; the platform plugins are loaded at run time,
# so no library dependency names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")
# A source package, should anyone make one, leaves the build folders and git out.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/build/" "/\\\\.git/" "__pycache__")
include(CPack)

# The install tree, checked quickly on every test run: the files, the menu entry's keys
# and the icons' sizes.
if(ZARVO_BUILD_TESTS)
  add_test(NAME packaging_install_tree
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR}
                   "-DICON_SIZES=${ZARVO_ICON_SIZES}" -P ${CMAKE_CURRENT_LIST_DIR}/CheckInstallTree.cmake)
  set_tests_properties(packaging_install_tree PROPERTIES TIMEOUT 120)
endif()
