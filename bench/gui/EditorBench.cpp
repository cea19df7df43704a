// The editor at a product's size, with the test controls standing in for real ones:
// - a full repaint of an 800 x 600 editor of 150 controls (half drawing skin bitmaps with per-pixel alpha,
//   one in seven translucent) against the 50 ms tick of the host view's window timer; counters ms per
//   repaint and x_tick (the repaint's share of one tick);
// - a full repaint of the same editor of 150 of the library's value controls drawn without skins (knobs as
//   arcs, plain sliders and range bars with their labels, value texts and displays in the canvas's font)
//   against the tick and against the grid of test controls repainted in the same run; counters ms,
//   x_tick and x_testgrid;
// - 10,000 mouse moves routed over a 200-control tree against the hit tests alone at the same points;
//   counters us per move and x_hittest (routing relative to hit testing).

#include "support/EditorSpec.h"
#include "support/EditorWorld.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

namespace {

using namespace trov;
using test::node;

template <class Work> double timed(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A background of width x height with rows x columns controls in a grid: panels with a skin or a
// colour, sliders bound to "Level", every seventh translucent.
std::string grid(int width, int height, int rows, int columns) {
    test::ControlNode background =
        node("Panel").id("special::background").at(0, 0, width, height).string("background", "#202830");
    const int w = width / columns;
    const int h = height / rows;
    for (int i = 0; i < rows * columns; ++i) {
        test::ControlNode c = node(i % 4 == 3 ? "Slider" : "Panel")
                                  .at((i % columns) * w + 2, (i / columns) * h + 2, w - 4, h - 4);
        if (i % 4 == 3)
            c.parameter("Level");
        else
            c.string("background", i % 2 == 0 ? "skin" : "#406080");
        if (i % 7 == 0)
            c.real("transparency", 0.6);
        background.child(c);
    }
    return test::specification({background});
}

// The same grid of the library's value controls, every one bound to a parameter.
std::string valueGrid(int width, int height, int rows, int columns) {
    static const char* const kinds[][2] = {{"Knob", "Level"},
                                           {"Library:Slider", "Level"},
                                           {"Range", "Amount"},
                                           {"TextValue", "Cutoff"},
                                           {"Display", "Count"}};
    test::ControlNode background =
        node("Panel").id("special::background").at(0, 0, width, height).string("background", "#202830");
    const int w = width / columns;
    const int h = height / rows;
    for (int i = 0; i < rows * columns; ++i) {
        const auto& [kind, parameter] = kinds[i % 5];
        background.child(node(kind)
                             .parameter(parameter)
                             .string("label", "Value")
                             .at((i % columns) * w + 2, (i / columns) * h + 2, w - 4, h - 4));
    }
    return test::specification({background});
}

struct OpenEditor : test::OpenedEditor {
    explicit OpenEditor(const std::string& spec)
        : OpenedEditor(spec, [](test::EditorWorld& world) { world.addSkin("skin", 60, 60, 0xc0d08040); }) {}
};

void BM_FullRepaintAgainstTheTick(benchmark::State& state) {
    OpenEditor open(grid(800, 600, 10, 15));
    double seconds = 0.0;
    for (auto _ : state) {
        open.editor->invalidateAll();
        seconds += timed([&] { open.editor->idle(); });
    }
    const double perRepaint = seconds / static_cast<double>(state.iterations());
    state.counters["ms"] = perRepaint * 1e3;
    state.counters["x_tick"] = perRepaint / 0.050;
    state.counters["controls"] = static_cast<double>(open.editor->getControls().size());
}
BENCHMARK(BM_FullRepaintAgainstTheTick)->Unit(benchmark::kMillisecond);

void BM_ValueControlsRepaintAgainstTheTick(benchmark::State& state) {
    OpenEditor values(valueGrid(800, 600, 10, 15));
    // The test controls' grid in the same world, as the reference.
    const std::unique_ptr<Editor> panels = values.world.makeEditor(grid(800, 600, 10, 15));
    panels->open(platform::kNoWindow, panels->getSize());
    double seconds = 0.0;
    double reference = 0.0;
    for (auto _ : state) {
        values.editor->invalidateAll();
        seconds += timed([&] { values.editor->idle(); });
        panels->invalidateAll();
        reference += timed([&] { panels->idle(); });
    }
    panels->close();
    const double perRepaint = seconds / static_cast<double>(state.iterations());
    state.counters["ms"] = perRepaint * 1e3;
    state.counters["x_tick"] = perRepaint / 0.050;
    state.counters["x_testgrid"] = seconds / reference;
    state.counters["controls"] = static_cast<double>(values.editor->getControls().size());
}
BENCHMARK(BM_ValueControlsRepaintAgainstTheTick)->Unit(benchmark::kMillisecond);

void BM_MouseMovesAgainstHitTests(benchmark::State& state) {
    constexpr int kMoves = 10000;
    OpenEditor open(grid(800, 600, 10, 20));
    std::vector<Point> points;
    for (int i = 0; i < kMoves; ++i)
        points.emplace_back((i * 37) % 800, (i * 53 + i / 800) % 600);
    Control* frame = open.editor->getFrame();
    double routing = 0.0;
    double hitting = 0.0;
    for (auto _ : state) {
        routing += timed([&] {
            for (const Point& p : points)
                open.editor->receive(WindowMessage(nullptr, 3006, 0, p, 0));
        });
        hitting += timed([&] {
            for (const Point& p : points)
                benchmark::DoNotOptimize(frame->findControlAt(p));
        });
    }
    state.counters["us"] = routing / static_cast<double>(state.iterations()) / kMoves * 1e6;
    state.counters["x_hittest"] = routing / hitting;
    state.counters["controls"] = static_cast<double>(open.editor->getControls().size());
}
BENCHMARK(BM_MouseMovesAgainstHitTests)->Unit(benchmark::kMillisecond);

} // namespace
