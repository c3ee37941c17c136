# `cpack` (make package) builds the Debian package nembit of the runtime
# component: the command, its own files, its manual, the completions and the
# licence, with its dependencies found by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME nembit)
set(CPACK_PACKAGE_VENDOR "the nembit developers")
set(CPACK_PACKAGE_CONTACT "nembit developers <nembit@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})

if(WIN32)
  # A ZIP that a user unpacks anywhere: bin/ holds nembit.exe and its files.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL runtime)
  set(CPACK_ARCHIVE_RUNTIME_FILE_NAME nembit-${PROJECT_VERSION}-win64)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(CPack)
  return()
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME nembit)
set(CPACK_DEBIAN_RUNTIME_FILE_NAME DEB-DEFAULT)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "nembit creates blank files, and every missing parent directory, from names
that may hold one brace group, such as src/{main,util}.cpp. It keeps the
content of files that already exist, prints the absolute path of each file
it creates, puts that path on the clipboard and announces each file as a
desktop notice through a Growl-compatible notification service (GNTP).")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xclip | xsel | wl-clipboard, libssl3")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "growl-for-linux")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(NEMBIT_PACKAGE_DATE "Mon, 07 Dec 2026 00:00:00 +0000")
configure_file(cmake/changelog.in ${PROJECT_BINARY_DIR}/changelog @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebianLayout.cmake)
set(CPACK_NEMBIT_CHANGELOG ${PROJECT_BINARY_DIR}/changelog)

include(CPack)
