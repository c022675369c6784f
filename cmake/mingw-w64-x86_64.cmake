# Cross-building for 64-bit Windows with Debian's mingw-w64 compilers, the POSIX threading
# variant (std::thread and std::mutex need it). Programs and tests run under Wine, in a Wine
# prefix of the build's own, with no display and no downloads of Mono or Gecko.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CORVANE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CORVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CORVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${CORVANE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CORVANE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program carries its C, C++ and thread runtimes, so it runs without the compiler's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(CORVANE_WINE wine)
  if(CORVANE_WINE)
    # An empty DISPLAY keeps Wine from opening windows; mscoree and mshtml switched off keep it
    # from asking for Mono and Gecko when it sets up the prefix.
    set(CMAKE_CROSSCOMPILING_EMULATOR
        env WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all
            WINEDLLOVERRIDES=mscoree,mshtml= DISPLAY= WAYLAND_DISPLAY= ${CORVANE_WINE})
  endif()
endif()
