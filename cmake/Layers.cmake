# The program's folders are layers, bottom to top: base, platform, net, download, ui, app. A
# library sees only its own folder and the folders below it: its include root is a folder of
# links to exactly those, so an #include that points upward does not compile. tools/layers
# checks the same for headers that only upper layers compile.
#
#   downloader_layer(<target> <folder> [BELOW <folder>...])

function(downloader_layer target folder)
  cmake_parse_arguments(L "" "" "BELOW" ${ARGN})
  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  file(MAKE_DIRECTORY ${root})
  foreach(dir IN LISTS folder L_BELOW)
    if(EXISTS ${CMAKE_SOURCE_DIR}/${dir})
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${dir} ${root}/${dir} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
