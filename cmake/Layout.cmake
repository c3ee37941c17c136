# Where nembit's files go, in the build tree and installed, and where the
# program finds them again: its own files (the version file, the icon) and
# the helpers that it starts or loads when a run needs them.
# The build tree has the layout of an install: bin/nembit beside share/nembit/,
# or on Windows bin/nembit.exe with its own files beside it.
if(WIN32)
  set(NEMBIT_DATA_DESTINATION ${CMAKE_INSTALL_BINDIR})
else()
  set(NEMBIT_DATA_DESTINATION ${CMAKE_INSTALL_DATADIR}/nembit)
endif()
if(PROJECT_IS_TOP_LEVEL)
  set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/${CMAKE_INSTALL_BINDIR})
  set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/${CMAKE_INSTALL_LIBDIR})
endif()
set(NEMBIT_DATA_DIR ${PROJECT_BINARY_DIR}/${NEMBIT_DATA_DESTINATION})
# The helpers that the program starts or loads when a run needs them
# (nembit-desktop.so, the clipboard owners), in a folder of their own below
# the libraries.
set(NEMBIT_HELPERS_DESTINATION ${CMAKE_INSTALL_LIBDIR}/nembit)
# Where the program finds its files, relative to its executable's folder;
# a program that links libnembit also finds the helpers where they are
# installed.
set(NEMBIT_HELPERS_INSTALLED "")
set(NEMBIT_DATA_INSTALLED "")
set(NEMBIT_HELPERS_BUILT "")
set(NEMBIT_DATA_BUILT "")
if(WIN32)
  set(NEMBIT_DATA_FROM_BIN ".")
  set(NEMBIT_HELPERS_FROM_BIN ".")
  if(NEMBIT_INSTALL)
    set(NEMBIT_HELPERS_INSTALLED ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR})
  endif()
else()
  if(NEMBIT_INSTALL)
    set(NEMBIT_HELPERS_INSTALLED ${CMAKE_INSTALL_PREFIX}/${NEMBIT_HELPERS_DESTINATION})
    set(NEMBIT_DATA_INSTALLED ${CMAKE_INSTALL_PREFIX}/${NEMBIT_DATA_DESTINATION})
  endif()
  if(NOT PROJECT_IS_TOP_LEVEL)
    set(NEMBIT_HELPERS_BUILT ${PROJECT_BINARY_DIR}/${NEMBIT_HELPERS_DESTINATION})
    set(NEMBIT_DATA_BUILT ${PROJECT_BINARY_DIR}/${NEMBIT_DATA_DESTINATION})
  endif()
  file(RELATIVE_PATH NEMBIT_DATA_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR}
       ${CMAKE_INSTALL_PREFIX}/${NEMBIT_DATA_DESTINATION})
  file(RELATIVE_PATH NEMBIT_HELPERS_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR}
       ${CMAKE_INSTALL_PREFIX}/${NEMBIT_HELPERS_DESTINATION})
endif()
