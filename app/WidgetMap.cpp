// The widget map: the launcher's windows built from an installation,
// off-screen, and where every visible widget lands, one line each:
//   VIEW PATH CLASS ID X Y W H "TEXT"
// VIEW is the panel or window shown ("login", "wait", "wait-message" once
// the answer's message replaced the bar, "requirements",
// "main", "main-custom" with the custom preset chosen, "credits",
// "settings") or "popup" for a selector's open list, whose ID is the
// selector's;
// PATH gives the child indexes from the window's root ("0.2.1"); ID is a
// button's identifier ("-" for other widgets); X, Y, W, H are in window
// pixels; TEXT is a label's, a field's or a button's text. The rectangles
// come from the launcher's own layout code and do not depend on the
// machine (a fixed capable machine is surveyed), except that the screen
// sizes are those the launcher's own survey finds on this display when it
// finds any: the video-mode selector then starts where the launcher's would
// ("Launch.txt"'s size or the nearest offered), and its open list has as
// many rows. Without a display (or with SDL's dummy driver) the fixed
// machine's sizes are used.
#include "app/WidgetMap.h"

#include "app/GLauncher.h"
#include "app/MainWin.h"
#include "app/ProcessEntry.h"
#include "app/UserSetWin.h"
#include "g2/ButtonWidget.h"
#include "g2/ComboBoxWidget.h"
#include "g2/LabelWidget.h"
#include "g2/ListWidget.h"
#include "g2/ProgressWidget.h"
#include "g2/View.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace app {

namespace {

// A machine that meets every requirement, so that no panel depends on the
// one the map is made on; its screen sizes are `displayModes` (the display's)
// unless there are none.
class FixedMachine : public LauncherServices {
public:
    explicit FixedMachine(std::vector<Resolution> displayModes) : displayModes_(std::move(displayModes)) {}
    HardwareInfo survey() override {
        HardwareInfo h;
        h.cores = 4;
        h.cpuName = "Layout";
        h.cpuMHz = 3000;
        h.memoryBytes = 8ull << 30;
        h.adapterName = toUtf16("Layout");
        h.videoMemoryBytes = 1ull << 30;
        h.psMajor = h.vsMajor = 5;
        h.resolutions = {{800, 600}, {1024, 768}, {1280, 720}, {1920, 1080}};
        if (!displayModes_.empty())
            h.resolutions = displayModes_;
        return h;
    }
    // Laying the windows out changes nothing in the installation, so a
    // launcher running there does not stand in the way.
    std::unique_ptr<platform::FileLock> lockInstallation(platform::FileLock::Status& status) override {
        status = platform::FileLock::Status::held;
        return nullptr;
    }

private:
    std::vector<Resolution> displayModes_;
};

std::string textOf(G2::Node* node) {
    if (node->isKindOf(G2::LabelButtonWidget::classRecord))
        return static_cast<G2::LabelButtonWidget*>(node)->label()->text();
    if (node->isKindOf(G2::LabelPushButtonWidget::classRecord))
        return static_cast<G2::LabelPushButtonWidget*>(node)->label()->text();
    if (node->isKindOf(G2::LabelWidget::classRecord))
        return static_cast<G2::LabelWidget*>(node)->text();
    return std::string();
}

void print(const char* view, const std::string& path, G2::Node* node, int x, int y) {
    std::string id = "-";
    if (node->isKindOf(G2::ButtonWidget::classRecord))
        id = std::to_string(static_cast<G2::ButtonWidget*>(node)->id);
    std::printf("%s %s %s %s %d %d %d %d \"%s\"\n", view, path.c_str(), node->classInfo().name, id.c_str(), x,
                y, node->w, node->h, textOf(node).c_str());
}

// Prints `node` at (x, y) and its visible children; (x, y) is where the
// node's own rectangle starts on the window.
void dump(const char* view, const std::string& path, G2::Node* node, int x, int y) {
    G2::Widget* widget = G2::asWidget(node);
    if (widget == nullptr || !widget->isVisible())
        return;
    print(view, path, node, x, y);
    int index = 0;
    for (G2::Node* c = node->firstChild(); c != nullptr; c = c->nextSibling(), ++index)
        dump(view, path + "." + std::to_string(index), c, x + widget->border + c->x,
             y + widget->border + c->y);
}

// Lays a window out (by drawing it off-screen) and prints it.
void show(const char* view, G2::View& layer, G2::Widget* root) {
    layer.setRoot(root);
    layer.draw();
    dump(view, "0", root, root->x, root->y);
}

// Where a selector's list opens: right above the selector, one row per item.
void popup(G2::ComboBoxWidget* menu) {
    int x = menu->x, y = menu->y;
    for (G2::Widget* p = menu->parentWidget(); p != nullptr; p = p->parentWidget()) {
        x += p->x + p->border;
        y += p->y + p->border;
    }
    G2::TextListWidget* list = menu->list();
    int rows = static_cast<int>(list->data()->count());
    int height = rows * list->itemHeight + 2 * list->border;
    std::printf("popup %d ListWidget %d %d %d %d %d \"rows=%d item_height=%d border=%d\"\n", menu->id,
                menu->id, x, y - height, menu->w, height, rows, list->itemHeight, list->border);
}

// Prints every view of the launcher's windows: the panels of the main
// window, its credits, its drop-down lists, the custom preset's panel and
// the settings window.
void printViews(GLauncher& launcher) {
    MainWin& win = *launcher.mainWin;
    const struct {
        const char* view;
        MainWin::Panel panel;
    } panels[] = {{"login", MainWin::LoginPanel},
                  {"wait", MainWin::WaitPanel},
                  {"requirements", MainWin::RequirementsPanel},
                  {"main", MainWin::MainPanel}};
    for (const auto& p : panels) {
        win.showPanel(p.panel);
        show(p.view, *launcher.mainLayer, &win);
        if (p.panel == MainWin::WaitPanel) {
            // The answer's message replaces the bar.
            win.waitBar->setVisible(false);
            show("wait-message", *launcher.mainLayer, &win);
            win.waitBar->setVisible(true);
        }
    }
    show("credits", *launcher.secondLayer, win.creditsLayer());
    popup(win.qualityBox);
    popup(win.videoBox);
    // The custom preset shows "Configurar" in place of the video modes.
    bool videoShown = win.videoBox->isVisible();
    win.videoBox->setVisible(!videoShown);
    win.configureButton->setVisible(videoShown);
    show("main-custom", *launcher.mainLayer, &win);
    show("settings", *launcher.mainLayer, launcher.userSetWin.get());
    launcher.mainLayer->setRoot(&win);
}

} // namespace

int printWidgetMap(const std::string& dir, std::string& error) {
    // The screen sizes the launcher would offer here, asked for before SDL
    // is started off-screen (the dummy driver offers none).
    std::vector<Resolution> displayModes = LauncherServices().survey().resolutions;
    // Off-screen: nothing is shown, the windows are only laid out.
    if (!startOffScreen(error))
        return 1;
    setProgramPath(dir + "/MoravoTown");
    FixedMachine machine(std::move(displayModes));
    GLauncher launcher;
    launcher.setServices(&machine);
    std::string program = dir + "/MoravoTown";
    char* words[] = {program.data(), nullptr};
    if (launcher.init(1, words) != 0) {
        error = "the launcher cannot start in " + dir;
        stopOffScreen();
        return 1;
    }

    printViews(launcher);
    return launcher.exit(0);
}

} // namespace app
