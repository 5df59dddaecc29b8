# docs/changelog, in Debian's format, is the one record of releases: installed compressed as
# share/doc/morvelle/changelog.gz (where Debian keeps a native package's changelog), and the
# source of the release in the AppStream metadata. Its first entry must be this version, so a
# package never ships the notes of another one.

set(MORVELLE_CHANGELOG ${PROJECT_SOURCE_DIR}/docs/changelog)
file(STRINGS ${MORVELLE_CHANGELOG} changelog_lines)

list(GET changelog_lines 0 changelog_head)
if(NOT changelog_head MATCHES "^morvelle \\(([^)]+)\\) ")
  message(FATAL_ERROR "docs/changelog does not start with an entry: ${changelog_head}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "docs/changelog's first entry is ${CMAKE_MATCH_1}, the project is "
                      "${PROJECT_VERSION}: add an entry for ${PROJECT_VERSION}")
endif()

# The first trailer line is the first entry's: " -- NAME <MAIL>  Wed, 09 Dec 2026 06:30:00 +0000".
set(MORVELLE_RELEASE_DATE)
foreach(line IN LISTS changelog_lines)
  if(line MATCHES "^ -- .*>  [A-Z][a-z][a-z], ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    set(day ${CMAKE_MATCH_1})
    set(year ${CMAKE_MATCH_3})
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(FIND months ${CMAKE_MATCH_2} month)
    math(EXPR month "${month} + 1" OUTPUT_FORMAT DECIMAL)
    if(month LESS 10)
      set(month 0${month})
    endif()
    string(LENGTH ${day} day_digits)
    if(day_digits EQUAL 1)
      set(day 0${day})
    endif()
    set(MORVELLE_RELEASE_DATE ${year}-${month}-${day})
    break()
  endif()
endforeach()
if(NOT MORVELLE_RELEASE_DATE)
  message(FATAL_ERROR "docs/changelog: no trailer line with a date in its first entry")
endif()

# gzip -9n as Debian compresses it: no name or time stamp, so the package is reproducible.
find_program(MORVELLE_GZIP gzip REQUIRED)
set(changelog_copy ${PROJECT_BINARY_DIR}/doc/changelog)
configure_file(${MORVELLE_CHANGELOG} ${changelog_copy} COPYONLY)
add_custom_command(
  OUTPUT ${changelog_copy}.gz
  COMMAND ${MORVELLE_GZIP} -9 -n -f -k ${changelog_copy}
  DEPENDS ${changelog_copy}
  COMMENT "Compressing docs/changelog"
  VERBATIM)
add_custom_target(morvelle_changelog ALL DEPENDS ${changelog_copy}.gz)
install(FILES ${changelog_copy}.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/morvelle)
