# 32-bit Windows build with mingw-w64 (posix threads): runs on every Windows.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QX48_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
