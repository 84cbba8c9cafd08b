# Builds for 64-bit Windows with Debian's MinGW-w64 (the POSIX thread model, which C++ threads
# need). BRACKENFELD_WINDOWS_PREFIX, from the environment, names the folders of what was built for
# Windows beside it, separated by colons: Qt, then minizip and libxlsxwriter (scripts/windows sets
# it). Qt's tools (moc, rcc, uic) are the host's, of Qt's same version.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

string(REPLACE ":" ";" prefixes "$ENV{BRACKENFELD_WINDOWS_PREFIX}")
set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${prefixes})
list(APPEND CMAKE_PREFIX_PATH ${prefixes})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config looks only at what was built for Windows, never at the host's libraries.
list(TRANSFORM prefixes APPEND /lib/pkgconfig OUTPUT_VARIABLE pkgconfig)
string(REPLACE ";" ":" pkgconfig "${pkgconfig}")
set(ENV{PKG_CONFIG_LIBDIR} "${pkgconfig}")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
