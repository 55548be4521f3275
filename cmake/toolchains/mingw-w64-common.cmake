# Shared part of the mingw-w64 cross toolchains. The including file sets
# VELMON_MINGW_TRIPLE (x86_64-w64-mingw32 or i686-w64-mingw32) first.
#
# The -posix flavour of the compilers gives std::thread and std::mutex; every
# binary links the runtime (libstdc++, libgcc, winpthread) statically, so the
# DLLs import only Windows system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 5.2)

set(CMAKE_C_COMPILER ${VELMON_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELMON_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELMON_MINGW_TRIPLE}-windres)
set(VELMON_WINDMC ${VELMON_MINGW_TRIPLE}-windmc CACHE FILEPATH "Message compiler")
set(VELMON_DLLTOOL ${VELMON_MINGW_TRIPLE}-dlltool CACHE FILEPATH "Import library tool")
set(VELMON_OBJDUMP ${VELMON_MINGW_TRIPLE}-objdump CACHE FILEPATH "Object dumper")

set(CMAKE_FIND_ROOT_PATH /usr/${VELMON_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
