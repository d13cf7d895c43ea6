set(CALVENOR_XP_EXE "" CACHE FILEPATH "The i686 CalvenorXP.exe whose imports the suite checks")

# The Windows build: CalvenorXP.exe for Windows XP (i686, mingw-w64, static runtime) and, with
# the tests, the Windows-only suites run under Wine (CMAKE_CROSSCOMPILING_EMULATOR).
target_link_libraries(calvenor_platform PUBLIC advapi32 version)
# The GetTickCount64 slot must be an object of the executable itself, seen before kernel32's
# import library: out of the platform's library, into the executable below.
set(xp_kernel32 ${CMAKE_SOURCE_DIR}/src/platform/win32/xp_kernel32.cpp)
get_target_property(platform_sources calvenor_platform SOURCES)
list(REMOVE_ITEM platform_sources ${xp_kernel32})
set_property(TARGET calvenor_platform PROPERTY SOURCES ${platform_sources})

if(CALVENOR_GUI)
  enable_language(RC)
  calvenor_layer(calvenor_gui_win32 FOLDERS text platform ui gui/win32 SOURCES gui/win32
    LINKS calvenor_ui)
  target_link_libraries(calvenor_gui_win32 PUBLIC comctl32 gdi32 user32 uxtheme)
  add_executable(CalvenorXP WIN32 ${CMAKE_SOURCE_DIR}/src/main_win32.cpp
                                  ${xp_kernel32}
                                  ${CMAKE_SOURCE_DIR}/src/gui/win32/calvenor.rc)
  target_link_libraries(CalvenorXP PRIVATE calvenor_core calvenor_gui_win32)
  set_target_properties(CalvenorXP PROPERTIES OUTPUT_NAME CalvenorXP)
  # The version resource and the manifest carry the project's version (generated/). The
  # manifest names the processor too: a 64-bit program bound to the x86 common controls
  # cannot load them.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(MANIFEST_ARCH amd64)
  else()
    set(MANIFEST_ARCH X86)
  endif()
  configure_file(${CMAKE_SOURCE_DIR}/src/gui/win32/calvenor.manifest.in
                 ${CMAKE_BINARY_DIR}/generated/calvenor.manifest @ONLY)
  target_include_directories(CalvenorXP PRIVATE ${CMAKE_BINARY_DIR}/generated)
  set_source_files_properties(${CMAKE_SOURCE_DIR}/src/gui/win32/calvenor.rc PROPERTIES
    OBJECT_DEPENDS "${CMAKE_BINARY_DIR}/generated/calvenor.manifest;${CMAKE_BINARY_DIR}/generated/version.h")
endif()

# The test executable is defined later (tests/); these run once the whole tree is read.
function(calvenor_windows_tests)
  if(NOT TARGET calvenor_tests)
    return()
  endif()
  # A test built on a Linux-only header is a Linux-only test, whatever its name says.
  get_target_property(sources calvenor_tests SOURCES)
  set(kept)
  foreach(source ${sources})
    get_filename_component(path ${source} ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR}/tests)
    file(STRINGS ${path} posix REGEX
      "#include [<\"]([a-z/_]*_posix\\.h|[a-z/_]*(posix|sqlite|hive|fltk)/[a-z/_]*\\.h|unistd\\.h|sys/[a-z]*\\.h)[>\"]")
    if(posix)
      message(STATUS "Windows build leaves out the Linux-only test ${source}")
    else()
      list(APPEND kept ${source})
    endif()
  endforeach()
  set_property(TARGET calvenor_tests PROPERTY SOURCES ${kept})
  target_link_libraries(calvenor_tests PRIVATE user32 gdi32 comctl32)
  if(TARGET CalvenorXP)
    add_dependencies(calvenor_tests CalvenorXP)
    # The product whose imports are checked against XP's: this build's own where it is the
    # i686 one, else the i686 build named by tools/test-windows.sh.
    set(xp_exe "$<TARGET_FILE:CalvenorXP>")
    if(CALVENOR_XP_EXE)
      set(xp_exe "${CALVENOR_XP_EXE}")
    endif()
    target_compile_definitions(calvenor_tests PRIVATE
      CALVENOR_EXE="$<TARGET_FILE:CalvenorXP>" CALVENOR_XP_EXE="${xp_exe}")
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL calvenor_windows_tests)
