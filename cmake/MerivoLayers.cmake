# The layers of the program as CMake targets (docs/architecture.md draws
# them). Each layer is a static library that reaches another layer's
# headers only by linking it, so that a wrong dependency fails the build
# instead of waiting for a review.

# merivo_add_layer(<target> <sources>...)
#
# A layer made of sources in the current folder of src/. Its headers are
# included as "<folder>/<Header>.h" through an include root that holds the
# folder alone, and that root reaches only the targets that link the layer:
# a layer including a header of one it does not link finds no such file.
# Several targets made of one folder share its root.
function(merivo_add_layer target)
  add_library(${target} STATIC ${ARGN})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(root ${PROJECT_BINARY_DIR}/include-roots/${folder})
  if(NOT EXISTS ${root}/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
  set_property(GLOBAL APPEND PROPERTY MERIVO_LAYERS ${target})
endfunction()

# merivo_check_headers(<target>)
#
# Compiles every header of a layer in one unit that sees only what the
# layer shows to its users: a header that includes something of a library
# or layer the target does not link stops the build, even when no source of
# the layer includes that header.
function(merivo_check_headers target)
  get_target_property(sources ${target} SOURCES)
  get_target_property(folder ${target} SOURCE_DIR)
  set(unit "// Every header of ${target}, compiled with what it links only.\n")
  foreach(source IN LISTS sources)
    if(source MATCHES "\\.h$")
      string(APPEND unit "#include \"${folder}/${source}\"\n")
    endif()
  endforeach()
  file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${target}_headers.cpp CONTENT "${unit}")
  add_library(${target}_headers OBJECT ${CMAKE_CURRENT_BINARY_DIR}/${target}_headers.cpp)
  set_target_properties(${target}_headers PROPERTIES AUTOMOC OFF)
  target_link_libraries(${target}_headers PRIVATE ${target})
endfunction()

# The targets that `target` links, directly or through others.
function(_merivo_linked target result)
  set(seen "")
  set(pending ${target})
  while(pending)
    list(POP_FRONT pending current)
    if(NOT TARGET ${current})
      continue()
    endif()
    get_target_property(aliased ${current} ALIASED_TARGET)
    if(aliased)
      set(current ${aliased})
    endif()
    set(links "")
    get_target_property(type ${current} TYPE)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${current} LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(usage ${current} INTERFACE_LINK_LIBRARIES)
    if(usage)
      list(APPEND links ${usage})
    endif()
    foreach(link IN LISTS links)
      # A static library's private links reach its users as $<LINK_ONLY:...>.
      if(link MATCHES "^\\$<LINK_ONLY:([^$<>]+)>$")
        set(link ${CMAKE_MATCH_1})
      endif()
      if(TARGET ${link} AND NOT link IN_LIST seen)
        list(APPEND seen ${link})
        list(APPEND pending ${link})
      endif()
    endforeach()
  endwhile()
  set(${result} ${seen} PARENT_SCOPE)
endfunction()

# merivo_forbid_links(<target> <forbidden target>...)
#
# Stops the configuration when `target` links one of the forbidden targets,
# directly or through another one.
function(merivo_forbid_links target)
  _merivo_linked(${target} linked)
  foreach(forbidden IN LISTS ARGN)
    set(names ${forbidden})
    if(TARGET ${forbidden})
      get_target_property(aliased ${forbidden} ALIASED_TARGET)
      if(aliased)
        list(APPEND names ${aliased})
      endif()
    endif()
    foreach(name IN LISTS names)
      if(name IN_LIST linked)
        message(FATAL_ERROR "${target} must not link ${forbidden} (docs/architecture.md), but it does")
      endif()
    endforeach()
  endforeach()
endfunction()
