# The set-up every command of the README starts with, tried against stand-ins for apt and dpkg.
if(NOT WIN32)
  add_test(NAME tools.setup
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/setup_test.sh ${CMAKE_SOURCE_DIR}/tools/setup.sh)
  set_tests_properties(tools.setup PROPERTIES TIMEOUT 60)
endif()
