# What `cmake --install` puts in place, in two components: runtime (the
# command, its own files, its manual, completions and licence) and
# development (libnembit, its headers, its CMake package and pkg-config file).
include(CMakePackageConfigHelpers)

set(NEMBIT_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/nembit)
set(NEMBIT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/nembit)

install(TARGETS nembit RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(FILES ${NEMBIT_DATA_DIR}/__version__.py ${NEMBIT_DATA_DIR}/nembit.jpg
        DESTINATION ${NEMBIT_DATA_DESTINATION} COMPONENT runtime)
install(FILES LICENSE DESTINATION ${NEMBIT_DOC_DIR} COMPONENT runtime)

install(TARGETS nembit_library EXPORT nembitTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
                NAMELINK_COMPONENT development
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
# The public header <nembit/nembit.h> and the headers it includes, below
# include/nembit/ so that the folder names stay the project's own.
foreach(header IN ITEMS
    nembit/nembit.h nembit/disk_interface.h nembit/failure.h nembit/file_creator.h
    nembit/process.h nembit/version.h clipboard/clipboard.h gntp/notifier.h)
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/nembit/${folder}
          COMPONENT development)
endforeach()
install(EXPORT nembitTargets NAMESPACE nembit:: DESTINATION ${NEMBIT_CMAKE_DIR}
        COMPONENT development)
configure_package_config_file(cmake/nembitConfig.cmake.in
  ${PROJECT_BINARY_DIR}/nembitConfig.cmake INSTALL_DESTINATION ${NEMBIT_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/nembitConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/nembitConfig.cmake ${PROJECT_BINARY_DIR}/nembitConfigVersion.cmake
        DESTINATION ${NEMBIT_CMAKE_DIR} COMPONENT development)

# pkg-config: the prefix is found from the file's own place, so that the
# installed tree can be moved. A static libnembit needs its dependencies on
# every link; a shared one only on its own.
file(RELATIVE_PATH NEMBIT_PC_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
set(NEMBIT_PC_REQUIRES "")
set(NEMBIT_PC_LIBS "")
if(NEMBIT_WITH_GNTP)
  set(NEMBIT_PC_REQUIRES "libcrypto")
  set(NEMBIT_PC_LIBS "-pthread")
endif()
if(BUILD_SHARED_LIBS)
  set(NEMBIT_PC_REQUIRES_FIELD "Requires.private")
  set(NEMBIT_PC_LIBS_FIELD "Libs.private")
else()
  set(NEMBIT_PC_REQUIRES_FIELD "Requires")
  set(NEMBIT_PC_LIBS_FIELD "Libs")
endif()
configure_file(cmake/nembit.pc.in ${PROJECT_BINARY_DIR}/nembit.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/nembit.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT development)

# `cmake --build <dir> --target uninstall` removes what the last install put
# in place.
add_custom_target(uninstall
  COMMAND ${CMAKE_COMMAND} -DMANIFEST=${PROJECT_BINARY_DIR}/install_manifest.txt
          -P ${PROJECT_SOURCE_DIR}/cmake/uninstall.cmake
  COMMENT "Removing what the last install put in place")
