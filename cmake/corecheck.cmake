# Checks that keep the core libraries free of Qt Widgets.

# Fails configuring when one of the layers' libraries (kd<layer>) reaches Qt
# Widgets through its link libraries, direct or transitive, PRIVATE ones
# included; the message names the library and the way it gets there. Call it
# once every target is defined.
function(kd_check_core_without_widgets)
  foreach(layer IN LISTS ARGN)
    set(library kd${layer})
    if(NOT TARGET ${library})
      message(FATAL_ERROR "The core layer ${layer} has no library ${library}")
    endif()
    _kd_path_to_widgets(${library} path)
    if(path)
      list(JOIN path " -> " way)
      message(FATAL_ERROR "The core library ${library} links Qt Widgets: ${way}")
    endif()
  endforeach()
endfunction()

# Fails configuring when Qt Widgets was looked up after all (its package's
# folder is remembered in the cache).
function(kd_check_widgets_never_found)
  if(DEFINED CACHE{Qt6Widgets_DIR})
    message(FATAL_ERROR "KD_WITH_WIDGETS is OFF, yet Qt6 Widgets was looked up")
  endif()
endfunction()

# A breadth-first walk over the link libraries of `start`; `out` is the chain
# of names from `start` to the first Qt Widgets target, or empty.
function(_kd_path_to_widgets start out)
  set(queue ${start})
  set(seen ${start})
  set(_kd_via_${start} "")
  while(queue)
    list(POP_FRONT queue current)
    if(current MATCHES "^Qt6?::Widgets")
      set(path ${current})
      set(node ${current})
      while(NOT "${_kd_via_${node}}" STREQUAL "")
        set(node ${_kd_via_${node}})
        list(PREPEND path ${node})
      endwhile()
      set(${out} ${path} PARENT_SCOPE)
      return()
    endif()
    if(NOT TARGET ${current})
      continue()
    endif()
    _kd_linked_names(${current} linked)
    foreach(name IN LISTS linked)
      if(NOT name IN_LIST seen)
        list(APPEND seen ${name})
        list(APPEND queue ${name})
        set(_kd_via_${name} ${current})
      endif()
    endforeach()
  endwhile()
  set(${out} "" PARENT_SCOPE)
endfunction()

# The names a target links, its own and those it passes on. Generator
# expressions are not evaluated: every name in one counts, so a Widgets link
# behind any condition is found too.
function(_kd_linked_names target out)
  get_target_property(own ${target} LINK_LIBRARIES)
  get_target_property(passed ${target} INTERFACE_LINK_LIBRARIES)
  set(names "")
  foreach(item IN LISTS own passed)
    if(item MATCHES "-NOTFOUND$")
      continue()
    endif()
    string(REGEX MATCHALL "[A-Za-z0-9_.+-]+(::[A-Za-z0-9_.+-]+)*" words "${item}")
    foreach(word IN LISTS words)
      if(TARGET ${word} OR word MATCHES "^Qt6?::Widgets")
        list(APPEND names ${word})
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES names)
  set(${out} ${names} PARENT_SCOPE)
endfunction()
