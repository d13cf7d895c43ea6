# Cross-compiling CalvenorXP.exe for Windows XP with Debian's mingw-w64, included by
# mingw-i686.cmake (the product) and mingw-x86_64.cmake (the same source, for testing under
# 64-bit Wine where 32-bit programs cannot run), which set CALVENOR_MINGW_ARCH.
# The posix thread model (GoogleTest needs std::mutex, which GCC 12's win32 model lacks); its
# winpthreads is linked statically like the rest of the runtime.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 5.1)
set(CMAKE_SYSTEM_PROCESSOR ${CALVENOR_MINGW_ARCH})

set(triple ${CALVENOR_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Windows XP is NT 5.1: no API newer than that may be declared, and the image must say 5.1.
add_compile_definitions(_WIN32_WINNT=0x0501 WINVER=0x0501 _WIN32_IE=0x0600)
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-static -static-libgcc -static-libstdc++ -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,1 -Wl,--major-os-version,5 -Wl,--minor-os-version,1")

# The Wine that runs the tests: tools/test-windows.sh names the loader of the mode it chose,
# and each test runs through tools/wine-exec.sh, which answers for Wine's own exit failures.
if(DEFINED ENV{CALVENOR_WINE})
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-exec.sh
                                    $ENV{CALVENOR_WINE})
else()
  find_program(WINE_PROGRAM wine)
  if(WINE_PROGRAM)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
  endif()
endif()

# GCC 12 warns wrongly about inlined std::string copies when optimising (GCC bugs 105651 and
# 107138: -Wrestrict, -Wmaybe-uninitialized on the short-string buffer); with warnings as
# errors the false alarms would stop the build. The Linux build keeps both warnings.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict -Wno-maybe-uninitialized")
