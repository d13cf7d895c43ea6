# The main scenario suites again, on the hives of an XP installation generated for each
# scenario instead of the in-memory registry (tests/support/scenario_backend_posix.cpp).
if(NOT WIN32)
  add_test(NAME scenarios.on_xp_hives
           COMMAND calvenor_tests
                   --gtest_filter=About*:DrvVer*:Eq*:Gate*:Load*:Tools*:Pages*:Quad*:Reset*:Wpcrset*)
  set_tests_properties(scenarios.on_xp_hives PROPERTIES ENVIRONMENT CALVENOR_SCENARIO_HIVES=1
                       TIMEOUT 600)
endif()
