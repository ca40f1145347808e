# One step of the kit's check (tests/kit/CMakeLists.txt says which and why).
#   STEP=install    cmake --install BUILD_TREE --component kit into PREFIX,
#                   which is emptied first
#   STEP=template   TYPE's template copied out of PREFIX into ROOT/TYPE,
#                   configured against PREFIX as a project of its own, built,
#                   and its module checked: ffglrun check (through EMULATOR
#                   when CROSS), the exports of a DLL, no warning flag of ours
#                   on its compile lines; then the ffglrun lines of GUIDE's
#                   "<!-- run: TYPE -->" blocks, run in the project's folder;
#                   for the effect, a typo put in its shader, which the GL
#                   must report at the shader's own line
#   STEP=guide      GUIDE's "<!-- template: FILE -->" blocks, joined in
#                   order, are TEMPLATES/FILE word for word, and every
#                   template's source is shown
# Every failure ends the script with one message naming the step.
cmake_minimum_required(VERSION 3.25)

function(run what)
  string(TIMESTAMP start "%s")
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(TIMESTAMP end "%s")
  math(EXPR took "${end} - ${start}")
  message(STATUS "${what}: ${took} s")
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}${err}")
  endif()
  set(run_output "${out}${err}" PARENT_SCOPE)
endfunction()

# The fenced blocks of GUIDE marked "<!-- KIND: NAME -->" (the line before
# the fence): NAME's blocks joined in order go to guide_<NAME>, the names to
# guide_names. (Found by position, not as CMake lists: code holds ';'.)
function(read_guide_blocks kind)
  file(READ ${GUIDE} text)
  set(names "")
  while(TRUE)
    string(FIND "${text}" "<!-- ${kind}: " at)
    if(at EQUAL -1)
      break()
    endif()
    string(SUBSTRING "${text}" ${at} -1 text)
    string(FIND "${text}" " -->\n```" end)
    if(end EQUAL -1)
      message(FATAL_ERROR "${GUIDE}: a '${kind}' mark not followed by a code block")
    endif()
    string(LENGTH "<!-- ${kind}: " skip)
    math(EXPR length "${end} - ${skip}")
    string(SUBSTRING "${text}" ${skip} ${length} name)
    math(EXPR end "${end} + 5")  # past " -->\n"
    string(SUBSTRING "${text}" ${end} -1 text)
    string(FIND "${text}" "\n" eol)  # the fence's own line
    math(EXPR eol "${eol} + 1")
    string(SUBSTRING "${text}" ${eol} -1 text)
    string(FIND "${text}" "```\n" close)
    string(SUBSTRING "${text}" 0 ${close} block)
    string(SUBSTRING "${text}" ${close} -1 text)
    if(NOT name IN_LIST names)
      list(APPEND names ${name})
      set(guide_${name} "")
    endif()
    string(APPEND guide_${name} "${block}")
  endwhile()
  foreach(name IN LISTS names)
    set(guide_${name} "${guide_${name}}" PARENT_SCOPE)
  endforeach()
  set(guide_names ${names} PARENT_SCOPE)
endfunction()

# Fails naming the first line where `shown` and `wanted` part.
function(expect_same what shown wanted)
  if(shown STREQUAL wanted)
    return()
  endif()
  set(line 1)
  while(TRUE)
    string(FIND "${shown}" "\n" a)
    string(FIND "${wanted}" "\n" b)
    if(a EQUAL -1 OR b EQUAL -1 OR NOT a EQUAL b)
      break()
    endif()
    string(SUBSTRING "${shown}" 0 ${a} x)
    string(SUBSTRING "${wanted}" 0 ${b} y)
    if(NOT x STREQUAL y)
      break()
    endif()
    math(EXPR a "${a} + 1")
    string(SUBSTRING "${shown}" ${a} -1 shown)
    string(SUBSTRING "${wanted}" ${a} -1 wanted)
    math(EXPR line "${line} + 1")
  endwhile()
  message(FATAL_ERROR "${what} differ from line ${line} on")
endfunction()

