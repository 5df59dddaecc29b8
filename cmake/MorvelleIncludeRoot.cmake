# Each library shows its users its own folder and nothing beside it. morvelle_include_root(
# <target> <PUBLIC|INTERFACE> <prefix>) adds an include root in the build tree that holds one
# link, <prefix>, to the calling folder: users write "<prefix>/header.h", and a header of a
# library they do not link is not found (an engine file including "app/module1.h" or a
# component's header fails to build).
function(morvelle_include_root target scope prefix)
  string(REPLACE "/" "_" rootName ${prefix})
  set(root ${PROJECT_BINARY_DIR}/include-roots/${rootName})
  set(link ${root}/${prefix})
  if(NOT IS_SYMLINK ${link})
    get_filename_component(parent ${link} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${link} SYMBOLIC)
  endif()
  target_include_directories(${target} ${scope} ${root})
endfunction()
