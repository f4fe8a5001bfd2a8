// Owns one reference to a GObject.
#pragma once

#include <glib-object.h>

#include <utility>

namespace qinvara::forms {

template <typename T>
class GObjectRef {
  public:
    GObjectRef() = default;
    // Takes over a reference the caller already holds (a "transfer full" result).
    static GObjectRef Adopt(T* object) { return GObjectRef(object); }
    // Adds a reference of our own; sinks a floating one.
    static GObjectRef Share(T* object) {
        if (object != nullptr) g_object_ref_sink(object);
        return GObjectRef(object);
    }
    ~GObjectRef() { Reset(); }
    GObjectRef(GObjectRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    GObjectRef& operator=(GObjectRef&& other) noexcept {
        if (this != &other) {
            Reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    GObjectRef(const GObjectRef&) = delete;
    GObjectRef& operator=(const GObjectRef&) = delete;

    T* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    void Reset() {
        if (object_ != nullptr) g_object_unref(std::exchange(object_, nullptr));
    }

  private:
    explicit GObjectRef(T* object) : object_(object) {}
    T* object_ = nullptr;
};

}  // namespace qinvara::forms
