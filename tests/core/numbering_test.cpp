// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/numbering.h"

#include <gtest/gtest.h>

TEST(Numbering, TicketPositionNumberRoundTrip) {
    for (int n = 1; n <= bil::QuestionCount; ++n)
        EXPECT_EQ(bil::NumberOf(bil::TicketOf(n), bil::PositionOf(n)), n);
    EXPECT_EQ(bil::TicketOf(81), 5);
    EXPECT_EQ(bil::PositionOf(81), 1);
    EXPECT_EQ(bil::TicketOf(800), 40);
    EXPECT_EQ(bil::PositionOf(800), 20);
}
