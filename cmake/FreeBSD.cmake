# Cross-compiles for x86-64 FreeBSD 14 with clang and lld, against a FreeBSD sysroot
# (its /usr/include and /usr/lib), given as a cache variable or in the environment:
#   cmake -S . -B build-freebsd -DCMAKE_TOOLCHAIN_FILE=cmake/FreeBSD.cmake \
#         -DVEMI_FREEBSD_SYSROOT=/path/to/sysroot
# Nothing built with it runs here; scripts/freebsd-check uses it to compile and link.
set(CMAKE_SYSTEM_NAME FreeBSD)
set(CMAKE_SYSTEM_VERSION 14.1)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

if(NOT VEMI_FREEBSD_SYSROOT)
  set(VEMI_FREEBSD_SYSROOT "$ENV{VEMI_FREEBSD_SYSROOT}")
endif()
if(NOT VEMI_FREEBSD_SYSROOT)
  message(FATAL_ERROR "FreeBSD.cmake: give the FreeBSD sysroot in VEMI_FREEBSD_SYSROOT")
endif()
set(VEMI_FREEBSD_SYSROOT "${VEMI_FREEBSD_SYSROOT}" CACHE PATH "FreeBSD sysroot")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VEMI_FREEBSD_SYSROOT)
set(CMAKE_SYSROOT "${VEMI_FREEBSD_SYSROOT}")

# FreeBSD 14's base compiler is clang 16, with libc++.
find_program(CMAKE_C_COMPILER NAMES clang-16 clang REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES clang++-16 clang++ REQUIRED)
set(CMAKE_C_COMPILER_TARGET x86_64-unknown-freebsd14.1)
set(CMAKE_CXX_COMPILER_TARGET x86_64-unknown-freebsd14.1)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-fuse-ld=lld")

# Libraries, headers and packages come from the sysroot only (packages under
# /usr/local, as FreeBSD's pkg installs them); programs run here come from here.
set(CMAKE_FIND_ROOT_PATH "${VEMI_FREEBSD_SYSROOT}")
set(CMAKE_PREFIX_PATH /usr/local)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
