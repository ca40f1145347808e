// A shared library that is not an FFGL module: it has no plugMain.
extern "C" __attribute__((visibility("default"))) int tessivarNotAPlugin() { return 42; }
