# The Win32 services and Tessaly.exe itself.
enable_language(RC)

# Static, so the programs import only the system's own DLLs.
add_link_options(-static)
# SSE2, which every x86 processor since 2003 has and Windows 8 and later
# require, lets the conversion scan eight units at a time and the reader
# decode sixteen bytes of ASCII at a time. The core was defined before this
# file was read, so it is given the options itself.
set(TESSALY_SSE2_OPTIONS -msse2 -mfpmath=sse)
add_compile_options(${TESSALY_SSE2_OPTIONS})
target_compile_options(tessaly_core PRIVATE ${TESSALY_SSE2_OPTIONS})

# The Win32 implementations of the services (win32/).
add_library(tessaly_win32 STATIC
  win32/command_line.cpp
  win32/environment.cpp
  win32/failure.cpp
  win32/file_exists.cpp
  win32/file_read.cpp
  win32/file_write.cpp
  win32/helper_component.cpp
  win32/legacy_code_page.cpp
  win32/message_box.cpp
  win32/private_security.cpp
  win32/program_launcher.cpp
  win32/scratch_files.cpp
  win32/scratch_sweep.cpp
  win32/support.cpp
)
target_compile_definitions(tessaly_win32 PUBLIC
  UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
target_link_libraries(tessaly_win32 PUBLIC tessaly_core)

# Resources: the version comes from cmake/version.cmake, the icon from its
# generator, the manifest from its template. The release scripts read PE
# files with python3-pefile and copyright files with python3-debian, which
# Debian's own Python has; one that pyenv or a virtual environment puts
# first on PATH may not.
if(EXISTS /usr/bin/python3 AND NOT DEFINED Python3_EXECUTABLE)
  set(Python3_EXECUTABLE /usr/bin/python3)
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(resource_dir "${PROJECT_BINARY_DIR}/resources")
if(TESSALY_VERSION_MINOR LESS 10)
  set(TESSALY_VERSION_TEXT "${TESSALY_VERSION_MAJOR}.0${TESSALY_VERSION_MINOR}")
else()
  set(TESSALY_VERSION_TEXT "${TESSALY_VERSION_MAJOR}.${TESSALY_VERSION_MINOR}")
endif()
configure_file(resources/version.h.in "${resource_dir}/version.h" @ONLY)
configure_file(resources/tessaly.manifest.in "${resource_dir}/tessaly.manifest" @ONLY)
file(WRITE "${resource_dir}/resource_files.h.tmp"
  "#define TESSALY_ICON_FILE \"${resource_dir}/tessaly.ico\"\n"
  "#define TESSALY_MANIFEST_FILE \"${resource_dir}/tessaly.manifest\"\n")
configure_file("${resource_dir}/resource_files.h.tmp"
  "${resource_dir}/resource_files.h" COPYONLY)
add_custom_command(
  OUTPUT "${resource_dir}/tessaly.ico"
  COMMAND Python3::Interpreter "${PROJECT_SOURCE_DIR}/resources/make_icon.py"
          "${resource_dir}/tessaly.ico"
  DEPENDS resources/make_icon.py
  COMMENT "Drawing the icon")
set_source_files_properties(resources/tessaly.rc PROPERTIES
  OBJECT_DEPENDS "${resource_dir}/tessaly.ico;${resource_dir}/tessaly.manifest")

add_executable(Tessaly WIN32 main/run_time.cpp resources/tessaly.rc)
target_include_directories(Tessaly PRIVATE resources "${resource_dir}")
target_link_libraries(Tessaly PRIVATE tessaly_win32)
# No link time in the header, so that the same sources give the same bytes.
# Terminal-server aware: without it a Remote Desktop server gives the
# program a private Windows folder per user, with no Notepad in it.
target_link_options(Tessaly PRIVATE -municode -Wl,--no-insert-timestamp
  -Wl,--dynamicbase -Wl,--nxcompat -Wl,--tsaware $<$<CONFIG:Release>:-s>)
# The linker leaves the PE checksum 0; fill it in as Windows computes it.
add_custom_command(TARGET Tessaly POST_BUILD
  COMMAND Python3::Interpreter "${PROJECT_SOURCE_DIR}/cmake/pe_file.py"
          "$<TARGET_FILE:Tessaly>"
  VERBATIM)

# The 64-bit build exists to test the same sources where 32-bit programs
# cannot run; only the 32-bit one ships.
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
  return()
endif()

# A 32-bit viewer of big files wants all the address space it can get.
target_link_options(Tessaly PRIVATE -Wl,--large-address-aware)
# The link map names every archive member linked in, for the third-party
# notices; writing it leaves the exe's bytes as they are.
set(link_map "${PROJECT_BINARY_DIR}/Tessaly.map")
target_link_options(Tessaly PRIVATE "-Wl,-Map,${link_map}")

# The release: Tessaly.exe, the user's guide as README.txt, the licence and
# the third-party notices, the text files with Windows line ends for
# Notepad, in a zip and in two Windows Installer packages (per machine and
# per user), whose bytes depend only on the sources and the toolchain's
# packages; a CycloneDX bill of materials and SHA256SUMS beside them. cmake/release.py
# signs them too where TESSALY_SIGN_PKCS12 and TESSALY_SIGN_PASSWORD are
# set when the target is built; they are read then, never stored here.
set(release_text_dir "${PROJECT_BINARY_DIR}/release-text")
configure_file(LICENSE "${release_text_dir}/LICENSE.txt" @ONLY
  NEWLINE_STYLE CRLF)
set(release_base "${PROJECT_BINARY_DIR}/Tessaly-${TESSALY_RELEASE_VERSION}-win32")
# Where the release's files are published, for the winget and Scoop
# manifests. Left empty, it follows from a GitHub origin and the version's
# tag; where neither gives one, no manifests are made.
set(TESSALY_RELEASE_URL "" CACHE STRING
  "Base URL of the release's files, for the winget and Scoop manifests")
set(release_url "${TESSALY_RELEASE_URL}")
if(release_url STREQUAL "")
  execute_process(COMMAND git -C "${PROJECT_SOURCE_DIR}" remote get-url origin
    OUTPUT_VARIABLE origin OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_QUIET RESULT_VARIABLE no_origin)
  if(NOT no_origin AND origin MATCHES "github\\.com[:/]([^/]+)/([^/]+)$")
    set(owner "${CMAKE_MATCH_1}")
    string(REGEX REPLACE "\\.git$" "" repository "${CMAKE_MATCH_2}")
    set(release_url "https://github.com/${owner}/${repository}/releases/download/v${TESSALY_RELEASE_VERSION}")
  endif()
endif()
add_custom_target(package
  COMMAND Python3::Interpreter "${PROJECT_SOURCE_DIR}/cmake/release.py"
          --source-dir "${PROJECT_SOURCE_DIR}" --out-dir "${PROJECT_BINARY_DIR}"
          --version "${TESSALY_RELEASE_VERSION}" --exe "$<TARGET_FILE:Tessaly>"
          --readme "${PROJECT_SOURCE_DIR}/docs/user-guide.txt"
          --license "${release_text_dir}/LICENSE.txt"
          --icon "${resource_dir}/tessaly.ico"
          --wxs "${PROJECT_SOURCE_DIR}/resources/tessaly.wxs"
          --release-url "${release_url}"
  BYPRODUCTS "${release_base}.zip" "${release_base}.msi"
             "${release_base}-peruser.msi" "${release_base}.cdx.json"
             "${PROJECT_BINARY_DIR}/SHA256SUMS"
  COMMENT "Packing the release in ${PROJECT_BINARY_DIR}"
  VERBATIM)
add_dependencies(package Tessaly)
