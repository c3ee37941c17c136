# Run by CPack on the staged tree of each package before it is packed: gives
# it the shape Debian asks for. Each package gets its copyright, in the
# machine-readable format, and its changelog; the manual is compressed,
# binaries are stripped as dh_strip strips them, and lintian learns of its
# false alarms. The command's libraries become the package's dependencies,
# and those of its helpers, which only some runs need, its recommendations.

# What dpkg-shlibdeps finds that `files` need, as a list.
function(nembit_shlibdeps out)
  set(scratch "${CPACK_TEMPORARY_DIRECTORY}/shlibdeps")
  file(MAKE_DIRECTORY "${scratch}/debian")
  file(TOUCH "${scratch}/debian/control")
  execute_process(COMMAND dpkg-shlibdeps -O ${ARGN} WORKING_DIRECTORY "${scratch}"
                  OUTPUT_VARIABLE output ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${scratch}")
  string(REGEX REPLACE "^.*Depends=" "" output "${output}")
  string(STRIP "${output}" output)
  string(REPLACE ", " ";" output "${output}")
  set(${out} "${output}" PARENT_SCOPE)
endfunction()
file(GLOB packages LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(stage IN LISTS packages)
  if(NOT IS_DIRECTORY "${stage}/usr")
    continue()
  endif()
  get_filename_component(component "${stage}" NAME)
  if(component STREQUAL "runtime")
    set(package nembit)
  else()
    set(package libnembit-dev)
  endif()
  set(doc "${stage}/usr/share/doc/${package}")
  file(REMOVE "${stage}/usr/share/doc/nembit/LICENSE")
  file(MAKE_DIRECTORY "${doc}")
  file(COPY_FILE "${CPACK_NEMBIT_COPYRIGHT}" "${doc}/copyright")
  file(COPY_FILE "${CPACK_NEMBIT_CHANGELOG}" "${doc}/changelog")
  execute_process(COMMAND gzip -9n "${doc}/changelog" COMMAND_ERROR_IS_FATAL ANY)
  if(EXISTS "${stage}/usr/share/man/man1/nembit.1")
    execute_process(COMMAND gzip -9n "${stage}/usr/share/man/man1/nembit.1"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
  if(package STREQUAL "nembit")
    file(MAKE_DIRECTORY "${stage}/usr/share/lintian/overrides")
    file(COPY_FILE "${CPACK_NEMBIT_LINTIAN_OVERRIDES}" "${stage}/usr/share/lintian/overrides/nembit")
  endif()
  file(GLOB executables "${stage}/usr/bin/*")
  foreach(executable IN LISTS executables)
    execute_process(COMMAND strip --remove-section=.comment --remove-section=.note
                            "${executable}" COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
  # The helpers that some runs start or load: nembit-desktop.so and
  # nembit-clipboard-owner.
  file(GLOB_RECURSE helpers "${stage}/usr/lib/*/nembit/*" "${stage}/usr/lib/nembit/*")
  foreach(helper IN LISTS helpers)
    set(unneeded "")
    if(helper MATCHES "\\.so$")
      set(unneeded --strip-unneeded)
    endif()
    execute_process(COMMAND strip --remove-section=.comment --remove-section=.note ${unneeded}
                            "${helper}" COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
  if(package STREQUAL "nembit")
    nembit_shlibdeps(depends ${executables})
    list(JOIN depends ", " CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS)
    if(helpers)
      nembit_shlibdeps(recommends ${helpers})
      list(FILTER recommends EXCLUDE REGEX "^libc6( |$)")
      list(PREPEND recommends "${CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS}")
      list(JOIN recommends ", " CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS)
    endif()
  endif()
  file(GLOB_RECURSE archives "${stage}/usr/lib/*.a")
  foreach(archive IN LISTS archives)
    execute_process(COMMAND strip --strip-debug --remove-section=.comment --remove-section=.note
                            --enable-deterministic-archives "${archive}"
                    COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
endforeach()
