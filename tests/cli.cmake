# The Linux program's command line, run as a user runs it.
if(TARGET calvenor)
  add_test(NAME cli.options_and_stores
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/cli_test.sh $<TARGET_FILE:calvenor>
                   ${CMAKE_SOURCE_DIR}/data/seed.reg)
  set_tests_properties(cli.options_and_stores PROPERTIES TIMEOUT 120)
endif()
