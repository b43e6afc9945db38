#include "rules/random.h"

#include <QDateTime>
#include <algorithm>
#include <deque>
#include <random>

namespace dice {
namespace {

struct Source {
    std::mt19937_64 generator;
    bool seeded = false;
    std::deque<int> script;
};

Source& source() {
    static Source instance;
    return instance;
}

std::mt19937_64& seededGenerator() {
    Source& s = source();
    if (!s.seeded) {
        s.generator.seed(static_cast<quint64>(QDateTime::currentMSecsSinceEpoch()));
        s.seeded = true;
    }
    return s.generator;
}

} // namespace

int random(int bound) {
    const int top = std::max(bound, 0);
    std::deque<int>& script = source().script;
    if (!script.empty()) {
        const int value = script.front();
        script.pop_front();
        return std::clamp(value, 0, top);
    }
    if (top == 0)
        return 0;
    return std::uniform_int_distribution<int>(0, top)(seededGenerator());
}

void seedRandom(quint64 seed) {
    Source& s = source();
    s.generator.seed(seed);
    s.seeded = true;
    s.script.clear();
}

void scriptRandom(std::vector<int> values) {
    std::deque<int>& script = source().script;
    script.assign(values.begin(), values.end());
}

} // namespace dice
