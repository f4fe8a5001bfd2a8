#include "forms/FormLayer.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "forms/Centring.h"
#include "text/CodePage.h"

namespace qinvara::forms {

struct FormLayer::ControlInstance {
    const ControlSpec* design;
    NativeControl native;
    bool visible;
    int left, top, width, height;
    int period = 0;  // timers
    ImageButtonState button;
};

struct FormLayer::WindowInstance {
    std::uint64_t id;
    const Form* form;
    NativeWindow native = 0;
    bool modal = false;
    bool pendingUnload = false;
    bool firstShowOutstanding = false;
    bool visible = false;
    NativeControl rememberedFocus = 0;
    // The windows a modal window disabled, each with its state from before.
    std::vector<std::pair<const Form*, bool>> disabled;
    std::vector<ControlInstance> controls;

    ControlInstance* Named(std::string_view name) {
        for (auto& c : controls) {
            if (c.design->name == name) return &c;
        }
        return nullptr;
    }
};

FormLayer::FormLayer(Platform& platform) : platform_(platform) { platform_.SetListener(this); }

FormLayer::~FormLayer() { platform_.SetListener(nullptr); }

// ---- finding instances ------------------------------------------------------

FormLayer::WindowInstance* FormLayer::Find(std::string_view name) const {
    for (const auto& w : windows_) {
        if (w->form->window.name == name) return w.get();
    }
    return nullptr;
}

FormLayer::WindowInstance* FormLayer::FindById(std::uint64_t id) const {
    for (const auto& w : windows_) {
        if (w->id == id) return w.get();
    }
    return nullptr;
}

FormLayer::WindowInstance* FormLayer::FindByNative(NativeWindow window) const {
    for (const auto& w : windows_) {
        if (w->native == window) return w.get();
    }
    return nullptr;
}

FormLayer::WindowInstance& FormLayer::Require(std::string_view name) const {
    WindowInstance* w = Find(name);
    if (w == nullptr) {
        const_cast<FormLayer*>(this)->FailFatally("The window \"" + std::string(name) +
                                                  "\" is used while it is not loaded.");
    }
    return *w;
}

FormLayer::ControlInstance* FormLayer::FindControl(NativeControl control,
                                                   WindowInstance** owner) const {
    if (control == 0) return nullptr;
    for (const auto& w : windows_) {
        for (auto& c : w->controls) {
            if (c.native == control) {
                if (owner != nullptr) *owner = w.get();
                return &c;
            }
        }
    }
    return nullptr;
}

bool FormLayer::IsLoaded(std::string_view window) const { return Find(window) != nullptr; }

// ---- loading ----------------------------------------------------------------

bool FormLayer::LoadStartupWindow(const Form& form) {
    // Only a window that shows in the taskbar stands without the owner.
    std::uint64_t id = Create(form, false, !form.window.showInTaskbar);
    if (id == 0) return false;
    Raise(id, {}, Event::Created);
    // Position and size changed would be raised here; nothing binds them.
    if (WindowInstance* w = FindById(id); w != nullptr && w->firstShowOutstanding) Show(*w);
    return true;
}

bool FormLayer::LoadWindow(const Form& form, bool modal) {
    if (WindowInstance* existing = Find(form)) {
        if (!existing->pendingUnload) {
            platform_.ActivateWindow(existing->native);
            return true;
        }
        // A window waiting to be unloaded goes now, before its new instance.
        existing->pendingUnload = false;
        Destroy(existing->id);
    }
    std::uint64_t id = Create(form, modal, modal || !form.window.showInTaskbar);
    if (id == 0) return false;
    Raise(id, {}, Event::Created);
    WindowInstance* w = FindById(id);
    if (w != nullptr && w->firstShowOutstanding) Show(*w);
    if (!modal) return true;
    w = FindById(id);
    if (w == nullptr) return true;
    DisableOthers(*w);
    LoopId loop = platform_.NewLoop();
    waits_.push_back({id, loop});
    platform_.RunLoop(loop);
    waits_.erase(std::remove_if(waits_.begin(), waits_.end(),
                                [loop](const ModalWait& m) { return m.loop == loop; }),
                 waits_.end());
    return true;
}

std::uint64_t FormLayer::Create(const Form& form, bool modal, bool owned) {
    NativeWindow native = platform_.CreateWindow(form.window, owned);
    if (native == 0) return 0;
    auto w = std::make_unique<WindowInstance>();
    w->id = nextId_++;
    w->form = &form;
    w->native = native;
    w->modal = modal;
    // The design-time flag decides the first show, whatever Created writes.
    w->firstShowOutstanding = form.window.visible;
    w->controls.reserve(form.controls.size());
    for (const ControlSpec& design : form.controls) {
        NativeControl c = platform_.CreateControl(native, design);
        ControlInstance instance{&design,       c,          design.visible,
                                 design.left,   design.top, design.width,
                                 design.height, 0,          {}};
        w->controls.push_back(instance);
    }
    for (const ControlInstance& c : w->controls) {
        if (c.visible && c.design->kind() != ControlKind::Timer)
            platform_.SetControlVisible(c.native, true);
    }
    if (form.window.startCentred) {
        ScreenSize screen = platform_.PrimaryScreen();
        platform_.MoveWindow(native, CentredOrigin(screen.width, form.window.width),
                             CentredOrigin(screen.height, form.window.height));
    }
    std::uint64_t id = w->id;
    windows_.push_back(std::move(w));
    // Timers whose form gives them a period run from creation.
    for (const ControlSpec& design : form.controls) {
        if (design.kind() == ControlKind::Timer) {
            int period = std::get<TimerProps>(design.props).period;
            if (period != 0)
                ControlRef(*this, id, FindById(id)->Named(design.name)->native).SetPeriod(period);
        }
    }
    return id;
}

void FormLayer::Show(WindowInstance& window) {
    window.firstShowOutstanding = false;
    window.visible = true;
    platform_.ShowWindow(window.native);
    PlaceFocus(window);
}

void FormLayer::DisableOthers(WindowInstance& modal) {
    for (const auto& w : windows_) {
        if (w.get() == &modal) continue;
        modal.disabled.emplace_back(w->form, platform_.IsWindowEnabled(w->native));
        platform_.SetWindowEnabled(w->native, false);
    }
}

void FormLayer::ReenableSaved(WindowInstance& modal) {
    for (const auto& [form, enabled] : modal.disabled) {
        if (WindowInstance* w = Find(*form)) platform_.SetWindowEnabled(w->native, enabled);
    }
    modal.disabled.clear();
}

// ---- showing and hiding ------------------------------------------------------

bool FormLayer::IsVisible(std::string_view window) const { return Require(window).visible; }

void FormLayer::SetVisible(std::string_view window, bool visible) {
    WindowInstance& w = Require(window);
    if (visible) {
        Show(w);
    } else {
        w.visible = false;
        platform_.HideWindow(w.native);
    }
}

bool FormLayer::IsEnabled(std::string_view window) const {
    return platform_.IsWindowEnabled(Require(window).native);
}

void FormLayer::Minimize(std::string_view window) {
    platform_.MinimizeWindow(Require(window).native);
}

// ---- unloading and ending -------------------------------------------------------

void FormLayer::UnloadWindow(std::string_view window) {
    WindowInstance* w = Find(window);
    if (w == nullptr) return;
    w->pendingUnload = true;
    std::uint64_t id = w->id;
    platform_.Post([this, id] { TakeUnload(id); });
}

void FormLayer::TakeUnload(std::uint64_t id) {
    WindowInstance* w = FindById(id);
    // Gone already (a close request came first), or loaded afresh meanwhile.
    if (w == nullptr || !w->pendingUnload) return;
    w->pendingUnload = false;
    if (w->modal) ReenableSaved(*w);
    Destroy(id);
}

void FormLayer::CloseRequested(NativeWindow native) {
    WindowInstance* w = FindByNative(native);
    if (w == nullptr) return;
    // No handler answers the close queries, so the window always closes.
    if (w->modal) ReenableSaved(*w);
    Destroy(w->id);
}

void FormLayer::Destroy(std::uint64_t id) {
    WindowInstance* w = FindById(id);
    if (w == nullptr) return;
    platform_.HideWindow(w->native);
    w->visible = false;
    Raise(id, {}, Event::WillBeDestroyed);
    w = FindById(id);
    if (w == nullptr) return;
    for (const ControlInstance& c : w->controls) {
        if (c.design->kind() == ControlKind::Timer && c.period > 0) platform_.StopTimer(c.native);
    }
    platform_.DestroyWindow(w->native);
    windows_.erase(std::find_if(windows_.begin(), windows_.end(),
                                [id](const auto& p) { return p->id == id; }));
    for (const ModalWait& wait : waits_) {
        if (wait.window == id) platform_.QuitLoop(wait.loop);
    }
    if (windows_.empty() && mainLoopRunning_) platform_.QuitLoop(mainLoop_);
}

int FormLayer::Run() {
    if (!windows_.empty()) {
        mainLoop_ = platform_.NewLoop();
        mainLoopRunning_ = true;
        platform_.RunLoop(mainLoop_);
        mainLoopRunning_ = false;
    }
    windows_.clear();
    if (exitRoutine_) std::exchange(exitRoutine_, nullptr)();
    return 0;
}

void FormLayer::EndProgram(int code) {
    if (exitRoutine_) std::exchange(exitRoutine_, nullptr)();
    platform_.Exit(code);
    std::abort();  // Exit does not return
}

void FormLayer::FailFatally(const std::string& utf8Message) {
    platform_.ShowFatalError(utf8Message);
    platform_.Exit(255);
    std::abort();  // Exit does not return
}

// ---- events ----------------------------------------------------------------------

Reply FormLayer::Raise(std::uint64_t windowId, std::string_view control, Event event,
                       const EventArgs& args) {
    WindowInstance* w = FindById(windowId);
    if (w == nullptr) return Reply::Nothing;
    for (const Binding& b : w->form->bindings) {
        if (b.event == event && b.control == control) return b.handler(*this, args);
    }
    return Reply::Nothing;
}

bool FormLayer::LeftPressed(NativeWindow native, NativeControl control, int x, int y, int modifiers,
                            bool doubleClick) {
    WindowInstance* w = FindByNative(native);
    if (w == nullptr) return true;
    if (control == 0) {
        if (w->form->window.moveByBody && !doubleClick) platform_.BeginMoveByBody(native);
        return true;
    }
    ControlInstance* c = FindControl(control);
    if (c == nullptr || doubleClick) return true;
    EventArgs args;
    args.x = static_cast<std::uint16_t>(x);
    args.y = static_cast<std::uint16_t>(y);
    args.modifiers = modifiers;
    return Raise(w->id, c->design->name, Event::LeftMousePressed, args) != Reply::False;
}

void FormLayer::ImageButtonPointer(NativeControl button, const PointerInput& input) {
    WindowInstance* w = nullptr;
    ControlInstance* c = FindControl(button, &w);
    if (c == nullptr) return;
    ButtonPicture before = c->button.Picture();
    bool clicked = c->button.Handle(input);
    ButtonPicture after = c->button.Picture();
    if (after != before) {
        const auto& pictures = std::get<ImageButtonProps>(c->design->props);
        platform_.ShowPicture(button, after == ButtonPicture::Pressed ? pictures.pressed
                                      : after == ButtonPicture::Hover ? pictures.hover
                                                                      : pictures.normal);
    }
    if (clicked) Raise(w->id, c->design->name, Event::Clicked);
}

void FormLayer::ButtonClicked(NativeControl pushButton) {
    WindowInstance* w = nullptr;
    ControlInstance* c = FindControl(pushButton, &w);
    if (c != nullptr) Raise(w->id, c->design->name, Event::Clicked);
}

void FormLayer::TimerTicked(NativeControl timer) {
    WindowInstance* w = nullptr;
    ControlInstance* c = FindControl(timer, &w);
    if (c != nullptr && c->period > 0) Raise(w->id, c->design->name, Event::Tick);
}

// ---- activation and focus -----------------------------------------------------------

void FormLayer::Activated(NativeWindow native) {
    WindowInstance* w = FindByNative(native);
    if (w == nullptr) return;
    if (!platform_.IsWindowEnabled(native)) {
        // A disabled window brought forward hands over to the modal window.
        for (auto it = waits_.rbegin(); it != waits_.rend(); ++it) {
            WindowInstance* modal = FindById(it->window);
            if (modal != nullptr && modal->visible) {
                platform_.ActivateWindow(modal->native);
                return;
            }
        }
        return;
    }
    PlaceFocus(*w);
}

void FormLayer::Deactivated(NativeWindow native, NativeControl focused) {
    if (WindowInstance* w = FindByNative(native)) w->rememberedFocus = focused;
}

void FormLayer::PlaceFocus(WindowInstance& w) {
    if (w.rememberedFocus != 0) {
        for (const ControlInstance& c : w.controls) {
            if (c.native == w.rememberedFocus) {
                platform_.FocusControl(c.native);
                return;
            }
        }
    }
    // Every tab order number is 0, so the latest such control in form order wins.
    for (auto it = w.controls.rbegin(); it != w.controls.rend(); ++it) {
        if (it->visible && it->design->canFocus() && it->design->tabStop) {
            platform_.FocusControl(it->native);
            return;
        }
    }
}

void FormLayer::MoveFocus(WindowInstance& w, NativeControl from, bool backward) {
    std::vector<NativeControl> stops;
    for (const ControlInstance& c : w.controls) {
        if (c.visible && c.design->canFocus() && c.design->tabStop) stops.push_back(c.native);
    }
    if (stops.empty()) return;
    auto at = std::find(stops.begin(), stops.end(), from);
    std::size_t next;
    if (at == stops.end()) {
        next = backward ? stops.size() - 1 : 0;
    } else {
        std::size_t i = static_cast<std::size_t>(at - stops.begin());
        next = backward ? (i + stops.size() - 1) % stops.size() : (i + 1) % stops.size();
    }
    platform_.FocusControl(stops[next]);
}

// ---- keyboard ---------------------------------------------------------------------------

namespace {

bool IsDefaultButton(const ControlSpec& design) {
    const auto* button = std::get_if<PushButtonProps>(&design.props);
    return button != nullptr && button->isDefault;
}

}  // namespace

// The focused control first, then the controls in form order.
const FormLayer::ControlInstance* FormLayer::DefaultButton(const WindowInstance& w,
                                                           const ControlInstance* focused) {
    if (focused != nullptr && IsDefaultButton(*focused->design)) return focused;
    for (const ControlInstance& c : w.controls) {
        if (IsDefaultButton(*c.design)) return &c;
    }
    return nullptr;
}

// ---- key routing ---------------------------------------------------------------------------

KeyRoute FormLayer::KeyDown(NativeWindow native, const KeyInput& key) {
    WindowInstance* w = FindByNative(native);
    if (w == nullptr) return KeyRoute::ToControl;
    ControlInstance* focused = FindControl(key.focused);
    // A browser view gets its keys first; what it leaves is its own affair.
    if (focused != nullptr && focused->design->kind() == ControlKind::WebView &&
        !key.leftByBrowser) {
        return KeyRoute::ToControl;
    }

    // Alt+F4 closes any window, as the window menu's Close does, also where
    // the window manager leaves the key to the program.
    if (key.virtualKey == vk::F4 && key.modifiers == modifier::Alt) {
        CloseRequested(native);
        return KeyRoute::Consumed;
    }
    if (key.virtualKey == vk::Escape && key.modifiers == 0 && w->form->window.escCloses) {
        CloseRequested(native);
        return KeyRoute::Consumed;
    }
    if (key.virtualKey == vk::Return) {
        bool claimed = focused != nullptr && focused->design->kind() == ControlKind::EditBox &&
                       std::get<EditProps>(focused->design->props).multiLine;
        // Without a default button Enter goes on like any other key.
        if (!claimed) {
            if (const ControlInstance* button = DefaultButton(*w, focused)) {
                Raise(w->id, button->design->name, Event::Clicked);
                return KeyRoute::Consumed;
            }
        }
    }
    if (key.virtualKey == vk::Tab && (key.modifiers & (modifier::Ctrl | modifier::Alt)) == 0) {
        MoveFocus(*w, key.focused, (key.modifiers & modifier::Shift) != 0);
        return KeyRoute::Consumed;
    }
    if (focused == nullptr) return KeyRoute::ToControl;
    EventArgs args;
    args.keyCode = KeyPressedCode(key.virtualKey);
    args.modifiers = key.modifiers;
    Reply reply = Raise(w->id, focused->design->name, Event::KeyPressed, args);
    return reply == Reply::False ? KeyRoute::Consumed : KeyRoute::ToControl;
}

// ---- message box and URL opener ---------------------------------------------------------

void FormLayer::ShowMessage(const Text& text, const Text& caption) {
    std::vector<std::pair<const Form*, bool>> states;
    for (const auto& w : windows_) {
        states.emplace_back(w->form, platform_.IsWindowEnabled(w->native));
        platform_.SetWindowEnabled(w->native, false);
    }
    platform_.ShowMessage(ToUtf8(text), ToUtf8(caption));
    for (const auto& [form, enabled] : states) {
        if (WindowInstance* w = Find(*form)) platform_.SetWindowEnabled(w->native, enabled);
    }
}

void FormLayer::OpenUrl(const Text& address) { platform_.OpenUrl(ToUtf8(address)); }

// ---- controls ------------------------------------------------------------------------------

ControlRef FormLayer::Control(const Form& form, std::string_view control) {
    return Control(form.window.name, control);
}

ControlRef FormLayer::Control(std::string_view window, std::string_view control) {
    WindowInstance& w = Require(window);
    ControlInstance* c = w.Named(control);
    if (c == nullptr) {
        FailFatally("The window \"" + std::string(window) + "\" has no control \"" +
                    std::string(control) + "\".");
    }
    return ControlRef(*this, w.id, c->native);
}

FormLayer::ControlInstance& ControlRef::Get() const {
    FormLayer::WindowInstance* w = layer_->FindById(window_);
    if (w == nullptr) layer_->FailFatally("A control is used after its window was unloaded.");
    for (auto& c : w->controls) {
        if (c.native == control_) return c;
    }
    layer_->FailFatally("A control is used after its window was unloaded.");
}

Text ControlRef::GetText() const { return FromUtf8(layer_->platform_.ControlText(Get().native)); }
void ControlRef::SetText(const Text& text) {
    layer_->platform_.SetControlText(Get().native, ToUtf8(text));
}

bool ControlRef::IsVisible() const { return Get().visible; }
void ControlRef::SetVisible(bool visible) {
    auto& c = Get();
    c.visible = visible;
    if (c.design->kind() != ControlKind::Timer)
        layer_->platform_.SetControlVisible(c.native, visible);
}

int ControlRef::Left() const { return Get().left; }
int ControlRef::Top() const { return Get().top; }
int ControlRef::Width() const { return Get().width; }
int ControlRef::Height() const { return Get().height; }
void ControlRef::SetLeft(int left) {
    auto& c = Get();
    c.left = left;
    layer_->platform_.MoveControl(c.native, c.left, c.top);
}
void ControlRef::SetTop(int top) {
    auto& c = Get();
    c.top = top;
    layer_->platform_.MoveControl(c.native, c.left, c.top);
}
void ControlRef::SetWidth(int width) {
    auto& c = Get();
    c.width = width;
    layer_->platform_.ResizeControl(c.native, c.width, c.height);
}
void ControlRef::SetHeight(int height) {
    auto& c = Get();
    c.height = height;
    layer_->platform_.ResizeControl(c.native, c.width, c.height);
}

void ControlRef::SetAddress(const Text& address) {
    layer_->platform_.LoadAddress(Get().native, ToUtf8(address));
}
Text ControlRef::Address() const {
    return FromUtf8(layer_->platform_.CurrentAddress(Get().native));
}
void ControlRef::GoBack() { layer_->platform_.GoBack(Get().native); }
void ControlRef::GoForward() { layer_->platform_.GoForward(Get().native); }

int ControlRef::Period() const { return Get().period; }

void ControlRef::SetPeriod(int period) {
    auto& c = Get();
    if (period < 0) period = 0;
    // The same period again leaves a running timer on its rhythm.
    if (period == c.period) return;
    if (c.period > 0) layer_->platform_.StopTimer(c.native);
    c.period = period;
    if (period > 0) layer_->platform_.StartTimer(c.native, std::max(10, period));
}

}  // namespace qinvara::forms
