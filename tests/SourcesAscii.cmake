# Every C and C++ source of the project is ASCII. GLSL's character set is
# ASCII and shaders live in string literals, where a strict driver refuses a
# byte past it (and with the shader every instance); elsewhere a compiler
# reading another code page than UTF-8 (MSVC without /utf-8) changes text.
#   cmake -DROOT=<source dir> -P SourcesAscii.cmake
set(folders host gl effect quickstart examples runner tests bench fuzz)
set(failures "")
set(count 0)
foreach(folder IN LISTS folders)
  file(GLOB_RECURSE files "${ROOT}/${folder}/*.c" "${ROOT}/${folder}/*.cpp" "${ROOT}/${folder}/*.h")
  foreach(file IN LISTS files)
    math(EXPR count "${count} + 1")
    # The first line with a byte outside tab, line ends and the printable range.
    file(READ "${file}" text)
    if(text MATCHES "[^\t\r\n -~]")
      string(REGEX MATCH "[^\n]*[^\t\r\n -~][^\n]*" line "${text}")
      file(RELATIVE_PATH rel "${ROOT}" "${file}")
      string(APPEND failures "\n  ${rel}: ${line}")
    endif()
  endforeach()
endforeach()
if(count LESS 50)
  message(FATAL_ERROR "only ${count} sources found under ${ROOT}")
endif()
if(failures)
  message(FATAL_ERROR "sources with bytes past ASCII:${failures}")
endif()
message(STATUS "${count} sources, all ASCII")
