# Cross build for 32-bit Windows (the agent's real target) with mingw-w64.
# Link only: no emulator, so no tests run from this build.
set(VELMON_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
