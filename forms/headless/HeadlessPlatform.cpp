#include "forms/headless/HeadlessPlatform.h"

namespace qinvara::forms {

NativeWindow HeadlessPlatform::CreateWindow(const WindowSpec& design, bool owned) {
    if (refuseWindows) return 0;
    NativeWindow id = nextId_++;
    WindowRecord w;
    w.design = design;
    w.owned = owned;
    windows[id] = w;
    log.push_back("create " + design.name + (owned ? " owned" : ""));
    return id;
}

void HeadlessPlatform::MoveWindow(NativeWindow window, int x, int y) {
    windows.at(window).x = x;
    windows.at(window).y = y;
    log.push_back("move " + windows.at(window).design.name + " " + std::to_string(x) + "," +
                  std::to_string(y));
}

void HeadlessPlatform::ShowWindow(NativeWindow window) {
    auto& w = windows.at(window);
    w.shown = true;
    w.minimized = false;
    log.push_back("show " + w.design.name);
    active = window;
}

void HeadlessPlatform::HideWindow(NativeWindow window) {
    auto& w = windows.at(window);
    if (!w.shown) return;
    w.shown = false;
    log.push_back("hide " + w.design.name);
    if (active == window) {
        active = 0;
        NativeControl had = (focus != 0 && controls.at(focus).window == window) ? focus : 0;
        listener_->Deactivated(window, had);
    }
}

void HeadlessPlatform::ActivateWindow(NativeWindow window) {
    auto& w = windows.at(window);
    w.minimized = false;
    log.push_back("activate " + w.design.name);
    active = window;
}

void HeadlessPlatform::MinimizeWindow(NativeWindow window) {
    windows.at(window).minimized = true;
    log.push_back("minimize " + windows.at(window).design.name);
}

void HeadlessPlatform::SetWindowEnabled(NativeWindow window, bool enabled) {
    windows.at(window).enabled = enabled;
    log.push_back((enabled ? "enable " : "disable ") + windows.at(window).design.name);
}

bool HeadlessPlatform::IsWindowEnabled(NativeWindow window) const {
    return windows.at(window).enabled;
}

void HeadlessPlatform::DestroyWindow(NativeWindow window) {
    auto& w = windows.at(window);
    w.destroyed = true;
    w.shown = false;
    log.push_back("destroy " + w.design.name);
    if (active == window) active = 0;
    for (auto& [id, c] : controls) {
        if (c.window == window && focus == id) focus = 0;
    }
}

void HeadlessPlatform::BeginMoveByBody(NativeWindow window) {
    log.push_back("drag " + windows.at(window).design.name);
}

NativeControl HeadlessPlatform::CreateControl(NativeWindow window, const ControlSpec& design) {
    NativeControl id = nextId_++;
    ControlRecord c;
    c.design = design;
    c.window = window;
    c.left = design.left;
    c.top = design.top;
    c.width = design.width;
    c.height = design.height;
    if (const auto* label = std::get_if<LabelProps>(&design.props)) c.text = label->text;
    if (const auto* edit = std::get_if<EditProps>(&design.props)) c.text = edit->text;
    if (const auto* button = std::get_if<PushButtonProps>(&design.props)) c.text = button->text;
    if (const auto* rich = std::get_if<RichTextProps>(&design.props)) c.text = rich->text;
    if (const auto* image = std::get_if<ImageButtonProps>(&design.props)) c.picture = image->normal;
    controls[id] = c;
    log.push_back("create control " + design.name);
    if (const auto* view = std::get_if<WebViewProps>(&design.props);
        view && !view->address.empty()) {
        LoadAddress(id, view->address);
    }
    return id;
}

void HeadlessPlatform::SetControlVisible(NativeControl control, bool visible) {
    controls.at(control).visible = visible;
    log.push_back((visible ? "show control " : "hide control ") + NameOf(control));
}

void HeadlessPlatform::MoveControl(NativeControl control, int left, int top) {
    controls.at(control).left = left;
    controls.at(control).top = top;
    log.push_back("move control " + NameOf(control) + " " + std::to_string(left) + "," +
                  std::to_string(top));
}

void HeadlessPlatform::ResizeControl(NativeControl control, int width, int height) {
    controls.at(control).width = width;
    controls.at(control).height = height;
    log.push_back("resize control " + NameOf(control) + " " + std::to_string(width) + "x" +
                  std::to_string(height));
}

void HeadlessPlatform::FocusControl(NativeControl control) {
    focus = control;
    log.push_back("focus " + NameOf(control));
}

std::string HeadlessPlatform::ControlText(NativeControl control) const {
    return controls.at(control).text;
}

void HeadlessPlatform::SetControlText(NativeControl control, const std::string& utf8) {
    controls.at(control).text = utf8;
    log.push_back("text " + NameOf(control) + " " + utf8);
}

void HeadlessPlatform::ShowPicture(NativeControl imageButton, Artwork picture) {
    controls.at(imageButton).picture = picture;
}

void HeadlessPlatform::LoadAddress(NativeControl view, const std::string& utf8) {
    auto& c = controls.at(view);
    c.history.resize(c.historyAt);
    c.history.push_back(utf8);
    c.historyAt = c.history.size();
    log.push_back("load " + c.design.name + " " + utf8);
}

std::string HeadlessPlatform::CurrentAddress(NativeControl view) const {
    ++addressReads;
    const auto& c = controls.at(view);
    return c.historyAt == 0 ? std::string() : c.history[c.historyAt - 1];
}

void HeadlessPlatform::GoBack(NativeControl view) {
    auto& c = controls.at(view);
    if (c.historyAt > 1) --c.historyAt;
}

void HeadlessPlatform::GoForward(NativeControl view) {
    auto& c = controls.at(view);
    if (c.historyAt < c.history.size()) ++c.historyAt;
}

void HeadlessPlatform::StartTimer(NativeControl timer, int periodMs) {
    controls.at(timer).timerPeriod = periodMs;
    log.push_back("start timer " + NameOf(timer) + " " + std::to_string(periodMs));
}

void HeadlessPlatform::StopTimer(NativeControl timer) {
    controls.at(timer).timerPeriod = 0;
    log.push_back("stop timer " + NameOf(timer));
}

LoopId HeadlessPlatform::NewLoop() {
    LoopId id = nextLoop_++;
    quit_[id] = false;
    return id;
}

void HeadlessPlatform::RunLoop(LoopId loop) {
    log.push_back("loop " + std::to_string(loop));
    while (!quit_.at(loop)) {
        if (Step()) continue;
        if (whenIdle) {
            auto script = std::move(whenIdle);
            whenIdle = nullptr;
            script();
            continue;
        }
        throw std::logic_error(
            "an event loop would wait for ever: nothing is queued and no script is left");
    }
    log.push_back("loop " + std::to_string(loop) + " ended");
    quit_.erase(loop);
}

void HeadlessPlatform::QuitLoop(LoopId loop) {
    if (auto it = quit_.find(loop); it != quit_.end()) it->second = true;
}

void HeadlessPlatform::ShowMessage(const std::string& utf8Text, const std::string& utf8Caption) {
    messages.emplace_back(utf8Text, utf8Caption);
    log.push_back("message " + utf8Caption);
    if (whileMessageShown) {
        auto script = std::move(whileMessageShown);
        whileMessageShown = nullptr;
        script();
    }
}

void HeadlessPlatform::OpenUrl(const std::string& utf8Address) {
    openedUrls.push_back(utf8Address);
}

void HeadlessPlatform::ShowFatalError(const std::string& utf8Message) {
    fatalErrors.push_back(utf8Message);
}

bool HeadlessPlatform::Step() {
    if (queue_.empty()) return false;
    auto work = std::move(queue_.front());
    queue_.pop_front();
    work();
    return true;
}

void HeadlessPlatform::PressKey(NativeWindow window, int virtualKey, int modifiers,
                                bool leftByBrowser) {
    NativeControl focused = (focus != 0 && controls.at(focus).window == window) ? focus : 0;
    KeyRoute route = listener_->KeyDown(window, {virtualKey, modifiers, focused, leftByBrowser});
    log.push_back(std::string("key ") + std::to_string(virtualKey) +
                  (route == KeyRoute::Consumed ? " consumed" : " to control"));
}

void HeadlessPlatform::ActivateFromTaskbar(NativeWindow window) {
    active = window;
    listener_->Activated(window);
}

void HeadlessPlatform::ClickImageButton(NativeControl button) {
    Pointer(button, PointerAction::Enter, true);
    NativeWindow window = controls.at(button).window;
    if (PressOn(window, button, 1, 1)) Pointer(button, PointerAction::Press, true);
    Pointer(button, PointerAction::Release, true);
}

NativeWindow HeadlessPlatform::WindowNamed(const std::string& name) const {
    for (const auto& [id, w] : windows) {
        if (w.design.name == name && !w.destroyed) return id;
    }
    return 0;
}

NativeControl HeadlessPlatform::ControlNamed(NativeWindow window, const std::string& name) const {
    for (const auto& [id, c] : controls) {
        if (c.window == window && c.design.name == name) return id;
    }
    return 0;
}

}  // namespace qinvara::forms
