// Windows: a WGL context on a hidden window that is never shown. Rendering
// goes to framebuffer objects, as with EGL; the window only carries the pixel
// format WGL insists on. An old-style context is made first, because
// wglCreateContextAttribsARB can only be looked up while one is current.
#include "runner/platform/gl/HeadlessGL.h"

#include "gl/GLIncludes.h"

#include <string>

namespace tessivar {
namespace {

// From WGL_ARB_create_context(_profile).
constexpr int kMajorVersion = 0x2091, kMinorVersion = 0x2092, kContextFlags = 0x2094, kProfileMask = 0x9126;
constexpr int kDebugBit = 0x0001, kCoreProfileBit = 0x0001;
using CreateContextAttribs = HGLRC(WINAPI*)(HDC, HGLRC, const int*);

const char kWindowClass[] = "TessivarHeadlessGL";

std::string windowsError(const char* what) {
    return std::string(what) + " (Windows error " + std::to_string(GetLastError()) + ")";
}

// A window of our own, never shown: WGL draws only through a window's
// device context.
HWND makeHiddenWindow(std::string& error) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.style = CS_OWNDC;  // one device context for the window's life
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        error = windowsError("cannot register a window class for WGL");
        return nullptr;
    }
    HWND window =
        CreateWindowA(kWindowClass, "Tessivar", WS_OVERLAPPEDWINDOW, 0, 0, 16, 16, nullptr, nullptr, instance, nullptr);
    if (!window) error = windowsError("cannot create a hidden window for WGL");
    return window;
}

// A core context needs wglCreateContextAttribsARB, which only a current
// legacy context can look up: one is made, asked, and deleted again.
HGLRC makeCoreContext(HDC dc, const HeadlessGL::Options& options, std::string& error) {
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 32;
    pfd.cDepthBits = 24;
    pfd.cStencilBits = 8;
    const int format = ChoosePixelFormat(dc, &pfd);
    if (!format || !SetPixelFormat(dc, format, &pfd)) {
        error = windowsError("the OpenGL driver offers no pixel format for a window");
        return nullptr;
    }
    HGLRC legacy = wglCreateContext(dc);
    if (!legacy || !wglMakeCurrent(dc, legacy)) {
        if (legacy) wglDeleteContext(legacy);
        error = windowsError("cannot create any OpenGL context: the OpenGL driver is missing");
        return nullptr;
    }
    auto createContext = reinterpret_cast<CreateContextAttribs>(
        reinterpret_cast<void (*)()>(wglGetProcAddress("wglCreateContextAttribsARB")));
    const int attribs[] = {kMajorVersion,
                           options.major,
                           kMinorVersion,
                           options.minor,
                           kProfileMask,
                           kCoreProfileBit,
                           kContextFlags,
                           options.debug ? kDebugBit : 0,
                           0};
    HGLRC coreContext = createContext ? createContext(dc, nullptr, attribs) : nullptr;
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(legacy);
    if (!createContext)
        error = "the OpenGL driver lacks wglCreateContextAttribsARB, so it makes no core contexts";
    else if (!coreContext)
        error = "cannot create an OpenGL " + std::to_string(options.major) + "." + std::to_string(options.minor) +
                " core context: the GL driver is too old or missing";
    return coreContext;
}

}  // namespace

std::unique_ptr<HeadlessGL> HeadlessGL::Create(std::string& error, const Options& options) {
    HWND window = makeHiddenWindow(error);
    if (!window) return nullptr;
    std::unique_ptr<HeadlessGL> gl(new HeadlessGL());
    gl->display = window;  // destroyed with gl from here on
    HGLRC coreContext = makeCoreContext(GetDC(window), options, error);
    if (!coreContext) return nullptr;
    gl->context = coreContext;
    if (!gl->MakeCurrent()) {
        error = windowsError("cannot make the OpenGL context current");
        return nullptr;
    }
    std::string missing;
    if (!LoadHostGL(missing)) {
        error = "the OpenGL driver has no " + missing;
        return nullptr;
    }
    if (!glGetString(GL_VERSION)) {
        error = "the OpenGL context answers no version string";
        return nullptr;
    }
    if (options.debug) {
        glEnable(GL_DEBUG_OUTPUT);
        glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    }
    return gl;
}

HeadlessGL::~HeadlessGL() {
    auto window = static_cast<HWND>(display);
    if (!window) return;
    if (context) {
        if (wglGetCurrentContext() == static_cast<HGLRC>(context)) {
            // (Null when the host table could not be loaded: Create reports
            // that, and no callback was ever set.)
            if (glDebugMessageCallback) glDebugMessageCallback(nullptr, nullptr);
            wglMakeCurrent(nullptr, nullptr);
        }
        wglDeleteContext(static_cast<HGLRC>(context));
    }
    DestroyWindow(window);
}

bool HeadlessGL::MakeCurrent() {
    return wglMakeCurrent(GetDC(static_cast<HWND>(display)), static_cast<HGLRC>(context)) == TRUE;
}

}  // namespace tessivar
