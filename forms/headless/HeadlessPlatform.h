// The platform without a display: windows and controls are plain records,
// posted work waits in a queue that the caller steps by hand, and everything
// the layer asks for is written to a log. Unit tests and benchmarks drive
// the form layer through it.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "forms/Platform.h"

namespace qinvara::forms {

// Thrown by Exit: the headless "process" ends by unwinding to the test.
struct HeadlessExit {
    int code;
};

class HeadlessPlatform final : public Platform {
  public:
    struct WindowRecord {
        WindowSpec design;
        bool owned = false;
        bool shown = false;
        bool enabled = true;
        bool minimized = false;
        bool destroyed = false;
        int x = 0, y = 0;
    };
    struct ControlRecord {
        ControlSpec design;
        NativeWindow window = 0;
        bool visible = false;
        int left = 0, top = 0, width = 0, height = 0;
        std::string text;
        Artwork picture{};
        std::vector<std::string> history;  // web views: addresses loaded
        std::size_t historyAt = 0;         // index of the current one + 1; 0 is none
        int timerPeriod = 0;               // 0 while stopped
    };

    // ---- Platform ----
    void SetListener(PlatformListener* listener) override { listener_ = listener; }
    NativeWindow CreateWindow(const WindowSpec& design, bool owned) override;
    void MoveWindow(NativeWindow window, int x, int y) override;
    void ShowWindow(NativeWindow window) override;
    void HideWindow(NativeWindow window) override;
    void ActivateWindow(NativeWindow window) override;
    void MinimizeWindow(NativeWindow window) override;
    void SetWindowEnabled(NativeWindow window, bool enabled) override;
    bool IsWindowEnabled(NativeWindow window) const override;
    void DestroyWindow(NativeWindow window) override;
    void BeginMoveByBody(NativeWindow window) override;
    ScreenSize PrimaryScreen() const override { return screen; }
    NativeControl CreateControl(NativeWindow window, const ControlSpec& design) override;
    void SetControlVisible(NativeControl control, bool visible) override;
    void MoveControl(NativeControl control, int left, int top) override;
    void ResizeControl(NativeControl control, int width, int height) override;
    void FocusControl(NativeControl control) override;
    std::string ControlText(NativeControl control) const override;
    void SetControlText(NativeControl control, const std::string& utf8) override;
    void ShowPicture(NativeControl imageButton, Artwork picture) override;
    void LoadAddress(NativeControl view, const std::string& utf8) override;
    std::string CurrentAddress(NativeControl view) const override;
    void GoBack(NativeControl view) override;
    void GoForward(NativeControl view) override;
    void StartTimer(NativeControl timer, int periodMs) override;
    void StopTimer(NativeControl timer) override;
    void Post(std::function<void()> work) override { queue_.push_back(std::move(work)); }
    LoopId NewLoop() override;
    void RunLoop(LoopId loop) override;
    void QuitLoop(LoopId loop) override;
    void ShowMessage(const std::string& utf8Text, const std::string& utf8Caption) override;
    void OpenUrl(const std::string& utf8Address) override;
    void ShowFatalError(const std::string& utf8Message) override;
    [[noreturn]] void Exit(int code) override { throw HeadlessExit{code}; }

    // ---- driving it ----
    // Runs one piece of posted work; false when the queue is empty.
    bool Step();
    void RunPending() {
        while (Step()) {
        }
    }
    std::size_t Pending() const { return queue_.size(); }

    // Called when a running loop has nothing left to do: the test's script
    // for what the user does meanwhile. A loop that stays idle without being
    // told to quit would block for ever, so it throws instead.
    std::function<void()> whenIdle;
    // Called while a message box is up (its nested loop).
    std::function<void()> whileMessageShown;

    // `leftByBrowser`: a focused browser view had the key first and left it.
    void PressKey(NativeWindow window, int virtualKey, int modifiers = 0,
                  bool leftByBrowser = false);
    void Close(NativeWindow window) { listener_->CloseRequested(window); }
    void ActivateFromTaskbar(NativeWindow window);
    // A full left click on an image button: enter, press, release over it.
    void ClickImageButton(NativeControl button);
    void Pointer(NativeControl button, PointerAction action, bool over) {
        listener_->ImageButtonPointer(button, {action, over});
    }
    bool PressOn(NativeWindow window, NativeControl control, int x, int y, int modifiers = 0,
                 bool doubleClick = false) {
        return listener_->LeftPressed(window, control, x, y, modifiers, doubleClick);
    }
    void Tick(NativeControl timer) { listener_->TimerTicked(timer); }

    NativeWindow WindowNamed(const std::string& name) const;  // the live one
    NativeControl ControlNamed(NativeWindow window, const std::string& name) const;
    const WindowRecord& WindowOf(NativeWindow w) const { return windows.at(w); }
    const ControlRecord& ControlOf(NativeControl c) const { return controls.at(c); }

    ScreenSize screen{1366, 768};
    bool refuseWindows = false;  // CreateWindow fails, as without a display
    std::map<NativeWindow, WindowRecord> windows;
    std::map<NativeControl, ControlRecord> controls;
    NativeWindow active = 0;
    NativeControl focus = 0;
    std::vector<std::string> log;          // what the layer asked for, in order
    mutable std::size_t addressReads = 0;  // CurrentAddress calls: the home-page watch reads
    std::vector<std::pair<std::string, std::string>> messages;
    std::vector<std::string> openedUrls;
    std::vector<std::string> fatalErrors;

  private:
    std::string NameOf(NativeControl c) const { return controls.at(c).design.name; }
    PlatformListener* listener_ = nullptr;
    std::deque<std::function<void()>> queue_;
    std::map<LoopId, bool> quit_;
    LoopId nextLoop_ = 1;
    std::uint32_t nextId_ = 1;
};

}  // namespace qinvara::forms
