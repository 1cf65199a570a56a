# 64-bit Windows: the test and demo vehicle where 32-bit Wine cannot run, and
# uninstdat.exe.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
