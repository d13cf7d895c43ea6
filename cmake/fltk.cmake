# FLTK 1.3 from Debian's libfltk1.3-dev, found by its header and library alone. The package's
# own CMake files are not used: they name fluid and the OpenGL headers, which the package only
# recommends, so a minimal machine fails to configure with them.
find_path(CALVENOR_FLTK_INCLUDE_DIR FL/Fl.H)
find_library(CALVENOR_FLTK_LIBRARY NAMES fltk)
if(NOT CALVENOR_FLTK_INCLUDE_DIR OR NOT CALVENOR_FLTK_LIBRARY)
  message(FATAL_ERROR "FLTK 1.3 not found: install libfltk1.3-dev (tools/setup.sh does)")
endif()
add_library(calvenor_fltk INTERFACE IMPORTED)
target_include_directories(calvenor_fltk INTERFACE ${CALVENOR_FLTK_INCLUDE_DIR})
target_link_libraries(calvenor_fltk INTERFACE ${CALVENOR_FLTK_LIBRARY})
