#include "core/window_fade.h"

namespace qf::core {

namespace {

// UI thread only.
LayeredBackend g_backend;
bool g_bound = false;

} // namespace

bool bindLayered(const LayeredBackend* backend)
{
    if (g_bound)
        return true;
    if (!backend || !backend->makeLayered || !backend->setAlpha || !backend->getAlpha)
        return false;
    g_backend = *backend;
    g_bound = true;
    return true;
}

void unbindLayered()
{
    g_backend = LayeredBackend{};
    g_bound = false;
}

bool layeredBound() { return g_bound; }

void setAlpha(WindowHandle window, uint8_t alpha)
{
    if (g_bound)
        g_backend.setAlpha(window, alpha);
}

void WindowFade::start(WindowHandle window, uint32_t steps, uint8_t target)
{
    if (!g_bound)
        return;
    steps_ = steps;
    target_ = target;
    step_ = 1;
    g_backend.makeLayered(window);
    g_backend.setAlpha(window, 80);
    increment_ = steps ? static_cast<uint8_t>((uint32_t(target) - 80u) / steps) : 0;
}

bool WindowFade::tick(WindowHandle window)
{
    if (!g_bound)
        return true;
    const auto opacity = static_cast<uint8_t>(step_ * increment_ + 50);
    if (target_ != 255 && opacity > target_)
        return true;
    if (step_ >= steps_) {
        g_backend.setAlpha(window, target_);
        return true;
    }
    g_backend.setAlpha(window, opacity);
    ++step_;
    return false;
}

WindowFade& WindowFade::shared()
{
    static WindowFade fade;
    return fade;
}

} // namespace qf::core
