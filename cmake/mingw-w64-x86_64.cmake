# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (packages g++-mingw-w64-x86-64-posix
# and mingw-w64-x86-64-dev): the posix thread model, so std::thread and std::mutex exist.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The updater's own code builds with it; Qt, Boost and libusb for Windows must be supplied
# under CMAKE_FIND_ROOT_PATH. The Windows compile check in CTest reads the compiler from here.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORBIZO3_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORBIZO3_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORBIZO3_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ORBIZO3_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORBIZO3_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
