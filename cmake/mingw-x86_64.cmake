# 64-bit Windows: the same sources, for running the Windows tests under a Wine that can only run
# 64-bit programs (on Linux kernels whose 32-bit emulation is switched off).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(SETUP_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
