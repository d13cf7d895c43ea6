# The Linux windows on a display of their own (Xvfb): their captions measured in the fonts
# they are drawn with, and their pictures as the screen shows them. Where FLTK is 1.4, which
# follows the desktop's scale, the captions are measured at scale 2 as well (the pictures'
# test tries its scales itself).
if(TARGET calvenor_gui_fltk AND NOT WIN32)
  add_executable(caption_fit_fltk gui/fltk/caption_fit_test.cpp support/scenario.cpp
                 support/memory_registry.cpp)
  target_link_libraries(caption_fit_fltk PRIVATE calvenor_core calvenor_gui_fltk GTest::gtest
                        GTest::gtest_main)
  target_include_directories(caption_fit_fltk PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  add_executable(pictures_fltk gui/fltk/pictures_test.cpp)
  target_link_libraries(pictures_fltk PRIVATE calvenor_core calvenor_gui_fltk GTest::gtest
                        GTest::gtest_main)
  find_program(XVFB_RUN xvfb-run)
  if(XVFB_RUN)
    set(scales 1)
    if(CALVENOR_FLTK_VERSION VERSION_GREATER_EQUAL 1.4)
      list(APPEND scales 2)
    endif()
    foreach(scale ${scales})
      set(name caption_fit.fltk)
      if(NOT scale EQUAL 1)
        set(name caption_fit.fltk.scale${scale})
      endif()
      add_test(NAME ${name}
               COMMAND ${XVFB_RUN} -a -s "-screen 0 1024x768x24" $<TARGET_FILE:caption_fit_fltk>)
      set_tests_properties(${name} PROPERTIES TIMEOUT 120
                           ENVIRONMENT FLTK_SCALING_FACTOR=${scale})
    endforeach()
    add_test(NAME pictures.fltk
             COMMAND ${XVFB_RUN} -a -s "-screen 0 1024x768x24" $<TARGET_FILE:pictures_fltk>)
    set_tests_properties(pictures.fltk PROPERTIES TIMEOUT 120)
  endif()
endif()
