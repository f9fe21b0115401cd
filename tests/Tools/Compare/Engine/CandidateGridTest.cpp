// The candidate grid finds, for each test point in turn, the same candidate as a scan of all of them in
// reading order would: the first unpaired one within epsilon on x and y, whatever the cell size the
// candidates' spread chooses and wherever the points fall against the cells' edges.
#include "CandidateGrid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <tuple>
#include <vector>

namespace Orvid::Testing {
namespace {

using Compare::Engine::CandidateGrid;
using Compare::Engine::PlanarExtent;

/// Candidates in clumps of points closer than epsilon to each other, their clumps spread over
/// `width` x `height`, and test points at the clumps and on cell edges.
struct Scene {
    std::vector<double> xs;
    std::vector<double> ys;
    std::vector<std::pair<double, double>> tests;
};

Scene sceneOf(double epsilon, double width, double height, unsigned seed) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> across(-width / 2, width / 2);
    std::uniform_real_distribution<double> along(-height / 2, height / 2);
    std::uniform_real_distribution<double> near(-1.5 * epsilon, 1.5 * epsilon);
    Scene scene;
    for (int clump = 0; clump < 400; ++clump) {
        const double x = across(random);
        const double y = along(random);
        for (int member = 0; member < 3; ++member) {
            scene.xs.push_back(x + near(random));
            scene.ys.push_back(y + near(random));
        }
        scene.tests.emplace_back(x + near(random), y + near(random));
        scene.tests.emplace_back(scene.xs[scene.xs.size() - 2], scene.ys[scene.ys.size() - 2]);
        // Exactly epsilon away, where rounding decides which cells are reached.
        scene.tests.emplace_back(scene.xs.back() + epsilon, scene.ys.back() - epsilon);
    }
    // Candidates on multiples of epsilon, where cell edges lie for many cell sizes.
    for (int step = -20; step <= 20; ++step) {
        scene.xs.push_back(step * epsilon);
        scene.ys.push_back(-step * epsilon);
        scene.tests.emplace_back((step + 1) * epsilon, -step * epsilon);
    }
    return scene;
}

/// Builds `grid` over candidates at (xs[k], ys[k]), each with its number k as its z.
bool buildOver(CandidateGrid& grid, const std::vector<double>& xs, const std::vector<double>& ys,
               double epsilon) {
    return grid.build(
        xs.size(),
        [&](std::size_t candidate) {
            return std::array<double, 3>{xs[candidate], ys[candidate], static_cast<double>(candidate)};
        },
        epsilon);
}

/// The first unpaired candidate within epsilon of (x, y), in reading order.
std::size_t scanFor(const Scene& scene, const std::vector<bool>& paired, double x, double y, double epsilon) {
    for (std::size_t candidate = 0; candidate < scene.xs.size(); ++candidate) {
        if (!paired[candidate] && std::fabs(scene.xs[candidate] - x) <= epsilon &&
            std::fabs(scene.ys[candidate] - y) <= epsilon) {
            return candidate;
        }
    }
    return CandidateGrid::NONE;
}

TEST(CandidateGridTest, FindsWhatAScanInReadingOrderFinds) {
    // Sparse and dense spreads choose cells much wider than epsilon and cells of two epsilons; strips
    // number their cells along either side first; a zero epsilon pairs equal positions only.
    for (const auto& [epsilon, width, height] : {std::tuple{0.01, 5000.0, 5000.0},
                                                 {0.01, 0.5, 0.5},
                                                 {0.25, 100.0, 100.0},
                                                 {0.01, 8000.0, 500.0},
                                                 {0.01, 300.0, 6000.0},
                                                 {0.0, 10.0, 10.0},
                                                 {1e-3, 4.0e6, 4.0e6}}) {
        SCOPED_TRACE(testing::Message() << "epsilon " << epsilon << ", " << width << " x " << height);
        const Scene scene = sceneOf(epsilon > 0.0 ? epsilon : 0.01, width, height, 17);
        CandidateGrid grid;
        ASSERT_TRUE(buildOver(grid, scene.xs, scene.ys, epsilon));
        std::vector<bool> paired(scene.xs.size(), false);
        std::size_t pairs = 0;
        for (const auto& [x, y] : scene.tests) {
            const std::size_t expected = scanFor(scene, paired, x, y, epsilon);
            const std::size_t found =
                grid.first(x, y, [&](std::size_t candidate, double cx, double cy, double cz) {
                    EXPECT_EQ(cx, scene.xs[candidate]);
                    EXPECT_EQ(cy, scene.ys[candidate]);
                    EXPECT_EQ(cz, static_cast<double>(candidate));
                    return true;
                });
            ASSERT_EQ(found, expected);
            if (found != CandidateGrid::NONE) {
                paired[found] = true;
                // Both ways of taking a candidate out, in turn.
                if (pairs % 2 == 0) {
                    grid.pairedFound();
                } else {
                    grid.paired(found, scene.xs[found], scene.ys[found]);
                }
                ++pairs;
            }
        }
        EXPECT_GE(pairs, 400u);
    }
}

TEST(CandidateGridTest, BuiltByATeamFindsThroughNearbyCandidatesWhatAScanFinds) {
    // Each member places the candidates of its own cells; pairing takes the first unpaired of the
    // nearby candidates, and asks the grid when all of them are paired but more lie within epsilon:
    // twelve candidates at one position, more than a point's nearby candidates hold.
    const double epsilon = 0.01;
    Scene scene = sceneOf(epsilon, 300.0, 200.0, 5);
    for (int copy = 0; copy < 12; ++copy) {
        scene.xs.push_back(7.0);
        scene.ys.push_back(7.0);
        scene.tests.emplace_back(7.0 + 0.0005 * copy, 7.0);
    }
    // The extent the caller may know instead of the grid reading it.
    const PlanarExtent extent{*std::min_element(scene.xs.begin(), scene.xs.end()),
                              *std::min_element(scene.ys.begin(), scene.ys.end()),
                              *std::max_element(scene.xs.begin(), scene.xs.end()),
                              *std::max_element(scene.ys.begin(), scene.ys.end())};
    for (const auto& [threads, known] : {std::pair{1u, false}, {2u, false}, {3u, false}, {2u, true}}) {
        SCOPED_TRACE(testing::Message() << threads << " threads" << (known ? ", extent known" : ""));
        Compare::Engine::WorkTeam team(threads);
        CandidateGrid grid;
        ASSERT_TRUE(grid.build(
            scene.xs.size(),
            [&](std::size_t candidate, std::size_t member) {
                EXPECT_LT(member, team.size());
                return std::array<double, 3>{scene.xs[candidate], scene.ys[candidate], 0.0};
            },
            epsilon, team, known ? &extent : nullptr));
        const auto any = [](std::size_t, double, double, double) { return true; };
        std::vector<bool> paired(scene.xs.size(), false);
        std::size_t askedTheGrid = 0;
        for (const auto& [x, y] : scene.tests) {
            const std::size_t expected = scanFor(scene, paired, x, y, epsilon);
            CandidateGrid::Nearby nearby;
            grid.nearby(x, y, any, nearby);
            std::size_t found = grid.takeFirstUnpaired(nearby);
            if (found == CandidateGrid::NONE && nearby.more) {
                ++askedTheGrid;
                found = grid.first(x, y, any);
                if (found != CandidateGrid::NONE) {
                    grid.pairedFound();
                }
            }
            ASSERT_EQ(found, expected);
            if (found != CandidateGrid::NONE) {
                paired[found] = true;
            }
        }
        EXPECT_EQ(askedTheGrid, 8u);
    }
}

TEST(CandidateGridTest, PassesOverCandidatesTheCallerRefuses) {
    // Candidates all at one position: the caller refuses the first, so the next unpaired one is found.
    const std::vector<double> xs(40, 3.0);
    const std::vector<double> ys(40, -2.0);
    CandidateGrid grid;
    ASSERT_TRUE(buildOver(grid, xs, ys, 0.01));
    EXPECT_EQ(
        grid.first(3.005, -2.0, [](std::size_t candidate, double, double, double) { return candidate != 0; }),
        1u);
    grid.paired(1, 3.0, -2.0);
    EXPECT_EQ(
        grid.first(3.0, -2.0, [](std::size_t candidate, double, double, double) { return candidate != 0; }),
        2u);
    EXPECT_EQ(grid.first(3.02, -2.0, [](std::size_t, double, double, double) { return true; }),
              CandidateGrid::NONE);
}

TEST(CandidateGridTest, AnInfiniteEpsilonReachesEveryCandidate) {
    const std::vector<double> xs{-1e300, 5.0, 1e300};
    const std::vector<double> ys{0.0, -7.0, 1e300};
    const auto any = [](std::size_t, double, double, double) { return true; };
    for (const double epsilon : {std::numeric_limits<double>::infinity(), 1e308}) {
        CandidateGrid grid;
        ASSERT_TRUE(buildOver(grid, xs, ys, epsilon));
        EXPECT_EQ(grid.first(1e300, 1e300, any), 0u);
        grid.pairedFound();
        EXPECT_EQ(grid.first(-3.0, 2.0, any), 1u);
    }
}

TEST(CandidateGridTest, LeavesOutNonFiniteCandidatesAndRefusesCoordinatesBeyondExactCells) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    CandidateGrid grid;
    ASSERT_TRUE(buildOver(grid, {nan, 1.0, infinity}, {0.0, 0.0, 0.0}, 0.5));
    const auto any = [](std::size_t, double, double, double) { return true; };
    EXPECT_EQ(grid.first(1.0, 0.0, any), 1u);
    EXPECT_EQ(grid.first(nan, 0.0, any), CandidateGrid::NONE);
    EXPECT_EQ(grid.first(infinity, 0.0, any), CandidateGrid::NONE);
    grid.paired(2, infinity, 0.0);
    EXPECT_EQ(grid.first(1.0, 0.0, any), 1u);
    // Cells of two thousandths cannot number positions so far from 0.
    EXPECT_FALSE(buildOver(grid, {1e300, 1e300}, {0.0, 0.0}, 1e-3));
}

} // namespace
} // namespace Orvid::Testing
