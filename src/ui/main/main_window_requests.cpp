// The WM_MAIN_REQUEST hub: what the panels, the toolbar, the slide panel,
// the task list and the options panel ask of the main window, in one table.
// Codes 1, 3, 4 and 8 arrive posted; 2, 5, 6, 7 and 9 are sent and answered.
#include "ui/main/main_window.h"

#include "convert/device_models.h"
#include "core/messages.h"
#include "settings/configuration_file.h"
#include "tasks/conversion_task.h"
#include "ui/convert/parameter_panel.h"
#include "ui/convert/save_preset_dialog.h"
#include "ui/convert/task_list_view.h"
#include "ui/main/options_panel.h"
#include "ui/main/parameter_toolbar.h"
#include "ui/main/slide_panel.h"
#include "ui/shell/qt_shell.h"

namespace qf::ui {

using core::Message;

void MainWindow::installRequests()
{
    MessageTable& table = messages();
    const uint32_t request = core::WM_MAIN_REQUEST;

    table.on(request, core::REQ_CAPTURE_PANEL, [this](const Message&) -> intptr_t {
        ensureContents();
        slide_->capture(panel_);
        return 1;
    });
    table.on(request, core::REQ_REFRESH_SELECTED, [this](const Message& m) -> intptr_t {
        ensureContents();
        if (taskList_)
            taskList_->refreshSelected(static_cast<int32_t>(m.lParam));
        return 1;
    });
    table.on(request, core::REQ_TOGGLE_PANEL, [this](const Message& m) -> intptr_t {
        ensureContents();
        if (slide_->toggle() && m.lParam == 0)
            panel_->hide();
        return 1;
    });
    table.on(request, core::REQ_SAVE_PRESET, [this](const Message&) -> intptr_t {
        ensureContents();
        savePresetFlow();
        return 1;
    });
    table.on(request, core::REQ_SLIDE_STEP, [this](const Message& m) -> intptr_t {
        ensureContents();
        const auto value = static_cast<uint32_t>(m.lParam);
        slideStep(static_cast<int>(value >> 16), (value & 0xFFFF) == 1);
        return 1;
    });
    table.on(request, core::REQ_GET_SETTINGS, [this](const Message&) -> intptr_t {
        ensureContents();
        return reinterpret_cast<intptr_t>(panel_->currentSettings());
    });
    table.on(request, core::REQ_LOAD_SETTINGS, [this](const Message& m) -> intptr_t {
        ensureContents();
        if (const auto* task = reinterpret_cast<const tasks::ConversionTask*>(m.lParam))
            panel_->applySettings(*task);
        return 1;
    });
    table.on(request, core::REQ_ALL_DONE, [this](const Message&) -> intptr_t {
        ensureContents();
        allDone();
        return 1;
    });
    table.on(request, core::REQ_IS_CONVERTING, [this](const Message&) -> intptr_t {
        ensureContents();
        return taskList_ && taskList_->isConverting() ? 1 : 0;
    });
    table.onAny(request, [](const Message&) -> intptr_t { return 1; });
}

void MainWindow::savePresetFlow()
{
    if (pendingSave_)
        return;
    if (!panel_->isVisible()) {
        if (slide_->isOpen() && !slide_->sliding()) {
            panel_->show();
        } else {
            // Slide the panel open first (unless it is opening already); the
            // last slide step asks again.
            pendingSave_ = true;
            if (!slide_->isOpen()) {
                toolbar_->setToggleState(1);
                postMessage(this, core::WM_MAIN_REQUEST, core::REQ_TOGGLE_PANEL, 1);
            }
            return;
        }
    }
    const QRect placement(panel_->mapToGlobal(QPoint(0, 0)), panel_->size());
    QString name;
    if (!SavePresetDialog::ask(this, placement, panelPicture(), &name))
        return;
    const int row = settings::addPreset(fromQ(name).c_str(), *panel_->currentSettings(), panel_->modelList());
    if (row < 0)
        return;
    // At once, not only at exit: a crash, a kill or a second window's exit
    // must not cost the user this preset.
    settings::saveConfiguration();
    panel_->showNewPreset(row);
}

void MainWindow::slideStep(int height, bool finished)
{
    if (finished && height > 0 && view_ == View::Convert)
        panel_->show();
    placeTaskList(panel_->geometry().top() + height);
    if (finished && pendingSave_) {
        pendingSave_ = false;
        postMessage(this, core::WM_MAIN_REQUEST, core::REQ_SAVE_PRESET, 0);
    }
}

void MainWindow::allDone()
{
    if (!settings::current().shutdownWhenDone())
        return;
    if (!runShutdownSequence())
        return;
    // The conversion is over, so nothing needs confirming.
    closing_ = true;
    close();
}

} // namespace qf::ui
