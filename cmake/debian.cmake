# The Debian package, made by `cpack -G DEB` in a Release build folder. It lays
# the game out as Debian's policy for games has it, apart from the plain
# install: the game in /usr/games, the manual page and the changelog
# compressed, and the licence as a machine-readable copyright file.

set(ROOMWALK_MAINTAINER "roomwalk authors <authors@roomwalk.invalid>"
    CACHE STRING "Who the Debian package names as its maintainer")

# The Debian architecture the compiler builds for, cross compilers included,
# as dpkg's tools name it.
find_program(DPKG_ARCHITECTURE dpkg-architecture)
if(DPKG_ARCHITECTURE AND CMAKE_LIBRARY_ARCHITECTURE)
  execute_process(COMMAND ${DPKG_ARCHITECTURE} -t ${CMAKE_LIBRARY_ARCHITECTURE} -qDEB_HOST_ARCH
                  OUTPUT_VARIABLE ROOMWALK_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()

# A Release build takes every hardening flag that Debian builds its own
# packages with for that architecture; the build type keeps the say on
# optimisation and debugging.
if(CMAKE_BUILD_TYPE STREQUAL "Release")
  find_program(DPKG_BUILDFLAGS dpkg-buildflags)
  if(DPKG_BUILDFLAGS)
    # Where the architecture is not known, dpkg-buildflags gives this machine's.
    set(host)
    if(ROOMWALK_DEB_ARCH)
      set(host DEB_HOST_ARCH=${ROOMWALK_DEB_ARCH})
    endif()
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
      execute_process(
        COMMAND ${CMAKE_COMMAND} -E env ${host} DEB_BUILD_MAINT_OPTIONS=hardening=+all
                "DEB_CXXFLAGS_MAINT_STRIP=-g -O2" ${DPKG_BUILDFLAGS} --get ${kind}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
      separate_arguments(hardening_${kind} UNIX_COMMAND "${flags}")
    endforeach()
    target_compile_options(roomwalk PRIVATE ${hardening_CPPFLAGS} ${hardening_CXXFLAGS})
    target_link_options(roomwalk PRIVATE ${hardening_LDFLAGS})
  endif()
endif()

set(debian ${PROJECT_BINARY_DIR}/debian)

# The licence's own words, under the copyright line it names.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" notice "${licence}")
set(holders "${CMAKE_MATCH_1}")
string(FIND "${licence}" "Permission is hereby granted" start)
string(SUBSTRING "${licence}" ${start} -1 terms)
string(STRIP "${terms}" terms)
string(REPLACE "\n\n" "\n.\n" terms "${terms}")
string(REPLACE "\n" "\n " terms "${terms}")
file(WRITE ${debian}/copyright
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: ${PROJECT_NAME}\n\n"
     "Files: *\n"
     "Copyright: ${holders}\n"
     "License: Expat\n"
     " ${terms}\n")

configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in changelog @ONLY)
find_program(GZIP gzip)
if(GZIP)
  # Compressed as Debian's tools do: at the most, and without a time stamp;
  # from copies, as gzip takes the place of what it compresses.
  add_custom_command(
    OUTPUT ${debian}/roomwalk.6.gz ${debian}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_BINARY_DIR}/roomwalk.6 ${PROJECT_BINARY_DIR}/changelog ${debian}
    COMMAND ${GZIP} -9nf ${debian}/roomwalk.6 ${debian}/changelog
    DEPENDS ${PROJECT_BINARY_DIR}/roomwalk.6 ${PROJECT_BINARY_DIR}/changelog
    VERBATIM)
  add_custom_target(debian ALL DEPENDS ${debian}/roomwalk.6.gz ${debian}/changelog.gz)
endif()

install(TARGETS roomwalk RUNTIME DESTINATION games COMPONENT debian EXCLUDE_FROM_ALL)
# Stripped as Debian's tools strip a program: its symbols and the sections
# that only say how it was built.
install(CODE "
  execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                          \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/games/roomwalk\"
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR \"could not strip the game\")
  endif()"
        COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${debian}/roomwalk.6.gz DESTINATION share/man/man6 COMPONENT debian
        EXCLUDE_FROM_ALL)
install(FILES ${debian}/copyright ${debian}/changelog.gz DESTINATION share/doc/roomwalk
        COMPONENT debian EXCLUDE_FROM_ALL)

# Only the DEB generator takes this layout; see packaging/cpack.cmake.
set(CPACK_ROOMWALK_DEB_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};debian;/")
if(ROOMWALK_DEB_ARCH)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE "${ROOMWALK_DEB_ARCH}")
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ROOMWALK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
