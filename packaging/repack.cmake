# Run by CPack on the Debian packages it has made. CPack writes the package's
# outer archive with the umask's modes on its members; dpkg-deb writes it the
# same way every time, from the same tree, its time stamps SOURCE_DATE_EPOCH.
find_program(DPKG_DEB dpkg-deb REQUIRED)
foreach(package ${CPACK_PACKAGE_FILES})
  set(tree "${package}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND ${DPKG_DEB} --raw-extract "${package}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  set(CPACK_TEMPORARY_INSTALL_DIRECTORY "${tree}")
  include(${CMAKE_CURRENT_LIST_DIR}/modes.cmake)
  execute_process(COMMAND ${DPKG_DEB} --root-owner-group -Zgzip --build "${tree}" "${package}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
endforeach()
