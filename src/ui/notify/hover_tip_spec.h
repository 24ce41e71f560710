#pragma once
// What a skinned control shows as its hover tip, and where.

#include <QString>

class QWidget;

namespace qf::ui {

struct HoverTipSpec {
    QString text;
    bool above = false; // above the control, else below it
    bool atCursor = false; // centred on the cursor's x, else on the control

    // Shows the tip for owner (replacing any other); nothing without text.
    void show(QWidget* owner) const;
};

} // namespace qf::ui
