// One dispatch pass of 10,000 messages to 1,000 clients that all accept every
// message (the usual registration: any sender, any type), against a plain
// loop that makes the same virtual handler calls directly. Prints the ratio.
#include "Engine/Core/Common/CiDispatcher.h"
#include "bench/Support/BenchRatio.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

const int kClientCount = 1000;
const int kMessageCount = 10000;

class CountingClient : public CCiMessageClient {
public:
    void HandleMessage(CCiMessageClient*, uint32_t code) override { sum += code; }
    uint64_t sum = 0;
};

struct Scene {
    std::unique_ptr<CCiDispatcher> dispatcher;
    std::vector<std::unique_ptr<CountingClient>> clients;

    Scene()
    {
        dispatcher.reset(new CCiDispatcher);
        g_dispatcher = dispatcher.get();
        for (int i = 0; i < kClientCount; i++)
            clients.emplace_back(new CountingClient);
        dispatcher->RunPass();   // switches delivery on
    }
    ~Scene()
    {
        clients.clear();
        g_dispatcher = nullptr;
    }
};

void BM_DispatchPass(benchmark::State& state)
{
    Scene scene;
    for (auto _ : state) {
        for (int m = 0; m < kMessageCount; m++)
            scene.clients[m % kClientCount]->PostMessage((uint32_t)m);
        scene.dispatcher->RunPass();
    }
    benchmark::DoNotOptimize(scene.clients[0]->sum);
}
BENCHMARK(BM_DispatchPass)->Unit(benchmark::kMillisecond);

// The same calls without a dispatcher: a message array and a direct loop.
void BM_DirectCalls(benchmark::State& state)
{
    Scene scene;
    struct Message {
        CCiMessageClient* sender;
        uint32_t code;
    };
    std::vector<Message> messages(kMessageCount);
    std::vector<CCiMessageClient*> receivers;
    for (auto& client : scene.clients)
        receivers.push_back(client.get());
    for (auto _ : state) {
        for (int m = 0; m < kMessageCount; m++)
            messages[m] = { scene.clients[m % kClientCount].get(), (uint32_t)m };
        for (const Message& message : messages) {
            for (CCiMessageClient* receiver : receivers)
                receiver->HandleMessage(message.sender, message.code);
        }
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(scene.clients[0]->sum);
}
BENCHMARK(BM_DirectCalls)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    CBenchRatioReporter::PrintRatios("Message dispatch");
    reporter.PrintRatio("dispatch pass / direct calls", "BM_DispatchPass", "BM_DirectCalls");
    benchmark::Shutdown();
    return 0;
}
