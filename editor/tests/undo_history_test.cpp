// The editor's undo levels: what a fill changed comes back exactly, in any order of undo and
// redo, at a fraction of a picture's size, and within the budget.
#include <gtest/gtest.h>

#include <random>

#include "undo_history.h"

namespace {

// A picture and a fill over it: random old colours (a few, so that repeats occur), a random
// painted set mixing long runs and lone pixels, and one paint colour or several.
struct Fill {
    std::vector<uint32_t> before, after;
    std::vector<uint8_t> bits;
};

Fill RandomFill(std::mt19937& random, size_t count, int palette, bool onePaint) {
    Fill fill;
    fill.before.resize(count);
    for (uint32_t& pixel : fill.before)
        pixel = uint32_t(random() % palette) * 0x01030507u;
    fill.after = fill.before;
    fill.bits.assign((count + 7) / 8, 0);
    size_t i = random() % 5;
    while (i < count) {
        size_t run = random() % 3 == 0 ? 1 + random() % 40 : 1;
        for (; run > 0 && i < count; --run, ++i) {
            fill.bits[i / 8] |= uint8_t(1u << (i % 8));
            fill.after[i] = onePaint ? 0xFFFF00FFu : uint32_t(random());
        }
        i += random() % 7;
    }
    return fill;
}

TEST(PackedWords, ReadsBackEveryMixOfRunsAndLiterals) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<uint32_t> words;
        size_t length = random() % 300;
        while (words.size() < length) {
            uint32_t word = random() % 4, repeat = random() % 2 ? 1 : 1 + random() % 9;
            words.insert(words.end(), repeat, word);
        }
        editor::PackedWords packed;
        for (uint32_t word : words)
            packed.Add(word);
        packed.Finish();
        editor::PackedWords::Reader reader(packed.Stream());
        for (size_t i = 0; i < words.size(); ++i)
            ASSERT_EQ(reader.Next(), words[i]) << "trial " << trial << " word " << i;
    }
}

TEST(RecordFill, UndoAndRedoGiveBackBothPicturesAndBeforeFollows) {
    std::mt19937 random(11);
    for (int trial = 0; trial < 50; ++trial) {
        size_t count = 1 + random() % 2000;
        Fill fill = RandomFill(random, count, 1 + trial % 6, trial % 2 == 0);
        std::vector<uint32_t> before = fill.before;
        editor::FillChange change =
            editor::RecordFill(fill.bits.data(), count, before.data(), fill.after.data());
        EXPECT_EQ(before, fill.after) << "before must follow the picture";
        size_t painted = 0;
        for (size_t i = 0; i < count; ++i)
            painted += fill.bits[i / 8] >> (i % 8) & 1;
        EXPECT_EQ(change.pixels, painted);

        std::vector<uint32_t> picture = fill.after;
        editor::ApplyUndo(change, picture.data());
        ASSERT_EQ(picture, fill.before) << "trial " << trial;
        editor::ApplyRedo(change, picture.data());
        ASSERT_EQ(picture, fill.after) << "trial " << trial;
    }
}

TEST(RecordFill, AUniformFillCostsAFewWordsNotAPictureCopy) {
    const size_t count = 1000 * 1000;
    std::vector<uint32_t> before(count, 0x00808080u), after(count, 0x00FF00FFu);
    std::vector<uint8_t> bits(count / 8, 0xFF);
    editor::FillChange change = editor::RecordFill(bits.data(), count, before.data(), after.data());
    EXPECT_EQ(change.pixels, count);
    EXPECT_LT(change.Bytes(), 64u);
}

