#pragma once
// Constant window opacity ("layered windows") and the fade-in that tips and
// popups use. The engine knows no windows: a front-end binds a backend that
// sets a window's opacity (the Qt layer uses QWidget::setWindowOpacity), and
// windows are opaque handles here.

#include <cstdint>

namespace qf::core {

using WindowHandle = void*;

struct LayeredBackend {
    // Marks the window as one whose opacity can change.
    void (*makeLayered)(WindowHandle window) = nullptr;
    // Sets the constant opacity, 0 (transparent) .. 255 (opaque).
    void (*setAlpha)(WindowHandle window, uint8_t alpha) = nullptr;
    // Reads it back; false when the window has none.
    bool (*getAlpha)(WindowHandle window, uint8_t* alpha) = nullptr;
};

// UI thread only. Binds the backend once; false (and nothing bound) when it
// lacks a function. A second call returns true at once.
bool bindLayered(const LayeredBackend* backend);
void unbindLayered();
bool layeredBound();
// Does nothing when unbound.
void setAlpha(WindowHandle window, uint8_t alpha);

// The opacity sequence of a fade-in, as a state machine. start() sets 80;
// each tick() sets step * increment + 50 (in one byte) until the step count
// or the target is reached. The arithmetic is unsigned and kept in one byte,
// as the tips have always faded.
class WindowFade {
public:
    void start(WindowHandle window, uint32_t steps, uint8_t target);
    // True when the fade has finished (nothing more to set).
    bool tick(WindowHandle window);

    uint32_t step() const { return step_; }
    uint8_t increment() const { return increment_; }

    // The one fade state that the process's windows share.
    static WindowFade& shared();

private:
    uint32_t steps_ = 0;
    uint32_t step_ = 0;
    uint8_t target_ = 255;
    uint8_t increment_ = 0;
};

} // namespace qf::core
