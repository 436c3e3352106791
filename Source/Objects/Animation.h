// The Animation component (kind 2): steps the frame of its object's Sprite at a fixed frame
// duration, either through the whole sheet (FrameCount frames) or, in row mode (DiffAnimations),
// through the row of the sheet holding the current frame, so that one sheet can hold one animation
// per row. At most one frame is stepped per update, however long the update.
//
// Object-file member "Animation", every key required: "FrameCount" (integer), "FrameDuration"
// (number, seconds), "IsLooping" (boolean), "DiffAnimations" (boolean).
//
// Threading: main thread. Ownership: owned by its object; writes the owner Sprite's frame index
// (when the object has a Sprite) and reads its sheet's column count in row mode.
#pragma once

#include "Objects/Component.h"

#include <string>

class Animation : public Component
{
public:
    static constexpr ComponentType kType = ComponentType::Animation;

    Animation() : Component(kType) {}
    Component* Clone() const override;
    // Clears finished; while playing, counts the clock down by dt and steps a frame once it has run
    // out.
    void Update(float dt) override;
    // Steps one frame (the tower behaviour also forces a step with it). At the end of the sheet or
    // row the animation loops back or stops; a stopped animation leaves the sprite's frame as it
    // was.
    void StepFrame();

    // Reads the member "Animation" of the object file text (JsonFileScope names the file).
    void Read(const std::string& fileText);

    int frameIndex = 0;          // current frame of the sheet
    int FrameCount = 0;          // frames of the whole-sheet animation
    float clock = 0.0f;          // seconds until the next frame
    float FrameDuration = 0.0f;  // seconds per frame
    bool playing = true;         // the animation advances
    bool IsLooping = false;      // restart at the end instead of stopping
    bool finished = false;       // set on the update in which the end was passed
    bool DiffAnimations = false; // row mode

private:
    // Columns of the owner sprite's sheet; a row of one frame when there is no sheet to ask.
    int SheetColumns() const;
};
