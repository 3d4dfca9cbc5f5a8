#include "app/LauncherConfig.h"

#include "g2/Game.h"
#include "props/Properties.h"
#include "props/RCache.h"

#include <algorithm>
#include <cstdio>

namespace app {

const char* const initialResourcesError = "Error al cargar los recursos iniciales";

namespace {

void readPair(const Properties& tree, const char* key, int (&out)[2]) {
    if (tree.find(key) != nullptr)
        tree.getInts(key, out, 2);
}

} // namespace

void LauncherConfig::read(const Properties& tree) {
    options = tree.getInt("options", options);
    tick = tree.getInt("tick", tick);
    caption = tree.getString("caption", caption);
    captionHeight = tree.getInt("caption_height", captionHeight);
    captionMargin = tree.getInt("caption_margin", captionMargin);
    optionsHeight = tree.getInt("options_height", optionsHeight);
    imagesRate = tree.getDouble("images_rate", imagesRate);
    creditsBorder = tree.getInt("credits_border", creditsBorder);
    creditsDelay = tree.getInt("credits_delay", creditsDelay);
    creditsShow = tree.getInt("credits_show", creditsShow);
    readPair(tree, "credits_pos", creditsPos);
    readPair(tree, "credits_size", creditsSize);
    logoHeight = tree.getInt("logo_height", logoHeight);
    controlSpacing = tree.getInt("control_spacing", controlSpacing);
    controlBorder = tree.getInt("control_border", controlBorder);
    controlMargin = tree.getInt("control_margin", controlMargin);
    barHeight = tree.getInt("bar_height", barHeight);
    infoHeight = tree.getInt("info_height", infoHeight);
    readPair(tree, "button_size", buttonSize);
    readPair(tree, "menu_button_size", menuButtonSize);
    readPair(tree, "checkbox_size", checkboxSize);
    if (const Property* list = tree.find("menu_list")) {
        menuList.clear();
        for (unsigned i = 0; i < list->count(); ++i) {
            std::string entry = list->childValue(static_cast<int>(i));
            menuList.push_back(entry.empty() ? "?" : entry);
        }
    }
    menuItemHeight = tree.getInt("menu_item_height", menuItemHeight);
    menuDelay = tree.getInt("menu_delay", menuDelay);
    menuDefault = tree.getInt("menu_default", menuDefault);
    downloadRetry = tree.getInt("download_retry", downloadRetry);
    gameDirectory = tree.getString("game_directory", gameDirectory);
    fullScreen = tree.getInt("full_screen", fullScreen);
    catalogTimeout = tree.getInt("catalog_timeout", catalogTimeout);
    moravotownUrl = tree.getString("moravotown_url", moravotownUrl);
    doLogin = tree.getInt("do_login", doLogin);
    autoplayTime = tree.getInt("autoplay_time", autoplayTime);
    loginServerDown = tree.getString("login_SERVER_DOWN", loginServerDown);
    loginTimeOverflow = tree.getString("login_TIME_OVERFLOW", loginTimeOverflow);
    loginLoginErr = tree.getString("login_LOGIN_ERR", loginLoginErr);
    loginWebserviceErr = tree.getString("login_WEBSERVICE_ERR", loginWebserviceErr);
    loginBackendErr = tree.getString("login_BACKEND_ERR", loginBackendErr);
    loginAutenticationErr = tree.getString("login_AUTENTICATION_ERR", loginAutenticationErr);
    loginUndefinedErr = tree.getString("login_UNDEFINED_ERR", loginUndefinedErr);
    loginServerFull = tree.getString("login_SERVER_FULL", loginServerFull);
    loginProcessing = tree.getString("login_PROCESSING", loginProcessing);
    doDel = tree.getInt("do_del", doDel);
}

uint32_t LauncherConfig::catalogTimeoutMs() const {
    // A time-out of 0 (or less) would end every wait at once; one that
    // overflows 32-bit milliseconds would end it at a random time.
    return static_cast<uint32_t>(std::clamp(catalogTimeout, 1, 2147483)) * 1000u;
}

void InitialResources::load(RCache& cache) {
    auto get = [&cache](auto*& field, const char* type, const char* name) {
        using T = std::remove_reference_t<decltype(*field)>;
        field = cache.get<T>(type, name);
    };
    get(font1, "TTFont", "@font1");
    get(font2, "TTFont", "@font2");
    get(captionFrame, "Frame", "@caption_frame");
    get(captionButtonStyle, "ButtonStyle", "@caption_button_style");
    get(images, "ImageList", "@images");
    get(credits, "ImageList", "@credits");
    get(logo, "Image", "@logo");
    get(pictFrame, "Frame", "@pict_frame");
    get(controlFrame, "Frame", "@control_frame");
    get(optionsFrame, "Frame", "@options_frame");
    get(creditsFrame, "Frame", "@credits_frame");
    get(menuFrame, "Frame", "@menu_frame");
    get(barStyle, "ProgressFrameStyle", "@bar_style");
    get(buttonStyle, "ButtonStyle", "@button_style");
    get(menuStyle, "TableStyle", "@menu_style");
    get(menuItemStyle, "ListItemStyle", "@menu_item_style");
    get(menuButtonStyle, "PushButtonStyle", "@menu_button_style");
    get(checkboxStyle, "PushButtonStyle", "@checkbox_style");
    get(videomodeScrollStyle, "ScrollStyle", "@videomode_scroll_style");
    get(qualityScrollStyle3, "ScrollStyle", "@quality_scroll_style3");
    get(qualityScrollStyle4, "ScrollStyle", "@quality_scroll_style4");
    get(qualityScrollStyle5, "ScrollStyle", "@quality_scroll_style5");
}

void InitialResources::installDefaults() const {
    G2::Toolkit& tk = G2::toolkit();
    tk.defaultFont = font1;
    tk.defaultButtonStyle = buttonStyle;
    tk.defaultPushButtonStyle = menuButtonStyle;
    tk.defaultProgressStyle = barStyle;
}

void readLauncherConfig(RCache& cache, LauncherConfig& config, InitialResources& resources) {
    try {
        resources.load(cache);
    } catch (const RCache::NotFound& e) {
        // The player sees the fixed text; the operator needs to know which one.
        std::fprintf(stderr, "%s\n", e.what());
        G2::fatalError(initialResourcesError);
    }
    if (const Properties* tree = cache.properties())
        config.read(*tree);
    resources.installDefaults();
}

} // namespace app
