#include "core/sound/undo_history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

constexpr uint64_t MiB = uint64_t{1} << 20;
constexpr uint64_t plentyFree = uint64_t{100} << 30;

UndoStep step(int n, uint64_t bytes = MiB) {
    UndoStep s;
    s.file = "step" + std::to_string(n);
    s.bytes = bytes;
    s.state.length = static_cast<uint64_t>(n);
    return s;
}

std::vector<std::string> names(const UndoHistory::Files& files) {
    std::vector<std::string> out;
    for (const auto& f : files) out.push_back(f.string());
    return out;
}

TEST(UndoHistory, OldestStepsGoFirstWhenOverTheBounds) {
    // Each step kept takes its bytes from the disk's free space.
    struct Case {
        const char* what;
        uint64_t stepBytes, soundBytes, firstFree;
        int records;
        size_t kept;
    } cases[] = {
        {"twenty steps at most", MiB, MiB, plentyFree, 25, 20},
        {"1 GiB for a small sound", 300 * MiB, 100 * MiB, plentyFree, 5, 3},
        {"twice a large sound", 700 * MiB, 800 * MiB, plentyFree, 5, 2},
        {"1 GiB stays free", 300 * MiB, 2000 * MiB, 2000 * MiB, 5, 4},
        {"not even the new step when the disk is nearly full", 300 * MiB, 100 * MiB, 900 * MiB, 1, 0},
    };
    for (const Case& c : cases) {
        UndoHistory h;
        std::vector<std::string> gone;
        for (int i = 0; i < c.records; ++i) {
            const uint64_t free = c.firstFree - std::min<uint64_t>(c.firstFree, i * c.stepBytes);
            for (const std::string& n : names(h.record(step(i, c.stepBytes), c.soundBytes, free))) gone.push_back(n);
        }
        EXPECT_EQ(h.undoSteps(), c.kept) << c.what;
        ASSERT_EQ(gone.size(), c.records - c.kept) << c.what;
        for (size_t i = 0; i < gone.size(); ++i) EXPECT_EQ(gone[i], "step" + std::to_string(i)) << c.what;
    }
}

TEST(UndoHistory, UndoAndRedoTradeStepsAndANewChangeEndsTheWayForward) {
    UndoHistory h;
    EXPECT_FALSE(h.canUndo());
    h.record(step(0), MiB, plentyFree);
    h.record(step(1), MiB, plentyFree);
    EXPECT_EQ(h.undo(step(2)).state.length, 1u);
    EXPECT_EQ(h.undo(step(1)).state.length, 0u);
    EXPECT_FALSE(h.canUndo());
    EXPECT_EQ(h.redo(step(0)).state.length, 1u);
    EXPECT_TRUE(h.canRedo());
    EXPECT_EQ(names(h.record(step(5), MiB, plentyFree)), std::vector<std::string>{"step2"});
    EXPECT_FALSE(h.canRedo());
    EXPECT_EQ(h.undoSteps(), 2u);
    EXPECT_EQ(names(h.clear()), (std::vector<std::string>{"step0", "step5"}));
}

TEST(UndoHistory, TheSavedSoundIsKnownAgainOnlyWhileAStepLeadsBackToIt) {
    UndoHistory h;
    EXPECT_TRUE(h.atSaved()) << "as opened";
    h.record(step(0), MiB, plentyFree);
    EXPECT_FALSE(h.atSaved());
    h.undo(step(1));
    EXPECT_TRUE(h.atSaved()) << "undone back to the opened sound";
    h.redo(step(0));
    h.markSaved();
    h.undo(step(1));
    EXPECT_FALSE(h.atSaved());
    h.record(step(2), MiB, plentyFree);  // the saved sound lay in the redo steps
    h.undo(step(3));
    EXPECT_FALSE(h.atSaved());

    UndoHistory dropped;  // the saved sound's step is the oldest, and goes
    for (int i = 0; i < 21; ++i) dropped.record(step(i), MiB, plentyFree);
    for (int i = 0; i < 20; ++i) dropped.undo(step(100 + i));
    EXPECT_FALSE(dropped.atSaved());

    UndoHistory forgotten;
    forgotten.record(step(0), MiB, plentyFree);
    EXPECT_EQ(names(forgotten.forget()), std::vector<std::string>{"step0"});
    EXPECT_FALSE(forgotten.canUndo());
    EXPECT_FALSE(forgotten.atSaved());
}

}  // namespace
