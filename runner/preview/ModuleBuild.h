// ModuleBuild -- the module file as the preview runs it: each build loaded
// from a private copy, and the file watched for the next build.
//
// Loading from a copy matters twice. A build tool that rewrites the file in
// place would otherwise change code under the running instance; and the
// dynamic loader hands back the library it already has for a path it has
// seen, so a new build at the same path would never be loaded at all.
#pragma once

#include "runner/Module.h"
#include "runner/platform/Paths.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tessivar::preview {

class ModuleBuild {
public:
    // Copies `path` into `workFolder` (under a folder of its own, keeping the
    // file's name) and loads it there. Null with one line naming `path` on
    // failure; the copy is removed then.
    static std::unique_ptr<ModuleBuild> Load(const std::string& path, const std::string& workFolder,
                                             std::string& error);
    ~ModuleBuild();
    ModuleBuild(const ModuleBuild&) = delete;
    ModuleBuild& operator=(const ModuleBuild&) = delete;

    const Module& Library() const { return *module; }
    // The description, naming the original path, not the copy.
    const ModuleInfo& Info() const { return info; }
    // Empty until the module crashed; then the line naming the call and the
    // signal, and the original path.
    std::string CrashLine() const;

private:
    ModuleBuild() = default;
    std::string folder, copy;
    std::unique_ptr<Module> module;
    ModuleInfo info;
};

// Notices that a file changed and has stayed the same since the last look,
// so a build still being written is not loaded half-done. A missing file is
// no change: a build tool may remove it before writing the new one.
class FileWatch {
public:
    explicit FileWatch(std::string path);
    // True once for each change that has settled; call every few hundred ms.
    bool Settled();

private:
    std::string path;
    FileStamp seen, candidate;
};

// A new empty folder for the copies, removed with everything in it by the
// destructor.
class WorkFolder {
public:
    WorkFolder();
    ~WorkFolder();
    const std::string& Path() const { return path; }

private:
    std::string path;
};

}  // namespace tessivar::preview
