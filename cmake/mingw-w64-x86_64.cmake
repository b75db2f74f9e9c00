# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers (the posix-thread variant, so
# std::thread and std::mutex work). The libraries built by scripts/win-thirdparty are named by
# DR_WIN_PREFIXES (a list of install folders); MinGW's own headers and libraries (zlib among
# them) come from its system folder.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES DR_WIN_PREFIXES)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${DR_WIN_PREFIXES})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees only the cross-built libraries, never the build machine's.
set(dr_pc_path "")
foreach(prefix ${DR_WIN_PREFIXES})
  string(APPEND dr_pc_path "${prefix}/lib/pkgconfig:")
endforeach()
set(ENV{PKG_CONFIG_LIBDIR} "${dr_pc_path}/usr/x86_64-w64-mingw32/lib/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