TEST(UndoHistory, ManyLevelsInAnyOrderAndANewFillDropsTheRedoLevels) {
    std::mt19937 random(3);
    const size_t count = 500;
    std::vector<uint32_t> picture(count), before;
    for (uint32_t& pixel : picture)
        pixel = random() % 3;
    before = picture;
    std::vector<std::vector<uint32_t>> states = {picture};
    std::vector<uint64_t> ids = {0};
    editor::UndoHistory history(SIZE_MAX);
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(history.Undo(picture.data(), before.data()));
    for (int level = 0; level < 6; ++level) {
        Fill fill = RandomFill(random, count, 3, level % 2 == 0);
        // The fill paints over the current picture.
        for (size_t i = 0; i < count; ++i)
            if (fill.bits[i / 8] >> (i % 8) & 1)
                picture[i] = fill.after[i];
        history.Push(editor::RecordFill(fill.bits.data(), count, before.data(), picture.data()));
        states.push_back(picture);
        ids.push_back(history.StateId());
    }
    EXPECT_EQ(history.UndoLevels(), 6u);
    for (int step = 5; step >= 0; --step) { // all the way back
        ASSERT_TRUE(history.Undo(picture.data(), before.data()));
        ASSERT_EQ(picture, states[step]);
        ASSERT_EQ(before, states[step]);
        ASSERT_EQ(history.StateId(), ids[step]);
    }
    EXPECT_FALSE(history.CanUndo());
    for (int step = 1; step <= 3; ++step) { // and partly forward again
        ASSERT_TRUE(history.Redo(picture.data(), before.data()));
        ASSERT_EQ(picture, states[step]);
        ASSERT_EQ(history.StateId(), ids[step]);
    }
    Fill fill = RandomFill(random, count, 3, true);
    history.Push(editor::RecordFill(fill.bits.data(), count, before.data(), picture.data()));
    EXPECT_FALSE(history.CanRedo());
    EXPECT_EQ(history.UndoLevels(), 4u);
    EXPECT_NE(history.StateId(), ids[4]) << "a new change never takes an old state's id";
}

TEST(UndoHistory, KeepsTheNewestLevelsWithinItsBudget) {
    std::mt19937 random(5);
    const size_t count = 4000;
    std::vector<uint32_t> picture(count, 1), before = picture;
    editor::UndoHistory history(3 * count); // room for about one level of noisy colours
    for (int level = 0; level < 5; ++level) {
        Fill fill = RandomFill(random, count, 1, false); // random paint: no repeats
        for (size_t i = 0; i < count; ++i)
            if (fill.bits[i / 8] >> (i % 8) & 1)
                picture[i] = fill.after[i];
        history.Push(editor::RecordFill(fill.bits.data(), count, before.data(), picture.data()));
        EXPECT_GE(history.UndoLevels(), 1u) << "the newest level is always kept";
        EXPECT_TRUE(history.UndoLevels() == 1 || history.Bytes() <= 3 * count);
    }
    EXPECT_GT(history.DroppedLevels(), 0u);
    const uint64_t latest = history.StateId();
    std::vector<uint32_t> newest = picture;
    size_t levels = history.UndoLevels();
    while (history.Undo(picture.data(), before.data()))
        --levels;
    EXPECT_EQ(levels, 0u);
    EXPECT_NE(history.StateId(), latest);
    EXPECT_NE(history.StateId(), 0u) << "the oldest state kept is not the picture as opened";
    std::vector<uint8_t> none((count + 7) / 8, 0);
    history.ChangedWithoutUndo(none.data());
    EXPECT_FALSE(history.CanUndo() || history.CanRedo());
}

