// The fixed colour scale and the legend's numbers.
#include "coverage/ColourScale.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

TEST(ColourScale, ALevelFallsIntoItsBandAndTheEndsTakeTheRest) {
  _coveragesettings settings; // -110 to -30 by 10: 8 bands
  ASSERT_EQ(CoverageBandCount(settings), 8);
  struct _case {
    double dLevel;
    int nBand;
  };
  for (const _case &c : {_case{-128, 0}, _case{-110, 0}, _case{-100.01, 0}, _case{-100, 1}, _case{-75, 3},
                         _case{-30.5, 7}, _case{-30, 7}, _case{127, 7}}) {
    EXPECT_EQ(CoverageBandOf(c.dLevel, settings), c.nBand) << c.dLevel;
  }
  settings.dBandWidth = 30; // -110, -80, -50, and a last band of 20
  EXPECT_EQ(CoverageBandCount(settings), 3);
  EXPECT_EQ(CoverageBandOf(-35, settings), 2);
}

TEST(ColourScale, TheOverlayFadesOutOverItsLastMetreBeforeTheRadius) {
  const _coveragesettings settings; // R = 3 m, fade 1 m
  for (const auto &[dMetres, dAlpha] : {std::pair{0.0, 0.65}, {2.0, 0.65}, {2.5, 0.325}, {2.9, 0.065}, {3.0, 0.0}}) {
    EXPECT_NEAR(CoverageCellAlpha(dMetres, settings), dAlpha, 1e-12) << dMetres;
  }
}

TEST(ColourScale, TheLegendListsTheBandsFromTheStrongestDown) {
  _coveragesettings settings;
  settings.dScaleLow = -100;
  settings.dScaleHigh = -55;
  settings.dBandWidth = 15;
  const auto bands = CoverageLegendBands(settings);
  std::vector<std::string> labels;
  for (const auto &band : bands) {
    labels.push_back(band.strLabel);
  }
  EXPECT_EQ(labels, (std::vector<std::string>{"-70 and above", "-85 to -70", "below -85"}));
  EXPECT_EQ(bands.front().colour, (_rgb{33, 102, 172})); // the strongest blue
  EXPECT_EQ(bands.back().colour, (_rgb{128, 0, 38}));    // the weakest dark red
  EXPECT_NE(bands[1].colour, bands[0].colour);

  _coveragefigures figures;
  figures.dAreaSquareMetres = 121.3125;
  figures.dShare = 0.8125;
  EXPECT_EQ(CoverageFigureLines(figures, settings),
            (std::vector<std::string>{"walked 121.3 m\u00b2", "at or above -75: 81.2 %"}));
}

TEST(ColourScale, TheLegendLaysOutItsRowsByTheLineHeight) {
  // Lines 16 pixels high: a padding of 8, gaps of 4, swatches 16 x 13.
  const _legendlayout layout = CoverageLegendLayout(3, 2, 16, 70, 120);
  EXPECT_EQ(layout.dTitleY, 8);
  EXPECT_EQ(layout.bandY, (std::vector<double>{28, 44, 60}));
  EXPECT_EQ(layout.figureY, (std::vector<double>{80, 96}));
  EXPECT_EQ(layout.dHeight, 120);
  EXPECT_EQ(layout.dLabelX, 28);
  EXPECT_EQ(layout.dSwatchHeight, 13);
  EXPECT_EQ(layout.dWidth, 136); // the title and figure lines are the widest: 8 + 120 + 8
  EXPECT_EQ(CoverageLegendLayout(3, 2, 16, 140, 120).dWidth, 176); // a wide band label: 28 + 140 + 8
}

} // namespace
