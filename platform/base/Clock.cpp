#include "platform/Clock.h"

#include <chrono>
#include <map>
#include <mutex>
#include <random>

namespace platform {
namespace {

class RealClock final : public Clock {
public:
    std::int64_t NowMicros() const override {
        using namespace std::chrono;
        return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    }
    std::uint64_t TickMillis() const override {
        using namespace std::chrono;
        return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
};

RealClock& TheRealClock() {
    static RealClock clock;
    return clock;
}

Clock* g_clock = nullptr;

struct Listeners {
    std::mutex mutex;
    std::map<int, std::function<void()>> items;
    int nextId = 1;
};

Listeners& TheListeners() {
    static Listeners listeners;
    return listeners;
}

std::function<std::uint32_t()>& RandomSource() {
    static std::function<std::uint32_t()> source;
    return source;
}

}  // namespace

Clock::~Clock() = default;

Clock& CurrentClock() { return g_clock ? *g_clock : TheRealClock(); }

void SetClock(Clock* clock) { g_clock = clock; }

ManualClock::ManualClock(std::int64_t startMicros) : nowMicros_(startMicros) {}

void ManualClock::Advance(std::uint64_t millis) {
    nowMicros_ += static_cast<std::int64_t>(millis) * 1000;
    tickMillis_ += millis;
    std::map<int, std::function<void()>> copy;
    {
        std::lock_guard<std::mutex> lock(TheListeners().mutex);
        copy = TheListeners().items;
    }
    for (auto& [id, fn] : copy) fn();
}

int AddAdvanceListener(std::function<void()> listener) {
    auto& l = TheListeners();
    std::lock_guard<std::mutex> lock(l.mutex);
    int id = l.nextId++;
    l.items.emplace(id, std::move(listener));
    return id;
}

void RemoveAdvanceListener(int id) {
    auto& l = TheListeners();
    std::lock_guard<std::mutex> lock(l.mutex);
    l.items.erase(id);
}

std::uint32_t RandomUInt32() {
    if (auto& source = RandomSource()) return source();
    static std::mt19937 engine{std::random_device{}()};
    return engine();
}

void SetRandomSource(std::function<std::uint32_t()> source) { RandomSource() = std::move(source); }

}  // namespace platform
