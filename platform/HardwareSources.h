#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform {

/// What an off-screen graphics context tells of the graphics adapter.
struct GraphicsReading {
    std::string renderer; ///< the adapter's name (GL_RENDERER); empty without a context
    int glslMajor = 0;    ///< shading-language version, e.g. 4 and 50 for "4.50"
    int glslMinor = 0;
    uint64_t videoMemoryBytes = 0; ///< 0 when the driver does not tell it
    /// Vertex and pixel shader major versions where the system tells them
    /// itself (Direct3D 9); 0 otherwise, and the survey derives them from
    /// the shading-language version.
    int vertexShaderMajor = 0;
    int pixelShaderMajor = 0;
    /// The primary adapter's display modes (width, height) as it lists them
    /// (Direct3D 9); empty where the source does not list them, and the
    /// survey takes the display's own list.
    std::vector<std::pair<uint32_t, uint32_t>> displayModes;
};

/// The readings the hardware survey is made of. Every reading that cannot be
/// had is 0 or empty; none fails or throws. Tests feed the survey their own.
class HardwareSources {
public:
    virtual ~HardwareSources() = default;
    /// Number of processors online.
    virtual uint32_t processorCount() = 0;
    /// The processor's name as its maker gives it.
    virtual std::string processorName() = 0;
    /// The processor's top speed in MHz.
    virtual uint32_t processorMHz() = 0;
    /// Total physical memory in bytes.
    virtual uint64_t physicalMemoryBytes() = 0;
    /// The graphics adapter as an off-screen context sees it. Makes and
    /// drops a context on each call.
    virtual GraphicsReading graphics() = 0;
};

/// The readings of this machine: `LinuxHardwareSources` on Linux; on
/// Windows the system information, the registry's processor key, the memory
/// status, WMI's "Win32_VideoController", DirectDraw and Direct3D 9.
std::unique_ptr<HardwareSources> systemHardwareSources();

/// The readings of a Linux machine: /proc and /sys below a root folder ("/"
/// for this machine, a fake tree in tests), and an OpenGL context made with
/// EGL without any window.
class LinuxHardwareSources : public HardwareSources {
public:
    explicit LinuxHardwareSources(const std::string& root = "/");

    /// The online list in sys/devices/system/cpu/online ("0-3,6"); on this
    /// machine's own root the system's count when the list is missing.
    uint32_t processorCount() override;
    /// "model name" of proc/cpuinfo.
    std::string processorName() override;
    /// cpufreq's cpuinfo_max_freq of processor 0 (kHz, given in MHz), else
    /// "cpu MHz" of proc/cpuinfo, rounded.
    uint32_t processorMHz() override;
    /// "MemTotal" of proc/meminfo; on this machine's own root the system's
    /// page count when that is missing.
    uint64_t physicalMemoryBytes() override;
    /// `readOpenGlApart()`, with the video memory of the first graphics card
    /// in sys/class/drm when the driver did not tell it.
    GraphicsReading graphics() override;

private:
    std::string root_;
    bool ownRoot_;
};

/// Renderer, shading-language version and (through GL_NVX_gpu_memory_info or
/// GL_ATI_meminfo) video memory of an OpenGL context made off-screen with
/// EGL: the surfaceless platform, else the first EGL device, else the default
/// display, each with a 1 x 1 pbuffer where surfaceless contexts are not
/// offered. All empty without EGL, a driver or a GPU.
GraphicsReading readOpenGl();

/// `readOpenGl()` in a short-lived child process, so that the driver (a
/// software renderer can bring a compiler of tens of megabytes) is never
/// loaded into this one, and a driver that hangs costs `timeoutMs` at most.
/// All empty when the child fails or runs out of time; in this process when
/// no child can be made.
GraphicsReading readOpenGlApart(uint32_t timeoutMs = 10000);

/// What `read` answers when called in a child process made with fork (only
/// the calling thread goes on in it), handed back through a pipe; all empty
/// when the child fails, or runs beyond `timeoutMs` and is killed. `read` is
/// called here when no child can be made.
GraphicsReading readGraphicsApart(GraphicsReading (*read)(), uint32_t timeoutMs);

/// Video memory in bytes from mem_info_vram_total of the lowest-numbered
/// card under `root`/sys/class/drm that has one; 0 when none does.
uint64_t drmVideoMemoryBytes(const std::string& root);

/// Reads the version at the start of a GL_SHADING_LANGUAGE_VERSION text
/// ("4.50", "1.20 NVIDIA", "OpenGL ES GLSL ES 3.20"); false when there is
/// none. The minor part counts hundredths, so "4.5" gives 4 and 50.
bool parseGlslVersion(const std::string& text, int& major, int& minor);

/// The shader model the launcher uses for a shading-language version:
/// 5 from 4.00, 4 from 1.50, 3 from 1.20, 2 from 1.10, otherwise 0.
int shaderMajorForGlsl(int major, int minor);

} // namespace platform
