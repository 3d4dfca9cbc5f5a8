#pragma once
#include "platform/HardwareSources.h"

namespace platform {

/// The graphics adapter as Windows tells it: the caption of the last display
/// adapter the system lists, and of Direct3D 9's adapter 0 the shader
/// versions, the 32-bit display modes and the video memory (the larger of
/// its driver's record and DirectDraw's figure, and 0 unless both are had).
/// Everything that cannot be had stays empty; without Direct3D 9 only the
/// name is filled.
GraphicsReading readDirect3D();

/// UTF-8 from UTF-16 text.
std::string utf8Of(const wchar_t* text);

} // namespace platform
