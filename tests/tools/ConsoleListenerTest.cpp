// The progress display of moravo-tool's update and publish commands.
#include "tools/moravo-tool/ConsoleListener.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

TEST(ConsoleProgress, TheBarShowsBytesSpeedAndTimeLeft) {
    EXPECT_EQ(tool::progressLine(0, 100 << 20, 0, 10), "[----------]   0% 0.0 MiB / 100.0 MiB");
    EXPECT_EQ(tool::progressLine(25 << 20, 100 << 20, 5000, 10),
              "[###-------]  25% 25.0 MiB / 100.0 MiB  5.0 MiB/s  00:15 left");
    EXPECT_EQ(tool::progressLine(100 << 20, 100 << 20, 100000, 4),
              "[####] 100% 100.0 MiB / 100.0 MiB  1.0 MiB/s  00:00 left");
    EXPECT_EQ(tool::progressLine(0, 0, 10, 2), "[##] 100% 0.0 MiB / 0.0 MiB");

    // Off a terminal only whole lines are written.
    std::FILE* out = std::tmpfile();
    tool::ConsoleListener listener(out, false);
    listener.onStage(UpdateStage::fetchingManifest);
    listener.onFileBegin("res/skin/panel.png", 10);
    listener.onProgress(5, 5);
    listener.onError(224);
    listener.onStage(static_cast<UpdateStage>(9));
    std::rewind(out);
    std::string text;
    for (int c; (c = std::fgetc(out)) != EOF;)
        text.push_back(static_cast<char>(c));
    std::fclose(out);
    EXPECT_EQ(text, "Recogiendo datos de la ultima versión publicada...\n"
                    "download res/skin/panel.png (10 bytes)\n"
                    "error 224: Error al descargar archivo .../skin/panel.png\n");
}
