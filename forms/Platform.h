// The narrow interface between the form layer and the windowing system.
// The GTK implementation is what the program runs; the headless one lets
// the layer's rules run in unit tests without a display.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "forms/FormTable.h"

namespace qinvara::forms {

using NativeWindow = std::uint32_t;  // 0 is no window
using NativeControl = std::uint32_t;
using LoopId = std::uint32_t;

struct ScreenSize {
    int width = 0, height = 0;
};

enum class PointerAction { Enter, Leave, Press, DoublePress, Motion, Release };

// A left-button or crossing event on an image button, with whether the
// pointer is over the button at that moment.
struct PointerInput {
    PointerAction action;
    bool over = false;
};

// A key going down, as the platform saw it: the virtual-key code (Windows
// numbering), the modifier bits and the control that had the keyboard focus.
struct KeyInput {
    int virtualKey = 0;
    int modifiers = 0;
    NativeControl focused = 0;
    // A focused browser view was offered the key first and left it.
    bool leftByBrowser = false;
};

enum class KeyRoute {
    ToControl,  // let the focused control process the key
    Consumed    // the layer handled it (or a handler swallowed it)
};

// What the layer hears from the platform. Every call comes on the GUI thread
// from the event loop.
class PlatformListener {
  public:
    virtual ~PlatformListener() = default;
    // The close box, the window manager, or the desktop ended the window.
    virtual void CloseRequested(NativeWindow window) = 0;
    // Called before the focused control sees the key.
    virtual KeyRoute KeyDown(NativeWindow window, const KeyInput& key) = 0;
    // A left press on the window's own surface (control 0) or on a control,
    // in client coordinates of that control. False swallows the press.
    virtual bool LeftPressed(NativeWindow window, NativeControl control, int x, int y,
                             int modifiers, bool doubleClick) = 0;
    virtual void ImageButtonPointer(NativeControl button, const PointerInput& input) = 0;
    virtual void ButtonClicked(NativeControl pushButton) = 0;
    virtual void TimerTicked(NativeControl timer) = 0;
    virtual void Activated(NativeWindow window) = 0;
    virtual void Deactivated(NativeWindow window, NativeControl focused) = 0;
};

class Platform {
  public:
    virtual ~Platform() = default;

    virtual void SetListener(PlatformListener* listener) = 0;

    // Windows. `owned` windows belong to the invisible owner window: no
    // taskbar button. New windows and controls start hidden.
    virtual NativeWindow CreateWindow(const WindowSpec& design, bool owned) = 0;
    virtual void MoveWindow(NativeWindow window, int x, int y) = 0;
    virtual void ShowWindow(NativeWindow window) = 0;  // shows and activates
    virtual void HideWindow(NativeWindow window) = 0;
    virtual void ActivateWindow(NativeWindow window) = 0;  // restores when minimised
    virtual void MinimizeWindow(NativeWindow window) = 0;
    virtual void SetWindowEnabled(NativeWindow window, bool enabled) = 0;
    virtual bool IsWindowEnabled(NativeWindow window) const = 0;
    virtual void DestroyWindow(NativeWindow window) = 0;
    // Starts moving the window as a press on a title bar would.
    virtual void BeginMoveByBody(NativeWindow window) = 0;
    virtual ScreenSize PrimaryScreen() const = 0;

    // Controls, created in form order. Each control is stacked below every
    // control created before it in the same window.
    virtual NativeControl CreateControl(NativeWindow window, const ControlSpec& design) = 0;
    virtual void SetControlVisible(NativeControl control, bool visible) = 0;
    virtual void MoveControl(NativeControl control, int left, int top) = 0;
    virtual void ResizeControl(NativeControl control, int width, int height) = 0;
    virtual void FocusControl(NativeControl control) = 0;
    virtual std::string ControlText(NativeControl control) const = 0;  // UTF-8
    virtual void SetControlText(NativeControl control, const std::string& utf8) = 0;
    virtual void ShowPicture(NativeControl imageButton, Artwork picture) = 0;

    // Web-browser views.
    virtual void LoadAddress(NativeControl view, const std::string& utf8) = 0;
    virtual std::string CurrentAddress(NativeControl view) const = 0;
    virtual void GoBack(NativeControl view) = 0;
    virtual void GoForward(NativeControl view) = 0;

    // Timers: `periodMs` is already at least 10.
    virtual void StartTimer(NativeControl timer, int periodMs) = 0;
    virtual void StopTimer(NativeControl timer) = 0;

    // The event queue and its loops.
    virtual void Post(std::function<void()> work) = 0;
    virtual LoopId NewLoop() = 0;
    virtual void RunLoop(LoopId loop) = 0;  // returns after QuitLoop
    virtual void QuitLoop(LoopId loop) = 0;

    // A task-modal box with one OK button and no icon; returns when closed.
    virtual void ShowMessage(const std::string& utf8Text, const std::string& utf8Caption) = 0;
    // Hands the address to the desktop's default browser; reports nothing.
    virtual void OpenUrl(const std::string& utf8Address) = 0;
    // A start-up failure the user must hear about.
    virtual void ShowFatalError(const std::string& utf8Message) = 0;
    // Ends the process at once.
    [[noreturn]] virtual void Exit(int code) = 0;
};

}  // namespace qinvara::forms
