# Cross-compiles the same sources for 64-bit Windows, to build, run and test where the kernel
# runs no 32-bit programs (and so no 32-bit Wine). The product that ships stays 32-bit.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Wine's 64-bit loader by the name "wine" (see the script); the tests find it on PATH too.
set(CHATHOARD_WINE_PATH ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine64-path)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CHATHOARD_WINE_PATH}/wine)
