# Cross-building for Windows x64 on Debian with MinGW-w64 (the posix thread
# model, which Qt needs for std::thread and its own threads):
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# Qt for MinGW (scripts/windows/build-qt.sh) is built with this file, and a
# project using that Qt goes through its bin/qt-cmake, which chains to it
# (-DQT_CHAINLOAD_TOOLCHAIN_FILE).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUINTARO_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUINTARO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUINTARO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUINTARO_MINGW_TRIPLET}-windres)
# The gcc- wrappers understand the objects of link-time optimisation too.
set(CMAKE_AR ${QUINTARO_MINGW_TRIPLET}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${QUINTARO_MINGW_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "")

# Libraries and headers come from the MinGW sysroot only (never the Linux
# ones), programs run during the build from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${QUINTARO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
