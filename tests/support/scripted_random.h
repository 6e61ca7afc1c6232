// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/platform.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

namespace bil::test {

// Draws from a script first (a value is taken modulo the range), then 0, or the draws of a
// fixed-seed generator when one is given. Records the range of every draw and counts reseeds,
// which leave the draws as they are, so that a test sees the same draws whenever the code reseeds.
class ScriptedRandom final : public RandomSource {
public:
    ScriptedRandom() = default;
    explicit ScriptedRandom(unsigned seed) : m_engine(seed), m_seeded(true) {}

    std::deque<int> values;
    std::vector<int> bounds;
    int reseeds = 0;
    // A scripted value outside its draw's range fails the test instead of wrapping.
    bool strict = false;

    int below(int n) override {
        bounds.push_back(n);
        if (!values.empty()) {
            const int v = values.front();
            values.pop_front();
            if (strict) {
                EXPECT_LT(v, n);
                return v;
            }
            return v % n;
        }
        return m_seeded ? std::uniform_int_distribution<int>(0, n - 1)(m_engine) : 0;
    }
    void reseed() override { ++reseeds; }

private:
    std::mt19937 m_engine;
    bool m_seeded = false;
};

} // namespace bil::test
