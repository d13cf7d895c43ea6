# The Linux window driven by the X server's input (XTEST), on a private Xvfb.
find_program(XVFB_PROGRAM Xvfb)
find_library(XTST_LIBRARY Xtst)
find_package(X11)
if(TARGET calvenor AND NOT WIN32 AND XVFB_PROGRAM AND XTST_LIBRARY AND X11_FOUND)
  add_executable(calvenor_input_tests input/levels_input_test.cpp input/controls_input_test.cpp
                 input/scale_input_test.cpp input/panel.cpp input/screen.cpp input/store_view.cpp
                 input/x_input.cpp)
  target_link_libraries(calvenor_input_tests PRIVATE calvenor_core GTest::gtest GTest::gtest_main
                        ${XTST_LIBRARY} ${X11_LIBRARIES})
  target_include_directories(calvenor_input_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/input
                             ${X11_INCLUDE_DIR})
  # FLTK 1.4 follows the desktop's scale: the suite runs again at scale 2.
  set(scales 1)
  if(CALVENOR_FLTK_VERSION VERSION_GREATER_EQUAL 1.4)
    target_compile_definitions(calvenor_input_tests PRIVATE CALVENOR_FLTK_FOLLOWS_SCALE=1)
    list(APPEND scales 2)
  endif()
  foreach(scale ${scales})
    set(name input.linux_window)
    if(NOT scale EQUAL 1)
      set(name input.linux_window.scale${scale})
    endif()
    add_test(NAME ${name}
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/input/run_under_xvfb.sh
                     $<TARGET_FILE:calvenor_input_tests>)
    set_tests_properties(${name} PROPERTIES TIMEOUT 600 ENVIRONMENT
      "CALVENOR_INPUT_PROGRAM=$<TARGET_FILE:calvenor>;CALVENOR_INPUT_SEED=${CMAKE_SOURCE_DIR}/data/seed.reg;FLTK_SCALING_FACTOR=${scale}")
  endforeach()
elseif(NOT WIN32)
  message(WARNING "input.linux_window left out: it needs Xvfb, libXtst and Xlib")
endif()

# The Windows program under Wine, driven the same way: the driver is built here and run by
# tools/test-windows.sh against the Windows build's program and the helper that reads it.
if(TARGET calvenor AND NOT WIN32 AND XTST_LIBRARY AND X11_FOUND)
  add_executable(calvenor_wine_input_tests input/wine_input_test.cpp
                 input/wine_windows_input_test.cpp input/wine_keyboard_input_test.cpp
                 input/screen.cpp input/store_view.cpp input/x_input.cpp)
  target_link_libraries(calvenor_wine_input_tests PRIVATE calvenor_core GTest::gtest
                        GTest::gtest_main ${XTST_LIBRARY} ${X11_LIBRARIES})
  target_include_directories(calvenor_wine_input_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/input
                             ${X11_INCLUDE_DIR})
endif()
if(WIN32 AND TARGET CalvenorXP)
  add_executable(wine_input_helper input/wine_helper_win32.cpp support/memory_registry.cpp
                 support/scenario.cpp support/scenario_backend_win32.cpp)
  target_link_libraries(wine_input_helper PRIVATE calvenor_core GTest::gtest comctl32 user32)
  target_include_directories(wine_input_helper PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
endif()
