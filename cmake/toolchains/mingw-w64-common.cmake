# Shared by the MinGW-w64 toolchain files; TAMARIND_WIN_TRIPLET is set.
set(CMAKE_C_COMPILER ${TAMARIND_WIN_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAMARIND_WIN_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TAMARIND_WIN_TRIPLET}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

# try_compile() projects see the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAMARIND_WIN_PREFIX TAMARIND_WIN_TRIPLET)
if(NOT TAMARIND_WIN_PREFIX AND DEFINED ENV{TAMARIND_WIN_PREFIX})
  set(TAMARIND_WIN_PREFIX $ENV{TAMARIND_WIN_PREFIX})
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${TAMARIND_WIN_TRIPLET} ${TAMARIND_WIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Searched first: the prefixes PATH leads to are not re-rooted, and the
# host's /usr holds packages (nlohmann_json) of the same name.
set(CMAKE_PREFIX_PATH ${TAMARIND_WIN_PREFIX})

# pkg-config reads the .pc files of the prefix and of the MinGW system
# (zlib) only, and hands back static link lines (every executable is
# static).
if(TAMARIND_WIN_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} ${TAMARIND_WIN_PREFIX}/lib/pkgconfig:/usr/${TAMARIND_WIN_TRIPLET}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
  set(PKG_CONFIG_ARGN --static)
endif()

# No libgcc, libstdc++ or winpthread DLL beside the program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Tests and tools run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
# GCC 12 warns of overlapping copies inside std::string at -O3 that cannot
# happen (GCC bug 105329); the Linux build at -O2 does not see them.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
# Release executables ship without their symbols.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
