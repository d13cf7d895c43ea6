# The Linux program as a native Wayland client, where FLTK is 1.4: under weston on a private
# Xvfb, started, drawn and driven by the keyboard and the mouse (tests/gui/fltk/wayland_test.sh), at
# scales 1 and 2.
if(TARGET calvenor AND NOT WIN32 AND CALVENOR_FLTK_VERSION VERSION_GREATER_EQUAL 1.4)
  find_program(WESTON_PROGRAM weston)
  find_program(XVFB_PROGRAM Xvfb)
  find_program(XDOTOOL_PROGRAM xdotool)
  find_program(COMPARE_PROGRAM compare)
  find_program(XWININFO_PROGRAM xwininfo)
  if(WESTON_PROGRAM AND XVFB_PROGRAM AND XDOTOOL_PROGRAM AND XWININFO_PROGRAM AND COMPARE_PROGRAM)
    foreach(scale 1 2)
      set(name wayland.fltk)
      if(NOT scale EQUAL 1)
        set(name wayland.fltk.scale${scale})
      endif()
      add_test(NAME ${name}
               COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/gui/fltk/wayland_test.sh $<TARGET_FILE:calvenor>
                       ${CMAKE_SOURCE_DIR}/data/seed.reg ${scale})
      set_tests_properties(${name} PROPERTIES TIMEOUT 120)
    endforeach()
  else()
    message(WARNING "wayland.fltk left out: it needs weston, Xvfb, xdotool, xwininfo and "
                    "ImageMagick's compare")
  endif()
endif()
