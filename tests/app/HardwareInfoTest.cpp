#include "app/HardwareInfo.h"

#include "platform/HardwareSources.h"

#include <gtest/gtest.h>

using app::HardwareInfo;

namespace {

class FakeSources : public platform::HardwareSources {
public:
    uint32_t processorCount() override { return 4; }
    std::string processorName() override { return "Test CPU"; }
    uint32_t processorMHz() override { return 3200; }
    uint64_t physicalMemoryBytes() override { return 8ull << 30; }
    platform::GraphicsReading graphics() override {
        platform::GraphicsReading g;
        g.renderer = "Tarjeta gr\xC3\xA1"
                     "fica";
        g.glslMajor = 1;
        g.glslMinor = 30;
        g.videoMemoryBytes = 512ull << 20;
        return g;
    }
};

HardwareInfo machine(uint32_t cores, uint64_t memMB, int ps, int vs) {
    HardwareInfo h;
    h.cores = cores;
    h.memoryBytes = memMB << 20;
    h.psMajor = ps;
    h.vsMajor = vs;
    return h;
}

} // namespace

TEST(HardwareSurvey, FillsEveryFieldFromItsSources) {
    FakeSources sources;
    HardwareInfo h =
        app::surveyHardware(sources, {{1024, 768}, {800, 600}, {800, 600}, {640, 480}, {1024, 600}});
    EXPECT_EQ(h.cores, 4u);
    EXPECT_EQ(h.cpuName, "Test CPU");
    EXPECT_EQ(h.cpuMHz, 3200u);
    EXPECT_EQ(h.memoryBytes, 8ull << 30);
    EXPECT_EQ(app::toUtf8(h.adapterName), "Tarjeta gr\xC3\xA1"
                                          "fica");
    EXPECT_EQ(h.adapterName.size(), 15u);
    EXPECT_EQ(h.videoMemoryBytes, 512ull << 20);
    EXPECT_EQ(h.psMajor, 3); // GLSL 1.30
    EXPECT_EQ(h.vsMajor, 3);
    EXPECT_EQ(h.resolutions, (std::vector<app::Resolution>{{800, 600}, {1024, 600}, {1024, 768}}));
}

TEST(MachineClass, EachShortcomingGivesItsClass) {
    EXPECT_EQ(app::machineClass(machine(4, 4096, 3, 3)), 1);
    EXPECT_EQ(app::machineClass(machine(1, 4096, 3, 3)), 2);
    EXPECT_EQ(app::machineClass(machine(4, 999, 3, 3)), 3);
    EXPECT_EQ(app::machineClass(machine(1, 999, 3, 3)), 3);
    EXPECT_EQ(app::machineClass(machine(4, 1000, 3, 3)), 1);
    EXPECT_EQ(app::machineClass(machine(4, 4096, 2, 3)), 4);
    EXPECT_EQ(app::machineClass(machine(4, 4096, 3, 2)), 4);
    EXPECT_EQ(app::machineClass(machine(1, 512, 0, 0)), 4);
}

TEST(RequirementTexts, MemoryRoundsUpByTheKilobyteBits) {
    EXPECT_EQ(app::memoryMegabytes(1073741824ull), 1024u);
    EXPECT_EQ(app::memoryMegabytes(1073741824ull + 1024), 1025u);
    EXPECT_EQ(app::memoryMegabytes(1073741824ull + 1023), 1024u);
    EXPECT_EQ(app::coresText(2), "N\xC3\xBA"
                                 "cleos: 2");
    EXPECT_EQ(app::memoryText(1024), "Memor\xC3\xAD"
                                     "a RAM: 1024 MB.");
    EXPECT_EQ(app::shaderText(2), "Versi\xC3\xB3n de Shader: 2");
}
