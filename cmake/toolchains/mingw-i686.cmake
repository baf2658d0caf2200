# 32-bit Windows (the drop-in vialto.dll). The standard calling convention only promises 4-byte
# stack alignment, so functions realign their frames for the SSE kernels; floating point uses SSE
# registers, not the x87 stack, so results match the 64-bit builds.
set(VIALTO_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VIALTO_MINGW_ARCH_FLAGS "-mstackrealign -msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
