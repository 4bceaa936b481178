# Cross-builds for 64-bit Windows with Debian's MinGW-w64 (posix thread model, so
# std::thread and std::mutex work). TAMARIND_WIN_PREFIX names the folder the
# libraries were cross-built into (scripts/windows); CMake and pkg-config
# look there only, never at the host's libraries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAMARIND_WIN_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
