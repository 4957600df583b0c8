// Spark column (class 10).
#include <gtest/gtest.h>

#include "fx/random.h"
#include "fx/sparks.h"
#include "support/fx_harness.h"
#include "support/show_harness.h"

namespace {

using fx::SparkFx;
using support::FxUnderTest;

constexpr uint8_t SPARKS = 10;
constexpr uint8_t COUNT = 0x80;

// Columns that a fresh stream's numbers give on a 160-wide target:
// trunc(trunc(r x 160 / 2^31) / 2 + 40).
constexpr uint16_t COLUMN[] = {107, 71, 102, 103, 112, 55, 66, 101};

struct Sparks {
  explicit Sparks(uint16_t width = 160, uint16_t height = 50) : fx(SPARKS, width, height) {}
  SparkFx& record() { return fx.record<SparkFx>(); }
  std::vector<uint16_t> columns() {
    std::vector<uint16_t> out;
    for (const fx::Spark& spark : record().sparks) out.push_back(spark.x);
    return out;
  }
  FxUnderTest fx;
};

TEST(SparkColumn, AWhitePixelSpreadsAsAQuarterToItsFourNeighbours) {
  Sparks sparks(20, 10);
  sparks.record().front[5 * 20 + 8] = 0xFFFF;
  sparks.fx.render();
  EXPECT_EQ(sparks.fx.pixel(7, 5), 0x39E7);  // red 7, green 15, blue 7
  EXPECT_EQ(sparks.fx.pixel(9, 5), 0x39E7);
  EXPECT_EQ(sparks.fx.pixel(8, 4), 0x39E7);
  EXPECT_EQ(sparks.fx.pixel(8, 6), 0x39E7);
  EXPECT_EQ(sparks.fx.pixel(8, 5), 0);  // a pixel does not take part in its own average
  EXPECT_EQ(sparks.fx.pixel(7, 4), 0);
  EXPECT_EQ(sparks.record().front[5 * 20 + 7], 0x39E7);  // the average is the next front
}

TEST(SparkColumn, AveragesAreTakenChannelByChannel) {
  Sparks sparks(3, 3);  // a run of one pixel, (1, 1)
  auto& front = sparks.record().front;
  front[1] = 0xF800;  // up: red 31
  front[3] = 0x07E0;  // left: green 63
  front[5] = 0x001F;  // right: blue 31
  front[7] = 0x0841;  // down: red 1, green 2, blue 1
  sparks.fx.render();
  EXPECT_EQ(sparks.fx.pixel(1, 1), (32 >> 2) << 11 | (65 >> 2) << 5 | (32 >> 2));
}

TEST(SparkColumn, APixelWithFourWhiteNeighboursBecomesWhite) {
  Sparks sparks(20, 10);
  std::fill(sparks.record().front.begin(), sparks.record().front.end(), 0xFFFF);
  sparks.fx.render();
  EXPECT_EQ(sparks.fx.pixel(1, 1), 0xFFFF);
  EXPECT_EQ(sparks.fx.pixel(18, 8), 0xFFFF);
}

TEST(SparkColumn, TheRunIsLinearAndLeavesTheBorderRowsAlone) {
  Sparks sparks(20, 10);
  std::fill_n(sparks.fx.buffer().pixels.get(), 200, 0x5555);
  sparks.record().front[2 * 20 + 0] = 0xFFFF;  // row 2, column 0
  sparks.fx.render();
  EXPECT_EQ(sparks.fx.pixel(19, 1), 0x39E7);  // its left neighbour in the run
  EXPECT_EQ(sparks.fx.pixel(1, 2), 0x39E7);
  // No sparks: the run is written black; outside it nothing is written.
  EXPECT_EQ(sparks.fx.pixel(5, 5), 0);
  for (int x = 0; x < 20; ++x) {
    EXPECT_EQ(sparks.fx.pixel(x, 0), 0x5555);
    EXPECT_EQ(sparks.fx.pixel(x, 9), 0x5555);
  }
  EXPECT_EQ(sparks.fx.pixel(0, 1), 0x5555);
  EXPECT_EQ(sparks.fx.pixel(19, 8), 0x5555);
  EXPECT_EQ(sparks.fx.pixel(1, 1), 0);
  EXPECT_EQ(sparks.fx.pixel(18, 8), 0);
}

TEST(SparkColumn, TwoSparksNeverMoveAndDrawNoNumbers) {
  Sparks sparks;
  sparks.fx.set(COUNT, 2);
  EXPECT_EQ(sparks.columns(), (std::vector<uint16_t>{COLUMN[0], COLUMN[1]}));
  EXPECT_EQ(sparks.record().sparks[1].y, 10);
  for (int i = 0; i < 3; ++i) sparks.fx.render();
  EXPECT_EQ(sparks.columns(), (std::vector<uint16_t>{COLUMN[0], COLUMN[1]}));
  EXPECT_EQ(sparks.fx.random.next(), 1681692777);  // the third result
  // Spark 0, on row 0, stays white in both pictures: row 0 is outside the run.
  EXPECT_EQ(sparks.record().front[COLUMN[0]], 0xFFFF);
  EXPECT_EQ(sparks.record().back[COLUMN[0]], 0xFFFF);
  EXPECT_EQ(sparks.fx.pixel(COLUMN[0], 0), 0);  // the target's row 0 is never written
}

TEST(SparkColumn, FiveSparksJumpBetweenTheFirstAndTheLast) {
  Sparks sparks;
  sparks.fx.set(COUNT, 5);
  EXPECT_EQ(sparks.columns(), (std::vector<uint16_t>(COLUMN, COLUMN + 5)));
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(sparks.record().sparks[i].y, 10 * i);
  sparks.fx.render();
  EXPECT_EQ(sparks.columns(), (std::vector<uint16_t>{COLUMN[0], 55, 66, 101, COLUMN[4]}));
  EXPECT_EQ(sparks.fx.pixel(55, 11), 0x39E7);  // spark 1, plotted before the average
  EXPECT_EQ(sparks.fx.pixel(COLUMN[4], 39), 0x39E7);
  for (int i = 0; i < 50; ++i) {
    sparks.fx.render();
    for (size_t s = 1; s < 4; ++s) {
      EXPECT_GE(sparks.record().sparks[s].x, 40);
      EXPECT_LE(sparks.record().sparks[s].x, 119);
    }
  }
  EXPECT_EQ(sparks.record().sparks[0].x, COLUMN[0]);
  EXPECT_EQ(sparks.record().sparks[4].x, COLUMN[4]);
}

TEST(SparkColumn, RaisingTheCountSetsTheOldLastSparkJumping) {
  Sparks sparks;
  sparks.fx.set(COUNT, 3);  // columns from results 1 to 3
  sparks.fx.render();       // spark 1 takes result 4
  EXPECT_EQ(sparks.columns(), (std::vector<uint16_t>{COLUMN[0], COLUMN[3], COLUMN[2]}));
  sparks.fx.set(COUNT, 4);  // spark 3, on row 30, takes result 5
  EXPECT_EQ(sparks.record().sparks[3].y, 30);
  sparks.fx.render();  // sparks 1 and 2 take results 6 and 7
  EXPECT_EQ(sparks.columns(), (std::vector<uint16_t>{COLUMN[0], COLUMN[5], COLUMN[6], COLUMN[4]}));
  sparks.fx.set(COUNT, 2);
  sparks.fx.render();
  EXPECT_EQ(sparks.columns(), (std::vector<uint16_t>{COLUMN[0], COLUMN[5]}));
}

TEST(SparkColumn, TheTopAndBottomRowsOfTheTargetNeverChange) {
  Sparks sparks;
  std::fill_n(sparks.fx.buffer().pixels.get(), 160 * 50, 0x5555);
  sparks.fx.set(COUNT, 5);
  for (int i = 0; i < 30; ++i) sparks.fx.render();
  for (int x = 0; x < 160; ++x) {
    ASSERT_EQ(sparks.fx.pixel(x, 0), 0x5555);
    ASSERT_EQ(sparks.fx.pixel(x, 49), 0x5555);
  }
  EXPECT_NE(sparks.fx.pixel(COLUMN[0], 1), 0);  // fed by spark 0 in every render
}

// Spark counts are trusted to keep every spark on the target; they need not.
TEST(SparkColumn, SparksBelowTheBottomRowJumpButAreNotPlotted) {
  Sparks sparks(160, 25);  // rows 0, 10, 20 fit; 30 to 90 do not
  sparks.fx.set(COUNT, 10);
  for (int i = 0; i < 5; ++i) sparks.fx.render();
  const int next = sparks.fx.random.next();
  fx::Random counted;
  for (int i = 0; i < 10 + 5 * 8; ++i) counted.next();  // 10 new sparks, then 8 jumps a render
  EXPECT_EQ(next, counted.next());
  EXPECT_EQ(sparks.record().sparks[9].y, 90);
}

TEST(SparkColumn, NegativeAndHugeCounts) {
  Sparks sparks;
  sparks.fx.set(COUNT, 3);
  sparks.fx.set(COUNT, -1);
  EXPECT_TRUE(sparks.record().sparks.empty());
  sparks.fx.render();
  sparks.fx.set(COUNT, INT32_MAX);
  ASSERT_EQ(sparks.record().sparks.size(), 6554u);  // rows 0 to 65530
  EXPECT_EQ(sparks.record().sparks.back().y, 65530);
  sparks.fx.render();
}

TEST(SparkColumn, TargetsTooSmallForARunOnlyPlot) {
  for (auto [width, height] :
       {std::pair{0, 0}, {1, 1}, {2, 2}, {1, 3}, {160, 2}, {160, 1}, {3, 3}}) {
    Sparks sparks(static_cast<uint16_t>(width), static_cast<uint16_t>(height));
    sparks.fx.set(COUNT, 3);
    sparks.fx.render();
    sparks.fx.render();
  }
  Sparks sparks(4, 3);  // a run of (3 - 2) x 4 - 2 = 2 pixels: (1, 1) and (2, 1)
  sparks.record().front[0 * 4 + 1] = 0xFFFF;
  sparks.record().front[2 * 4 + 2] = 0xFFFF;
  sparks.fx.render();
  EXPECT_EQ(sparks.fx.pixel(1, 1), 0x39E7);
  EXPECT_EQ(sparks.fx.pixel(2, 1), 0x39E7);
  EXPECT_EQ(sparks.fx.pixel(3, 1), 0);
}

TEST(SparkColumn, ATargetRecreatedAtAnotherSizeStartsItsPicturesBlack) {
  Sparks sparks;
  sparks.fx.set(COUNT, 5);
  sparks.fx.render();
  sparks.fx.buffer() = *support::make_entry(320, 100);
  sparks.fx.render();
  EXPECT_EQ(sparks.record().front.size(), 320u * 100);
  EXPECT_EQ(sparks.fx.pixel(COLUMN[0], 1), 0x39E7);
  sparks.fx.buffer() = *support::make_entry(50, 30);  // spark 0 at 107 is off to the right
  sparks.fx.render();
  EXPECT_EQ(sparks.fx.pixel(49, 28), 0);
}

TEST(SparkColumn, ScriptGlowsUnderTheFirstSpark) {
  support::EngineRun run(support::DataFileBuilder()
                             .script(support::ScriptBuilder()
                                         .newbuf(0, 0, 0, 160, 50)
                                         .newfx(0, SPARKS, 0)
                                         .setint(0, COUNT, 5)
                                         .start(0)
                                         .waitfor(100)
                                         .end())
                             .bytes);
  run.start();
  run.frame();
  EXPECT_EQ(run.picture().at(COLUMN[0], 1), 0x39E7);
  EXPECT_EQ(run.picture().at(COLUMN[0], 0), 0);
  EXPECT_EQ(run.picture().at(COLUMN[4], 41), 0x39E7);
  EXPECT_EQ(run.picture().at(COLUMN[4], 40), 0);
  run.frames(5);
  EXPECT_NE(run.picture().at(COLUMN[0], 2), 0);  // the glow spreads down from row 0
  EXPECT_EQ(run.picture().at(0, 49), 0);
}

}  // namespace
