# FLTK from the system's development package: 1.4 where the release has it (Debian 13's
# libfltk1.4-dev), 1.3 elsewhere (Debian 12's libfltk1.3-dev). The include directories and
# libraries are the ones FLTK's own fltk-config gives. FLTK's CMake package is not used: Debian
# 12's names fluid and the OpenGL headers, which the package only recommends, and Debian 13's
# defines the target fltk::fluid twice, so neither configures.
find_program(CALVENOR_FLTK_CONFIG fltk-config)
if(NOT CALVENOR_FLTK_CONFIG)
  message(FATAL_ERROR "FLTK not found: install libfltk1.4-dev (Debian 13) or libfltk1.3-dev "
                      "(Debian 12); tools/setup.sh does")
endif()
foreach(query api-version cxxflags ldflags)
  execute_process(COMMAND ${CALVENOR_FLTK_CONFIG} --${query} OUTPUT_VARIABLE answer
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  string(MAKE_C_IDENTIFIER ${query} name)
  set(fltk_${name} "${answer}")
endforeach()
if(NOT fltk_api_version MATCHES "^1\\.[34]$")
  message(FATAL_ERROR "FLTK ${fltk_api_version} found (${CALVENOR_FLTK_CONFIG}); 1.3 or 1.4 "
                      "is needed")
endif()
set(CALVENOR_FLTK_VERSION ${fltk_api_version})
message(STATUS "FLTK ${CALVENOR_FLTK_VERSION} (${CALVENOR_FLTK_CONFIG})")

# Its headers are the system's: their warnings are not ours (-isystem). fltk-config names
# folders of libraries FLTK may be built with whether they are installed or not.
add_library(calvenor_fltk INTERFACE)
separate_arguments(fltk_cxxflags UNIX_COMMAND "${fltk_cxxflags}")
foreach(flag ${fltk_cxxflags})
  if(flag MATCHES "^-I(.+)$")
    if(IS_DIRECTORY ${CMAKE_MATCH_1})
      target_include_directories(calvenor_fltk SYSTEM INTERFACE ${CMAKE_MATCH_1})
    endif()
  else()
    target_compile_options(calvenor_fltk INTERFACE ${flag})
  endif()
endforeach()
separate_arguments(fltk_ldflags UNIX_COMMAND "${fltk_ldflags}")
target_link_libraries(calvenor_fltk INTERFACE ${fltk_ldflags})
