# veska_module(NAME SOURCES file... LIBS target...): a module the app loads on first use
# (dlopen), built as NAME.so in the bundle's Contents/PlugIns. Its entry points are the sources
# given here; the rest comes from the static libraries it links, whose objects are then built
# position-independent. The program exports its own symbols, so the module's references to
# Veska's shared state (the current executor, the interface language) bind to the program's
# copies; the sanitizers' runtime likewise comes from the program.
set(VESKA_PLUGINS_DIR ${CMAKE_BINARY_DIR}/Veska.app/Contents/PlugIns)

function(veska_module name)
  cmake_parse_arguments(M "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} MODULE ${M_SOURCES})
  target_link_libraries(${name} PRIVATE veska_options ${M_LIBS})
  set_target_properties(${name} PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${VESKA_PLUGINS_DIR})
  if(NOT VESKA_SANITIZE)
    # Everything but the sanitizers' runtime is resolved inside the module and its libraries.
    target_link_options(${name} PRIVATE LINKER:-z,defs)
  endif()
  set_property(GLOBAL APPEND PROPERTY VESKA_MODULES ${name})
  # Static libraries may be declared after this folder: their closure is walked at the end.
  # (A deferred call's arguments are expanded when it runs: the name is substituted now.)
  cmake_language(EVAL CODE "cmake_language(DEFER DIRECTORY [[${PROJECT_SOURCE_DIR}]] CALL _veska_module_pic [[${name}]])")
endfunction()

# Builds every static library `target` links, directly or not, position-independent.
function(_veska_module_pic target)
  get_property(seen GLOBAL PROPERTY _VESKA_PIC_SEEN)
  if(target IN_LIST seen)
    return()
  endif()
  set_property(GLOBAL APPEND PROPERTY _VESKA_PIC_SEEN ${target})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "STATIC_LIBRARY")
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  endif()
  set(links)
  if(NOT type STREQUAL "INTERFACE_LIBRARY")
    get_target_property(direct ${target} LINK_LIBRARIES)
    if(direct)
      list(APPEND links ${direct})
    endif()
  endif()
  get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
  if(interface)
    list(APPEND links ${interface})
  endif()
  foreach(lib IN LISTS links)
    if(TARGET ${lib})
      get_target_property(aliased ${lib} ALIASED_TARGET)
      if(aliased)
        set(lib ${aliased})
      endif()
      get_target_property(imported ${lib} IMPORTED)
      if(NOT imported)
        _veska_module_pic(${lib})
      endif()
    endif()
  endforeach()
endfunction()
