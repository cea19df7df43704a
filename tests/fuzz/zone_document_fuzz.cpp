// fuzz-links: trov_engine
// Reads arbitrary text as a program's "zones" and writes them back. Whatever is read must answer key
// look-ups inside the list, and what is written must read back as the same zones.
#include "engine/zones/Resources.h"
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "framework/SharedObject.h"
#include "plugin/PluginEnvironment.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

struct Shape {
    std::vector<std::pair<int, int>> ranges;
    std::vector<std::string> names;
    std::vector<int> loops;
    bool operator==(const Shape&) const = default;
};

Shape shapeOf(const trov::ZoneManager& manager) {
    Shape shape;
    for (int i = 0; i < manager.getZoneCount(); ++i) {
        const trov::KeyRange range = manager.getZoneKeyRange(i);
        shape.ranges.emplace_back(range.low, range.high);
        shape.names.push_back(manager.getZoneSampleName(i));
        const trov::SharedObjectPtr<trov::Zone> zone(manager.getZone(i));
        shape.loops.push_back(zone->getLoopCount() * 1000 + zone->getSliceCount());
    }
    return shape;
}

trov::Resources& resources() {
    static trov::Resources* const instance = [] {
        trov::installPluginEnvironment();
        auto* made = new trov::Resources();
        trov::PluginEnvironment::instance().setResources(made);
        return made;
    }();
    return *instance;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    resources();
    const std::string text(reinterpret_cast<const char*>(data), size);
    trov::ZoneManager manager(nullptr);
    manager.fromDictionary(trov::Dictionary(text));
    const int count = manager.getZoneCount();
    manager.setOscillatorMixMode(size % 2 == 1);
    for (int key = -1; key <= 128; ++key) {
        const int index = manager.findZoneForKey(key);
        check(index >= -1 && index < count);
    }

    trov::Dictionary written;
    written.setString("file-format", "0.7.0");
    manager.toDictionary(written);
    trov::ZoneManager reread(nullptr);
    reread.fromDictionary(trov::Dictionary(written.toDocumentText()));
    check(shapeOf(reread) == shapeOf(manager));
    return 0;
}
