# What a host may look up in a module, by plain name: what every module
# exports and nothing more (the PE and Mach-O checks read it; ExportsTest.cpp
# holds the ELF twin of the list). The global operations are C++ functions on
# Linux and macOS, where the checks compare their names without the
# parameter list.
set(TESSIVAR_HOST_EXPORTS
  plugMain SetLogCallback getInfo initialise deInitialise instantiateGL deInstantiateGL processGL
  getNumParameters getParameterName getParameterDefault getPluginCaps getExtendedInfo getParameterType
  getNumParameterElements getParameterUsage getPluginShortName getParameterElementName
  getParameterElementDefault getParamRange getThumbnail getNumFileParameterExtensions
  getFileParameterExtension getDefaultParameterVisibility GetNumElementSeparators
  GetElementSeparatorElementIndex getParamGroup InitGLExts ValidateContextState)
