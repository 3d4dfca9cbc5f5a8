#pragma once
#include <cstdint>
#include <string>
#include <vector>

class Properties;
class RCache;

namespace TKAL {
class Font;
class Frame;
class Image;
class ImageList;
} // namespace TKAL

namespace G2 {
struct ButtonStyle;
struct ListItemStyle;
struct ProgressFrameStyle;
struct PushButtonStyle;
struct ScrollStyle;
struct TableStyle;
} // namespace G2

namespace app {

/// The launcher's behaviour and layout metrics, read from "res.txt"; every
/// key has its default when absent.
struct LauncherConfig {
    int options = 0;
    int tick = 100;
    std::string caption = "Moravo";
    int captionHeight = 32;
    int captionMargin = 36;
    int optionsHeight = 32;
    double imagesRate = 5.0;
    int creditsBorder = 8;
    int creditsDelay = 15;
    int creditsShow = 1;
    int creditsPos[2] = {0, 0};
    int creditsSize[2] = {0, 0};
    int logoHeight = 32;
    int controlSpacing = 32;
    int controlBorder = 3;
    int controlMargin = 10;
    int barHeight = 32;
    int infoHeight = 22;
    int buttonSize[2] = {0, 0};
    int menuButtonSize[2] = {0, 0};
    int checkboxSize[2] = {0, 0};
    std::vector<std::string> menuList;
    int menuItemHeight = 22;
    int menuDelay = 15;
    int menuDefault = 0;
    int downloadRetry = 0;
    std::string gameDirectory = "Game.moravo";
    int fullScreen = 0;
    int catalogTimeout = 60;
    std::string moravotownUrl = "https://www.moravotown.example/";
    int doLogin = 0;
    int autoplayTime = 10;
    std::string loginServerDown = "El Servidor no responde.";
    std::string loginTimeOverflow = "Se ha superado el tiempo de espera.";
    std::string loginLoginErr = "Nombre o password son incorrectos.";
    std::string loginWebserviceErr = "El WebService no funciona correctamante.";
    std::string loginBackendErr = "El Backend del servicio no funciona correctamante.";
    std::string loginAutenticationErr = "Se ha producido un error de sesion.";
    std::string loginUndefinedErr = "Se ha producido un error inesperado.";
    std::string loginServerFull = "El sevidor esta lleno. Intentelo mas tarde";
    std::string loginProcessing = "Esperando respuesta";
    int doDel = 0;

    /// Reads every key from `tree`; absent keys keep their defaults.
    void read(const Properties& tree);
    /// The web-service time-out in milliseconds, as the client and the wait
    /// scene both count it: "catalog_timeout" seconds, at least 1 and at
    /// most what 32-bit milliseconds hold.
    uint32_t catalogTimeoutMs() const;
};

/// The look-and-feel resources the launcher cannot start without, owned by
/// the resource cache.
struct InitialResources {
    TKAL::Font* font1 = nullptr;
    TKAL::Font* font2 = nullptr;
    TKAL::Frame* captionFrame = nullptr;
    G2::ButtonStyle* captionButtonStyle = nullptr;
    TKAL::ImageList* images = nullptr;
    TKAL::ImageList* credits = nullptr;
    TKAL::Image* logo = nullptr;
    TKAL::Frame* pictFrame = nullptr;
    TKAL::Frame* controlFrame = nullptr;
    TKAL::Frame* optionsFrame = nullptr;
    TKAL::Frame* creditsFrame = nullptr;
    TKAL::Frame* menuFrame = nullptr;
    G2::ProgressFrameStyle* barStyle = nullptr;
    G2::ButtonStyle* buttonStyle = nullptr;
    G2::TableStyle* menuStyle = nullptr;
    G2::ListItemStyle* menuItemStyle = nullptr;
    G2::PushButtonStyle* menuButtonStyle = nullptr;
    G2::PushButtonStyle* checkboxStyle = nullptr;
    G2::ScrollStyle* videomodeScrollStyle = nullptr;
    G2::ScrollStyle* qualityScrollStyle3 = nullptr;
    G2::ScrollStyle* qualityScrollStyle4 = nullptr;
    G2::ScrollStyle* qualityScrollStyle5 = nullptr;

    /// Requests every resource in order; raises `RCache::NotFound` for the
    /// first that cannot be made.
    void load(RCache& cache);
    /// Makes "@font1", "@button_style", "@menu_button_style" and
    /// "@bar_style" the toolkit's defaults.
    void installDefaults() const;
};

/// The text the fatal-error path shows when an initial resource is missing.
extern const char* const initialResourcesError;

/// Reads the configuration and the initial resources from the cache's
/// resources tree and installs the toolkit defaults. A missing resource
/// ends the process through the toolkit's fatal-error path (exit code -1).
void readLauncherConfig(RCache& cache, LauncherConfig& config, InitialResources& resources);

} // namespace app
