// The scroll bar: a horizontal or vertical bar with an arrow at each end, a
// track between them and a thumb that shows a position between a minimum and
// a maximum. The arrows step by the small change, a click on the track beside
// the thumb by the big change, both on the release and only when the pointer
// is released over the part where it was pressed; holding the button repeats
// the step after 0.2 s every 0.02 s (a fractional count of steps when a frame
// spans more or less than one period); the thumb drags, continuously or in
// whole steps; the wheel steps by the small change when allowed.
//
// Eight sprites (a normal and a pressed picture per part) hang under the
// control's visual node. Every picture is laid out horizontally; a vertical
// bar turns all of them by a quarter turn. The arrows and the track keep
// their picture's aspect across the bar's thickness; the thumb keeps its
// picture's length, whatever the range. A part that does not fit is hidden,
// never shrunk. The start arrow is its picture mirrored.
//
// Events 37 (position changed) and 57 (interaction finished) go to the
// dispatcher and the listeners, never to the bar's own OnEvent. Only the
// release, the repeat, the drag and the wheel send 37; the setters and the
// direct writes of the compound controls followed by Recalc do not.
//
// Choices where the plain arithmetic fails: a range of zero puts the thumb at
// the track start; a discontinuous bar whose range is below one step keeps
// its thumb at the start, and one whose step is under a pixel drags to the
// nearest whole step in float arithmetic; a thumb without travel leaves the
// position at the minimum while dragged; a picture whose frame has no height
// gives its arrow no length, and a tiled picture without width repeats once.
// The repeat runs only while a press that began on this bar is active, so a
// button held elsewhere never steps the bar.
#pragma once

#include "Engine/Gui/GuiControl.h"

class CGmSprite;

enum EGuiScrollPart : int32_t {
    GUI_SCROLL_START_ARROW = 0,
    GUI_SCROLL_END_ARROW = 1,
    GUI_SCROLL_TRACK_BEFORE = 2,
    GUI_SCROLL_TRACK_AFTER = 3,
    GUI_SCROLL_THUMB = 4,
    GUI_SCROLL_NONE = 5,
};

class CGuiScrollBar : public CGuiControl {
public:
    CGuiScrollBar(float width, float height);
    ~CGuiScrollBar() override;

    void SetSize(float newWidth, float newHeight) override;
    void SetVisualState(uint8_t state) override;
    void SetProperty(uint32_t index, const CGeValue& value, bool refresh) override;
    bool GetProperty(uint32_t index, CGeWString& text) override;
    void Refresh() override;
    void UpdateFrame() override;
    void UpdateFade() override;
    void OnEvent(uint32_t code) override;
    void DrawContent() override;
    void DrawContentAgain() override;

    // Lays the eight sprites out from the size, direction, range and position.
    void Recalc();
    // The scroll position, clamped to the range; posts nothing.
    void SetPosition(float value);
    using CGuiControl::SetPosition;
    // Turns the sprites; the layout follows with the next Recalc.
    void SetDirection(int32_t value);
    void SetBlendMode(int32_t mode);
    // Minimum := min(value, position), maximum := max(value, position); each
    // recomputes the bar.
    void SetMinPos(float value);
    void SetMaxPos(float value);

    // The geometry along the bar: lengths of the arrows and the thumb, and
    // the thumb's place (T).
    float Length() const { return direction == 1 ? height : width; }
    float Thickness() const { return direction == 1 ? width : height; }
    float StartLength() const;
    float EndLength() const;
    float ThumbLength() const;
    float ThumbPlace() const;
    // The part whose zone holds the coordinate c along the bar (zones tested
    // in order, a later match winning); GUI_SCROLL_NONE outside every zone.
    int32_t ZoneAt(float c) const;
    bool InZone(int32_t part, float c) const;

    CGmSprite* endArrow = nullptr;
    CGmSprite* endArrowPressed = nullptr;
    CGmSprite* startArrow = nullptr;
    CGmSprite* startArrowPressed = nullptr;
    CGmSprite* thumb = nullptr;
    CGmSprite* thumbPressed = nullptr;
    CGmSprite* track = nullptr;
    CGmSprite* trackPressed = nullptr;
    CGeString arrowPic;
    CGeString thumbPic;
    CGeString trackPic;
    CGeString arrowPressedPic;
    CGeString thumbPressedPic;
    CGeString trackPressedPic;
    uint8_t allowWheel = 1;
    float position = 0.0f;
    float maxPos = 1.0f;
    float minPos = 0.0f;
    float smallChange = 1.0f;
    float bigChange = 1.0f;
    float repeatTimer = 0.0f;
    float holdTimer = 0.0f;
    int32_t direction = 0;
    int32_t blendMode = 5;
    uint8_t trackTiled = 0;
    float lastPointer = 0.0f;
    float grabOffset = 0.0f;
    int32_t pressedPart = GUI_SCROLL_NONE;
    uint8_t active = 0;
    uint8_t discontinuous = 0;
    uint8_t startLit = 0;
    uint8_t endLit = 0;
    uint8_t trackLit = 0;
    uint8_t thumbLit = 0;

private:
    void SetPicture(uint32_t index, const CGeString& schemaName);
    void RemoveSprite(CGmSprite*& sprite);
    CGmSprite* MakeSprite(const CGeString& schemaName, bool snapping, bool mirrored);
    void LayoutTrack(CGmSprite* sprite, float len, float startLen, float endLen, float thick);
    // Puts a sprite at a coordinate along the bar (0 across it).
    void PlaceAlong(CGmSprite* sprite, float along, float length, float thick);
    // The sprite of each part as drawn: the pressed one while lit.
    CGmSprite* Shown(CGmSprite* normal, CGmSprite* pressed, uint8_t lit) const;
    void LightZones(float c, bool setPart);
    void ConfineToTrack();
    void ReleaseConfinement();
    // Applies count steps of the pressed part; true when the position moved.
    bool Step(float count);
    float Pointer() const { return lastLocalPointer[direction == 1 ? 1 : 0]; }
    void OnPress();
    void OnDrag();
    void OnRelease();
    void RepeatOnHold();
};
