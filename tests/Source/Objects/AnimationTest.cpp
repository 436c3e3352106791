// The Animation component: whole-sheet and row stepping, looping and not, the clock, and the
// reader.
#include "Objects/Animation.h"

#include "Engine/SpriteSource.h"
#include "ObjectFileText.h"
#include "Objects/GameObject.h"
#include "Objects/Sprite.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace
{
using kp::test::ObjectFile;

// What the animation and its sprite show after each update.
struct Step
{
    int frameIndex;
    int spriteFrame;
    bool playing;
    bool finished;
};

bool operator==(const Step& a, const Step& b)
{
    return a.frameIndex == b.frameIndex && a.spriteFrame == b.spriteFrame && a.playing == b.playing &&
           a.finished == b.finished;
}

std::ostream& operator<<(std::ostream& out, const Step& step)
{
    return out << "{frame " << step.frameIndex << ", sprite " << step.spriteFrame
               << (step.playing ? ", playing" : ", stopped") << (step.finished ? ", finished}" : "}");
}

struct AnimationCase
{
    const char* what;
    bool rowMode;
    bool looping;
    int frameCount;
    int columns;
    int startFrame;
    std::vector<Step> steps; // one update of a whole frame duration each
};

TEST(Animation, StepsFramesAsATable)
{
    const AnimationCase cases[] = {
        {"whole sheet, not looping: ends showing the last frame while the index returns to 0",
         false,
         false,
         4,
         1,
         0,
         {{1, 1, true, false},
          {2, 2, true, false},
          {3, 3, true, false},
          {0, 3, false, true},
          {0, 3, false, false}}},
        {"whole sheet, looping",
         false,
         true,
         3,
         1,
         0,
         {{1, 1, true, false}, {2, 2, true, false}, {0, 0, true, true}, {1, 1, true, false}}},
        {"row mode, looping, within row 1 of 8 columns",
         true,
         true,
         0,
         8,
         13,
         {{14, 14, true, false}, {15, 15, true, false}, {8, 8, true, true}, {9, 9, true, false}}},
        {"row mode, not looping, stops at the row's start while the sprite stays",
         true,
         false,
         0,
         8,
         15,
         {{8, 15, false, true}, {8, 15, false, false}}},
        {"row mode never reads FrameCount",
         true,
         true,
         1,
         4,
         0,
         {{1, 1, true, false}, {2, 2, true, false}, {3, 3, true, false}, {0, 0, true, true}}},
    };
    constexpr float kFrameDuration = 0.1f;
    for (const AnimationCase& row : cases)
    {
        SCOPED_TRACE(row.what);
        SpriteSource sheet;
        sheet.numCols = row.columns;
        GameObject object;
        auto* sprite = new Sprite();
        sprite->spriteSource = &sheet;
        sprite->frameIndex = row.startFrame;
        object.AddComponent(sprite);
        auto* animation = new Animation();
        animation->FrameCount = row.frameCount;
        animation->FrameDuration = kFrameDuration;
        animation->IsLooping = row.looping;
        animation->DiffAnimations = row.rowMode;
        animation->frameIndex = row.startFrame;
        object.AddComponent(animation);

        std::vector<Step> seen;
        for (size_t update = 0; update < row.steps.size(); ++update)
        {
            object.Update(kFrameDuration);
            seen.push_back(
                {animation->frameIndex, sprite->frameIndex, animation->playing, animation->finished});
        }
        EXPECT_EQ(seen, row.steps);
        sprite->spriteSource = nullptr;
    }
}

TEST(Animation, TheClockStepsAtMostOneFramePerUpdate)
{
    GameObject object;
    auto* sprite = new Sprite();
    object.AddComponent(sprite);
    auto* animation = new Animation();
    animation->FrameCount = 10;
    animation->FrameDuration = 0.5f;
    object.AddComponent(animation);

    object.Update(0.01f); // the clock starts at 0: the first update steps at once
    EXPECT_EQ(sprite->frameIndex, 1);
    EXPECT_FLOAT_EQ(animation->clock, 0.49f);
    object.Update(0.2f);
    EXPECT_EQ(sprite->frameIndex, 1);
    object.Update(5.0f); // far past the next step: still one frame
    EXPECT_EQ(sprite->frameIndex, 2);
    EXPECT_FLOAT_EQ(animation->clock, 0.49f - 0.2f - 5.0f + 0.5f);
    object.Update(0.0f); // the clock is still below 0: another step
    EXPECT_EQ(sprite->frameIndex, 3);

    // Stopped, nothing moves and the clock rests at 0.
    animation->playing = false;
    animation->clock = 0.0f;
    object.Update(1.0f);
    EXPECT_EQ(sprite->frameIndex, 3);
    EXPECT_EQ(animation->clock, 0.0f);
}

TEST(Animation, RowModeWithoutASheetTreatsARowAsOneFrame)
{
    GameObject object;
    auto* animation = new Animation();
    animation->DiffAnimations = true;
    animation->IsLooping = true;
    animation->frameIndex = 3;
    object.AddComponent(animation); // no sprite at all
    animation->StepFrame();
    EXPECT_EQ(animation->frameIndex, 3);
    EXPECT_TRUE(animation->finished);
}

TEST(Animation, ReadTakesTheFourKeysAndCloneCopiesEverything)
{
    trindle::JsonFileScope scope(kp::test::kInlineObjectFile);
    Animation animation;
    animation.Read(ObjectFile(
        R"("Animation": {"FrameCount": 6, "FrameDuration": 0.125, "IsLooping": true, "DiffAnimations": false})"));
    EXPECT_EQ(animation.FrameCount, 6);
    EXPECT_EQ(animation.FrameDuration, 0.125f);
    EXPECT_TRUE(animation.IsLooping);
    EXPECT_FALSE(animation.DiffAnimations);
    EXPECT_TRUE(animation.playing);

    animation.frameIndex = 4;
    animation.clock = 0.3f;
    animation.playing = false;
    animation.finished = true;
    std::unique_ptr<Animation> copy(static_cast<Animation*>(animation.Clone()));
    EXPECT_EQ(copy->type, ComponentType::Animation);
    EXPECT_EQ(copy->frameIndex, 4);
    EXPECT_EQ(copy->FrameCount, 6);
    EXPECT_EQ(copy->clock, 0.3f);
    EXPECT_EQ(copy->FrameDuration, 0.125f);
    EXPECT_FALSE(copy->playing);
    EXPECT_TRUE(copy->IsLooping);
    EXPECT_TRUE(copy->finished);
    EXPECT_FALSE(copy->DiffAnimations);
}

TEST(AnimationReadDeathTest, EveryKeyIsRequiredWithItsType)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    trindle::JsonFileScope scope(kp::test::kInlineObjectFile);
    const struct
    {
        const char* members;
        const char* expected;
    } cases[] = {
        {R"("Animation": {"FrameCount": 6, "FrameDuration": 0.1, "IsLooping": true})",
         "\"DiffAnimations\" is present"},
        {R"("Animation": {"FrameCount": 6.5, "FrameDuration": 0.1, "IsLooping": true, "DiffAnimations": false})",
         "\"FrameCount\" is a 32-bit integer"},
        {R"("Animation": {"FrameCount": 6, "FrameDuration": 0.1, "IsLooping": 1, "DiffAnimations": false})",
         "\"IsLooping\" is a boolean"},
    };
    for (const auto& broken : cases)
    {
        SCOPED_TRACE(broken.members);
        Animation animation;
        EXPECT_DEATH(animation.Read(ObjectFile(broken.members)),
                     std::string("Inline\\.json.*") + broken.expected);
    }
}
} // namespace
