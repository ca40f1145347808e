// Library -- loading a module file and finding its symbols, one file per
// platform (dlopen on Linux and macOS, LoadLibrary on Windows).
#pragma once

#include <string>

namespace tessivar {

// Loads the library at `path` (a file path, never searched for) and answers
// its handle, or null with the loader's reason in `why` (without the path).
void* OpenLibrary(const std::string& path, std::string& why);
// The address of an exported symbol; null if there is none.
void* LibrarySymbol(void* handle, const char* name);
void CloseLibrary(void* handle);

}  // namespace tessivar
