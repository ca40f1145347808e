#include "runner/platform/gl/HeadlessGL.h"

#include "gl/GLIncludes.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <dlfcn.h>
#include <link.h>

#include <cstring>
#include <set>
#include <string>

namespace tessivar {
namespace {

bool hasExtension(const char* list, const char* name) {
    if (!list) return false;
    const size_t n = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n) {
        const bool startOk = p == list || p[-1] == ' ';
        const bool endOk = p[n] == '\0' || p[n] == ' ';
        if (startOk && endOk) return true;
    }
    return false;
}

const char* eglErrorName(EGLint e) {
    switch (e) {
        case EGL_SUCCESS: return "EGL_SUCCESS";
        case EGL_NOT_INITIALIZED: return "EGL_NOT_INITIALIZED";
        case EGL_BAD_ACCESS: return "EGL_BAD_ACCESS";
        case EGL_BAD_ALLOC: return "EGL_BAD_ALLOC";
        case EGL_BAD_ATTRIBUTE: return "EGL_BAD_ATTRIBUTE";
        case EGL_BAD_CONFIG: return "EGL_BAD_CONFIG";
        case EGL_BAD_CONTEXT: return "EGL_BAD_CONTEXT";
        case EGL_BAD_DISPLAY: return "EGL_BAD_DISPLAY";
        case EGL_BAD_MATCH: return "EGL_BAD_MATCH";
        case EGL_BAD_PARAMETER: return "EGL_BAD_PARAMETER";
        default: return "EGL error";
    }
}

std::set<std::string> loadedObjects() {
    std::set<std::string> names;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* out) {
            if (info->dlpi_name && *info->dlpi_name) static_cast<std::set<std::string>*>(out)->insert(info->dlpi_name);
            return 0;
        },
        &names);
    return names;
}

// EGL loads the GL driver when a display is initialised and unloads it again on
// eglTerminate. Whatever the driver keeps in its globals until then turns into
// "leaks" from an unknown module the moment it is unloaded, which LeakSanitizer
// can neither attribute nor suppress narrowly. Keeping every library that
// context creation brought in resident for the life of the process leaves the
// driver's globals visible, so only real leaks are reported, with symbols.
void keepResident(const std::set<std::string>& before) {
    for (const std::string& name : loadedObjects()) {
        if (before.count(name)) continue;
        // NOLOAD: only takes a reference on what is already mapped.
        dlopen(name.c_str(), RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
    }
}

}  // namespace

std::unique_ptr<HeadlessGL> HeadlessGL::Create(std::string& error, const Options& options) {
    const char* clientExts = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!hasExtension(clientExts, "EGL_MESA_platform_surfaceless")) {
        error = "no EGL surfaceless platform (EGL_MESA_platform_surfaceless): install libegl-mesa0 and libgl1-mesa-dri";
        return nullptr;
    }
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) {
        error = "EGL lacks eglGetPlatformDisplayEXT: install libegl-mesa0";
        return nullptr;
    }
    const std::set<std::string> librariesBefore = loadedObjects();
    EGLDisplay dpy = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (dpy == EGL_NO_DISPLAY || !eglInitialize(dpy, &major, &minor)) {
        error = std::string("cannot initialise the EGL surfaceless display (") + eglErrorName(eglGetError()) +
                "): install libegl-mesa0 and libgl1-mesa-dri";
        return nullptr;
    }
    keepResident(librariesBefore);
    std::unique_ptr<HeadlessGL> gl(new HeadlessGL());
    gl->display = dpy;

    if (!hasExtension(eglQueryString(dpy, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context")) {
        error = "the EGL driver cannot make a context current without a surface (EGL_KHR_surfaceless_context)";
        return nullptr;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        error = "EGL has no desktop OpenGL API: install libgl1-mesa-dri and libopengl-dev";
        return nullptr;
    }
    // Surfaceless contexts need no config when the driver allows it; otherwise
    // take any desktop-GL config (Mesa offers pbuffer configs only there).
    EGLConfig config = EGL_NO_CONFIG_KHR;
    if (!hasExtension(eglQueryString(dpy, EGL_EXTENSIONS), "EGL_KHR_no_config_context")) {
        const EGLint configAttribs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
                                        EGL_NONE};
        EGLint numConfigs = 0;
        if (!eglChooseConfig(dpy, configAttribs, &config, 1, &numConfigs) || numConfigs < 1) {
            error = "EGL offers no configuration that renders desktop OpenGL: install libgl1-mesa-dri";
            return nullptr;
        }
    }
    const EGLint contextAttribs[] = {EGL_CONTEXT_MAJOR_VERSION,
                                     options.major,
                                     EGL_CONTEXT_MINOR_VERSION,
                                     options.minor,
                                     EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                     EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                     EGL_CONTEXT_OPENGL_DEBUG,
                                     options.debug ? EGL_TRUE : EGL_FALSE,
                                     EGL_NONE};
    EGLContext ctx = eglCreateContext(dpy, config, EGL_NO_CONTEXT, contextAttribs);
    if (ctx == EGL_NO_CONTEXT) {
        error = "cannot create an OpenGL " + std::to_string(options.major) + "." + std::to_string(options.minor) +
                " core context (" + eglErrorName(eglGetError()) + "): the GL driver is too old or missing";
        return nullptr;
    }
    gl->context = ctx;
    if (!gl->MakeCurrent()) {
        error = std::string("cannot make the OpenGL context current (") + eglErrorName(eglGetError()) + ")";
        return nullptr;
    }
    if (!glGetString(GL_VERSION)) {
        error = "the OpenGL context answers no version string: libOpenGL and the Mesa driver disagree";
        return nullptr;
    }
    if (options.debug) {
        glEnable(GL_DEBUG_OUTPUT);
        glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    }
    return gl;
}

HeadlessGL::~HeadlessGL() {
    auto dpy = static_cast<EGLDisplay>(display);
    if (!dpy) return;
    if (context) {
        if (eglGetCurrentContext() == static_cast<EGLContext>(context)) {
            glDebugMessageCallback(nullptr, nullptr);
            eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        }
        eglDestroyContext(dpy, static_cast<EGLContext>(context));
    }
    eglTerminate(dpy);
    eglReleaseThread();
}

bool HeadlessGL::MakeCurrent() {
    return eglMakeCurrent(static_cast<EGLDisplay>(display), EGL_NO_SURFACE, EGL_NO_SURFACE,
                          static_cast<EGLContext>(context)) == EGL_TRUE;
}

}  // namespace tessivar
