# The Linux program's command line, run as a user runs it.
if(TARGET calvenor)
  add_test(NAME cli.options_and_stores
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/cli_test.sh $<TARGET_FILE:calvenor>
                   ${CMAKE_SOURCE_DIR}/data/seed.reg)
  set_tests_properties(cli.options_and_stores PROPERTIES TIMEOUT 120)
endif()

# The same program on a real XP installation's hives: one generated here.
if(TARGET calvenor AND NOT WIN32)
  add_executable(make_xp_installation tools/make_xp_installation.cpp
                 support/xp_installation_posix.cpp)
  target_link_libraries(make_xp_installation PRIVATE calvenor_core calvenor_hivex)
  target_include_directories(make_xp_installation PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(make_xp_installation PRIVATE CALVENOR_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  add_test(NAME cli.windows_installation
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/hive_cli_test.sh $<TARGET_FILE:calvenor>
                   $<TARGET_FILE:make_xp_installation>)
  set_tests_properties(cli.windows_installation PROPERTIES TIMEOUT 120)
endif()
