// A test fixture run once per vector level: the level is the cap while the test runs, and a level
// the processor lacks skips the test.
#pragma once

#include <gtest/gtest.h>

#include "gfx/core/block_ops.h"

class AtVectorLevel : public testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        if (GetParam() > zered::vector_level_detected()) {
            GTEST_SKIP() << "the processor lacks vector level " << GetParam();
        }
        zered::limit_vector_level(GetParam());
    }
    void TearDown() override { zered::limit_vector_level(zered::vector_level_highest); }
};
