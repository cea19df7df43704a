#include "framework/Radio.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

using namespace trov;

namespace {
class Counter : public Radio {
public:
    bool receive(const Message& m) override {
        count += m.code;
        return true;
    }
    long count = 0;
};

struct Fan {
    explicit Fan(int listeners) : sinks(static_cast<std::size_t>(listeners)) {
        for (auto& sink : sinks)
            station.addListener(&sink);
    }
    Radio station;
    std::vector<Counter> sinks;
};
} // namespace

static void BM_BroadcastSystemMessage(benchmark::State& state) {
    Fan fan(static_cast<int>(state.range(0)));
    const SystemMessage message(nullptr, 1, 0);
    for (auto _ : state)
        fan.station.broadcast(message);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BroadcastSystemMessage)->Arg(1)->Arg(8)->Arg(64);

// What a parameter change costs: the message is built (viewing the name, never copying it) and broadcast.
static void BM_BuildAndBroadcastParameterMessage(benchmark::State& state) {
    Fan fan(static_cast<int>(state.range(0)));
    const std::string name = "VCFCutoffFrequency";
    float value = 0.0f;
    for (auto _ : state) {
        value += 0.001f;
        const ParameterMessage message(nullptr, Code::kParameterValue, name, 0, floatToWord(value), value, 0);
        fan.station.broadcast(message);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuildAndBroadcastParameterMessage)->Arg(1)->Arg(8)->Arg(64);
