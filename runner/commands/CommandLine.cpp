#include "runner/commands/CommandLine.h"

#include "runner/ImageIO.h"
#include "runner/platform/Paths.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

// The process's one GL context (see MakeContext). Outside any namespace so
// the compiler keeps the pointer that keeps it reachable.
tessivar::HeadlessGL* g_context = nullptr;

namespace tessivar::cli {

namespace fs = std::filesystem;

Size ParseSizeArg(const std::string& option, const std::string& text) {
    Size s;
    if (!text.empty() && !ParseSize(text, s.width, s.height))
        throw UsageFailure(option + " " + text + ": expected WIDTHxHEIGHT, each 1 to 16384 (e.g. 1920x1080)");
    return s;
}

std::unique_ptr<Module> LoadModule(const std::string& path) {
    std::string error;
    auto module = Module::Load(path, error);
    if (!module) throw Failure(error);
    return module;
}

ModuleInfo DescribeModule(const Module& module) {
    ModuleInfo info = module.Describe();
    if (!info.hasInfo)
        throw Failure(module.Path() + ": answers no information record (FF_GET_INFO), so no plugin is registered");
    return info;
}

// The context stays until the process ends. Tearing it down unloads Mesa's
// driver, which leaves its own never-freed state behind as leaks in a
// sanitizer build; the process exit releases it all the same.
HeadlessGL& MakeContext() {
    if (g_context) return *g_context;
    std::string error;
    auto gl = HeadlessGL::Create(error);
    if (!gl) throw Failure("no OpenGL 4.1 context: " + error);
    g_context = gl.release();
    return *g_context;
}

void ReportDebugErrors(HeadlessGL& gl) {
    gl.SetDebugSink([count = 0](unsigned type, unsigned, const std::string& message) mutable {
        if (type != HeadlessGL::kDebugTypeError || ++count > 5) return;
        std::fprintf(stderr, "ffglrun: warning: GL error: %s\n", message.c_str());
    });
}

std::vector<ParamSetting> ResolveSettings(const ModuleInfo& info, const std::vector<std::string>& assignments) {
    std::vector<ParamSetting> settings;
    for (const auto& a : assignments) {
        ParamSetting s;
        std::string error;
        if (!ParseSetting(info, a, s, error)) throw UsageFailure(error);
        settings.push_back(s);
    }
    return settings;
}

void ApplySettings(const Instance& instance, const std::vector<ParamSetting>& settings) {
    for (const auto& s : settings) {
        std::string error, note;
        if (!ApplySetting(instance, s, error, note)) throw Failure(error);
        if (!note.empty()) std::fprintf(stderr, "ffglrun: note: %s\n", note.c_str());
    }
}

OutputName::OutputName(std::string pattern, const std::string& optionName)
    : option(optionName), text(std::move(pattern)) {
    const size_t pct = text.find('%');
    if (pct == std::string::npos) return;
    size_t i = pct + 1;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    if (i >= text.size() || text[i] != 'd' || i - pct > 4 || text.find('%', i) != std::string::npos)
        throw UsageFailure(option + " " + text + ": only one %d (or %04d) is understood in a file name");
    prefix = text.substr(0, pct);
    digits = i - pct - 1 ? std::stoi(text.substr(pct + 1, i - pct - 1)) : 0;
    suffix = text.substr(i + 1);
    sequence = true;
}

std::string OutputName::For(int frame) const {
    if (!sequence) return text;
    std::string n = std::to_string(frame);
    if (int(n.size()) < digits) n.insert(0, size_t(digits) - n.size(), '0');
    return prefix + n + suffix;
}

void OutputName::CheckWritable() const {
    const std::string path = For(0);
    const std::string dir = FolderOf(path);
    if (KindOf(dir) != PathKind::Folder) throw Failure("cannot write " + path + ": folder " + dir + " does not exist");
    if (!CanWriteIn(dir)) throw Failure("cannot write " + path + ": folder " + dir + " is not writable");
    if (!sequence && KindOf(path) == PathKind::Folder) throw Failure("cannot write " + path + ": it is a folder");
}

// Whether `path` is in this name's folder and named as one of its frames.
bool OutputName::Numbers(const std::string& path) const {
    std::error_code ec;
    const fs::path mine = fs::u8path(For(0)), theirs = fs::u8path(path);
    const fs::path myDir = mine.has_parent_path() ? mine.parent_path() : fs::path(".");
    const fs::path theirDir = theirs.has_parent_path() ? theirs.parent_path() : fs::path(".");
    if (!fs::equivalent(myDir, theirDir, ec)) return false;
    const std::string name = theirs.filename().u8string();
    const std::string head = fs::u8path(prefix + "0").filename().u8string();
    const std::string first = head.substr(0, head.size() - 1);
    if (name.size() <= first.size() + suffix.size() || name.compare(0, first.size(), first) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const std::string number = name.substr(first.size(), name.size() - first.size() - suffix.size());
    return std::all_of(number.begin(), number.end(), [](unsigned char c) { return std::isdigit(c); });
}

void OutputName::RefuseInputs(const std::vector<std::string>& inputs) const {
    for (const auto& input : inputs) {
        std::error_code ec;
        const bool same = sequence ? Numbers(input) : fs::equivalent(fs::u8path(For(0)), fs::u8path(input), ec);
        if (same) throw Failure(option + " " + text + ": would overwrite the input " + input + "; choose another name");
    }
}

// Windows' isatty also answers yes for the NUL device; only a console is a
// terminal there.
bool IsTerminal(int fd) {
#ifdef _WIN32
    DWORD mode = 0;
    return ::isatty(fd) && GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), &mode);
#else
    return ::isatty(fd) == 1;
#endif
}

Progress::Progress(int expected) : total(expected), enabled(IsTerminal(kStderrFd)), start(Clock::now()) {}

void Progress::Frame(int done) {
    if (!enabled) return;
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double fps = seconds > 0 ? done / seconds : 0;
    std::fprintf(stderr, "\r");
    if (total > 0) {
        const int filled = std::min(20, 20 * done / total);
        std::fprintf(stderr, "[%s%s] ", std::string(size_t(filled), '#').c_str(),
                     std::string(size_t(20 - filled), '.').c_str());
    }
    std::fprintf(stderr, "frame %d", done);
    if (total > 0) std::fprintf(stderr, "/%d", total);
    std::fprintf(stderr, "  %.1f fps", fps);
    if (total > 0 && fps > 0) std::fprintf(stderr, "  %.0f s left", (total - done) / fps);
    std::fprintf(stderr, "   ");
    shown = true;
}

Progress::~Progress() {
    if (shown) std::fprintf(stderr, "\n");
}

std::FILE* TakeStandardOutput() {
    std::fflush(stdout);
    const int framesFd = ::dup(kStdoutFd);
    std::FILE* frames = framesFd >= 0 ? ::fdopen(framesFd, "wb") : nullptr;
    if (!frames || ::dup2(kStderrFd, kStdoutFd) < 0) throw Failure("--raw-out: cannot take over standard output");
    return frames;
}

void JsonOut::Write(const nlohmann::json& j) const {
    const std::string text = j.dump(2) + "\n";
    std::fwrite(text.data(), 1, text.size(), to);
    std::fflush(to);
}

}  // namespace tessivar::cli
