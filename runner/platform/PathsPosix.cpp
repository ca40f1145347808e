#include "runner/platform/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tessivar {

PathKind KindOf(const std::string& path) {
    struct stat st = {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return PathKind::Missing;
    return S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::File;
}

bool CanRead(const std::string& path) { return ::access(path.c_str(), R_OK) == 0; }
bool CanWriteIn(const std::string& folder) { return ::access(folder.c_str(), W_OK) == 0; }

std::FILE* OpenNamedFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }
bool RemoveNamedFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

bool MoveOnto(const std::string& from, const std::string& to, std::string& why) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    why = std::strerror(errno);
    return false;
}

std::FILE* CreateTemporaryBeside(const std::string& path, std::string& tmpPath, std::string& why) {
    std::string pattern = path + ".partial-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        why = std::strerror(errno);
        return nullptr;
    }
    tmpPath = name.data();
    // mkstemp makes the file private; give it the mode any new file would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f) {
        why = std::strerror(errno);
        ::close(fd);
        std::remove(tmpPath.c_str());
    }
    return f;
}

FileStamp StampOf(const std::string& path) {
    FileStamp s;
    struct stat st = {};
    if (::stat(path.c_str(), &st) != 0) return s;
    s.exists = true;
#ifdef __APPLE__
    s.mtimeNs = int64_t(st.st_mtimespec.tv_sec) * 1000000000 + st.st_mtimespec.tv_nsec;
#else
    s.mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
#endif
    s.size = uint64_t(st.st_size);
    s.id = uint64_t(st.st_ino);
    return s;
}

std::string MakeTemporaryFolder(const std::string& prefix) {
    const char* tmp = std::getenv("TMPDIR");
    std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "XXXXXX";
    return ::mkdtemp(&name[0]) ? name : std::string();
}

size_t LastSeparator(const std::string& path) { return path.rfind('/'); }

std::string FolderOf(const std::string& path) {
    const size_t slash = LastSeparator(path);
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

std::vector<std::string> ProgramArguments(int argc, char** argv) { return {argv, argv + argc}; }

}  // namespace tessivar
