# The layers of src/, each a library that can include only what it may know about.
#
#   calvenor_layer(NAME FOLDERS folder... SOURCES folder... [LINKS target...])
#
# FOLDERS are the src/ folders the layer may include from: its own and those below it. The
# library's include path is a view of src/ that holds links to exactly those folders, so an
# #include of any other folder does not compile. SOURCES are the folders whose .cpp files the
# library builds (a file ending in _posix is left out of the Windows build, one ending in _win32
# out of the Linux build). The include test (tests/layers_posix_test.cpp) checks the finer rules
# between the folders of one library.
function(calvenor_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 layer "" "" "FOLDERS;SOURCES;LINKS")
  set(view ${CMAKE_BINARY_DIR}/layers/${name})
  foreach(folder ${layer_FOLDERS})
    get_filename_component(parent ${view}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    if(NOT EXISTS ${view}/${folder})
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${folder} ${view}/${folder} SYMBOLIC)
    endif()
  endforeach()

  set(sources)
  foreach(folder ${layer_SOURCES})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${folder}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_win32\\.cpp$")
  endif()

  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${view})
  if(layer_LINKS)
    target_link_libraries(${name} PUBLIC ${layer_LINKS})
  endif()
endfunction()
