# Run by CPack on the staged tree of each package before it is packed: gives
# it the shape Debian asks for, with the licence as copyright, a changelog,
# and the manual compressed.
file(GLOB_RECURSE licences "${CPACK_TEMPORARY_DIRECTORY}/LICENSE")
list(FILTER licences INCLUDE REGEX "/share/doc/nembit/LICENSE$")
foreach(licence IN LISTS licences)
  get_filename_component(doc "${licence}" DIRECTORY)
  get_filename_component(share "${doc}/../.." ABSOLUTE)
  file(RENAME "${licence}" "${doc}/copyright")
  file(COPY_FILE "${CPACK_NEMBIT_CHANGELOG}" "${doc}/changelog")
  execute_process(COMMAND gzip -9n "${doc}/changelog" "${share}/man/man1/nembit.1"
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
