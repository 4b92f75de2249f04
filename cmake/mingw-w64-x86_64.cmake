# Cross-building for 64-bit Windows: the same sources, so that they can be
# tested under 64-bit Wine where 32-bit programs cannot run.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
