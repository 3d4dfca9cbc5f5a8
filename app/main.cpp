// MoravoTown: the launcher's process entry.
#include "app/ProcessEntry.h"
#include "tkal/Display.h"
#include "tkal/Input.h"

#include <string>
#include <vector>

namespace {

// Until the launcher's scenes exist, the program shows its window and runs
// the frame loop until the window is closed or Escape is pressed.
class StartupApp : public TKAL::App {
public:
    int init(int, char**) override {
        display_ = TKAL::Display::instance();
        input_ = TKAL::Input::instance();
        if (!display_->open(640, 480, 0, TKAL::Display::Centred))
            return 77;
        display_->setCaption("Moravo");
        display_->showCursor(true);
        return 0;
    }

    int exit(int code) override { return code; }

    bool frame(uint32_t, uint32_t) override {
        TKAL::Event event;
        while (input_->poll(event)) {
            if (event.type == TKAL::Event::Quit)
                return false;
            if (event.type == TKAL::Event::KeyDown && event.arg1 == 27)
                return false;
        }
        display_->clear(0x80FF50);
        display_->flip();
        return true;
    }

private:
    TKAL::Display* display_ = nullptr;
    TKAL::Input* input_ = nullptr;
};

StartupApp theApp;

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    return app::processEntry(*TKAL::App::instance(), words, app::defaultEntryServices());
}
