# Run by CPack after it built the Debian package: the Depends field must hold
# what dpkg-shlibdeps found, not only the dependencies written by hand. Every
# program linked with shared libraries needs the C library, libc6.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
foreach(package_file IN LISTS CPACK_PACKAGE_FILES)
  execute_process(COMMAND dpkg-deb --field ${package_file} Depends
                  OUTPUT_VARIABLE depends RESULT_VARIABLE result)
  if(NOT result EQUAL 0 OR NOT depends MATCHES "(^|[ ,])libc6([ ,(]|$)")
    file(REMOVE ${package_file})
    message(FATAL_ERROR "${package_file} lacks the dependencies on shared libraries "
                        "(Depends: ${depends}); it was removed.")
  endif()
endforeach()
