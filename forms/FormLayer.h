// The form layer: loads windows from their forms, delivers events to the
// bound handlers in a fixed order, and ends the program.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "forms/FormTable.h"
#include "forms/ImageButton.h"
#include "forms/KeyCodes.h"
#include "forms/Platform.h"
#include "text/Text.h"

namespace qinvara::forms {

class ControlRef;

class FormLayer final : private PlatformListener {
  public:
    explicit FormLayer(Platform& platform);
    ~FormLayer() override;
    FormLayer(const FormLayer&) = delete;
    FormLayer& operator=(const FormLayer&) = delete;

    void SetExitRoutine(std::function<void()> routine) { exitRoutine_ = std::move(routine); }

    // The start sequence's load: non-modal, no wait. False when the window
    // could not be created.
    bool LoadStartupWindow(const Form& form);
    // Modal loads wait in a nested loop until the window is gone.
    bool LoadWindow(const Form& form, bool modal);
    // Destroys the window once the current event has returned.
    void UnloadWindow(const Form& form) { UnloadWindow(form.window.name); }
    // Runs the exit routine and ends the process with `code`.
    [[noreturn]] void EndProgram(int code);
    // Runs the main loop while a window exists, then the exit routine; 0.
    int Run();
    // A start-up failure: the message, then exit status 255, no exit routine.
    [[noreturn]] void FailFatally(const std::string& utf8Message);

    // Windows are also reached by their name ("MainWindow"), so that
    // handlers need not know where another window's form is kept.
    bool IsLoaded(std::string_view window) const;
    bool IsVisible(std::string_view window) const;
    void SetVisible(std::string_view window, bool visible);
    bool IsEnabled(std::string_view window) const;
    void Minimize(std::string_view window);
    void UnloadWindow(std::string_view window);
    ControlRef Control(std::string_view window, std::string_view control);

    bool IsLoaded(const Form& form) const { return IsLoaded(form.window.name); }
    bool IsVisible(const Form& form) const { return IsVisible(form.window.name); }
    void SetVisible(const Form& form, bool visible) { SetVisible(form.window.name, visible); }
    bool IsEnabled(const Form& form) const { return IsEnabled(form.window.name); }
    void Minimize(const Form& form) { Minimize(form.window.name); }
    ControlRef Control(const Form& form, std::string_view control);

    // Task-modal: every window of the program is disabled while it is up.
    void ShowMessage(const Text& text, const Text& caption);
    void OpenUrl(const Text& address);

  private:
    friend class ControlRef;
    struct ControlInstance;
    struct WindowInstance;
    struct ModalWait {
        std::uint64_t window;
        LoopId loop;
    };

    // PlatformListener
    void CloseRequested(NativeWindow window) override;
    KeyRoute KeyDown(NativeWindow window, const KeyInput& key) override;
    bool LeftPressed(NativeWindow window, NativeControl control, int x, int y, int modifiers,
                     bool doubleClick) override;
    void ImageButtonPointer(NativeControl button, const PointerInput& input) override;
    void ButtonClicked(NativeControl pushButton) override;
    void TimerTicked(NativeControl timer) override;
    void Activated(NativeWindow window) override;
    void Deactivated(NativeWindow window, NativeControl focused) override;

    WindowInstance* Find(const Form& form) const { return Find(form.window.name); }
    WindowInstance* Find(std::string_view name) const;
    WindowInstance* FindById(std::uint64_t id) const;
    WindowInstance* FindByNative(NativeWindow window) const;
    WindowInstance& Require(std::string_view name) const;
    ControlInstance* FindControl(NativeControl control, WindowInstance** owner = nullptr) const;

    std::uint64_t Create(const Form& form, bool modal, bool owned);
    void Show(WindowInstance& window);
    void DisableOthers(WindowInstance& modal);
    void ReenableSaved(WindowInstance& modal);
    void TakeUnload(std::uint64_t id);
    void Destroy(std::uint64_t id);
    void PlaceFocus(WindowInstance& window);
    void MoveFocus(WindowInstance& window, NativeControl from, bool backward);
    static const ControlInstance* DefaultButton(const WindowInstance& window,
                                                const ControlInstance* focused);
    Reply Raise(std::uint64_t window, std::string_view control, Event event,
                const EventArgs& args = {});

    Platform& platform_;
    std::function<void()> exitRoutine_;
    std::vector<std::unique_ptr<WindowInstance>> windows_;
    std::vector<ModalWait> waits_;
    std::uint64_t nextId_ = 1;
    bool mainLoopRunning_ = false;
    LoopId mainLoop_ = 0;
};

// A control of a loaded window, by name. Reading or writing a control of a
// window that is not loaded is a fatal error of the layer.
class ControlRef {
  public:
    Text GetText() const;
    void SetText(const Text& text);
    bool IsVisible() const;
    void SetVisible(bool visible);
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetLeft(int left);
    void SetTop(int top);
    void SetWidth(int width);
    void SetHeight(int height);
    // Web-browser views.
    void SetAddress(const Text& address);
    Text Address() const;
    void GoBack();
    void GoForward();
    // Timers.
    int Period() const;
    void SetPeriod(int period);

  private:
    friend class FormLayer;
    ControlRef(FormLayer& layer, std::uint64_t window, NativeControl control)
        : layer_(&layer), window_(window), control_(control) {}
    FormLayer::ControlInstance& Get() const;

    FormLayer* layer_;
    std::uint64_t window_;
    NativeControl control_;
};

}  // namespace qinvara::forms
