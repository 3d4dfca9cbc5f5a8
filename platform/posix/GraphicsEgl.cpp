#include "platform/HardwareSources.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstring>

namespace platform {

namespace {

// Enumerants of later OpenGL versions and of the memory extensions.
constexpr GLenum kShadingLanguageVersion = 0x8B8C;
constexpr GLenum kNumExtensions = 0x821D;
constexpr GLenum kDedicatedVideoMemoryNvx = 0x9047; // kB
constexpr GLenum kTextureFreeMemoryAti = 0x87FC;    // kB, first of four values

using GetStringi = const GLubyte* (*)(GLenum, GLuint);

bool hasWord(const char* list, const char* word) {
    if (list == nullptr)
        return false;
    size_t length = strlen(word);
    for (const char* at = list; (at = strstr(at, word)) != nullptr; at += length) {
        bool starts = at == list || at[-1] == ' ';
        bool ends = at[length] == '\0' || at[length] == ' ';
        if (starts && ends)
            return true;
    }
    return false;
}

// The context's extensions, asked the way its version allows.
bool hasGlExtension(const char* name) {
    auto getStringi = reinterpret_cast<GetStringi>(eglGetProcAddress("glGetStringi"));
    GLint count = 0;
    if (getStringi != nullptr) {
        glGetIntegerv(kNumExtensions, &count);
        if (glGetError() == GL_NO_ERROR && count > 0) {
            for (GLint i = 0; i < count; ++i) {
                const GLubyte* extension = getStringi(GL_EXTENSIONS, static_cast<GLuint>(i));
                if (extension != nullptr && strcmp(reinterpret_cast<const char*>(extension), name) == 0)
                    return true;
            }
            return false;
        }
    }
    return hasWord(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)), name);
}

uint64_t videoMemoryFromDriver() {
    GLint values[4] = {0, 0, 0, 0};
    if (hasGlExtension("GL_NVX_gpu_memory_info")) {
        glGetIntegerv(kDedicatedVideoMemoryNvx, values);
        if (glGetError() == GL_NO_ERROR && values[0] > 0)
            return static_cast<uint64_t>(values[0]) << 10;
    }
    if (hasGlExtension("GL_ATI_meminfo")) {
        // The free texture memory: this extension tells nothing closer to the
        // total.
        glGetIntegerv(kTextureFreeMemoryAti, values);
        if (glGetError() == GL_NO_ERROR && values[0] > 0)
            return static_cast<uint64_t>(values[0]) << 10;
    }
    return 0;
}

// One EGL display with the context and surface made on it, all let go by
// the destructor.
class OffscreenContext {
public:
    explicit OffscreenContext(EGLDisplay display) : display_(display) {}
    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;
    ~OffscreenContext() {
        if (current_)
            eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (context_ != EGL_NO_CONTEXT)
            eglDestroyContext(display_, context_);
        if (surface_ != EGL_NO_SURFACE)
            eglDestroySurface(display_, surface_);
        if (initialised_)
            eglTerminate(display_);
    }

    bool makeCurrent() {
        if (display_ == EGL_NO_DISPLAY)
            return false;
        EGLint major = 0;
        EGLint minor = 0;
        if (!eglInitialize(display_, &major, &minor))
            return false;
        initialised_ = true;
        if (!eglBindAPI(EGL_OPENGL_API))
            return false;
        bool surfaceless = hasWord(eglQueryString(display_, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context");
        const EGLint configWanted[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE,
                                       surfaceless ? 0 : EGL_PBUFFER_BIT, EGL_NONE};
        EGLConfig config = nullptr;
        EGLint found = 0;
        if (!eglChooseConfig(display_, configWanted, &config, 1, &found) || found < 1)
            return false;
        // A core context tells the highest version on drivers whose
        // compatibility contexts stop at 3.0; any context will do otherwise.
        const EGLint core[] = {EGL_CONTEXT_MAJOR_VERSION,
                               3,
                               EGL_CONTEXT_MINOR_VERSION,
                               2,
                               EGL_CONTEXT_OPENGL_PROFILE_MASK,
                               EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                               EGL_NONE};
        context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, core);
        if (context_ == EGL_NO_CONTEXT)
            context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, nullptr);
        if (context_ == EGL_NO_CONTEXT)
            return false;
        if (!surfaceless) {
            const EGLint size[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
            surface_ = eglCreatePbufferSurface(display_, config, size);
            if (surface_ == EGL_NO_SURFACE)
                return false;
        }
        current_ = eglMakeCurrent(display_, surface_, surface_, context_) == EGL_TRUE;
        return current_;
    }

private:
    EGLDisplay display_;
    EGLContext context_ = EGL_NO_CONTEXT;
    EGLSurface surface_ = EGL_NO_SURFACE;
    bool initialised_ = false;
    bool current_ = false;
};

GraphicsReading readCurrentContext() {
    GraphicsReading reading;
    while (glGetError() != GL_NO_ERROR) {
    }
    if (const GLubyte* renderer = glGetString(GL_RENDERER))
        reading.renderer = reinterpret_cast<const char*>(renderer);
    if (const GLubyte* version = glGetString(kShadingLanguageVersion))
        parseGlslVersion(reinterpret_cast<const char*>(version), reading.glslMajor, reading.glslMinor);
    reading.videoMemoryBytes = videoMemoryFromDriver();
    return reading;
}

bool tryDisplay(EGLDisplay display, GraphicsReading& reading) {
    OffscreenContext context(display);
    if (!context.makeCurrent())
        return false;
    reading = readCurrentContext();
    return !reading.renderer.empty();
}

} // namespace

GraphicsReading readOpenGl() {
    GraphicsReading reading;
    const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    bool done = false;
    if (getPlatformDisplay != nullptr && hasWord(client, "EGL_MESA_platform_surfaceless"))
        done = tryDisplay(getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr),
                          reading);
    if (!done && getPlatformDisplay != nullptr && hasWord(client, "EGL_EXT_platform_device")) {
        auto queryDevices =
            reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
        EGLDeviceEXT device = nullptr;
        EGLint devices = 0;
        if (queryDevices != nullptr && queryDevices(1, &device, &devices) && devices > 0)
            done = tryDisplay(getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, device, nullptr), reading);
    }
    if (!done)
        done = tryDisplay(eglGetDisplay(EGL_DEFAULT_DISPLAY), reading);
    eglReleaseThread();
    if (!done)
        reading = GraphicsReading();
    return reading;
}

} // namespace platform
