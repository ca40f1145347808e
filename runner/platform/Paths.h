// Paths -- files by UTF-8 name, one file per platform. POSIX hands the bytes
// to the system as they are. Windows' narrow calls (fopen, LoadLibraryA, the
// command line in argv) read them in the user's ANSI code page, where a name
// with any character past it cannot be said; so there every name goes
// through the wide calls, and the arguments come from the wide command line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tessivar {

enum class PathKind { Missing, File, Folder };
PathKind KindOf(const std::string& path);
bool CanRead(const std::string& path);
bool CanWriteIn(const std::string& folder);

// fopen; null with errno set.
std::FILE* OpenNamedFile(const std::string& path, const char* mode);
// remove; false if nothing was removed.
bool RemoveNamedFile(const std::string& path);
// Moves `from` onto `to`, replacing a file there (the C library's rename
// refuses that on Windows); false with the system's reason in `why`.
bool MoveOnto(const std::string& from, const std::string& to, std::string& why);
// Creates a new file beside `path` under a name no one else holds, with the
// mode any new file would get, open for writing ("wb"); its name goes to
// `tmpPath`. Null with the system's reason in `why`.
std::FILE* CreateTemporaryBeside(const std::string& path, std::string& tmpPath, std::string& why);

// What tells one version of a file from the next: when it was last
// written, its size and which file it is (its inode; on Windows its file
// index), so a file replaced by another of the same size and time counts.
struct FileStamp {
    bool exists = false;
    int64_t mtimeNs = 0;
    uint64_t size = 0, id = 0;
    bool operator==(const FileStamp& o) const {
        return exists == o.exists && mtimeNs == o.mtimeNs && size == o.size && id == o.id;
    }
};
FileStamp StampOf(const std::string& path);

// A new empty folder in the system's temporary folder, named `prefix` and a
// unique ending; empty when none can be made.
std::string MakeTemporaryFolder(const std::string& prefix);

// Where a path's folder part ends: its last separator ('/', and on Windows
// '\\' too), or npos.
size_t LastSeparator(const std::string& path);
// The folder a path names a file in: "." for a bare name.
std::string FolderOf(const std::string& path);

// The program's arguments, as UTF-8.
std::vector<std::string> ProgramArguments(int argc, char** argv);

#if defined(_WIN32)
// UTF-8 to UTF-16 and back, for the wide calls.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
// The system's text for a GetLastError code, without the final full stop.
std::string WindowsErrorText(unsigned long code);
#endif

}  // namespace tessivar
