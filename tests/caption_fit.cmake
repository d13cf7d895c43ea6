# The Linux windows' captions measured in the fonts they are drawn with, on a display of
# their own (Xvfb).
if(TARGET calvenor_gui_fltk AND NOT WIN32)
  add_executable(caption_fit_fltk gui/fltk/caption_fit_test.cpp support/scenario.cpp
                 support/memory_registry.cpp)
  target_link_libraries(caption_fit_fltk PRIVATE calvenor_core calvenor_gui_fltk GTest::gtest
                        GTest::gtest_main)
  target_include_directories(caption_fit_fltk PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  find_program(XVFB_RUN xvfb-run)
  if(XVFB_RUN)
    add_test(NAME caption_fit.fltk
             COMMAND ${XVFB_RUN} -a -s "-screen 0 1024x768x24" $<TARGET_FILE:caption_fit_fltk>)
    set_tests_properties(caption_fit.fltk PROPERTIES TIMEOUT 120)
  endif()
endif()
