// The main window: its four panels, the credits, and the event handler.
//   [build]    panel construction
//   [events]   the handler and the credits timers
#include "app/MainWin.h"

#include "app/HardwareInfo.h"
#include "app/LauncherConfig.h"
#include "app/VideoModes.h"
#include "app/Widgets.h"
#include "g2/ButtonWidget.h"
#include "g2/ComboBoxWidget.h"
#include "g2/EditWidget.h"
#include "g2/Game.h"
#include "g2/LabelWidget.h"
#include "g2/ListWidget.h"
#include "g2/Messages.h"
#include "g2/ProgressWidget.h"
#include "g2/Styles.h"

namespace app {

namespace {

const char* const versionText = MORAVO_VERSION;

int idOf(void* sender) {
    auto* node = static_cast<G2::Node*>(sender);
    if (node == nullptr || !node->isKindOf(G2::ButtonWidget::classRecord))
        return 0;
    return static_cast<G2::ButtonWidget*>(node)->id;
}

int orDefault(int value, int fallback) {
    return value > 0 ? value : fallback;
}

} // namespace

// [build] -------------------------------------------------------------------

MainWin::MainWin(const LauncherConfig& config, const InitialResources& resources, AbstractTree* quality,
                 AbstractTree* video, int width, int height)
    : config_(config), resources_(resources) {
    if (quality == nullptr || quality->count() == 0)
        G2::fatalError("Sin menu de calidades");
    setName("MainWin");
    setSize(width, height);
    flow = G2::FlowVertical;
    // The screen is cleared with a fixed colour every frame: the window's
    // background covers it whole.
    setStyle(resources.captionFrame);

    // The logo strip across the top.
    auto logo = std::make_unique<G2::PictWidget>();
    logo->setImage(resources.logo);
    logo->expand = G2::ExpandHorizontal;
    logo->setSize(width, config.logoHeight);
    append(std::move(logo));

    G2::Widget* stack = addBox(this, G2::FlowStack);
    stack->expand = G2::ExpandBoth;
    buildLogin(stack);
    buildWait(stack);
    buildRequirements(stack);
    buildMain(stack, quality, video);
    // The dialogs take the size their content needs, centred in the window.
    for (Panel p : {LoginPanel, WaitPanel, RequirementsPanel})
        fitToContent(panels_[p]);
    buildCredits(width, height);

    G2::toolkit().emitter.connect(this, G2::Msg::QuitRequested);
    showPanel(config.doLogin != 0 ? LoginPanel : MainPanel);
}

MainWin::~MainWin() {
    G2::toolkit().emitter.disconnect(this, G2::Msg::QuitRequested);
}

void MainWin::listen(G2::Widget* control, std::initializer_list<uint32_t> codes) {
    for (uint32_t code : codes)
        control->emitter().connect(this, code);
}

void MainWin::buildLogin(G2::Widget* stack) {
    const LauncherConfig& c = config_;
    const int line = c.infoHeight;
    const int buttonW = orDefault(c.buttonSize[0], 110);
    const int buttonH = orDefault(c.buttonSize[1], 28);
    const int boxW = orDefault(c.checkboxSize[0], 20);
    const int boxH = orDefault(c.checkboxSize[1], 20);

    G2::Widget* panel = addBox(stack, G2::FlowVertical, c.controlSpacing / 2,
                               c.controlBorder + c.controlMargin, resources_.controlFrame);
    panel->setSize(3 * buttonW + 2 * c.controlSpacing / 2 + 2 * (c.controlBorder + c.controlMargin), 0);
    panels_[LoginPanel] = panel;

    addLabel(panel, "Identificaci\xC3\xB3n en el servicio", line + 4, resources_.font2,
             G2::LabelWidget::Center);

    addLabel(panel, "N\xC3\xBAmero de Telefono Movil:", line);
    userField = addEdit(panel, 0, line + 4, resources_.optionsFrame);
    userField->expand = G2::ExpandHorizontal;
    addLabel(panel,
             "Contrase\xC3\xB1"
             "a:",
             line);
    passwordField = addEdit(panel, 0, line + 4, resources_.optionsFrame);
    passwordField->expand = G2::ExpandHorizontal;
    passwordField->setPasswordChar('*');
    listen(userField, {G2::Msg::ReturnPressed});
    listen(passwordField, {G2::Msg::ReturnPressed});

    G2::Widget* remember = addBox(panel, G2::FlowHorizontal, 8);
    remember->expand = G2::ExpandHorizontal;
    addLabel(remember,
             "Recordar Contrase\xC3\xB1"
             "a:",
             line)
        ->expand = G2::ExpandHorizontal;
    rememberBox = addCheckBox(remember, idRemember, boxW, boxH, resources_.checkboxStyle);
    listen(rememberBox, {G2::Msg::Toggled});

    G2::Widget* buttons = addBox(panel, G2::FlowHorizontal, c.controlSpacing / 2);
    buttons->gravity = G2::GravityEnd;
    buttons->expand = G2::ExpandHorizontal;
    for (auto [text, id] : {std::pair<const char*, int>{"Registrarse", idRegister},
                            {"Cancelar", idCancel},
                            {"Login", idLogin}}) {
        G2::LabelButtonWidget* b = addButton(buttons, text, id, buttonW, buttonH);
        listen(b, {G2::Msg::Activated});
        if (id == idLogin)
            loginButton = b;
    }
}

void MainWin::buildWait(G2::Widget* stack) {
    const LauncherConfig& c = config_;
    G2::Widget* panel = addBox(stack, G2::FlowVertical, c.controlSpacing / 2,
                               c.controlBorder + c.controlMargin, resources_.controlFrame);
    panel->setSize(orDefault(c.buttonSize[0], 110) * 3 + 2 * (c.controlBorder + c.controlMargin), 0);
    panels_[WaitPanel] = panel;
    waitLabel = addLabel(panel, "...", c.infoHeight, nullptr, G2::LabelWidget::Center);
    // When the answer hides the bar, the message takes its room and the
    // button stays where it was.
    waitLabel->expand = G2::ExpandBoth;
    waitBar = addBar(panel, c.barHeight, resources_.barStyle);
    G2::Widget* buttons = addBox(panel, G2::FlowHorizontal);
    buttons->expand = G2::ExpandHorizontal;
    buttons->gravity = G2::GravityCenter;
    listen(addButton(buttons, "Cancelar", idCancel, orDefault(c.buttonSize[0], 110),
                     orDefault(c.buttonSize[1], 28)),
           {G2::Msg::Activated});
}

void MainWin::buildRequirements(G2::Widget* stack) {
    const LauncherConfig& c = config_;
    const int buttonW = orDefault(c.buttonSize[0], 110);
    const int buttonH = orDefault(c.buttonSize[1], 28);
    G2::Widget* panel = addBox(stack, G2::FlowVertical, c.controlSpacing / 2,
                               c.controlBorder + c.controlMargin, resources_.controlFrame);
    panel->setSize(3 * buttonW + 2 * (c.controlBorder + c.controlMargin), 0);
    panels_[RequirementsPanel] = panel;
    addLabel(panel, "Requisitos Minimos no Superados", c.infoHeight + 4, resources_.font2,
             G2::LabelWidget::Center);
    coresLabel = addLabel(panel, "Nucleos del Procesador", c.infoHeight);
    memoryLabel = addLabel(panel, "Memoria RAM", c.infoHeight);
    shaderLabel = addLabel(panel, "Version de Shader", c.infoHeight);
    G2::Widget* buttons = addBox(panel, G2::FlowHorizontal, c.controlSpacing / 2);
    buttons->expand = G2::ExpandHorizontal;
    buttons->gravity = G2::GravityEnd;
    listen(addButton(buttons, "Cancelar", idCancel, buttonW, buttonH), {G2::Msg::Activated});
    listen(addButton(buttons, "Continuar", idContinue, buttonW, buttonH), {G2::Msg::Activated});
}

void MainWin::buildMain(G2::Widget* stack, AbstractTree* quality, AbstractTree* video) {
    const LauncherConfig& c = config_;
    G2::Widget* panel = addBox(stack, G2::FlowVertical, 6, c.controlMargin);
    panel->expand = G2::ExpandBoth;
    panels_[MainPanel] = panel;
    buildShow(panel);
    buildOptions(panel, quality, video);
    statusLabel = addLabel(panel, "Iniciando...", c.infoHeight);
    mainBar = addBar(panel, c.barHeight, resources_.barStyle);
    fileBar = addBar(panel, c.barHeight / 2 > 8 ? c.barHeight / 2 : c.barHeight, resources_.barStyle);
    buildMainButtons(panel);
}

void MainWin::buildShow(G2::Widget* panel) {
    // The picture show, with the version in its corner.
    const LauncherConfig& c = config_;
    G2::Widget* show = addBox(panel, G2::FlowStack, 0, c.controlBorder, resources_.pictFrame);
    show->expand = G2::ExpandBoth;
    auto pictures = std::make_unique<G2::AnimWidget>();
    pictures->setImages(resources_.images);
    pictures->motion = G2::AnimWidget::Loop;
    // "images_rate" is the time each picture stays, in seconds.
    double ticksPerImage = c.imagesRate * 1000.0 / (c.tick > 0 ? c.tick : 100);
    pictures->frameRate = ticksPerImage > 0 ? 1.0 / ticksPerImage : 0;
    pictures->expand = G2::ExpandBoth;
    this->pictures = show->append(std::move(pictures));
    G2::LabelWidget* version = addLabel(show, versionText, c.infoHeight, nullptr, G2::LabelWidget::End);
    version->align = G2::AlignEnd;
    version->margin = 6;
}

void MainWin::buildOptions(G2::Widget* panel, AbstractTree* quality, AbstractTree* video) {
    // The options: quality, video mode or "Configurar", full screen.
    const LauncherConfig& c = config_;
    const int menuW = orDefault(c.menuButtonSize[0], 160);
    const int menuH = orDefault(c.menuButtonSize[1], c.infoHeight + 4);
    G2::Widget* options = addBox(panel, G2::FlowHorizontal, 8, c.controlBorder, resources_.optionsFrame);
    options->expand = G2::ExpandHorizontal;
    G2::LabelWidget* title = addLabel(options, "Configuraci\xC3\xB3n:", menuH);
    title->expand = G2::ExpandNone;
    title->margin = 4;
    title->setSize(100, menuH);
    auto qualityCombo = std::make_unique<G2::ComboBoxWidget>(quality, idQuality);
    qualityCombo->setSize(menuW, menuH);
    qualityBox = options->append(std::move(qualityCombo));
    styleMenu(qualityBox);
    listen(qualityBox, {G2::Msg::SelectionChanged});
    auto videoCombo = std::make_unique<G2::ComboBoxWidget>(video, idVideo);
    videoCombo->setSize(menuW * 3 / 4, menuH);
    videoBox = options->append(std::move(videoCombo));
    styleMenu(videoBox);
    listen(videoBox, {G2::Msg::SelectionChanged});
    configureButton = addButton(options, "Configurar", idConfigure, menuW * 3 / 4, menuH);
    listen(configureButton, {G2::Msg::Activated});
    configureButton->setVisible(false);
    G2::LabelWidget* full = addLabel(options, "Pantalla completa:", menuH, nullptr, G2::LabelWidget::End);
    full->expand = G2::ExpandHorizontal;
    fullScreenBox = addCheckBox(options, idFullScreen, orDefault(c.checkboxSize[0], 20),
                                orDefault(c.checkboxSize[1], 20), resources_.checkboxStyle);
    fullScreen = c.fullScreen != 0;
    fullScreenBox->setToggled(fullScreen);
    listen(fullScreenBox, {G2::Msg::Toggled});
}

void MainWin::buildMainButtons(G2::Widget* panel) {
    const int buttonW = orDefault(config_.buttonSize[0], 110);
    const int buttonH = orDefault(config_.buttonSize[1], 28);
    G2::Widget* buttons = addBox(panel, G2::FlowHorizontal, 8);
    buttons->expand = G2::ExpandHorizontal;
    buttons->gravity = G2::GravityEnd;
    creditsButton = addButton(buttons,
                              "Cr\xC3\xA9"
                              "ditos",
                              idCredits, buttonW, buttonH);
    retryButton = addButton(buttons, "Reintentar", idRetry, buttonW, buttonH);
    cancelButton = addButton(buttons, "Cancelar", idCancel, buttonW, buttonH);
    playButton = addButton(buttons, "Jugar", idPlay, buttonW, buttonH);
    for (G2::LabelButtonWidget* b : {creditsButton, retryButton, cancelButton, playButton})
        listen(b, {G2::Msg::Activated});
    retryButton->setVisible(false);
    playButton->setDisabled(true);
}

void MainWin::styleMenu(G2::ComboBoxWidget* menu) {
    G2::TextListWidget* list = menu->list();
    list->setTableStyle(resources_.menuStyle);
    list->setItemStyle(resources_.menuItemStyle);
    list->itemHeight = config_.menuItemHeight;
}

void MainWin::buildCredits(int width, int height) {
    const LauncherConfig& c = config_;
    creditsLayer_ = std::make_unique<G2::Widget>();
    creditsLayer_->setSize(width, height);
    auto panel = std::make_unique<G2::AnimWidget>();
    panel->setImages(resources_.credits);
    panel->setStyle(resources_.creditsFrame);
    panel->border = static_cast<uint8_t>(c.creditsBorder);
    panel->x = static_cast<int16_t>(c.creditsPos[0]);
    panel->y = static_cast<int16_t>(c.creditsPos[1]);
    panel->setSize(c.creditsSize[0], c.creditsSize[1]);
    panel->setVisible(c.creditsShow != 0 && c.creditsSize[0] > 0 && c.creditsSize[1] > 0);
    credits = creditsLayer_->append(std::move(panel));
    listen(credits, {G2::Msg::VerticalMotionEnded});
    resetCredits();
}

void MainWin::resetCredits() {
    credits->setFrame(0);
    credits->setCentred(false);
    credits->imageX = 0;
    credits->imageY = 0;
    credits->motion = 0;
    credits->hVelocity = 0;
    credits->vVelocity = -1.0;
}

void MainWin::showPanel(Panel panel) {
    panel_ = panel;
    for (int p = 0; p < 4; ++p)
        panels_[p]->setVisible(p == panel);
    // The credits belong to the main panel; the dialogs show alone.
    credits->setVisible(panel == MainPanel && config_.creditsShow != 0 && config_.creditsSize[0] > 0 &&
                        config_.creditsSize[1] > 0);
}

void MainWin::showCores(uint32_t cores) {
    coresLabel->setText(coresText(cores).c_str());
}

void MainWin::showMemory(uint64_t megabytes) {
    memoryLabel->setText(memoryText(megabytes).c_str());
}

void MainWin::showShader(int32_t version) {
    shaderLabel->setText(shaderText(version).c_str());
    shaderLabel->colour = version < 3 ? 0xFF0000 : 0xFFFFFF;
}

void MainWin::setCredentials(const std::string& userName, const std::string& password, bool remember) {
    userField->setText(userName.c_str());
    passwordField->setText(password.c_str());
    rememberBox->setToggled(remember);
    rememberPassword = remember;
}

void MainWin::setLoginEnabled(bool on) {
    if (loginButton->isInert() == on)
        loginButton->setDisabled(!on);
}

void MainWin::setModes(const VideoModes* modes, const int* machineClass) {
    modes_ = modes;
    machineClass_ = machineClass;
}

void MainWin::chooseQuality(int row) {
    qualityRow = row;
    int preset = (machineClass_ != nullptr ? *machineClass_ : 0) + row;
    if (modes_ != nullptr && preset >= 0 && preset < 6)
        videoRow = modes_->entryOfRow(modes_->presetModes[preset]);
    qualityBox->list()->refresh();
    videoBox->list()->refresh();
    if (videoRow >= 0)
        videoBox->choose(videoRow);
    bool custom = preset >= 5;
    videoBox->setVisible(!custom);
    configureButton->setVisible(custom);
}

void MainWin::chooseVideo(int entry) {
    videoRow = entry;
    videoBox->choose(entry);
}

// [events] ------------------------------------------------------------------

int MainWin::onEvent(uint32_t code, void* sender, intptr_t data) {
    switch (code) {
    case G2::Msg::QuitRequested:
        // Escape (data non-zero) closes the launcher only from this window
        // itself: the settings window shown in its place takes it as Cancel.
        if (data != 0 && G2::viewShowing(this) == nullptr)
            return 0;
        closeRequested = true;
        return 1;
    case G2::Msg::ReturnPressed:
        if (sender == passwordField) {
            loginRequested = true;
        } else if (sender == userField) {
            G2::toolkit().setFocus(passwordField);
        }
        return 1;
    case G2::Msg::Toggled: {
        bool on = data != 0 && *reinterpret_cast<const uint8_t*>(data) != 0;
        if (idOf(sender) == idRemember)
            rememberPassword = on;
        else if (idOf(sender) == idFullScreen)
            fullScreen = on;
        return 1;
    }
    case G2::Msg::SelectionChanged:
        if (sender == qualityBox) {
            chooseQuality(static_cast<int>(data));
            qualityChanged = true;
        } else if (sender == videoBox) {
            videoRow = static_cast<int>(data);
        }
        return 1;
    case G2::Msg::VerticalMotionEnded:
        creditsButton->setDisabled(false);
        G2::Game::addTimer(this, creditsResetTimer,
                           G2::toolkit().now + static_cast<uint32_t>(config_.creditsDelay));
        return 1;
    case G2::Msg::Activated:
        onButton(idOf(sender));
        return 1;
    default:
        return G2::Widget::onEvent(code, sender, data);
    }
}

void MainWin::onButton(int id) {
    switch (id) {
    case idLogin:
        loginRequested = true;
        break;
    case idRegister:
        registerRequested = true;
        break;
    case idCancel:
        cancelRequested = true;
        break;
    case idPlay:
        playRequested = true;
        break;
    case idRetry:
        retryRequested = true;
        break;
    case idConfigure:
        configureRequested = true;
        break;
    case idContinue:
        continueRequested = true;
        break;
    case idCredits:
        resetCredits();
        creditsButton->setDisabled(true);
        G2::Game::addTimer(this, creditsStartTimer, G2::toolkit().now);
        break;
    default:
        break;
    }
}

void MainWin::onTimer(uint32_t id) {
    if (id == creditsStartTimer)
        credits->motion |= G2::AnimWidget::MoveVertical;
    else if (id == creditsResetTimer)
        resetCredits();
}

} // namespace app
