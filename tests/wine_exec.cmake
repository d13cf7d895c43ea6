# The runner the Windows suite's tests go through under Wine, tried with a stand-in loader.
if(NOT WIN32)
  add_test(NAME tools.wine_exec
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/wine_exec_test.sh
                   ${CMAKE_SOURCE_DIR}/tools/wine-exec.sh)
  set_tests_properties(tools.wine_exec PROPERTIES TIMEOUT 60)
endif()
