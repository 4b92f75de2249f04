# The Win32 services and Tessaly.exe itself.

# Static, so the programs import only the system's own DLLs.
add_link_options(-static)

add_library(tessaly_win32 STATIC
  services/command_line_win32.cpp
  services/environment_helper_win32.cpp
  services/file_helper_win32.cpp
  services/helper_component_win32.cpp
  services/message_box_win32.cpp
  services/program_launcher_win32.cpp
  services/win32_support_win32.cpp
)
target_compile_definitions(tessaly_win32 PUBLIC
  UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
target_link_libraries(tessaly_win32 PUBLIC tessaly_core shell32)

add_executable(Tessaly WIN32 services/run_time_win32.cpp)
target_link_libraries(Tessaly PRIVATE tessaly_win32)
target_link_options(Tessaly PRIVATE -municode $<$<CONFIG:Release>:-s>)
