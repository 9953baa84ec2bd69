// The base of every GUI control: a drawable scene object and a message client
// at once, with a name unique in its control set, a parent and children, a
// geometry (position, size, anchors, pivot, zoom and rotation), numbered
// properties, a bound frame and a hover frame, and the events it reports.
//
// Transforms: the placement node holds the position, the rotation about z and
// the zoom; the visual node (the visual object's frame) hangs under it at
// minus the pivot, so rotation and zoom turn about the pivot; a child's
// placement node hangs under its parent's visual node, so a child's position
// is relative to its parent's top-left corner.
//
// Events go out on up to three paths: posted to the dispatcher with the
// control as sender (delivered in the next dispatch pass), the control's own
// OnEvent at once, and its listeners at once. The control holds the
// dispatcher only to post: it never has a dispatcher row, so hundreds of
// controls cannot fill the dispatcher's table.
//
// Ownership: the control owns its frames, names and lists; it does not own
// its children: every control belongs to its control set, which deletes it.
//
// Choices (sound behaviour where the plain rules would fail): a parent whose
// old width or height was 0 leaves a proportionally anchored child unchanged
// on that axis; a control whose world matrix cannot be inverted (zoom 0)
// takes no hits; a control that leaves its set, or dies, stops being that
// set's focus and capture.
#pragma once

#include "Engine/Core/Common/CiMessageClient.h"
#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GePoolList.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Common/GeValue.h"
#include "Engine/Core/Gm/GeFrame3D.h"
#include "Engine/Core/Gm/GmVisual2D.h"

#include <cstdint>

class CGuiBoundFrame;
class CGuiControl;
class CGuiControlSet;
class CGuiManager;

// The category that GUI controls carry in the high 16 bits of their type.
constexpr uint32_t GUI_CONTROL_CATEGORY = 5;

// The control types (EGCT codes).
enum EGuiControlType : uint32_t {
    EGCT_NONE = 0,
    EGCT_CONTROL = 1,
    EGCT_TEXTCONTROL = 2,
    EGCT_BUTTON = 3,
    EGCT_MENU = 4,
    EGCT_MEMO = 5,
    EGCT_TEXT = 6,
    EGCT_EDIT = 7,
    EGCT_SWITCH = 8,
    EGCT_COMBOBOX = 9,
    EGCT_LISTBOX = 10,
    EGCT_SCROLLAREA = 11,
    EGCT_SCROLLBOX = 12,
    EGCT_SCROLLBAR = 13,
    EGCT_PROGRESSBAR = 14,
    EGCT_CUSTOM = 15,
    EGCT_DROP_DOWN_LIST = 16,
};

// Event codes of the controls.
enum EGuiEvent : uint32_t {
    GUI_EV_PRESS = 1,  // 4b + 1 for button b
    GUI_EV_RELEASE = 2,
    GUI_EV_CLICK = 3,
    GUI_EV_DOUBLE_CLICK = 4,
    GUI_EV_WHEEL = 21,
    GUI_EV_WHEEL_DISABLED = 22,
    GUI_EV_MOVE = 23,
    GUI_EV_LEAVE = 24,
    GUI_EV_LEAVE_ACTIVE = 25,
    GUI_EV_ENTER = 26,
    GUI_EV_ENTER_ACTIVE = 27,
    GUI_EV_ENTER_DEEP = 28,
    GUI_EV_MOVE_DEEP = 29,
    GUI_EV_LEAVE_DEEP = 30,
    GUI_EV_CHAR = 33,
    GUI_EV_KEY_DOWN = 34,
    GUI_EV_KEY_UP = 35,
    GUI_EV_KEY_RELEASED_HERE = 36,
    GUI_EV_SCROLL_CHANGED = 37,
    GUI_EV_CONTENT_MOVED = 38,
    GUI_EV_CONTENT_RESIZED = 39,
    GUI_EV_FOCUS_GAINED = 40,
    GUI_EV_FOCUS_LOST = 41,
    GUI_EV_BUTTON_STATE = 42,
    GUI_EV_FRAME_CHANGED = 43,
    GUI_EV_TEXT_CHANGED = 44,
    GUI_EV_SIZE_CHANGED = 46,
    GUI_EV_POSITION_CHANGED = 47,
    GUI_EV_SELECTION_CHANGED = 48,
    GUI_EV_ITEM_CHOSEN = 52,
    GUI_EV_MOVE_ENDED = 55,
    GUI_EV_RESIZE_ENDED = 56,
    GUI_EV_SCROLL_FINISHED = 57,
    GUI_EV_PRESS_DISABLED = 58,  // 58 + 4b for button b
    GUI_EV_RELEASE_DISABLED = 59,
};

// A listener: called with (object, control, event code).
typedef void (*GuiListenerCallback)(void* object, CGuiControl* control, uint32_t code);
struct GuiListener {
    void* object;
    GuiListenerCallback callback;
    bool operator==(const GuiListener& other) const
    {
        return object == other.object && callback == other.callback;
    }
};

class CGuiControl : public CGmVisualObject, public CCiMessageClient {
public:
    CGuiControl(float width, float height);
    ~CGuiControl() override;

    // Slots 1 to 23 in their order.
    void Update() override;
    void Render() override;
    virtual void SetPosition(float x, float y);
    virtual void SetSize(float newWidth, float newHeight);
    virtual void SetVisualState(uint8_t state);
    virtual void SetProperty(uint32_t index, const CGeValue& value, bool refresh);
    virtual bool GetProperty(uint32_t index, CGeWString& text);
    virtual bool HitTest(float x, float y);
    virtual void Refresh() {}
    virtual void CreateChildren() {}
    virtual void OnKeyboardMessage(uint32_t code);
    virtual void OnMouseMessage(uint32_t code);
    virtual void PreMouseMessage(uint32_t) {}
    virtual void UpdateFrame();
    virtual void UpdateFade();
    virtual void OnEvent(uint32_t code);
    virtual void DrawContent() {}
    virtual void DrawContentAgain() {}  // the second drawing hook; nothing calls it
    virtual void DrawForeground() {}
    virtual CGeRect GetRect();
    virtual void Unused() {}
    virtual void AddChild(CGuiControl* child);
    virtual void RemoveChild(CGuiControl* child);

