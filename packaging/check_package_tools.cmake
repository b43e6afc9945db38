# Run by CPack before it builds the Debian package. CPack finds the package's
# library dependencies with `file` and `dpkg-shlibdeps`, and without them it
# quietly writes a package that lacks those dependencies; so each is required
# on PATH (CPack itself also looks in a few other places).
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
foreach(tool_in_package IN ITEMS "file:file" "dpkg-shlibdeps:dpkg-dev")
  string(REPLACE ":" ";" tool_in_package "${tool_in_package}")
  list(GET tool_in_package 0 tool)
  list(GET tool_in_package 1 package)
  find_program(tool_path ${tool} NO_CACHE NO_DEFAULT_PATH PATHS ENV PATH)
  if(NOT tool_path)
    message(FATAL_ERROR "${tool} not found: the package's dependencies on shared libraries "
                        "cannot be worked out without it. Install the Debian package ${package} "
                        "(scripts/install-deps package) and build the package again.")
  endif()
  unset(tool_path)
endforeach()
