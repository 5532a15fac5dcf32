#include <gtest/gtest.h>

#include "PingTypes.h"

namespace {

PING_EVENT EventNumbered(std::int32_t n) {
    PING_EVENT event{};
    event.type = n;
    event.time = n;
    return event;
}

void PushNumbered(CEventRing& ring, std::int32_t first, std::int32_t last) {
    for (std::int32_t n = first; n <= last; ++n) {
        ring.Push(EventNumbered(n));
    }
}

TEST(EventRing, StartsZeroedAndEmpty) {
    CEventRing ring;
    EXPECT_EQ(ring.Capacity(), 5000u);
    EXPECT_EQ(ring.Count(), 0u);
    EXPECT_EQ(ring.Start(), 0u);
    EXPECT_EQ(ring.Retained(), 0u);
    EXPECT_EQ(ring.At(4999).type, 0);
}

TEST(EventRing, FillsInOrderBeforeItWraps) {
    CEventRing ring;
    PushNumbered(ring, 1, 5000);
    EXPECT_EQ(ring.Count(), 5000u);
    EXPECT_EQ(ring.Start(), 0u);
    EXPECT_EQ(ring.NewestIndex(), 4999u);
    EXPECT_EQ(ring.Oldest(0).type, 1);
    EXPECT_EQ(ring.Oldest(4999).type, 5000);
}

TEST(EventRing, The5001stEventOverwritesTheOldest) {
    CEventRing ring;
    PushNumbered(ring, 1, 5001);
    EXPECT_EQ(ring.Count(), 5001u);
    EXPECT_EQ(ring.Retained(), 5000u);
    EXPECT_EQ(ring.Start(), 1u);
    EXPECT_EQ(ring.NewestIndex(), 0u);
    EXPECT_EQ(ring.At(0).type, 5001);
    EXPECT_EQ(ring.Oldest(0).type, 2);
    EXPECT_EQ(ring.Oldest(4999).type, 5001);
}

TEST(EventRing, StartReturnsToZeroAfterAFullTurn) {
    CEventRing ring;
    PushNumbered(ring, 1, 10000);
    EXPECT_EQ(ring.Start(), 0u);
    EXPECT_EQ(ring.NewestIndex(), 4999u);
    EXPECT_EQ(ring.Oldest(0).type, 5001);
    ring.Push(EventNumbered(10001));
    EXPECT_EQ(ring.Start(), 1u);
    EXPECT_EQ(ring.NewestIndex(), 0u);
}

TEST(EventRing, CountGoesOnPast65536) {
    CEventRing ring;
    PushNumbered(ring, 1, 70001);
    EXPECT_EQ(ring.Count(), 70001u);
    EXPECT_EQ(ring.Start(), 70001u % 5000u);
    EXPECT_EQ(ring.At(ring.NewestIndex()).type, 70001);
    EXPECT_EQ(ring.Oldest(0).type, 65002);
    for (DWORD i = 1; i < ring.Retained(); ++i) {
        ASSERT_EQ(ring.Oldest(i).type, ring.Oldest(i - 1).type + 1) << i;
    }
}

TEST(EventRing, ClearForgetsEverything) {
    CEventRing ring(3);
    PushNumbered(ring, 1, 4);
    ring.Clear();
    EXPECT_EQ(ring.Count(), 0u);
    EXPECT_EQ(ring.Start(), 0u);
    ring.Push(EventNumbered(9));
    EXPECT_EQ(ring.At(0).type, 9);
}

TEST(EventRing, CopyNeedsAnotherRingAtLeastAsLarge) {
    CEventRing source(4);
    PushNumbered(source, 1, 6);

    CEventRing small(3);
    EXPECT_FALSE(small.CopyFrom(source));
    EXPECT_EQ(small.Count(), 0u);

    EXPECT_FALSE(source.CopyFrom(source));
    EXPECT_EQ(source.Count(), 6u);

    CEventRing same(4);
    ASSERT_TRUE(same.CopyFrom(source));
    EXPECT_EQ(same.Count(), 6u);
    EXPECT_EQ(same.Start(), 2u);
    for (DWORD i = 0; i < 4; ++i) {
        EXPECT_EQ(same.At(i).type, source.At(i).type);
    }
}

TEST(EventRing, ALargerRingTakesTheRetainedEventsOldestFirst) {
    CEventRing source(4);
    PushNumbered(source, 1, 6);  // holds 3 4 5 6, the oldest at index 2
    CEventRing larger(8);
    PushNumbered(larger, 90, 97);  // old contents must not show through
    ASSERT_TRUE(larger.CopyFrom(source));
    ASSERT_EQ(larger.Retained(), 4u);
    EXPECT_EQ(larger.Count(), 4u);
    EXPECT_EQ(larger.Start(), 0u);
    for (DWORD i = 0; i < 4; ++i) {
        EXPECT_EQ(larger.Oldest(i).type, static_cast<std::int32_t>(3 + i)) << i;
    }
    EXPECT_EQ(larger.At(larger.NewestIndex()).type, 6);
    EXPECT_EQ(larger.At(4).type, 0);
    EXPECT_EQ(larger.At(7).type, 0);
    // It goes on as a ring of its own capacity.
    PushNumbered(larger, 7, 12);
    for (DWORD i = 0; i < 8; ++i) {
        EXPECT_EQ(larger.Oldest(i).type, static_cast<std::int32_t>(5 + i)) << i;
    }

    // A source that never wrapped keeps its count and places.
    CEventRing young(4);
    PushNumbered(young, 1, 3);
    ASSERT_TRUE(larger.CopyFrom(young));
    EXPECT_EQ(larger.Count(), 3u);
    EXPECT_EQ(larger.Oldest(0).type, 1);
    EXPECT_EQ(larger.Oldest(2).type, 3);
    EXPECT_EQ(larger.At(3).type, 0);
}

TEST(EventRing, CopySinceTakesOnlyTheNewEventsOnce) {
    CEventRing ring(10);
    std::vector<PING_EVENT> out(3);
    EXPECT_EQ(ring.CopySince(0, out), 0u);
    EXPECT_TRUE(out.empty());
    PushNumbered(ring, 1, 4);
    DWORD seen = ring.CopySince(0, out);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out.front().type, 1);
    EXPECT_EQ(out.back().type, 4);
    EXPECT_EQ(ring.CopySince(seen, out), 4u);
    EXPECT_TRUE(out.empty());   // nothing new
    PushNumbered(ring, 5, 12);  // wraps: 3..12 retained
    seen = ring.CopySince(seen, out);
    EXPECT_EQ(seen, 12u);
    ASSERT_EQ(out.size(), 8u);
    EXPECT_EQ(out.front().type, 5);
    EXPECT_EQ(out.back().type, 12);
    // A reader that fell more than a ring behind gets what is left.
    PushNumbered(ring, 13, 40);
    EXPECT_EQ(ring.CopySince(seen, out), 40u);
    ASSERT_EQ(out.size(), 10u);
    EXPECT_EQ(out.front().type, 31);
    EXPECT_EQ(out.back().type, 40);
}

