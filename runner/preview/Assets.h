// Assets -- the page's files (runner/preview/page/), built into ffglrun so
// that it serves them from wherever it runs. CMake turns the files into a
// generated source (cmake/EmbedFiles.cmake) at build time.
#pragma once

#include <cstddef>
#include <string>

namespace tessivar::preview {

struct Asset {
    const char* name;  // file name, e.g. "app.js"
    const unsigned char* data;
    size_t size;
};

// Null when there is no such file.
const Asset* FindAsset(const std::string& name);

}  // namespace tessivar::preview