if(STEP STREQUAL "guide")
  read_guide_blocks(template)
  file(GLOB_RECURSE sources RELATIVE ${TEMPLATES} ${TEMPLATES}/*.cpp)
  foreach(file IN LISTS sources ITEMS effect/CMakeLists.txt)
    if(NOT file IN_LIST guide_names)
      message(FATAL_ERROR "${GUIDE} does not show templates/${file}")
    endif()
  endforeach()
  foreach(file IN LISTS guide_names)
    if(NOT EXISTS ${TEMPLATES}/${file})
      message(FATAL_ERROR "${GUIDE} shows templates/${file}, which does not exist")
    endif()
    file(READ ${TEMPLATES}/${file} wanted)
    expect_same("${GUIDE}'s blocks of templates/${file} and the file" "${guide_${file}}" "${wanted}")
  endforeach()
  # The guide says the other templates' CMakeLists.txt are the effect's with
  # their own kind in its place.
  file(READ ${TEMPLATES}/effect/CMakeLists.txt effect)
  foreach(type mixer source)
    string(SUBSTRING ${type} 0 1 first)
    string(TOUPPER ${first} first)
    string(SUBSTRING ${type} 1 -1 rest)
    string(REPLACE "Effect" "${first}${rest}" expected "${effect}")
    string(REPLACE "effect" "${type}" expected "${expected}")
    file(READ ${TEMPLATES}/${type}/CMakeLists.txt actual)
    expect_same("templates/${type}/CMakeLists.txt and the effect's" "${actual}" "${expected}")
  endforeach()
  return()
endif()

if(STEP STREQUAL "install")
  file(REMOVE_RECURSE ${PREFIX})
  set(config "")
  if(CONFIG)
    set(config --config ${CONFIG})
  endif()
  run("cmake --install ${BUILD_TREE} --component kit" ${CMAKE_COMMAND} --install ${BUILD_TREE} --component kit
      --prefix ${PREFIX} ${config})
  foreach(file lib/cmake/Tessivar/TessivarConfig.cmake share/tessivar/templates/effect/CMakeLists.txt
               include/tessivar/quickstart/FFGLQuickstart.h)
    if(NOT EXISTS ${PREFIX}/${file})
      message(FATAL_ERROR "the kit installed no ${file}")
    endif()
  endforeach()
  return()
endif()

# ---- STEP=template --------------------------------------------------------------
set(source ${ROOT}/${TYPE})
set(build ${ROOT}/${TYPE}-build)
file(REMOVE_RECURSE ${source} ${build})
file(COPY ${PREFIX}/share/tessivar/templates/${TYPE}/ DESTINATION ${source})

set(configure ${CMAKE_COMMAND} -S ${source} -B ${build} -G ${GENERATOR} -DCMAKE_EXPORT_COMPILE_COMMANDS=ON)
if(GENERATOR_PLATFORM)
  list(APPEND configure -A ${GENERATOR_PLATFORM})
endif()
if(MAKE_PROGRAM)
  list(APPEND configure -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM})
endif()
if(CONFIG AND NOT GENERATOR MATCHES "Visual Studio|Xcode|Multi-Config")
  list(APPEND configure -DCMAKE_BUILD_TYPE=${CONFIG})
endif()
if(CROSS)
  # A cross toolchain finds packages under its own root only, so the kit is
  # named directly, as the guide tells authors to.
  list(APPEND configure -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DTessivar_DIR=${PREFIX}/lib/cmake/Tessivar)
else()
  list(APPEND configure -DCMAKE_PREFIX_PATH=${PREFIX})
  if(NOT GENERATOR MATCHES "Visual Studio|Xcode")
    list(APPEND configure -DCMAKE_CXX_COMPILER=${CXX})
  endif()
endif()
run("configuring the ${TYPE} template" ${configure})
file(STRINGS ${build}/CMakeCache.txt found REGEX "^Tessivar_DIR:")
string(REGEX REPLACE "^Tessivar_DIR:[A-Z]+=" "" found "${found}")
if(NOT found STREQUAL "${PREFIX}/lib/cmake/Tessivar")
  message(FATAL_ERROR "the ${TYPE} template found the kit elsewhere than in ${PREFIX}: ${found}")
endif()
set(config "")
if(CONFIG)
  set(config --config ${CONFIG})
endif()
run("building the ${TYPE} template" ${CMAKE_COMMAND} --build ${build} ${config})

# The author's code is compiled with the compiler's defaults: none of our
# warning flags, warnings as errors least of all.
if(EXISTS ${build}/compile_commands.json)
  file(READ ${build}/compile_commands.json commands)
  if(commands MATCHES "(-Werror|/WX|-Wshadow)")
    message(FATAL_ERROR "the ${TYPE} template is compiled with our warning flags (${CMAKE_MATCH_1})")
  endif()
endif()

file(GLOB_RECURSE modules LIST_DIRECTORIES true ${build}/*.so ${build}/*.dll ${build}/*.bundle)
list(FILTER modules INCLUDE REGEX "\\.(so|dll|bundle)$")
list(FILTER modules EXCLUDE REGEX "/CMakeFiles/|\\.bundle/")
list(LENGTH modules count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "the ${TYPE} template built ${count} modules, not one: ${modules}")
endif()
if(modules MATCHES "\\.dll$" AND OBJDUMP)
  run("the exports of ${modules}" ${CMAKE_COMMAND} -DOBJDUMP=${OBJDUMP} -DMODULES=${modules} -P ${PE_CHECK})
endif()
run("ffglrun check ${modules}" ${EMULATOR} ${FFGLRUN} check ${modules})
if(NOT run_output MATCHES "checks: ([0-9]+) passed, 0 failed")
  message(FATAL_ERROR "ffglrun check ${modules}:\n${run_output}")
endif()
set(passed ${CMAKE_MATCH_1})

# What the guide has the author run, in the project's folder, with the
# module this system builds in place of the .so it names.
read_guide_blocks(run)
string(REPLACE "\n" ";" lines "${guide_${TYPE}}")
set(ran 0)
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^ffglrun ")
    continue()
  endif()
  string(REGEX REPLACE "build/[A-Za-z0-9_]+\\.so" "${modules}" line "${line}")
  separate_arguments(command UNIX_COMMAND "${line}")
  list(POP_FRONT command)
  execute_process(COMMAND ${EMULATOR} ${FFGLRUN} ${command} WORKING_DIRECTORY ${source}
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the guide's '${line}' failed (${rc}): ${err}")
  endif()
  math(EXPR ran "${ran} + 1")
endforeach()
message(STATUS "${TYPE} template: built against ${PREFIX}, ${passed} checks passed, ${ran} of the guide's commands ran")

# A typo in the author's shader is reported at the author's line: one
# undeclared name put in after the opening brace of main, on line N counted
# from the template's "#line 1", must come back from the GL as "0:N(".
if(TYPE STREQUAL "effect")
  file(GLOB shader_source ${source}/*.cpp)
  file(READ ${shader_source} text)
  string(FIND "${text}" "#line 1\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${shader_source}: no '#line 1' before the shader")
  endif()
  string(SUBSTRING "${text}" ${at} -1 shader)
  string(FIND "${shader}" "\n{\n" brace)
  math(EXPR cut "${at} + ${brace} + 3")
  string(SUBSTRING "${text}" 0 ${cut} before)
  string(SUBSTRING "${text}" ${cut} -1 after)
  math(EXPR length "${cut} - ${at}")
  string(SUBSTRING "${text}" ${at} ${length} counted)
  string(REGEX MATCHALL "\n" breaks "${counted}")
  list(LENGTH breaks line)  # "#line 1" names the line after it 1
  file(WRITE ${shader_source} "${before}\tfloat typo = amout;\n${after}")
  run("building the ${TYPE} template with a typo on line ${line} of its shader" ${CMAKE_COMMAND} --build ${build}
      ${config})
  execute_process(COMMAND ${EMULATOR} ${FFGLRUN} render ${modules} --pattern grid --size 8x8 --out ${ROOT}/typo.png
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(rc EQUAL 0 OR NOT "${out}${err}" MATCHES "0:${line}\\([0-9]+\\): error: .amout")
    message(FATAL_ERROR "a typo on line ${line} of the ${TYPE} template's shader is not reported there (${rc}):\n"
                        "${out}${err}")
  endif()
  message(STATUS "${TYPE} template: a typo on line ${line} of its shader is reported at line ${line}")
endif()
