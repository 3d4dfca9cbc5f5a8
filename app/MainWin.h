#pragma once
#include "g2/Widget.h"

#include <memory>
#include <string>

class AbstractTree;

namespace G2 {
class AnimWidget;
class ComboBoxWidget;
class EditWidget;
class LabelButtonWidget;
class LabelWidget;
class ProgressFrameWidget;
class PushButtonWidget;
} // namespace G2

namespace app {

struct InitialResources;
struct LauncherConfig;
struct VideoModes;

/// The launcher's main window, shared by all scenes: the login, wait,
/// minimum-requirements and main panels (one shown at a time) and the
/// credits panel shown in the layer above. Its event handler turns the
/// player's actions into flags that the scenes read and clear.
class MainWin : public G2::Widget {
public:
    enum Panel { LoginPanel, WaitPanel, RequirementsPanel, MainPanel };
    /// The `id` of each button, check box and selector of the window: the
    /// handler tells the senders apart by it, and the widget map (so the
    /// robot player) finds the controls by it.
    enum ControlId : int32_t {
        idCredits = 1000,
        idCancel = 1001,
        idPlay = 1002,
        idConfigure = 1003,
        idFullScreen = 1005,
        idRetry = 1006,
        idQuality = 1008,
        idVideo = 1009,
        idLogin = 1010,
        idRegister = 1011,
        idRemember = 1012,
        idContinue = 1013,
    };

    /// Builds the window `width` x `height`. `quality` and `video` are the
    /// data of the two selectors (borrowed). With no quality rows the window
    /// cannot be built: the fatal-error path runs with "Sin menu de calidades".
    MainWin(const LauncherConfig& config, const InitialResources& resources, AbstractTree* quality,
            AbstractTree* video, int width, int height);
    /// The video modes and the machine class the selectors map rows with.
    void setModes(const VideoModes* modes, const int* machineClass);
    /// Selects quality row `row`: the video list shows the preset's default
    /// mode, or gives way to "Configurar" for the custom preset.
    void chooseQuality(int row);
    /// Selects entry `entry` of the video-mode list.
    void chooseVideo(int entry);
    ~MainWin() override;

    int onEvent(uint32_t code, void* sender, intptr_t data) override;
    void onTimer(uint32_t id) override;

    void showPanel(Panel panel);
    Panel panel() const { return panel_; }

    // Minimum-requirements texts.
    void showCores(uint32_t cores);
    void showMemory(uint64_t megabytes);
    void showShader(int32_t version);

    /// Sets the login fields and the "remember" box.
    void setCredentials(const std::string& userName, const std::string& password, bool remember);
    /// Disabling the Login button while a field is empty.
    void setLoginEnabled(bool on);

    /// The layer-2 root holding the credits panel (owned by the window).
    G2::Widget* creditsLayer() const { return creditsLayer_.get(); }
    /// Resets the credits to their first picture at rest.
    void resetCredits();

    // Event flags, set by the handler, read and cleared by the scenes.
    bool loginRequested = false;
    bool registerRequested = false;
    bool rememberPassword = false;
    bool closeRequested = false;
    bool cancelRequested = false;
    bool playRequested = false;
    bool retryRequested = false;
    bool configureRequested = false;
    bool continueRequested = false;
    bool qualityChanged = false;
    bool fullScreen = false;

    int qualityRow = 0;
    /// The chosen entry of the video-mode list (-1 for none).
    int videoRow = 0;

    // Login panel.
    G2::EditWidget* userField = nullptr;
    G2::EditWidget* passwordField = nullptr;
    G2::PushButtonWidget* rememberBox = nullptr;
    G2::LabelButtonWidget* loginButton = nullptr;
    // Wait panel.
    G2::LabelWidget* waitLabel = nullptr;
    G2::ProgressFrameWidget* waitBar = nullptr;
    // Requirements panel.
    G2::LabelWidget* coresLabel = nullptr;
    G2::LabelWidget* memoryLabel = nullptr;
    G2::LabelWidget* shaderLabel = nullptr;
    // Main panel.
    G2::AnimWidget* pictures = nullptr;
    G2::ComboBoxWidget* qualityBox = nullptr;
    G2::ComboBoxWidget* videoBox = nullptr;
    G2::LabelButtonWidget* configureButton = nullptr;
    G2::PushButtonWidget* fullScreenBox = nullptr;
    G2::LabelWidget* statusLabel = nullptr;
    G2::ProgressFrameWidget* mainBar = nullptr;
    G2::ProgressFrameWidget* fileBar = nullptr;
    G2::LabelButtonWidget* creditsButton = nullptr;
    G2::LabelButtonWidget* retryButton = nullptr;
    G2::LabelButtonWidget* cancelButton = nullptr;
    G2::LabelButtonWidget* playButton = nullptr;
    G2::AnimWidget* credits = nullptr;

private:
    /// The credits' timers: the panel starts moving, then is reset once it
    /// has stood still for "credits_delay".
    enum CreditsTimer : uint32_t { creditsStartTimer = 1, creditsResetTimer = 2 };

    void buildLogin(G2::Widget* stack);
    void buildWait(G2::Widget* stack);
    void buildRequirements(G2::Widget* stack);
    void buildMain(G2::Widget* stack, AbstractTree* quality, AbstractTree* video);
    void buildShow(G2::Widget* panel);
    void buildOptions(G2::Widget* panel, AbstractTree* quality, AbstractTree* video);
    void buildMainButtons(G2::Widget* panel);
    void buildCredits(int width, int height);
    /// Gives a selector's open list the menu's looks and row height.
    void styleMenu(G2::ComboBoxWidget* menu);
    /// What a click on the control with identifier `id` asks for.
    void onButton(int id);
    /// Connects a control's messages to this window.
    void listen(G2::Widget* control, std::initializer_list<uint32_t> codes);

    const LauncherConfig& config_;
    const InitialResources& resources_;
    const VideoModes* modes_ = nullptr;
    const int* machineClass_ = nullptr;
    Panel panel_ = LoginPanel;
    G2::Widget* panels_[4] = {};
    std::unique_ptr<G2::Widget> creditsLayer_;
};

} // namespace app
