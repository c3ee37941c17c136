# `cpack` builds the packages: on Linux the Debian packages nembit (the
# runtime component: the command, its own files, its manual, the
# completions) and libnembit-dev (the development component: the static
# library, its headers, its CMake package and pkg-config file), with the
# dependencies that dpkg-shlibdeps finds; on Windows a ZIP. tools/build-package
# builds them as Debian builds packages.
set(CPACK_PACKAGE_NAME nembit)
set(CPACK_PACKAGE_VENDOR "the nembit developers")
set(CPACK_PACKAGE_CONTACT "nembit developers <nembit@example.org>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})

if(WIN32)
  # A ZIP that a user unpacks anywhere: bin/ holds nembit.exe and its files.
  set(CPACK_STRIP_FILES ON)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL runtime)
  set(CPACK_ARCHIVE_RUNTIME_FILE_NAME nembit-${PROJECT_VERSION}-win64)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(CPack)
  return()
endif()
set(CPACK_GENERATOR DEB)
# CPack's own default summary, so that it adds no synopsis of its own before
# the descriptions below, each of which begins with its own.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_NAME} built using CMake")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Stripped by cmake/debian/layout.cmake, as Debian strips.
set(CPACK_STRIP_FILES OFF)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME nembit)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION utils)
# Its dependencies are found by cmake/debian/layout.cmake: the command's are
# needed, those of nembit-desktop only recommended, as libcrypto is, which
# is loaded only when a GNTP password needs it.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS OFF)
# bash completes nothing of a package's without bash-completion.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS "xclip | xsel | wl-clipboard, libssl3, bash-completion")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SUGGESTS "growl-for-linux")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "create blank files with notification support
nembit creates blank files, and every missing parent directory, from names
that may hold one brace group, such as src/{main, util}.cpp. It keeps the
content of files that already exist, prints the absolute path of each file
it creates, puts that path on the clipboard and announces each file as a
desktop notice, through a Growl-compatible notification service (GNTP) or,
where none listens, through the desktop's own notification service.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libnembit-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
# The library finds its helpers and files where the command's package puts
# them, as that version of it has them.
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "nembit (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "development files of libnembit, which creates blank files
libnembit is the C++20 library of the nembit command, which creates blank
files, and every missing parent directory, from names that may hold one
brace group. This package holds the static library, its headers, its CMake
package (find_package(nembit)) and its pkg-config file; the library finds
its helpers and files where the package nembit puts them.")

set(NEMBIT_PACKAGE_DATE "Mon, 07 Dec 2026 00:00:00 +0000")
configure_file(cmake/debian/changelog.in ${PROJECT_BINARY_DIR}/debian-changelog @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debian/layout.cmake)
set(CPACK_NEMBIT_CHANGELOG ${PROJECT_BINARY_DIR}/debian-changelog)
set(CPACK_NEMBIT_COPYRIGHT ${PROJECT_SOURCE_DIR}/cmake/debian/copyright)
set(CPACK_NEMBIT_LINTIAN_OVERRIDES ${PROJECT_SOURCE_DIR}/cmake/debian/lintian-overrides)

include(CPack)