// The painted set a save needs: a random sequence of fills, undos, redos, levels dropped for
// the budget and fills kept without a level, held against the set worked out from the fills
// shown, step by step.
TEST(UndoHistory, PaintedSinceStartIsWhatTheFillsShownPainted) {
    std::mt19937 random(17);
    const size_t count = 3000;
    for (int trial = 0; trial < 20; ++trial) {
        std::vector<uint32_t> picture(count, 1), before = picture;
        editor::UndoHistory history(trial % 2 == 0 ? 4 * count : size_t(1) << 30);
        history.Start(count);
        // Each fill's bits; `shown` fills apply, in order: the applied prefix of `fills`.
        std::vector<std::vector<uint8_t>> fills;
        std::vector<uint8_t> kept((count + 7) / 8, 0); // fills the history can no longer undo
        size_t shown = 0;
        for (int step = 0; step < 30; ++step) {
            const int action = int(random() % 6);
            if (action <= 2) {
                Fill fill = RandomFill(random, count, 1, false);
                for (size_t i = 0; i < count; ++i)
                    if (fill.bits[i / 8] >> (i % 8) & 1)
                        picture[i] = fill.after[i];
                fills.resize(shown);
                if (action == 2) { // the fill's level could not be kept
                    std::copy(picture.begin(), picture.end(), before.begin());
                    history.ChangedWithoutUndo(fill.bits.data());
                    for (const std::vector<uint8_t>& bits : fills)
                        for (size_t b = 0; b < kept.size(); ++b)
                            kept[b] |= bits[b];
                    for (size_t b = 0; b < kept.size(); ++b)
                        kept[b] |= fill.bits[b];
                    fills.clear();
                    shown = 0;
                    continue;
                }
                history.Push(
                    editor::RecordFill(fill.bits.data(), count, before.data(), picture.data()));
                fills.push_back(fill.bits);
                shown = fills.size();
            } else if (action <= 4) {
                shown -= history.Undo(picture.data(), before.data()) ? 1 : 0;
            } else {
                shown += history.Redo(picture.data(), before.data()) ? 1 : 0;
            }
            // Levels dropped for the budget can no longer be undone, but stay painted.
            const size_t undoable = history.UndoLevels();
            std::vector<uint8_t> expected = kept;
            for (size_t f = 0; f < shown; ++f)
                for (size_t b = 0; b < expected.size(); ++b)
                    expected[b] |= fills[f][b];
            ASSERT_LE(undoable, shown);
            ASSERT_EQ(history.PaintedSinceStart(), expected)
                << "trial " << trial << " step " << step << ": " << shown << " fills shown, "
                << undoable << " undoable";
        }
    }
}

// A repeated click changes nothing, whichever pixel of the fill it is: the changed pixel is put
// at every position in turn, in every byte of the bit set and in the picture's last partial byte.
TEST(FillChangedDocument, ChangedOnlyWhereAPaintedPixelDiffersOrIsNewlyPaintedDeep) {
    const size_t count = 21; // two whole bytes of bits and five of a third
    std::vector<uint32_t> before(count, 0xFF00FFu);
    std::vector<uint8_t> bits((count + 7) / 8, 0xFF), none(bits.size(), 0);
    bits.back() = 0x1F;
    EXPECT_FALSE(
        editor::FillChangedDocument(bits.data(), count, before.data(), before.data(), nullptr));
    EXPECT_FALSE(
        editor::FillChangedDocument(none.data(), count, before.data(), before.data(), none.data()));
    for (size_t i = 0; i < count; ++i) {
        std::vector<uint32_t> after = before;
        after[i] = 0x123456u;
        EXPECT_TRUE(
            editor::FillChangedDocument(bits.data(), count, before.data(), after.data(), nullptr))
            << "pixel " << i;
        // A pixel that changed but was not painted is not the fill's.
        std::vector<uint8_t> others = bits;
        others[i / 8] &= uint8_t(~(1u << (i % 8)));
        EXPECT_FALSE(
            editor::FillChangedDocument(others.data(), count, before.data(), after.data(), nullptr))
            << "pixel " << i;
        // Deep samples: the same colours, but one pixel not yet painted by a fill on show.
        EXPECT_TRUE(editor::FillChangedDocument(bits.data(), count, before.data(), before.data(),
                                                others.data()))
            << "pixel " << i;
        EXPECT_FALSE(editor::FillChangedDocument(others.data(), count, before.data(), before.data(),
                                                 bits.data()))
            << "pixel " << i;
    }
}

} // namespace
