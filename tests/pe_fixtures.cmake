# Real PE files for the version reader's tests, built with mingw-w64: 32- and 64-bit DLLs with
# a version resource compiled by windres, DLLs without one, and a driver-named copy.
# Without the cross tools the fixture tests skip themselves.
if(WIN32)
  return()
endif()

find_program(CALVENOR_MINGW_GCC_X86 i686-w64-mingw32-gcc)
find_program(CALVENOR_MINGW_RC_X86 i686-w64-mingw32-windres)
find_program(CALVENOR_MINGW_GCC_X64 x86_64-w64-mingw32-gcc)
find_program(CALVENOR_MINGW_RC_X64 x86_64-w64-mingw32-windres)
if(NOT CALVENOR_MINGW_GCC_X86 OR NOT CALVENOR_MINGW_RC_X86 OR NOT CALVENOR_MINGW_GCC_X64
   OR NOT CALVENOR_MINGW_RC_X64)
  message(STATUS "mingw-w64 not found: PE fixture tests will be skipped")
  return()
endif()

set(PE_FIXTURE_SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/fixtures/pe)
set(PE_FIXTURE_DIR ${CMAKE_CURRENT_BINARY_DIR}/pe_fixtures)
file(MAKE_DIRECTORY ${PE_FIXTURE_DIR})
set(PE_FIXTURE_OUTPUTS)

# calvenor_pe_fixture(<file> <x86|x64> <rc file>)
function(calvenor_pe_fixture file arch rc)
  if(arch STREQUAL "x86")
    set(cc ${CALVENOR_MINGW_GCC_X86})
    set(windres ${CALVENOR_MINGW_RC_X86})
  else()
    set(cc ${CALVENOR_MINGW_GCC_X64})
    set(windres ${CALVENOR_MINGW_RC_X64})
  endif()
  set(object ${PE_FIXTURE_DIR}/${file}.res.o)
  add_custom_command(
    OUTPUT ${PE_FIXTURE_DIR}/${file}
    COMMAND ${windres} -O coff -i ${rc} -o ${object}
    COMMAND ${cc} -shared -s -o ${PE_FIXTURE_DIR}/${file} ${PE_FIXTURE_SOURCE}/library.c ${object}
    DEPENDS ${rc} ${PE_FIXTURE_SOURCE}/library.c
    COMMENT "PE fixture ${file}"
    VERBATIM)
  set(PE_FIXTURE_OUTPUTS ${PE_FIXTURE_OUTPUTS} ${PE_FIXTURE_DIR}/${file} PARENT_SCOPE)
endfunction()

# calvenor_pe_versioned(<file> <x86|x64> <filetype> <v1> <v2> <v3> <v4>)
function(calvenor_pe_versioned file arch filetype v1 v2 v3 v4)
  set(FV1 ${v1})
  set(FV2 ${v2})
  set(FV3 ${v3})
  set(FV4 ${v4})
  set(FILETYPE ${filetype})
  configure_file(${PE_FIXTURE_SOURCE}/version.rc.in ${PE_FIXTURE_DIR}/${file}.rc @ONLY)
  calvenor_pe_fixture(${file} ${arch} ${PE_FIXTURE_DIR}/${file}.rc)
  set(PE_FIXTURE_OUTPUTS ${PE_FIXTURE_OUTPUTS} PARENT_SCOPE)
endfunction()

calvenor_pe_versioned(v5_12_1_2560_x86.dll x86 VFT_DLL 5 12 1 2560)
calvenor_pe_versioned(v5_12_1_2560_x64.dll x64 VFT_DLL 5 12 1 2560)
calvenor_pe_versioned(v5_0_2169_1_x86.dll x86 VFT_DLL 5 0 2169 1)
calvenor_pe_versioned(v5_0_2169_1_x64.dll x64 VFT_DLL 5 0 2169 1)
calvenor_pe_versioned(v65535_0_32768_1_x86.dll x86 VFT_DLL 65535 0 32768 1)
calvenor_pe_versioned(v65535_0_32768_1_x64.dll x64 VFT_DLL 65535 0 32768 1)
calvenor_pe_versioned(v5_10_2500_49_x86.sys x86 VFT_DRV 5 10 2500 49)
calvenor_pe_fixture(noversion_x86.dll x86 ${PE_FIXTURE_SOURCE}/noversion.rc)
calvenor_pe_fixture(noversion_x64.dll x64 ${PE_FIXTURE_SOURCE}/noversion.rc)

add_custom_target(calvenor_pe_fixtures ALL DEPENDS ${PE_FIXTURE_OUTPUTS})
add_dependencies(calvenor_tests calvenor_pe_fixtures)
target_compile_definitions(calvenor_tests PRIVATE CALVENOR_PE_FIXTURES="${PE_FIXTURE_DIR}")
