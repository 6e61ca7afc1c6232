// SPDX-License-Identifier: GPL-3.0-or-later
#include "exam/pass_chance.h"

#include "exam/exam_engine.h"

namespace bil {

namespace {

constexpr int Groups = ExamEngine::MainSlots / ExamEngine::GroupSize;
constexpr int Size = ExamEngine::GroupSize;
constexpr int Draws = TicketCount - 1; // r of an additional block: 0..38

// Group g's share of the chance: a = no error in its five questions, b = exactly one error
// there and then its additional block all right.
struct GroupTerms {
    double a = 0.0;
    double b = 0.0;
};

// Question of ticket index t (0..39) at position k (0..4) of group g (0..3).
constexpr int Index(int t, int g, int k) {
    return t * TicketSize + g * Size + k;
}

GroupTerms TermsOf(const AnswerChances& p, int g) {
    std::array<double, TicketCount> allRight{};
    std::array<double, TicketCount> oneWrong{};
    for (int t = 0; t < TicketCount; ++t) {
        double all = 1.0, one = 0.0;
        for (int k = 0; k < Size; ++k) {
            const double q = p[size_t(Index(t, g, k))];
            one = one * q + all * (1.0 - q);
            all *= q;
        }
        allRight[size_t(t)] = all;
        oneWrong[size_t(t)] = one;
    }
    GroupTerms terms;
    for (int t = 0; t < TicketCount; ++t) {
        terms.a += allRight[size_t(t)];
        double extra = 0.0;
        for (int r = 0; r < Draws; ++r)
            extra += allRight[size_t(ExamEngine::ExtraTicketIndex(t, r))];
        terms.b += oneWrong[size_t(t)] * extra / Draws;
    }
    terms.a /= TicketCount;
    terms.b /= TicketCount;
    return terms;
}

double Combine(const std::array<GroupTerms, Groups>& g) {
    double none = 1.0;
    for (const GroupTerms& t : g)
        none *= t.a;
    double one = 0.0, two = 0.0;
    for (int i = 0; i < Groups; ++i) {
        double rest = g[size_t(i)].b;
        for (int j = 0; j < Groups; ++j)
            if (j != i)
                rest *= g[size_t(j)].a;
        one += rest;
        for (int k = i + 1; k < Groups; ++k) {
            double pair = g[size_t(i)].b * g[size_t(k)].b;
            for (int j = 0; j < Groups; ++j)
                if (j != i && j != k)
                    pair *= g[size_t(j)].a;
            two += pair;
        }
    }
    return none + one + two;
}

} // namespace

double PassChance(const AnswerChances& p) {
    std::array<GroupTerms, Groups> terms;
    for (int g = 0; g < Groups; ++g)
        terms[size_t(g)] = TermsOf(p, g);
    return Combine(terms);
}

AnswerChances PassChanceGradient(const AnswerChances& p) {
    std::array<GroupTerms, Groups> terms;
    for (int g = 0; g < Groups; ++g)
        terms[size_t(g)] = TermsOf(p, g);
    // The chance is at most quadratic in one question's p (a question may come back in its own
    // additional block), so a central difference is exact up to rounding.
    constexpr double h = 1e-3;
    AnswerChances grad{};
    AnswerChances moved = p;
    for (int n = 0; n < QuestionCount; ++n) {
        const int g = (n % TicketSize) / Size;
        std::array<GroupTerms, Groups> up = terms, down = terms;
        moved[size_t(n)] = p[size_t(n)] + h;
        up[size_t(g)] = TermsOf(moved, g);
        moved[size_t(n)] = p[size_t(n)] - h;
        down[size_t(g)] = TermsOf(moved, g);
        moved[size_t(n)] = p[size_t(n)];
        grad[size_t(n)] = (Combine(up) - Combine(down)) / (2 * h);
    }
    return grad;
}

} // namespace bil
