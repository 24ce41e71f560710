#pragma once
// The player window's own images, painted by our code: the play buttons'
// state strips, the small buttons' grids and the background below the top
// bar. Made once on first use. UI thread only.

#include <QImage>

namespace qf::ui::player_images {

enum class Glyph { Play, Pause, Stop, Previous, Next, Mute, Open, Menu, Rewind, Forward };

// Four images stacked vertically, each `size`: normal, hover, pressed, disabled.
const QImage& buttonStrip(Glyph glyph, QSize size);
// Two cells side by side, each `cell`: normal, hover or pressed.
const QImage& smallButtonGrid(Glyph glyph, QSize cell);
// The background of the window below its 28-pixel top bar.
const QImage& background(QSize size);

} // namespace qf::ui::player_images
