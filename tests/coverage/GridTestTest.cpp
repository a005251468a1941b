// The grid test: the walked extent cut into rectangles as near to square as their number allows,
// each rectangle judged by the share of its cells with a level that reach the threshold, the
// channel by the share of rectangles that pass.
#include "coverage/GridTest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A grid of one plan pixel per cell drawn as text: '.' no level, 'a' -60 (above the threshold of
// -75), 't' -75 (on it), 'b' -80 (below it).
CCoverageGrid Drawn(const std::vector<std::string> &rows) {
  CCoverageGrid grid(static_cast<int>(rows.front().size()), static_cast<int>(rows.size()), 1, 1);
  for (int r = 0; r < grid.Rows(); ++r) {
    for (int c = 0; c < grid.Columns(); ++c) {
      const char cell = rows[static_cast<size_t>(r)][static_cast<size_t>(c)];
      if (cell != '.') {
        grid.Set(grid.Index(c, r), cell == 'a' ? -60.0F : cell == 't' ? -75.0F : -80.0F, 0, 1);
      }
    }
  }
  return grid;
}

// 'P' for each rectangle that passed, 'F' for each that failed, row by row.
std::string Verdicts(const _gridtest &test) {
  std::string text;
  for (const auto &rectangle : test.rectangles) {
    text += rectangle.bPassed ? 'P' : 'F';
  }
  return text;
}

TEST(GridTest, TheRectanglesComeAsNearToSquareAsTheirNumberAllows) {
  struct _case {
    int nRectangles, nWidth, nHeight;
    int nColumns, nRows;
  };
  const _case cases[] = {
      {20, 80, 60, 5, 4},   // 16 x 15 cells
      {20, 60, 80, 4, 5},   // the same, turned
      {20, 200, 10, 20, 1}, // a corridor: squares in one row
      {7, 100, 10, 7, 1},   // a prime number leaves one row or one column
      {12, 30, 30, 3, 4},   // 3 x 4 and 4 x 3 are alike: the fewer columns
      {1, 50, 10, 1, 1},
  };
  for (const auto &c : cases) {
    const _gridshape shape = GridShape(c.nRectangles, c.nWidth, c.nHeight);
    EXPECT_EQ(shape.nColumns, c.nColumns) << c.nRectangles << " over " << c.nWidth << " x " << c.nHeight;
    EXPECT_EQ(shape.nRows, c.nRows) << c.nRectangles << " over " << c.nWidth << " x " << c.nHeight;
  }
}

TEST(GridTest, EachRectangleIsJudgedByItsCellsWithALevel) {
  // Four rectangles of 3 x 3 cells across the walked extent, which leaves out the empty border.
  struct _case {
    const char *szWhat;
    std::vector<std::string> rows;
    _gridsettings settings;
    std::string verdicts;
    int nPassed;
    bool bPassed;
  };
  const _gridsettings standard; // 90 % of the cells, 95 % of the rectangles
  const _case cases[] = {
      {"every cell reaches the threshold",
       {"................", "..aaaaaaaaaaaa..", "..aaaaaaaaaaaa..", "..aaaaaaaaaaaa..", "................"},
       {4, 0.9, 0.95},
       "PPPP",
       4,
       true},
      {"a level on the threshold reaches it; 8 of 9 cells (89 %) do not pass",
       {"................", "..tttaaaaaaaab..", "..tttaaaaaaaaa..", "..tttaaaaaaaaa..", "................"},
       {4, 0.9, 0.95},
       "PPPF",
       3,
       false},
      {"... unless 80 % of the cells are enough",
       {"................", "..tttaaaaaaaab..", "..tttaaaaaaaaa..", "..tttaaaaaaaaa..", "................"},
       {4, 0.8, 0.95},
       "PPPP",
       4,
       true},
      {"cells without a level do not count: 2 of 2 and 1 of 1",
       {"................", "..a.....a....a..", "................", "..a...b......b..", "................"},
       {4, 0.9, 0.95},
       "PFPF",
       2,
       false},
      {"a rectangle without a level fails; 3 of 4 pass when 75 % must",
       {"................", "..aaa...aaaaaa..", "..aaa...aaaaaa..", "..aaa...aaaaaa..", "................"},
       {4, 0.9, 0.75},
       "PFPP",
       3,
       true},
  };
  for (const auto &c : cases) {
    const _gridtest test = RunGridTest(Drawn(c.rows), -75, c.settings);
    ASSERT_TRUE(test.bWalked) << c.szWhat;
    EXPECT_EQ(test.extent, (_cellrect{2, 1, 14, 4})) << c.szWhat;
    EXPECT_EQ(Verdicts(test), c.verdicts) << c.szWhat;
    EXPECT_EQ(test.nPassed, c.nPassed) << c.szWhat;
    EXPECT_EQ(test.bPassed, c.bPassed) << c.szWhat;
  }
  const _gridtest nothing = RunGridTest(Drawn({"....", "...."}), -75, standard);
  EXPECT_FALSE(nothing.bWalked);
  EXPECT_TRUE(nothing.rectangles.empty());
  EXPECT_FALSE(nothing.bPassed);
}

TEST(GridTest, SettingsThatCannotBeUsedAreNamed) {
  EXPECT_EQ(GridSettingsProblem({}), "");
  EXPECT_EQ(GridSettingsProblem({0, 0.9, 0.95}), "the grid needs 1 to 1000 rectangles, not 0");
  EXPECT_NE(GridSettingsProblem({20, 1.5, 0.95}).find("not 150 %"), std::string::npos);
  EXPECT_NE(GridSettingsProblem({20, 0.9, 0}).find("rectangles that must pass"), std::string::npos);
}

} // namespace
