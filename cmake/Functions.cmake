# The functions by which every folder adds its parts: its object library,
# its unit tests, and the helpers that the program starts or loads.

# Adds a GoogleTest executable built from `sources`, linked with libnembit
# and `libs`; each of its tests is one test of CTest.
function(nembit_add_unit_test name)
  if(NOT NEMBIT_UNIT_TESTS)
    return()
  endif()
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "SOURCES;LIBS")
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE nembit::nembit nembit::options ${ARG_LIBS}
                        GTest::gtest GTest::gtest_main GTest::gmock)
  # Unoptimised: the tests' heavy headers then take half the time to compile,
  # and what they test is the library, built as it ships.
  target_compile_options(${name} PRIVATE -O0)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
  # Discovered when the tests run, so that a build for Windows needs no Wine.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 120)
endfunction()

# Adds the object library nembit_<name> of the calling folder, with its
# alias nembit::<name>, built from the portable SOURCES, from those that only
# one platform uses (POSIX or WIN32: the portable side of what that platform
# alone has, such as the clipboard tools), and, for each base in PLATFORM,
# from the file of the platform being built for: <base>_posix.cpp or
# <base>_win32.cpp, where the folder has one (common/utf16_win32.cpp has no
# POSIX twin). A base with no file for any platform is an error. This is how
# every folder picks its platform files.
function(nembit_object_library name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "SOURCES;POSIX;WIN32;PLATFORM")
  string(TOUPPER ${NEMBIT_PLATFORM} platform)
  set(sources ${ARG_SOURCES} ${ARG_${platform}})
  foreach(base IN LISTS ARG_PLATFORM)
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${base}_posix.cpp AND
       NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${base}_win32.cpp)
      message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}: no ${base}_posix.cpp or ${base}_win32.cpp")
    endif()
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${base}_${NEMBIT_PLATFORM}.cpp)
      list(APPEND sources ${base}_${NEMBIT_PLATFORM}.cpp)
    endif()
  endforeach()
  add_library(nembit_${name} OBJECT ${sources})
  add_library(nembit::${name} ALIAS nembit_${name})
  target_link_libraries(nembit_${name} PRIVATE nembit::options)
endfunction()

# Adds a helper that the program starts (KIND EXECUTABLE) or loads (KIND
# MODULE) when a run needs it, named OUTPUT_NAME, built from SOURCES with
# the pkg-config module PACKAGE into the helpers' folder. It uses the C
# library and PACKAGE alone: no C++ runtime of its own, no exceptions.
# Without PACKAGE it is not built, and the program does without it. Within
# another project it is built with the library (see below), where the
# library finds it.
function(nembit_add_helper target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "KIND;OUTPUT_NAME;PACKAGE" "SOURCES")
  find_package(PkgConfig)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(${target}_package IMPORTED_TARGET GLOBAL ${ARG_PACKAGE})
  endif()
  if(NOT ${target}_package_FOUND)
    message(NOTICE "-- ${ARG_PACKAGE} not found: ${ARG_OUTPUT_NAME} is not built")
    return()
  endif()
  set(exclude)
  if(NOT PROJECT_IS_TOP_LEVEL AND NOT NEMBIT_INSTALL)
    set(exclude EXCLUDE_FROM_ALL)
  endif()
  if(ARG_KIND STREQUAL "MODULE")
    add_library(${target} MODULE ${exclude} ${ARG_SOURCES})
    set_target_properties(${target} PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden
      LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/${NEMBIT_HELPERS_DESTINATION})
  else()
    add_executable(${target} ${exclude} ${ARG_SOURCES})
    set_target_properties(${target} PROPERTIES
      RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/${NEMBIT_HELPERS_DESTINATION})
  endif()
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  set_property(GLOBAL APPEND PROPERTY NEMBIT_HELPERS ${target})
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>)
  target_link_options(${target} PRIVATE -Wl,--as-needed -static-libgcc)
  target_link_libraries(${target} PRIVATE PkgConfig::${target}_package nembit::options)
  if(NEMBIT_INSTALL)
    install(TARGETS ${target} RUNTIME DESTINATION ${NEMBIT_HELPERS_DESTINATION} COMPONENT runtime
            LIBRARY DESTINATION ${NEMBIT_HELPERS_DESTINATION} COMPONENT runtime)
  endif()
endfunction()
