# Small helpers shared by the CMake files of the project.

# arc_glob_sources(VAR DIR...) - every .cpp below the given folders, re-globbed
# at build time so that a new file needs no CMake edit.
function(arc_glob_sources var)
  set(globs)
  foreach(dir IN LISTS ARGN)
    list(APPEND globs ${dir}/*.cpp)
  endforeach()
  file(GLOB_RECURSE found CONFIGURE_DEPENDS ${globs})
  set(${var} ${found} PARENT_SCOPE)
endfunction()
