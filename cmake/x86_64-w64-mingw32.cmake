# The same sources for 64-bit Windows: a test vehicle for the Wine suites on
# machines that cannot run 32-bit programs, never shipped.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
