# Read by CPack for each generator it runs, with CPACK_GENERATOR naming it.

# CPack stamps every file, and the archives that hold them, with the time that
# SOURCE_DATE_EPOCH names; one set outside still wins.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_ROOMWALK_EPOCH})
endif()
# A zip's times are those of a wall clock, told in the packer's time zone.
set(ENV{TZ} UTC0)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/modes.cmake)

if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_ROOMWALK_DEB_PROJECTS)
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_ROOMWALK_DEB_PROJECTS}")
  set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/repack.cmake)
endif()
