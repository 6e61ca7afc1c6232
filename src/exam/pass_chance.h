// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/numbering.h"

#include <array>

namespace bil {

// Each question's chance of a right answer, index n-1.
using AnswerChances = std::array<double, QuestionCount>;

// The chance to pass the exam as the exam engine runs it, answers independent with the given
// chances, time aside: four groups of five, each from its own ticket drawn uniformly; no error
// passes; one error, or two in different groups, pass when the additional block of each group
// with an error (five questions of the same group from the ticket the engine draws) is all right.
double PassChance(const AnswerChances& p);

// ∂P/∂p_i for every question: how much a surer answer to it raises the chance to pass.
AnswerChances PassChanceGradient(const AnswerChances& p);

} // namespace bil
