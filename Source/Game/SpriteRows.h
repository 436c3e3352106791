// Looks an object shows through its sprite sheet. A sheet lays an object's looks out in rows of
// numCols frames (a button's idle, hovered and acting looks; a tower's whole and ruined looks; a
// gun's eight aims), so a look is chosen by moving the object's frame to the first frame of a row,
// on its Animation (which then animates within that row) and its Sprite together. A row the sheet
// does not have changes nothing, and so does an object without a Sprite on a sheet.
//
// Threading: main thread. Ownership: borrows the objects; every function accepts null.
#pragma once

class GameObject;

// Frame row x numCols on the Animation and the Sprite, when the sheet has more than `row` rows.
void ShowRow(GameObject* object, int row);
// The row of the current frame (the Animation's, else the Sprite's); -1 without a sheet.
int CurrentRow(const GameObject* object);
// The rows of the object's sheet; 0 without a sheet.
int RowCount(const GameObject* object);
// The first frame of the row after the current one, when the sheet has that row.
void ShowNextRow(GameObject* object);
// Plays the Animation once from frame 0 (an explosion going off): frame 0, clock one frame
// duration, not looping, not finished, playing; the Sprite's frame 0.
void RestartAnimation(GameObject* object);
// Starts or stops the Animation where it stands.
void SetAnimationPlaying(GameObject* object, bool playing);
// The Sprite's alpha; nothing without a Sprite.
void SetAlpha(GameObject* object, float alpha);
// The Sprite's frame, directly (not a row); nothing without a Sprite.
void SetSpriteFrame(GameObject* object, int frame);
