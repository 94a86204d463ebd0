# The soname of a shared library file, as its dynamic section names it: what the program passes to
# dlopen for the libraries it loads on first use rather than links, so that it opens the same
# library whose headers it was compiled against.
#
#     orbitchat_soname(libcurl_soname /usr/lib/x86_64-linux-gnu/libcurl.so)   # -> libcurl.so.4
function(orbitchat_soname out file)
  execute_process(COMMAND ${CMAKE_OBJDUMP} -p ${file} OUTPUT_VARIABLE headers)
  string(REGEX MATCH "SONAME +([^ \n]+)" soname "${headers}")
  if(NOT CMAKE_MATCH_1)
    message(FATAL_ERROR "cannot read the soname of ${file}")
  endif()
  set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
endfunction()
