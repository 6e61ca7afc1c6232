// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace bil {

constexpr int QuestionCount = 800;
constexpr int TicketCount = 40;
constexpr int TicketSize = 20;
constexpr int ThemeCount = 26;
constexpr int MaxAnswers = 5;

// Question number 1..800 <-> ticket 1..40 and position 1..20 within it.
constexpr int TicketOf(int number) {
    return (number - 1) / TicketSize + 1;
}
constexpr int PositionOf(int number) {
    return (number - 1) % TicketSize + 1;
}
constexpr int NumberOf(int ticket, int position) {
    return (ticket - 1) * TicketSize + position;
}

} // namespace bil
