#pragma once
#include "g2/Widget.h"

class AbstractTree;

namespace G2 {
class LabelWidget;
class ListContainerWidget;
class PushButtonWidget;
class ScrollWidget;
class TextListWidget;
} // namespace G2

namespace app {

struct InitialResources;
struct LauncherConfig;
struct UserSettings;
struct VideoModes;

/// "Configuracion Personalizada": the custom preset's video mode,
/// antialiasing, shadows, level of detail and HDR.
class UserSetWin : public G2::Widget {
public:
    /// The `id` of each button and check box of the window (see MainWin).
    enum ControlId : int32_t { idHdr = 1016, idCancel = 1018, idOk = 1019 };

    /// `modes` lists the video modes (borrowed).
    UserSetWin(const LauncherConfig& config, const InitialResources& resources, AbstractTree* modes,
               int width, int height);
    ~UserSetWin() override;

    int onEvent(uint32_t code, void* sender, intptr_t data) override;

    /// Takes the levels from the custom preset; the result flags are cleared.
    void show(const UserSettings& settings, int customMode);
    /// Stores the levels in the custom preset and the chosen mode in `modes`
    /// (its first row becomes the custom mode).
    void apply(UserSettings& settings, VideoModes& modes) const;

    /// The shadow level whose size is `size`, or the nearest below it.
    static int shadowLevelFor(int size);
    /// The size stored for a shadow level.
    static int shadowSizeFor(int level);

    int aaLevel = 0;
    int shadowLevel = 0;
    bool hdr = false;
    int detailLevel = 0;
    int videoIndex = 0;
    bool closed = false;
    bool cancelled = false;
    bool accepted = false;

    G2::TextListWidget* videoList = nullptr;
    G2::ScrollWidget* aaBar = nullptr;
    G2::ScrollWidget* shadowBar = nullptr;
    G2::ScrollWidget* detailBar = nullptr;
    G2::LabelWidget* aaValue = nullptr;
    G2::LabelWidget* shadowValue = nullptr;
    G2::LabelWidget* detailValue = nullptr;
    G2::PushButtonWidget* hdrBox = nullptr;

private:
    /// Shows each level on its bar and label.
    void refresh();
    void addVideoList(G2::Widget* panel, const LauncherConfig& config, const InitialResources& resources,
                      AbstractTree* modes);
    void addHdrRow(G2::Widget* panel, const LauncherConfig& config, const InitialResources& resources);
    G2::ScrollWidget* addLevelRow(G2::Widget* parent, const char* title, int positions, void* style,
                                  G2::LabelWidget*& value);
};

} // namespace app
