# Read by CPack for each generator it runs, with CPACK_GENERATOR naming it.

# CPack stamps every file, and the archives that hold them, with the time that
# SOURCE_DATE_EPOCH names; one set outside still wins.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_ROOMWALK_EPOCH})
endif()

if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_ROOMWALK_DEB_PROJECTS)
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_ROOMWALK_DEB_PROJECTS}")
  # dpkg-shlibdeps looks for the libraries of the architecture built for.
  set(ENV{DEB_HOST_ARCH} ${CPACK_ROOMWALK_DEB_ARCH})
endif()
