# Bare-metal Cortex-M0 build of the flash algorithm image: clang and ld.lld, no C library.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR armv6m)
set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET armv6m-none-eabi)
set(CMAKE_ASM_COMPILER clang)
set(CMAKE_ASM_COMPILER_TARGET armv6m-none-eabi)
set(CMAKE_LINKER ld.lld)
# There is no C library to link a test program against.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_C_FLAGS_INIT "-mcpu=cortex-m0 -mthumb -mfloat-abi=soft -fropi -frwpi -ffreestanding -fno-builtin")
