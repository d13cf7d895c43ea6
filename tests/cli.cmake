# The Linux program's command line, run as a user runs it.
if(TARGET calvenor)
  add_test(NAME cli.options_and_stores
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/cli_test.sh $<TARGET_FILE:calvenor>
                   ${CMAKE_SOURCE_DIR}/data/seed.reg ${PROJECT_VERSION})
  set_tests_properties(cli.options_and_stores PROPERTIES TIMEOUT 120)
endif()

# The same program on a real XP installation's hives: one generated here.
if(TARGET calvenor AND NOT WIN32)
  add_executable(make_xp_installation tools/make_xp_installation.cpp
                 support/xp_installation_posix.cpp support/hive_writer.cpp)
  target_link_libraries(make_xp_installation PRIVATE calvenor_core)
  target_include_directories(make_xp_installation PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(make_xp_installation PRIVATE CALVENOR_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  add_test(NAME cli.windows_installation
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/hive_cli_test.sh $<TARGET_FILE:calvenor>
                   $<TARGET_FILE:make_xp_installation>)
  set_tests_properties(cli.windows_installation PROPERTIES TIMEOUT 120)
endif()

# The version resource of a built CalvenorXP.exe, read by the program's own PE reader
# (tools/test-release.sh).
if(NOT WIN32)
  add_executable(pe_file_version tools/pe_file_version.cpp)
  target_link_libraries(pe_file_version PRIVATE calvenor_core)
endif()
