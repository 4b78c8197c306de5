# Compiler warnings and sanitizers shared by every target of the project.
add_library(veska_options INTERFACE)
target_compile_options(veska_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
  -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough)
if(VESKA_WERROR)
  target_compile_options(veska_options INTERFACE -Werror)
endif()
if(VESKA_SANITIZE)
  target_compile_options(veska_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(veska_options INTERFACE -fsanitize=address,undefined)
endif()
target_include_directories(veska_options INTERFACE ${PROJECT_SOURCE_DIR}/src)
