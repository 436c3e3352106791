// The base of every clickable control: a behaviour with a mouse-over test against its object's box
// collider and one shared three-state machine (idle, hovered, acting) with feedback: sprite rows,
// a small scale-up on hover and a press-in while held, sound cues, and a cooldown during which the
// button shows its busy row and ignores the mouse. Each class supplies its action (Act) and takes
// its looks, cues, trigger and cooldown from its row of the family table (ButtonFamily.h); the
// classes whose machines differ override Update and use the parts that apply.
//
// The standard machine, every update (mouse button 0; the state read is the one set last frame):
//   busy:  the cooldown runs: state 2, the busy row, nothing else.
//   0 idle:    the idle row; the snapshot's scale back; over the button: hover pending, to 1.
//   1 hovered: the hover row; the hover cue once; the hover scale (the press-in while held); the
//              press cue on the press edge; the release edge acts (to 2) (the press edge, for a
//              class whose trigger is the press), else stays while over.
//   2 acting:  the act row; the cooldown starts; the action cue; the action; back to 0.
// So a click acts on the release over the button, once, and the button then rests for the
// cooldown. The snapshot of the object's Transform is taken once, at Init: scaling always starts
// from it and never accumulates. An object without a Sprite, an Animation or an Audio component
// shows or plays nothing of what it lacks, and still acts.
//
// Threading: main thread. Ownership: the Audio component is the owner's; the cooldown timer
// belongs to the timer list (a clone shares it).
#pragma once

#include "Game/Behavior.h"
#include "Game/ButtonFamily.h"
#include "Game/TransformSnapshot.h"

#include <ZK/SoundEngine/Common/ZkTypes.h>

class Audio;
struct Timer;

class Button : public Behavior
{
public:
    static constexpr int kIdle = 0;
    static constexpr int kHovered = 1;
    static constexpr int kActing = 2;
    // The mouse button every control answers.
    static constexpr int kMouseButton = 0;
    // The cooldown's length, and how much shorter the short cooldown is.
    static constexpr float kDefaultDelay = 0.25f;
    static constexpr float kShortCooldownReduction = 0.1f;

    // Starts from state 0 when uninitialised; takes the snapshot and the owner's Audio component.
    void Init() override;
    // The standard machine above.
    void Update(float dt) override;
    void OnCollision(GameObject*) override {}
    // Whether the cursor lies in the owner's box collider (edges included); never for a circle or
    // without a collider.
    virtual bool IsMouseOver() const;

    const ButtonStyle& Style() const { return StyleOf(buttonClass); }
    // Whether the cooldown is running.
    bool CoolingDown() const;

    ButtonClass buttonClass;
    TransformSnapshot snapshot;
    Audio* audio = nullptr;
    bool hoverPending = false;
    Timer* cooldown = nullptr; // null until the first action
    float delay = kDefaultDelay;

protected:
    explicit Button(ButtonClass kind) : Behavior(kUnnamed, 0), buttonClass(kind) {}
    Button(const Button&) = default;

    // The class's action, run once in state 2.
    virtual void Act() {}
    // The look of state 0: the idle row (UpgradeButton chooses between two).
    virtual void ShowIdleLook();
    // Starts the cooldown of the class's length, when it has one.
    virtual void StartCooldown();

    // The row on the owner's sheet; kKeepRow does nothing.
    void ShowButtonRow(int row);
    // The cue on the owner's Audio component; 0 or no component plays nothing.
    void PlayCue(ZkUniqueID cue);
    // The snapshot's scale times `factor` on the owner.
    void ScaleFromSnapshot(float factor) { snapshot.ApplyScale(owner, factor); }
    // Over the button: hover pending and state 1 next; else state 0 next.
    void TestHover();
    // State 2 next when the button acts now, else state 1 while over the button, else state 0.
    void LeaveHover(bool acts);
    // The hovered size: the snapshot's scale times `raise`, pressed in while mouse button 0 is
    // held. Taken from the snapshot, so it never accumulates.
    void ScaleHovered(float raise);
    // State 0 of the standard machine: the idle look, the scale restored when the class restores
    // it, and the hover test.
    void RunIdle();
    // The hover cue, when the mouse has just come over the button.
    void PlayHoverCueOnce();
    // The cooldown's length for the class (0: none).
    float CooldownSeconds() const;

    static bool PressEdge();
    static bool ReleaseEdge();
    // Held since the last frame.
    static bool Held();

private:
    void RunHovered();
    void RunActing();
};
