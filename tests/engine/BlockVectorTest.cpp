#include "engine/BlockVector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

// Blocks of 32 values (the first one growing from 16), so that a few hundred operations cross block
// boundaries often; a vector says what the sequence must hold after each.
TEST(BlockVector, InsertEraseAndTruncateAcrossBlocksKeepTheSequence) {
    dsengine::BlockVector<uint32_t, 5> blocks;
    std::vector<uint32_t> model;
    uint32_t next = 100, seed = 7;
    size_t longest = 0;
    for (int step = 0; step < 400; ++step) {
        seed = seed * 1103515245u + 12345u;
        const size_t at = model.empty() ? 0 : (seed >> 8) % (model.size() + 1);
        switch ((seed >> 24) % 5) {
        case 0:
        case 1:
            blocks.push_back(next);
            model.push_back(next++);
            break;
        case 2:
            blocks.insert(at, next);
            model.insert(model.begin() + long(at), next++);
            break;
        case 3:
            if (at < model.size()) {
                blocks.erase(at);
                model.erase(model.begin() + long(at));
            }
            break;
        default:
            if (step % 40 == 0) {  // now and then drop a tail; the blocks are written again
                blocks.Truncate(model.size() / 2);
                model.resize(model.size() / 2);
            }
        }
        ASSERT_EQ(blocks.size(), model.size()) << "step " << step;
        longest = std::max(longest, model.size());
        for (size_t i = 0; i < model.size(); ++i)
            ASSERT_EQ(blocks[i], model[i]) << "step " << step << ", value " << i;
    }
    EXPECT_GT(longest, 4 * blocks.kBlock);  // the walk did cross blocks
}