    void SetParent(CGuiControl* newParent);
    void SetName(const CGeString& newName);
    void SetPivot(float x, float y, float z);
    // Places the placement node at (x, y, 0) and updates the world matrices
    // without reporting a move (for game code that places controls itself).
    void PlaceAt(float x, float y);
    void BringToFront();
    void SendToBack();
    bool IsFocused() const;
    void SetStateRecursive(uint8_t state);
    // Post and own OnEvent.
    void PostEvent(uint32_t code);
    void NotifyListeners(uint32_t code);
    // Post and listeners, without OnEvent.
    void PostEventToListeners(uint32_t code);
    // All three paths: post, own OnEvent, listeners.
    void FireEvent(uint32_t code);
    bool HasActiveArea() const;
    void CreateBoundFrame(const CGeString& setName);
    void CreateHoverFrame(const CGeString& setName);
    void AddListener(void* object, GuiListenerCallback callback);
    void ClearListeners();

    // Drawing, hit tests and input.
    bool HitTestDeep(float x, float y);
    bool IsPointInActiveArea(float x, float y);
    // The screen point lies inside the control's own rectangle, however the
    // control is turned or zoomed; visibility and stacking do not count.
    bool IsPointInClientArea(float x, float y) const;
    bool FindClipContainer(CGuiControl** container);
    CGeRect GetClipRect();
    bool UpdateClipRect();
    void DrawFrameBackgrounds();
    void DrawFrameBorders();
    void FocusOnPress();
    CGuiControl* FindControlAt(float x, float y);
    // Tab among the children of this control.
    void FocusNextTab();
    void FocusPrevTab();

    // Owner set in the manager's current set, this control and every
    // ancestor visible.
    bool IsLive() const;
    bool IsVisibleWithAncestors() const;
    // Screen point into the visual node's local space; false when the world
    // matrix cannot be inverted.
    bool ScreenToLocal(float x, float y, float* lx, float* ly) const;
    // The origin of the visual node on the screen.
    Vec2 ScreenOrigin() const;
    CGuiManager* Manager() const;
    float X() const { return placement.position.x; }
    float Y() const { return placement.position.y; }
    uint32_t ControlType() const { return typeId & 0xFFFF; }

    CGeFrame3D placement;
    uint8_t enabledState = 1;
    uint8_t focusEnabled = 0;
    CGeString* pendingParent = nullptr;
    float lastLocalPointer[2] = {0.0f, 0.0f};
    float dragAnchor[2] = {0.0f, 0.0f};
    CGePoolList<CGuiControl*> children;
    CGeStringMap<CGuiControl*> childrenByName;
    uint8_t buttonDown[5] = {};
    float clickTimers[5] = {};
    CGuiBoundFrame* boundFrame = nullptr;
    CGuiBoundFrame* hoverFrame = nullptr;
    CGeString name;
    uint8_t boundFrameVisible = 1;
    CGuiControl* parent = nullptr;
    float width = 0.0f;
    float height = 0.0f;
    CGuiControlSet* ownerSet = nullptr;
    uint8_t tabStop = 0;
    int32_t tabOrder = 0;
    uint8_t anchors[4] = {1, 1, 0, 0};  // left, top, right, bottom
    int32_t cursorType = 1;
    CGeString boundFrameSetName;
    CGeString hoverFrameSetName;
    CGeRect clipRect = {0.0f, 0.0f, 0.0f, 0.0f};
    uint8_t clipping = 0;
    int32_t clippingDepth = 0;
    uint8_t hasClipRect = 0;
    uint8_t compound = 0;
    uint8_t internalPart = 0;
    uint32_t disabledColor = 0xFFAAAAAA;
    uint32_t focusedColor = 0xFFEEEEFF;
    float fadeTimer = 0.3f;
    uint8_t fadingOut = 1;
    CGePoolList<GuiListener> listeners;
    uint8_t manuallySizeable = 0;
    uint8_t manuallyMovable = 0;
    uint8_t moving = 0;
    uint8_t sizing = 0;
    float sizingArea[4] = {};  // left, top, right, bottom
    float minWidth = 0.0f;
    float minHeight = 0.0f;
    float maxWidth = 0.0f;
    float maxHeight = 0.0f;
    uint8_t transparentForManipulator = 0;
    int32_t sizingEdge = 0;
    uint32_t pressedKey = 0;
    float pivot[3] = {0.0f, 0.0f, 0.0f};
    uint32_t activeArea[4] = {};  // left, top, right, bottom

protected:
    // The frame colours of the normal, enabled look: white and the frame
    // set's background colour, when the set is still known.
    void RestoreFrameColors();
    // The cursor shown over the control at local (px, py) when not moving
    // or sizing.
    int32_t CursorAt(float px, float py) const;
    void ShowCursor(int32_t n) const;
    void EndManipulation();
    void ResizeStep(float curX, float curY);
    bool InInnerRect(float px, float py) const;
    void RebuildMatrices();

private:
    void ReplaceFrame(CGuiBoundFrame** frame, CGeString* storedName, const CGeString& setName, bool hover);
};

// Any of the four values differs (an unordered comparison counts as different).
bool RectDiffers(const CGeRect& a, const CGeRect& b);
