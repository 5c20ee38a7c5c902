# The moment of the release, ROOMWALK_RELEASED, as the seconds since 1970 that
# the packages' time stamps take (ROOMWALK_EPOCH) and as the dates the manual
# page (ROOMWALK_DATE) and the changelog (ROOMWALK_CHANGELOG_DATE) show. A
# SOURCE_DATE_EPOCH in the environment stands in for it, as the
# reproducible-builds convention has it.

set(ROOMWALK_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
if(ROOMWALK_EPOCH STREQUAL "")
  if(NOT ROOMWALK_RELEASED MATCHES "^([0-9]+)-([0-9]+)-([0-9]+)T([0-9]+):([0-9]+):([0-9]+)Z$")
    message(FATAL_ERROR "ROOMWALK_RELEASED is not YYYY-MM-DDThh:mm:ssZ: ${ROOMWALK_RELEASED}")
  endif()
  # Leading zeros off, lest a number be taken for octal.
  foreach(i RANGE 1 6)
    set(part${i} "${CMAKE_MATCH_${i}}")
  endforeach()
  foreach(i RANGE 1 6)
    string(REGEX REPLACE "^0+([0-9])" "\\1" part${i} "${part${i}}")
  endforeach()
  # Days since 1970 by the civil calendar, counted from March so that a leap
  # day ends its year.
  math(EXPR y "${part1} - (14 - ${part2}) / 12")
  math(EXPR era "${y} / 400")
  math(EXPR yoe "${y} - ${era} * 400")
  math(EXPR doy "(153 * ((${part2} + 9) % 12) + 2) / 5 + ${part3} - 1")
  math(EXPR days "${era} * 146097 + ${yoe} * 365 + ${yoe} / 4 - ${yoe} / 100 + ${doy} - 719468")
  math(EXPR ROOMWALK_EPOCH "${days} * 86400 + ${part4} * 3600 + ${part5} * 60 + ${part6}")
endif()

# string(TIMESTAMP) tells the time that SOURCE_DATE_EPOCH names.
set(outside "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} ${ROOMWALK_EPOCH})
string(TIMESTAMP ROOMWALK_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP ROOMWALK_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
if(NOT outside STREQUAL "")
  set(ENV{SOURCE_DATE_EPOCH} "${outside}")
else()
  unset(ENV{SOURCE_DATE_EPOCH})
endif()
