# The Windows build (cross-compiled with cmake/mingw-w64-x86_64.cmake; `make windows`).
#
# The program is linked statically (libstdc++, libgcc, winpthread, wxMSW, libmpg123), so it
# imports only system DLLs; lame_enc.dll carries libmp3lame and the same static runtime.
# Files that use what Windows does not have are left out (DR_WINDOWS_SKIP, paths below src/),
# and a file in a layer's windows/ folder replaces the file of the same name in the layer (its
# twin), or adds to it (see dr_layer).
# 64-bit file offsets as on Linux (off_t, lseek, fstat; libmpg123's *_64 entry points).
add_compile_definitions(UNICODE _UNICODE _WIN32_WINNT=0x0A00 WINVER=0x0A00 NOMINMAX _FILE_OFFSET_BITS=64)
# The POSIX file calls MinGW lacks (pread, a UTF-8 lstat), for the shared file code.
add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-include${PROJECT_SOURCE_DIR}/src/platform/windows/PosixFile.h>)
add_link_options(-static -static-libgcc -static-libstdc++)

set(DR_WINDOWS_SKIP
  # the sound server's client and SDL: Windows records through WASAPI and plays through waveOut
  engine/record/SdlAudioInput.cpp engine/record/DefaultAudioInput.cpp
  engine/play/SdlSoundOutput.cpp engine/play/DefaultSoundOutput.cpp
  platform/SdlAudio.cpp
  # GTK, GDK, fontconfig and the INI store's POSIX file locks
  platform/GtkStyle.cpp
  platform/FileLock.cpp platform/IniProfileStore.cpp)

# System libraries of the Windows platform layer: wave audio, the registry and shell.
set(DR_SYSTEM_LIBS winmm advapi32 shell32 shlwapi ole32 uuid)
