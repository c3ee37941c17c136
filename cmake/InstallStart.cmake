# The first steps of `cmake --install`, before any file is put in place:
# the folders it puts files in, and a word when the prefix is not the one
# nembit was configured for. Included before the folders' own install rules.
set(NEMBIT_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/nembit)
set(NEMBIT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/nembit)

# libnembit finds its helpers and files where it was configured to go, so a
# program that links it finds them; an install under another prefix is said
# to be one that such programs do not find.
install(CODE "
  if(NOT CMAKE_INSTALL_PREFIX STREQUAL \"${CMAKE_INSTALL_PREFIX}\")
    message(WARNING \"nembit was configured for ${CMAKE_INSTALL_PREFIX}; installed under \"
      \"\${CMAKE_INSTALL_PREFIX}, its command works, but a program that links libnembit \"
      \"looks for its helpers and files in ${CMAKE_INSTALL_PREFIX}. Configure with \"
      \"-DCMAKE_INSTALL_PREFIX=\${CMAKE_INSTALL_PREFIX} (make install PREFIX=... does).\")
  endif()" COMPONENT development)

# The folders that the install puts files in; those of them, and of their
# parents below the prefix, that do not exist yet are noted, so that the
# uninstall removes the ones it leaves empty.
set(NEMBIT_INSTALL_FOLDERS ${CMAKE_INSTALL_BINDIR} ${NEMBIT_DATA_DESTINATION} ${NEMBIT_DOC_DIR}
    ${NEMBIT_CMAKE_DIR} ${CMAKE_INSTALL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_INCLUDEDIR}/nembit
    ${NEMBIT_HELPERS_DESTINATION} ${CMAKE_INSTALL_MANDIR}/man1
    ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
    ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions
    ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)
install(CODE "
  set(created \"\")
  foreach(folder IN ITEMS ${NEMBIT_INSTALL_FOLDERS})
    while(NOT folder STREQUAL \".\" AND NOT folder STREQUAL \"\")
      set(path \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${folder}\")
      if(NOT IS_DIRECTORY \"\${path}\")
        list(APPEND created \"\${path}\")
      endif()
      get_filename_component(folder \"\${folder}\" DIRECTORY)
    endwhile()
  endforeach()
  file(WRITE \"${PROJECT_BINARY_DIR}/install_created_folders.txt\" \"\${created}\")")
