#include "runner/preview/ModuleBuild.h"

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
    // (Names are UTF-8; u8path keeps them so where the system's are wide.)
    const fs::path original = fs::u8path(path);
    fs::path name = original.filename();
    if (name.empty()) name = original.parent_path().filename();  // "X.bundle/"
    const fs::path copy = fs::u8path(build->folder) / name;
    build->copy = copy.u8string();
    std::error_code ec;
    fs::create_directories(fs::u8path(build->folder), ec);
    if (!ec) fs::copy(original, copy, fs::copy_options::recursive, ec);
    if (ec) {
        error = path + ": cannot copy it to load (" + ec.message() + ")";
        return nullptr;
    }
    build->module = Module::Load(copy.u8string(), error);
    if (!build->module) {
        error = aboutOriginal(error, copy.u8string(), path);
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
    if (!folder.empty()) fs::remove_all(fs::u8path(folder), ignored);
}

FileWatch::FileWatch(std::string p) : path(std::move(p)) { seen = candidate = StampOf(path); }

bool FileWatch::Settled() {
    const FileStamp now = StampOf(path);
    const bool settled = now.exists && now == candidate && !(now == seen);
    if (settled) seen = now;
    candidate = now;
    return settled;
}

WorkFolder::WorkFolder() : path(MakeTemporaryFolder("ffglrun-preview-")) {
    if (path.empty()) throw std::runtime_error("cannot make a folder in the temporary folder");
}

WorkFolder::~WorkFolder() {
    std::error_code ignored;
    fs::remove_all(fs::u8path(path), ignored);
}

}  // namespace tessivar::preview
