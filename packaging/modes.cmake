# Run by CPack on what it is about to pack: the directories that it and the
# install made, with modes that the umask of the build took from, are given
# those of the install rules' own directories.
file(GLOB_RECURSE directories LIST_DIRECTORIES true "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(directory "${CPACK_TEMPORARY_INSTALL_DIRECTORY}" ${directories})
  if(IS_DIRECTORY "${directory}")
    file(CHMOD "${directory}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                          WORLD_READ WORLD_EXECUTE)
  endif()
endforeach()
