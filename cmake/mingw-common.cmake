# What the two Windows builds share; each toolchain file names its compilers and includes this.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_FIND_ROOT_PATH /usr/${QX48_MINGW_TRIPLET})
set(CMAKE_C_COMPILER ${QX48_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QX48_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QX48_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Every test program of these builds runs through Wine, in the project's own prefix; the script
# picks the loader that can run it on this machine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
