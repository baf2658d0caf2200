# Shared part of the mingw-w64 toolchains; the per-architecture files set VIALTO_MINGW_TRIPLE and
# VIALTO_MINGW_ARCH_FLAGS first. The posix thread model's compilers are used: std::thread and
# GoogleTest need it. The runtimes (libgcc, libstdc++, winpthread) are linked statically, so the
# DLL and the test programs need no other DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VIALTO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VIALTO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VIALTO_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${VIALTO_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${VIALTO_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${VIALTO_MINGW_TRIPLE}-objdump CACHE FILEPATH "")
set(CMAKE_DLLTOOL ${VIALTO_MINGW_TRIPLE}-dlltool CACHE FILEPATH "")

set(CMAKE_C_FLAGS_INIT "${VIALTO_MINGW_ARCH_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${VIALTO_MINGW_ARCH_FLAGS}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Libraries cross-built for this target (libjpeg-turbo, GoogleTest) are installed under the prefix
# VIALTO_WINDOWS_DEPS; it and the compiler's own tree are the only places searched, so the build
# machine's headers and libraries are never used.
set(VIALTO_WINDOWS_DEPS "" CACHE PATH "Prefix of the libraries cross-built for this target")
set(CMAKE_FIND_ROOT_PATH /usr/${VIALTO_MINGW_TRIPLE} ${VIALTO_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs built here run under wine; try_run and test discovery go through it.
find_program(VIALTO_WINE wine)
if(VIALTO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VIALTO_WINE})
endif()
