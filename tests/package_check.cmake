# Builds the release zip in BINARY_DIR and checks what it holds.
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${BINARY_DIR}" --target package
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "packaging failed:\n${output}")
endif()
set(zip "${BINARY_DIR}/Tessaly-1.0-win32.zip")
if(NOT EXISTS "${zip}")
  message(FATAL_ERROR "no ${zip}")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar tf "${zip}"
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" entries "${listing}")
list(SORT entries)
if(NOT entries STREQUAL "LICENSE.txt;README.txt;Tessaly.exe")
  message(FATAL_ERROR "the zip holds: ${entries}")
endif()
message(STATUS "${zip}: ${entries}")
