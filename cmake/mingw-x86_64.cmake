# Cross build of the 64-bit twin: the same sources for x86_64, for machines that run no
# 32-bit code (the Windows tests run on it there, under wine64) and to keep the code
# 64-bit clean.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