TEST(EventRing, GrowingNeverMovesAnEventAlreadyHeld) {
    CEventRing ring;
    ring.Push(EventNumbered(1));
    const PING_EVENT& first = ring.At(0);
    const PING_EVENT* const where = &first;
    PushNumbered(ring, 2, 5000);  // every block of the ring now exists
    EXPECT_EQ(&ring.At(0), where);
    EXPECT_EQ(first.type, 1);
    for (DWORD i = 0; i < 5000; ++i) {
        ASSERT_EQ(ring.At(i).type, static_cast<std::int32_t>(i + 1)) << i;
    }
}

TEST(EventRing, CopyFromASparseRingLeavesNoOldEntriesBehind) {
    CEventRing full;
    PushNumbered(full, 1, 5000);
    CEventRing sparse;
    PushNumbered(sparse, 100, 102);
    ASSERT_TRUE(full.CopyFrom(sparse));
    EXPECT_EQ(full.Count(), 3u);
    EXPECT_EQ(full.At(2).type, 102);
    // Entries the source never wrote read as zero in the copy, as in the source.
    EXPECT_EQ(full.At(3).type, 0);
    EXPECT_EQ(full.At(4999).type, 0);
    CEventRing copy;
    ASSERT_TRUE(copy.CopyFrom(full));
    EXPECT_EQ(copy.At(1).type, 101);
    EXPECT_EQ(copy.At(200).type, 0);
}

}  // namespace
