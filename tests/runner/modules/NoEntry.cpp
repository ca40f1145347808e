// A shared library that is not an FFGL module: it has no plugMain.
#if defined(_WIN32)
#define NO_ENTRY_EXPORT __declspec(dllexport)
#else
#define NO_ENTRY_EXPORT __attribute__((visibility("default")))
#endif
extern "C" NO_ENTRY_EXPORT int tessivarNotAPlugin() { return 42; }
