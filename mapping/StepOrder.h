// Turns a per-row position ("step") of a constexpr table into the list of row
// indexes in that order, and checks at compile time that the steps are a
// proper order (every step from 0 up used once, -1 for rows that take no part).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace StepOrder {

template <class Row, std::size_t M> constexpr int CountSteps(const Row (&rows)[M], int Row::*step)
{
    int count = 0;
    for (const Row& row : rows) {
        count += row.*step >= 0 ? 1 : 0;
    }
    return count;
}

template <class Row, std::size_t M> constexpr bool IsOrder(const Row (&rows)[M], int Row::*step)
{
    const int count = CountSteps(rows, step);
    for (int wanted = 0; wanted < count; ++wanted) {
        int times = 0;
        for (const Row& row : rows) {
            times += row.*step == wanted ? 1 : 0;
        }
        if (times != 1) {
            return false;
        }
    }
    for (const Row& row : rows) {
        if (row.*step < -1 || row.*step >= count) {
            return false;
        }
    }
    return true;
}

// The indexes of the rows that take part, in step order.
template <std::size_t N, class Row, std::size_t M>
constexpr std::array<std::int32_t, N> Rows(const Row (&rows)[M], int Row::*step)
{
    std::array<std::int32_t, N> order {};
    for (std::size_t i = 0; i < M; ++i) {
        const int at = rows[i].*step;
        if (at >= 0 && static_cast<std::size_t>(at) < N) {
            order[static_cast<std::size_t>(at)] = static_cast<std::int32_t>(i);
        }
    }
    return order;
}

} // namespace StepOrder
