#include "runner/preview/ModuleBuild.h"

#include <sys/stat.h>
#include <unistd.h>  // mkdtemp: macOS declares it here, glibc in stdlib.h

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace tessivar::preview {
namespace {

// Replaces every mention of the copy's path in a message by the original's.
std::string aboutOriginal(std::string text, const std::string& copy, const std::string& original) {
    for (size_t at = text.find(copy); at != std::string::npos; at = text.find(copy, at + original.size()))
        text.replace(at, copy.size(), original);
    return text;
}

}  // namespace

std::unique_ptr<ModuleBuild> ModuleBuild::Load(const std::string& path, const std::string& workFolder,
                                               std::string& error) {
    static std::atomic<unsigned> count{0};
    std::unique_ptr<ModuleBuild> build(new ModuleBuild);
    build->folder = workFolder + "/" + std::to_string(++count);
    const fs::path original(path);
    fs::path name = original.filename();
    if (name.empty()) name = original.parent_path().filename();  // "X.bundle/"
    const std::string copy = build->copy = (fs::path(build->folder) / name).string();
    std::error_code ec;
    fs::create_directories(build->folder, ec);
    if (!ec) fs::copy(original, copy, fs::copy_options::recursive, ec);
    if (ec) {
        error = path + ": cannot copy it to load (" + ec.message() + ")";
        return nullptr;
    }
    build->module = Module::Load(copy, error);
    if (!build->module) {
        error = aboutOriginal(error, copy, path);
        return nullptr;
    }
    build->info = build->module->Describe();
    build->info.path = path;
    if (const std::string crash = build->CrashLine(); !crash.empty()) {
        error = crash;
        return nullptr;
    }
    if (!build->info.hasInfo) {
        error = path + ": answers no information record (FF_GET_INFO), so no plugin is registered";
        return nullptr;
    }
    return build;
}

std::string ModuleBuild::CrashLine() const {
    return module && module->Crashed() ? aboutOriginal(module->CrashLine(), copy, info.path) : std::string();
}

ModuleBuild::~ModuleBuild() {
    module.reset();
    std::error_code ignored;
    if (!folder.empty()) fs::remove_all(folder, ignored);
}

FileWatch::FileWatch(std::string p) : path(std::move(p)) { seen = candidate = Read(); }

FileWatch::Stamp FileWatch::Read() const {
    Stamp s;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return s;
    s.exists = true;
#ifdef __APPLE__
    s.mtimeNs = int64_t(st.st_mtimespec.tv_sec) * 1000000000 + st.st_mtimespec.tv_nsec;
#else
    s.mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
#endif
    s.size = uint64_t(st.st_size);
    s.inode = uint64_t(st.st_ino);
    return s;
}

bool FileWatch::Settled() {
    const Stamp now = Read();
    const bool settled = now.exists && now == candidate && !(now == seen);
    if (settled) seen = now;
    candidate = now;
    return settled;
}

WorkFolder::WorkFolder() {
    std::string name = (fs::temp_directory_path() / "ffglrun-preview-XXXXXX").string();
    if (!::mkdtemp(name.data())) throw std::runtime_error("cannot make a folder in " + fs::temp_directory_path().string());
    path = name;
}

WorkFolder::~WorkFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

}  // namespace tessivar::preview
