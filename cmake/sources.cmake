# Source lists by glob, so that adding a file needs no edit here.
# Files named *win32* build only for Windows, files named *posix* only
# elsewhere; files named *_mmx.cpp hold MMX kernels and get -mmmx.

function(sg_sources out)
  set(result)
  foreach(pattern IN LISTS ARGN)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${pattern})
    list(APPEND result ${found})
  endforeach()
  if(SG_WIN32)
    list(FILTER result EXCLUDE REGEX "posix[^/]*$")
  else()
    list(FILTER result EXCLUDE REGEX "win32[^/]*$")
  endif()
  list(SORT result)
  set(${out} ${result} PARENT_SCOPE)
endfunction()

function(sg_mmx_sources)
  foreach(file IN LISTS ARGN)
    if(file MATCHES "_mmx\\.cpp$")
      set_source_files_properties(${file} PROPERTIES COMPILE_OPTIONS "-mmmx")
    endif()
  endforeach()
endfunction()
