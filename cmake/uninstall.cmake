# Removes every file that the install manifest MANIFEST lists, then the
# folders of nembit's own, and those that the install made (the list in
# CREATED), that this leaves empty.
if(NOT EXISTS "${MANIFEST}")
  message(FATAL_ERROR "Nothing to uninstall: ${MANIFEST} does not exist")
endif()
file(STRINGS "${MANIFEST}" files)
set(folders "")
foreach(file IN LISTS files)
  if(EXISTS "${file}" OR IS_SYMLINK "${file}")
    message(STATUS "Removing ${file}")
    file(REMOVE "${file}")
  endif()
  get_filename_component(folder "${file}" DIRECTORY)
  while(folder MATCHES "/nembit(/|$)")
    list(APPEND folders "${folder}")
    get_filename_component(folder "${folder}" DIRECTORY)
  endwhile()
endforeach()
if(EXISTS "${CREATED}")
  file(READ "${CREATED}" created)
  list(APPEND folders ${created})
endif()
list(REMOVE_DUPLICATES folders)
list(SORT folders ORDER DESCENDING)  # Deeper folders first.
foreach(folder IN LISTS folders)
  execute_process(COMMAND rmdir "${folder}" OUTPUT_QUIET ERROR_QUIET)  # Only when empty.
endforeach()
