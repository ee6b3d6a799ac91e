# The 64-bit Windows test build: the same sources, run under wine64 on
# machines that run no 32-bit program. It is never shipped.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOL_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
