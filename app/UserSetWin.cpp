#include "app/UserSetWin.h"

#include "app/GameFiles.h"
#include "app/LauncherConfig.h"
#include "app/VideoModes.h"
#include "app/Widgets.h"
#include "g2/ButtonWidget.h"
#include "g2/Game.h"
#include "g2/LabelWidget.h"
#include "g2/ListWidget.h"
#include "g2/Messages.h"
#include "g2/ScrollWidget.h"
#include "g2/Styles.h"

#include <algorithm>
#include <cmath>

namespace app {

namespace {

int orDefault(int value, int fallback) {
    return value > 0 ? value : fallback;
}

} // namespace

UserSetWin::UserSetWin(const LauncherConfig& c, const InitialResources& resources, AbstractTree* modes,
                       int width, int height) {
    setName("UserSetWin");
    setSize(width, height);
    flow = G2::FlowVertical;
    // The window covers the whole screen with the launcher's background, the
    // logo strip on top, and holds its controls in a panel at its centre.
    setStyle(resources.captionFrame);
    const int buttonW = orDefault(c.buttonSize[0], 110);
    const int buttonH = orDefault(c.buttonSize[1], 28);

    auto logo = std::make_unique<G2::PictWidget>();
    logo->setImage(resources.logo);
    logo->expand = G2::ExpandHorizontal;
    logo->setSize(0, c.logoHeight);
    append(std::move(logo));

    G2::Widget* centre = addBox(this, G2::FlowStack);
    centre->expand = G2::ExpandBoth;
    G2::Widget* panel =
        addBox(centre, G2::FlowVertical, 6, c.controlBorder + c.controlMargin, resources.controlFrame);
    panel->setSize(4 * buttonW + 3 * 8 + 2 * (c.controlBorder + c.controlMargin), 0);
    addLabel(panel, "Configuracion Personalizada", c.infoHeight + 4, resources.font2,
             G2::LabelWidget::Center);
    addVideoList(panel, c, resources, modes);
    aaBar = addLevelRow(panel, "Antialiasing:", 3, resources.qualityScrollStyle3, aaValue);
    shadowBar = addLevelRow(panel, "Sombras:", 4, resources.qualityScrollStyle4, shadowValue);
    detailBar = addLevelRow(panel, "Niveles de detalle:", 5, resources.qualityScrollStyle5, detailValue);
    addHdrRow(panel, c, resources);

    G2::Widget* buttons = addBox(panel, G2::FlowHorizontal, 8);
    buttons->expand = G2::ExpandHorizontal;
    buttons->gravity = G2::GravityEnd;
    for (auto [text, id] : {std::pair<const char*, int>{"Cancelar", idCancel}, {"OK", idOk}})
        addButton(buttons, text, id, buttonW, buttonH)->emitter().connect(this, G2::Msg::Activated);
    fitToContent(panel);

    G2::toolkit().emitter.connect(this, G2::Msg::QuitRequested);
}

void UserSetWin::addVideoList(G2::Widget* panel, const LauncherConfig& c, const InitialResources& resources,
                              AbstractTree* modes) {
    addLabel(panel, "Modos de Video:", c.infoHeight);
    auto container = std::make_unique<G2::ListContainerWidget>();
    container->setSize(0, 4 * c.menuItemHeight + 8);
    container->expand = G2::ExpandHorizontal;
    container->scrollBar()->setStyle(resources.videomodeScrollStyle);
    G2::ListContainerWidget* box = panel->append(std::move(container));
    auto list = std::make_unique<G2::TextListWidget>();
    list->setData(modes);
    list->setTableStyle(resources.menuStyle);
    list->setItemStyle(resources.menuItemStyle);
    list->itemHeight = c.menuItemHeight;
    videoList = box->append(std::move(list));
    videoList->emitter().connect(this, G2::Msg::ItemSelected);
}

void UserSetWin::addHdrRow(G2::Widget* panel, const LauncherConfig& c, const InitialResources& resources) {
    const int line = c.infoHeight;
    G2::Widget* hdrRow = addBox(panel, G2::FlowHorizontal, 8);
    hdrRow->expand = G2::ExpandHorizontal;
    // The box stands under the level values of the rows above.
    G2::LabelWidget* hdrLabel = addLabel(hdrRow, "HDR:", line);
    hdrLabel->expand = G2::ExpandNone;
    hdrLabel->setSize(156, line);
    hdrBox = addCheckBox(hdrRow, idHdr, orDefault(c.checkboxSize[0], 20), orDefault(c.checkboxSize[1], 20),
                         resources.checkboxStyle);
    hdrBox->emitter().connect(this, G2::Msg::Toggled);
}

UserSetWin::~UserSetWin() {
    G2::toolkit().emitter.disconnect(this, G2::Msg::QuitRequested);
}

G2::ScrollWidget* UserSetWin::addLevelRow(G2::Widget* parent, const char* title, int positions, void* style,
                                          G2::LabelWidget*& value) {
    G2::Widget* row = addBox(parent, G2::FlowHorizontal, 8);
    row->expand = G2::ExpandHorizontal;
    G2::LabelWidget* name = addLabel(row, title, 20);
    name->expand = G2::ExpandNone;
    name->setSize(150, 20);
    value = addLabel(row, "0", 20, nullptr, G2::LabelWidget::Center);
    value->expand = G2::ExpandNone;
    value->setSize(30, 20);
    auto bar = std::make_unique<G2::ScrollWidget>();
    bar->setStyle(static_cast<G2::ScrollStyle*>(style));
    bar->expand = G2::ExpandHorizontal;
    bar->setView(1, positions); // one position of `positions` in view
    G2::ScrollWidget* raw = row->append(std::move(bar));
    for (uint32_t code : {G2::Msg::DragHorizontal, G2::Msg::ScrollLeft, G2::Msg::ScrollRight})
        raw->emitter().connect(this, code);
    return raw;
}

int UserSetWin::shadowLevelFor(int size) {
    if (size >= 2048)
        return 3;
    if (size >= 1024)
        return 2;
    if (size >= 512)
        return 1;
    return 0;
}

int UserSetWin::shadowSizeFor(int level) {
    int size = level * 512;
    return size > 1024 ? 2048 : size;
}

void UserSetWin::show(const UserSettings& s, int customMode) {
    aaLevel = std::clamp(s.antialiasing / 2, 0, 2);
    shadowLevel = shadowLevelFor(s.shadowSize);
    hdr = s.postProcess;
    detailLevel = std::clamp(static_cast<int>((s.lodDistance - 6.0f) * 0.5f), 0, 4);
    videoIndex = customMode;
    closed = cancelled = accepted = false;
    hdrBox->setToggled(hdr);
    if (videoList->holds(videoIndex)) {
        videoList->setSelection(videoIndex);
        videoList->reveal(videoIndex);
    }
    refresh();
}

void UserSetWin::apply(UserSettings& s, VideoModes& modes) const {
    s.antialiasing = aaLevel * 2;
    s.shadowSize = shadowSizeFor(shadowLevel);
    // Without any resolution the preset keeps the size it had.
    if (videoIndex >= 0 && static_cast<size_t>(videoIndex) < modes.resolutions.size()) {
        s.width = static_cast<int>(modes.resolutions[size_t(videoIndex)].first);
        s.height = static_cast<int>(modes.resolutions[size_t(videoIndex)].second);
        s.refresh = 60;
        if (!modes.modeRows.empty())
            modes.modeRows[0] = videoIndex;
        modes.customMode = videoIndex;
    }
    s.lodDistance = static_cast<float>(detailLevel * 2 + 6);
    s.lodCity = s.lodDistance < 12;
    s.postProcess = hdr;
}

void UserSetWin::refresh() {
    aaBar->setPosition(aaLevel);
    shadowBar->setPosition(shadowLevel);
    detailBar->setPosition(detailLevel);
    aaValue->setText(std::to_string(aaLevel).c_str());
    shadowValue->setText(std::to_string(shadowLevel).c_str());
    detailValue->setText(std::to_string(detailLevel).c_str());
}

int UserSetWin::onEvent(uint32_t code, void* sender, intptr_t data) {
    switch (code) {
    case G2::Msg::QuitRequested:
        // The close button closes the launcher; Escape is this window's Cancel.
        if (data == 0)
            closed = true;
        else if (G2::viewShowing(this) != nullptr)
            cancelled = true;
        return 1;
    case G2::Msg::Activated: {
        auto* node = static_cast<G2::Node*>(sender);
        int id = node != nullptr && node->isKindOf(G2::ButtonWidget::classRecord)
                     ? static_cast<G2::ButtonWidget*>(node)->id
                     : 0;
        if (id == idCancel)
            cancelled = true;
        else if (id == idOk)
            accepted = true;
        return 1;
    }
    case G2::Msg::Toggled:
        if (sender == hdrBox)
            hdr = data != 0 && *reinterpret_cast<const uint8_t*>(data) != 0;
        return 1;
    case G2::Msg::ItemSelected:
        if (sender == videoList)
            videoIndex = videoList->selected();
        return 1;
    case G2::Msg::DragHorizontal:
    case G2::Msg::ScrollLeft:
    case G2::Msg::ScrollRight: {
        int* level = sender == aaBar ? &aaLevel : sender == shadowBar ? &shadowLevel : &detailLevel;
        int top = sender == aaBar ? 2 : sender == shadowBar ? 3 : 4;
        if (code == G2::Msg::DragHorizontal)
            *level = static_cast<int>(data);
        else if (code == G2::Msg::ScrollLeft)
            *level = std::max(0, *level - 1);
        else
            *level = std::min(top, *level + 1);
        *level = std::clamp(*level, 0, top);
        refresh();
        return 1;
    }
    default:
        return G2::Widget::onEvent(code, sender, data);
    }
}

} // namespace app
