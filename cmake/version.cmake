# This build's version: project(VERSION), or TESSALY_VERSION where it is
# set, as for building a later release to try an upgrade with. It has three
# fields, as Windows Installer orders them: a fourth would be ignored, so a
# release that changes only it could never replace the one before. Gives
# TESSALY_RELEASE_VERSION ("1.0.0"), its fields TESSALY_VERSION_MAJOR,
# _MINOR and _PATCH, and TESSALY_FILE_VERSION ("1.0.0.0"), the exe's.
set(TESSALY_VERSION "" CACHE STRING
  "This build's version instead of the project's, MAJOR.MINOR.PATCH")
if(TESSALY_VERSION STREQUAL "")
  set(TESSALY_RELEASE_VERSION "${PROJECT_VERSION}")
else()
  set(TESSALY_RELEASE_VERSION "${TESSALY_VERSION}")
endif()
if(NOT TESSALY_RELEASE_VERSION MATCHES "^(0|[1-9][0-9]*)\\.(0|[1-9][0-9]*)\\.(0|[1-9][0-9]*)$")
  message(FATAL_ERROR "The version \"${TESSALY_RELEASE_VERSION}\" is not "
    "MAJOR.MINOR.PATCH: a release's version has three fields, as Windows "
    "Installer reads them; it ignores a fourth, so a release that differed "
    "only there could not upgrade the one before.")
endif()
set(TESSALY_VERSION_MAJOR "${CMAKE_MATCH_1}")
set(TESSALY_VERSION_MINOR "${CMAKE_MATCH_2}")
set(TESSALY_VERSION_PATCH "${CMAKE_MATCH_3}")
if(TESSALY_VERSION_MAJOR GREATER 255 OR TESSALY_VERSION_MINOR GREATER 255
    OR TESSALY_VERSION_PATCH GREATER 65535)
  message(FATAL_ERROR "The version \"${TESSALY_RELEASE_VERSION}\" cannot be "
    "ordered by Windows Installer, whose versions go up to 255.255.65535.")
endif()
set(TESSALY_FILE_VERSION "${TESSALY_RELEASE_VERSION}.0")
