#pragma once
// The skin: colours, bitmaps, the program icon, fonts, cursors and the
// diagonal gradient. Every bitmap is painted by our own code on first use and
// looked up by its resource number. UI thread only (QApplication must exist
// for fonts, cursors and pixmaps; QImage bitmaps need only QGuiApplication).

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QRect>

#include <cstdint>

class QPainter;

namespace qf::ui::skin {

// Colours are given as 0x00BBGGRR values, the way the skin has always named
// them; colorRef() turns one into a QColor.
inline QColor colorRef(uint32_t bgr)
{
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

inline constexpr uint32_t kSkinColour = 0xB36A36; // every panel's background
inline constexpr uint32_t kFrameColour = 0xC8FFFF; // rounded frames, hover tip fill
inline constexpr uint32_t kDisabledColour = 0xAAAAAA;
// Disabled captions on the skin: paler than the disabled fills, so that they
// still read at 3 : 1 on every panel's background.
inline constexpr uint32_t kDisabledTextColour = 0xC8C8C8;
inline constexpr uint32_t kWhite = 0xFFFFFF;
inline constexpr uint32_t kHoverTextColour = 0x80FFFF;
inline constexpr uint32_t kPressedTextColour = 0xFFFFAA;
inline constexpr uint32_t kButtonTextColour = 0x632900; // SkinButton normal and hover
inline constexpr uint32_t kButtonPressedTextColour = 0x00FFFF;
inline constexpr uint32_t kPopupColour = 0xF0E6CD; // information popup fill
inline constexpr uint32_t kHeaderBackColour = 0xC87E4C;
inline constexpr uint32_t kHeaderColumnColour = 0xBA723E; // white captions read at 4.8 : 1
inline constexpr uint32_t kHeaderLightColour = 0xFCB47E;
inline constexpr uint32_t kHeaderDarkColour = 0x643C1E;
inline constexpr uint32_t kTransparentKey = 0xFF00FF; // magenta: see-through in slider thumbs

inline QColor skinColor() { return colorRef(kSkinColour); }

// Bitmap resource numbers.
enum Bitmap : int {
    kFrameParts = 130, // 65 x 122: frame corners, edges and the bottom strip
    kTrayMenuItem = 131, // 13 x 13: image of the "hide to tray" menu item
    kTitleButtons = 132, // 120 x 90: columns close, minimize, hide to tray, help; rows normal, hover, pressed
    kTabStrip = 133, // 64 x 114: tab button normal, hover, pressed (64 x 38 each)
    kSmallButtons = 138, // 64 x 48: 16 x 16 toolbar and help-strip images
    kBottomButtons = 140, // 74 x 74: four 37 x 37 circular command buttons
    kActivity = 144, // 240 x 16: 15 frames of the activity indicator
    kCheckOff = 160, // 13 x 13: unchecked image
    kCheckOn = 161, // 13 x 13: checked image
    kSliderParts
    = 162, // 22 x 30: track columns at x 0 (before the thumb) and 1; thumbs 20 x 10 at x 2, rows normal, hover, dragged
};
inline constexpr int kProgramIcon = 128;

// The bitmap with that number; a null image for an unknown number.
const QImage& bitmap(int id);
// Icon resource 128 at the given edge length (16 or 32 are painted natively).
QImage iconImage(int size);
// The icon's drawing on any painter, in a 32 x 32 box (the SVG icon).
void paintIcon(QPainter& painter);
QIcon programIcon();

// Fonts. The shared fonts are "宋体" at 9.6, 11 and 12 points; the dialogs
// use "新宋体". Sizes are converted at 96 dots per inch, so a font is as many
// pixels high as it always was; the device pixel ratio scales it further.
void installFontSubstitutes();
QFont font(const QString& family, double points);
QFont smallFont(); // 宋体 9.6
QFont mediumFont(); // 宋体 11: also measures and draws every floating tip
QFont largeFont(); // 宋体 12
QFont dialogFont(); // 新宋体 12

QCursor handCursor();
QCursor helpCursor();

// Dialog templates are laid out in dialog units: one unit is two pixels.
constexpr int du(int units) { return units * 2; }

// Gradient fills: W + H one-pixel lines at 45 degrees, line i coloured by
// linear interpolation per channel from `from` (i = 0) to `to` (i = W + H).
enum GradientFlag : int { kGradientDown = 32, kGradientUp = 64 };
QImage gradientImage(QSize size, QColor from, QColor to, int flag);
void fillGradient(QPainter& painter, const QRect& rect, QColor from, QColor to, int flag);

// Helpers shared by the controls.
QColor lighter(QColor c, int amount); // adds amount per channel, clamped
QColor darker(QColor c, int amount);

} // namespace qf::ui::skin
