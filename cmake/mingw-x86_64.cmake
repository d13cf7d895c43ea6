# 64-bit build of the same source, run under 64-bit Wine in a prefix set to Windows XP on
# machines that cannot execute 32-bit programs.
set(CALVENOR_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
