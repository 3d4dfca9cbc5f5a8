#pragma once
// The display adapters as the system's device set of the display class lists
// them: what the survey used to ask WMI for, read without COM.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

/// One display adapter: its description, its device instance identifier
/// ("PCI\\VEN_...") and its video memory as its driver records it.
struct DisplayAdapter {
    std::string caption;    ///< UTF-8; the adapter's device description
    std::string instanceId; ///< UTF-8
    uint64_t memoryBytes = 0;
    bool memoryKnown = false;
};

/// The adapters present, in the system's order; empty when the device set
/// cannot be read.
std::vector<DisplayAdapter> displayAdapters();

/// The memory of the 32-bit record that drivers keep beside the 64-bit one
/// (the figure the system's management interface reports as the adapter's
/// memory): the 32-bit value when there is one, else the 64-bit one capped
/// at 32 bits. `bytes32` and `bytes64` are null when absent.
uint64_t adapterMemoryOf(const uint32_t* bytes32, const uint64_t* bytes64);

} // namespace platform
