# 64-bit Windows (the build whose tests run under wine64). mingw-w64 does not align the stack for
# 32-byte AVX spills, so aligned vector moves are assembled as unaligned ones.
set(VIALTO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VIALTO_MINGW_ARCH_FLAGS "-Wa,-muse-unaligned-vector-move")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
