// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/random.h"

#include <chrono>

namespace bil {

void SystemRandom::reseed() {
    const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    m_engine.seed(static_cast<std::mt19937::result_type>(now ^ (now >> 32)));
}

} // namespace bil
