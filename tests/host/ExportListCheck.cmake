# The export list (cmake/FFGLExports.cmake) against the headers that declare
# what it names: plugMain and SetLogCallback (FFGL_EXPORT in host/FFGLABI.h)
# and every global operation (FFGL_OPERATION in host/FFGL.h and
# host/FFGLThumbnail.h), neither more nor fewer. The built modules are held
# to the list by ExportsTest.cpp, PeExportsCheck.cmake and MachOCheck.cmake.
#   cmake -DSOURCE=<source tree> -P ExportListCheck.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/FFGLExports.cmake)

# The names declared at the start of a line as `MACRO type name(` in FILES.
function(declared out macro)
  set(names "")
  foreach(file IN LISTS ARGN)
    file(READ ${SOURCE}/${file} text)
    string(REGEX MATCHALL "\n${macro} [A-Za-z_]+ [A-Za-z_]+\\(" found "${text}")
    foreach(d IN LISTS found)
      string(REGEX REPLACE ".* ([A-Za-z_]+)\\($" "\\1" name "${d}")
      list(APPEND names ${name})
    endforeach()
  endforeach()
  list(SORT names)
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# Fails naming what only one side has.
function(compare what listed headers)
  list(SORT listed)
  if(NOT listed STREQUAL headers)
    set(unlisted ${headers})
    set(undeclared ${listed})
    if(listed)
      list(REMOVE_ITEM unlisted ${listed})
    endif()
    if(headers)
      list(REMOVE_ITEM undeclared ${headers})
    endif()
    message(FATAL_ERROR "${what}: declared but not in FFGLExports.cmake: '${unlisted}'; "
                        "listed but not declared: '${undeclared}'")
  endif()
endfunction()

declared(c_names FFGL_EXPORT host/FFGLABI.h)
declared(operations FFGL_OPERATION host/FFGL.h host/FFGLThumbnail.h)
compare("FFGL_C_EXPORTS" "${FFGL_C_EXPORTS}" "${c_names}")
compare("FFGL_OPERATION_EXPORTS" "${FFGL_OPERATION_EXPORTS}" "${operations}")
message(STATUS "${CMAKE_CURRENT_LIST_FILE}: the export list names every declared export, and no other")
