// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/platform.h"

#include <random>

namespace bil {

// The program's random source: a Mersenne twister seeded from the clock.
class SystemRandom final : public RandomSource {
public:
    SystemRandom() { reseed(); }
    int below(int n) override {
        std::uniform_int_distribution<int> d(0, n - 1);
        return d(m_engine);
    }
    void reseed() override;

private:
    std::mt19937 m_engine;
};

} // namespace bil
