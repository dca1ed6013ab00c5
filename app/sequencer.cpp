#include "app/sequencer.h"

#include <array>

#include "app/cube_state.h"

namespace {

using enum PanelCaption;

// The series of a sequence: its panel captions in playing order.
struct SolvingSeries {
    int32_t nCount;
    PanelCaption aCaption[22];
};

constexpr SolvingSeries kSeries[kSequenceCount] = {
    {4, {f3, l2, f3, r2}},
    {3, {d3, r3, u3}},
    {5, {r3, r3, f3, l3, b3}},
    {6, {b3, r3, f3, f3, l3, b3}},
    {8, {l3, d3, r3, u3, r3, f3, l3, b3}},
    {8, {r3, d1, l3, u1, l3, b3, r3, f3}},
    {7, {l1, f3, u3, l1, d3, r1, b3}},
    {8, {u3, r2, u3, r2, u3, r2, u3, r2}},
    {22, {f3, r3, f3, f3, r3, r3, f3, f3, l3, b3, l1, f3, r3, f3, f3, r3, r3, f3, f3, l3, b3, r1}},
    {8, {u3, b3, d3, f3, u3, b3, d3, f3}},
};

// Rule n:i applies when sequence n's counter is i: the counter goes to i + 1
// (0 after the series' last rule) and the turn of caption i + 1 starts.
struct StepRule {
    int32_t n;
    int32_t i;
};

constexpr StepRule kRules[] = {
    {7, 6},  {8, 2},  {8, 4},  {8, 6},  {2, 2},  {3, 1},  {3, 2},  {4, 2},  {5, 3},  {5, 5},  {6, 1},  {6, 7},
    {9, 2},  {9, 5},  {9, 6},  {9, 13}, {9, 16}, {9, 17}, {7, 1},  {7, 4},  {9, 11}, {1, 2},  {3, 4},  {4, 5},
    {5, 1},  {5, 7},  {6, 3},  {6, 5},  {9, 9},  {9, 20}, {6, 4},  {5, 4},  {7, 3},  {8, 1},  {8, 3},  {8, 5},
    {8, 7},  {10, 1}, {10, 5}, {6, 2},  {2, 1},  {5, 2},  {7, 5},  {10, 3}, {10, 7}, {4, 1},  {6, 6},  {9, 10},
    {9, 21}, {10, 2}, {10, 6}, {1, 1},  {1, 3},  {3, 3},  {4, 3},  {4, 4},  {5, 6},  {7, 2},  {9, 1},  {9, 3},
    {9, 4},  {9, 7},  {9, 8},  {9, 12}, {9, 14}, {9, 15}, {9, 18}, {9, 19}, {10, 4},
};

// Every step of every series has exactly one rule.
constexpr bool RulesCoverEveryStepOnce() {
    int32_t total = 0;
    for (int32_t n = 1; n <= kSequenceCount; ++n) {
        for (int32_t i = 1; i < kSeries[n - 1].nCount; ++i) {
            int32_t found = 0;
            for (const StepRule& rule : kRules)
                if (rule.n == n && rule.i == i) ++found;
            if (found != 1) return false;
            ++total;
        }
    }
    return total == static_cast<int32_t>(std::size(kRules));
}
static_assert(std::size(kRules) == 69, "69 step rules");
static_assert(RulesCoverEveryStepOnce(), "one rule per step of every series");

}  // namespace

void StartSequence(int32_t n) {
    if (n < 1 || n > kSequenceCount) return;
    g_nSeqStep[n - 1] = 1;
    StartPanelTurn(kSeries[n - 1].aCaption[0]);
    g_nMoves = g_nMoves + 1;
}

void OnTurnFinished() {
    for (bool& running : g_bTurnRunning) running = false;

    for (const StepRule& rule : kRules) {
        int32_t& step = g_nSeqStep[rule.n - 1];
        if (step != rule.i) continue;
        const SolvingSeries& series = kSeries[rule.n - 1];
        step = (rule.i == series.nCount - 1) ? 0 : rule.i + 1;
        StartPanelTurn(series.aCaption[rule.i]);
        g_nMoves = g_nMoves + 1;
        return;
    }
}
