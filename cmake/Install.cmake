# What `cmake --install` puts in place, in two components: runtime (the
# command, its own files, its manual, completions and licence) and
# development (libnembit, its headers, its CMake package and pkg-config file).
include(CMakePackageConfigHelpers)

install(TARGETS nembit RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(FILES ${NEMBIT_DATA_DIR}/__version__.py ${NEMBIT_DATA_DIR}/nembit.jpg
        DESTINATION ${NEMBIT_DATA_DESTINATION} COMPONENT runtime)
if(WIN32)
  # Beside bin\ in the ZIP: what to read first, and the licence, as Windows
  # users open them.
  configure_file(doc/README-windows.txt.in ${PROJECT_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE ${PROJECT_BINARY_DIR}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION .
          COMPONENT runtime)
else()
  install(FILES LICENSE DESTINATION ${NEMBIT_DOC_DIR} COMPONENT runtime)
endif()

install(TARGETS nembit_library EXPORT nembitTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
                NAMELINK_COMPONENT development
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
        FILE_SET HEADERS COMPONENT development)
install(EXPORT nembitTargets NAMESPACE nembit:: DESTINATION ${NEMBIT_CMAKE_DIR}
        COMPONENT development)
configure_package_config_file(cmake/nembitConfig.cmake.in
  ${PROJECT_BINARY_DIR}/nembitConfig.cmake INSTALL_DESTINATION ${NEMBIT_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/nembitConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/nembitConfig.cmake ${PROJECT_BINARY_DIR}/nembitConfigVersion.cmake
        DESTINATION ${NEMBIT_CMAKE_DIR} COMPONENT development)

# pkg-config: the prefix is found from the file's own place, so that the
# installed tree can be moved. What libnembit itself links is needed on the
# link line of a static libnembit only, as its private libraries.
file(RELATIVE_PATH NEMBIT_PC_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
if(WIN32)
  set(NEMBIT_PC_LIBS_PRIVATE "-lws2_32 -lbcrypt -pthread")
else()
  set(NEMBIT_PC_LIBS_PRIVATE "-pthread")
  foreach(library IN LISTS CMAKE_DL_LIBS)
    string(APPEND NEMBIT_PC_LIBS_PRIVATE " -l${library}")
  endforeach()
endif()
configure_file(cmake/nembit.pc.in ${PROJECT_BINARY_DIR}/nembit.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/nembit.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT development)

# `cmake --build <dir> --target uninstall` removes what the last install put
# in place; only nembit's own build has it, so that a parent project keeps
# its own.
if(PROJECT_IS_TOP_LEVEL)
  add_custom_target(uninstall
    COMMAND ${CMAKE_COMMAND} -DMANIFEST=${PROJECT_BINARY_DIR}/install_manifest.txt
            -DCREATED=${PROJECT_BINARY_DIR}/install_created_folders.txt
            -P ${PROJECT_SOURCE_DIR}/cmake/uninstall.cmake
    COMMENT "Removing what the last install put in place")
endif()
