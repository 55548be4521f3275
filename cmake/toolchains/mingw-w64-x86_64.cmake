# Cross build for 64-bit Windows with mingw-w64; test programs run under
# Wine (wine64), which also serves gtest_discover_tests.
set(VELMON_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

find_program(VELMON_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine NO_CMAKE_FIND_ROOT_PATH)
if(VELMON_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELMON_WINE64})
endif()
