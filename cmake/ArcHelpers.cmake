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

# arc_private_access(TARGET) - lets a test, fuzz or bench target include the
# library's private headers (beside its sources), as the library does itself.
# Programs over the library (arcz, the application) use only include/arc/.
function(arc_private_access target)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/archive)
endfunction()
