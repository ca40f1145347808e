# The PE twin of ExportsTest.cpp: what a built DLL offers a Windows host and
# what it needs from the system, read from `objdump -p`.
#   - exports: exactly the host-facing names, by plain name (plus EXTRA);
#   - imports: Windows system DLLs only, so the DLL drops alone into a folder.
#   cmake -DOBJDUMP=... -DMODULES=a.dll;b.dll [-DEXTRA=name] -P PeExportsCheck.cmake
set(allowed_exports
  plugMain SetLogCallback getInfo initialise deInitialise instantiateGL deInstantiateGL processGL
  getNumParameters getParameterName getParameterDefault getPluginCaps getExtendedInfo getParameterType
  getNumParameterElements getParameterUsage getPluginShortName getParameterElementName
  getParameterElementDefault getParamRange getThumbnail getNumFileParameterExtensions
  getFileParameterExtension getDefaultParameterVisibility GetNumElementSeparators
  GetElementSeparatorElementIndex getParamGroup InitGLExts ValidateContextState)
# KERNEL32, OPENGL32, the C runtime (msvcrt or the UCRT's api sets), and the
# window system DLLs.
set(system_dll "^(KERNEL32|OPENGL32|USER32|GDI32|msvcrt|api-ms-win-crt-[a-z0-9-]+)\\.dll$")

set(failures "")
foreach(module IN LISTS MODULES)
  execute_process(COMMAND ${OBJDUMP} -p ${module} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    list(APPEND failures "${module}: objdump -p failed")
    continue()
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
  string(FIND "${dump}" "[Ordinal/Name Pointer] Table" at)
  set(exports "")
  if(at GREATER -1)
    string(SUBSTRING "${dump}" ${at} -1 table)
    string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] [A-Za-z0-9_]+" rows "${table}")
    foreach(row IN LISTS rows)
      string(REGEX REPLACE ".*\\] " "" name "${row}")
      list(APPEND exports ${name})
    endforeach()
  endif()
  set(expected ${allowed_exports} ${EXTRA})
  list(SORT expected)
  list(SORT exports)
  if(NOT exports STREQUAL expected)
    set(extra_names ${exports})
    list(REMOVE_ITEM extra_names ${expected})
    set(missing_names ${expected})
    if(exports)
      list(REMOVE_ITEM missing_names ${exports})
    endif()
    list(APPEND failures "${module}: exports differ; unexpected: ${extra_names}; missing: ${missing_names}")
  endif()
  if(NOT imports)
    list(APPEND failures "${module}: no imports read")
  endif()
  foreach(line IN LISTS imports)
    string(REGEX REPLACE "^DLL Name: " "" dll "${line}")
    string(STRIP "${dll}" dll)
    if(NOT dll MATCHES "${system_dll}")
      list(APPEND failures "${module}: imports ${dll}, which is not a Windows system DLL")
    endif()
  endforeach()
endforeach()
if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "PE exports and imports:\n  ${text}")
endif()
