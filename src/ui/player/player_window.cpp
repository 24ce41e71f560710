#include "ui/player/player_window.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>

#include <cstdlib>
#include <sys/stat.h>

#include "settings/settings.h"
#include "core/messages.h"
#include "core/readable_text.h"
#include "probe/media_summary.h"
#include "ui/controls/skin_slider.h"
#include "ui/notify/confirm_box.h"
#include "ui/player/playlist_view.h"
#include "ui/player/video_window.h"
#include "ui/shell/local_path.h"
#include "ui/shell/qt_shell.h"

namespace qf::ui {

namespace {

constexpr int kVideoTop = 31;

struct Filter {
    const char* name;
    const char* patterns; // as the dialog's resource has them, ';'-separated
};
constexpr Filter kOpenFilters[] = {
    // The player plays sound alone too: the default filter shows it.
    {"Media Files (影音文件)",
     "*.asf;*.avi;*.avs;*.dat;*.flv;*.mkv;*.mp4;*.mts;*.m2ts;*.mpg;*.mpeg;*.mov;*.ram;*.rm;*.rmvb;*.ts;*.vob;*.wmv;"
     "*.aac;*.ac3;*.flac;*.mp2;*.mp3;*.ogg;*.wav;*.wma"},
    {"Video Files (视频文件)", "*.m2v;*.m4v"},
    {"Audio Files (音频文件)", "*.aac;*ac3;*.asf;*.flac;*.mp2;*.mp3;*.ogg;*.wav;*.wma"},
    {"* All Files (所有文件)", "*.*"},
};

QStringList chooseWithDialog(QWidget* owner)
{
    QFileDialog dialog(owner, PlayerWindow::openDialogTitle());
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(PlayerWindow::openDialogFilters());
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

void showRefusal(QWidget* owner, const QString& text) { ConfirmBox::ask(owner, text, 1); }

} // namespace

PlayerWindow::PlayerWindow(QWidget* parent)
    : MessageWidget(parent), videoSink_([this](const core::Message& m) -> intptr_t {
          return video_ ? video_->engineNotify(MessageTable::codeOf(m)) : 0;
      }),
      playerSink_(static_cast<QObject*>(this)),
      engine_(videoSink_, playerSink_, player::PlayerOptions{settings::current().playerVolume()}),
      chooseFiles_(chooseWithDialog), messageBox_(showRefusal)
{
    setObjectName(QStringLiteral("playerWindow"));
    resize(kWidth, kHeight);
    setAcceptDrops(true);
    registerMessages();

    video_ = new VideoWindow(this);
    QRect area(QPoint(0, 0), video_->size());
    area.setBottom(area.bottom() - 1);
    videoArea_ = area.translated(0, kVideoTop);
    video_->setGeometry(videoArea_);
    video_->setReturnArea(videoArea_);
    video_->show();

    createControls();
    installKeyFilters();
    positionTimer_.setInterval(kPositionTickMs);
    connect(&positionTimer_, &QTimer::timeout, this, [this] { positionTick(); });

    playlist_.setStopRequests(
        [this](player::PlaylistEntry* entry) {
            sendMessage(this, core::WM_PLAYER_NOTIFY, core::PLAYER_STOP_CURRENT, reinterpret_cast<intptr_t>(entry));
        },
        [this] {
            command(kStop);
            clearPosition();
        });

    // Closing the top-level window destroys its X windows, the player's
    // among them: the player quits first (a player drawing into a window
    // that is gone dies with an X error).
    video_->setSurfaceGoingHandler([this] {
        engine_.stopPlaybackAndWait(kSurfaceGoneWaitMs);
        stopAll();
    });

    engine_.startThread(video_->nativeId());
}

PlayerWindow::~PlayerWindow()
{
    // The engine thread may be waiting in a send to one of the sinks: refuse
    // sends first, so that the join cannot wait for this thread.
    videoSink_.shutdown();
    playerSink_.shutdown();
    engine_.stopThread();
    video_->setSurfaceGoingHandler({});
    playlist_.setStopRequests({}, {});
    // A full-screen video window is a window of its own: give it back so
    // that it goes with this one.
    video_->leaveFullScreen();
    // The list adapts the playlist and the video window is the player's
    // surface: both go before the members they use.
    delete list_;
    list_ = nullptr;
    delete video_;
    video_ = nullptr;
}

void PlayerWindow::registerMessages()
{
    messages().onAny(core::WM_PLAYER_NOTIFY, [this](const core::Message& m) { return playerNotify(m); });
}

intptr_t PlayerWindow::playerNotify(const core::Message& m)
{
    auto* entry = reinterpret_cast<player::PlaylistEntry*>(m.lParam);
    // A report queued before its row was deleted names an entry that is gone.
    const auto known = [this](player::PlaylistEntry* e) { return e && playlist_.rowOf(e) >= 0 ? e : nullptr; };
    switch (MessageTable::codeOf(m)) {
    case core::PLAYER_SLIDER_MOVED: sliderMoved(reinterpret_cast<const QObject*>(m.lParam)); return 0;
    case core::PLAYER_ASK_FULL_SCREEN: return maySetFullScreen() ? 1 : 0;
    case core::PLAYER_PLAY_ENTRY:
        if (!entry || known(entry))
            playEntry(entry);
        return 0;
    case core::PLAYER_STOP_CURRENT:
        engine_.stopPlayback();
        clearPosition();
        return 0;
    case core::PLAYER_ENDED: entryEnded(known(entry)); break;
    case core::PLAYER_STARTING: entryStarting(known(entry)); break;
    case core::PLAYER_PLAYING: entryPlaying(known(entry)); break;
    default: return 0;
    }
    Q_EMIT engineReported(static_cast<int>(MessageTable::codeOf(m)));
    return 0;
}

void PlayerWindow::sliderMoved(const QObject* control)
{
    const auto* s = qobject_cast<const SkinSlider*>(control);
    if (!s || s->parent() != this)
        return;
    const int value = s->value();
    switch (s->objectName().toInt()) {
    case kBrightness: engine_.setBrightness(value); break;
    case kContrast: engine_.setContrast(value); break;
    case kHue: engine_.setHue(value); break;
    case kSaturation: engine_.setSaturation(value); break;
    case kVolume: setVolume(static_cast<uint32_t>(std::max(value, 0))); break;
    case kPosition:
        update(timeReadoutRect());
        video_->setSpeedStep(0);
        // While paused only the slider moves; the player is told nothing.
        if (engine_.state() != player::PlayerState::Paused)
            engine_.seekAbsolute(static_cast<uint32_t>(std::max(value, 0)));
        break;
    default: break;
    }
}

QStringList PlayerWindow::openDialogFilters()
{
    QStringList filters;
    for (const Filter& f : kOpenFilters) {
        QString patterns = QString::fromUtf8(f.patterns).replace(QLatin1Char(';'), QLatin1Char(' '));
        // "*.*" would hide names without a dot.
        if (patterns == QStringLiteral("*.*"))
            patterns = QStringLiteral("*");
        filters << QStringLiteral("%1 (%2)").arg(QString::fromUtf8(f.name), patterns);
    }
    return filters;
}

QString PlayerWindow::openDialogTitle() { return QStringLiteral("选择影音文件"); }

QString PlayerWindow::refusalText(const QStringList& paths)
{
    QString text = QStringLiteral("不能识别的文件类型。");
    for (const QString& path : paths)
        text += QStringLiteral("\r\n") + path;
    return text;
}

void PlayerWindow::openFiles()
{
    const QStringList chosen = chooseFiles_ ? chooseFiles_(this) : QStringList();
    if (!chosen.isEmpty())
        addPaths(chosen);
}

void PlayerWindow::addPaths(const QStringList& paths)
{
    QStringList refused;
    for (const QString& path : paths)
        addOne(path, refused);
    // One box for the whole call: a folder of unknown files must not bring
    // up a box per file.
    if (!refused.isEmpty() && messageBox_)
        messageBox_(this, refusalText(refused));
    playNextAvailable();
}

bool PlayerWindow::addOne(const QString& path, QStringList& refused)
{
    // A name need not be UTF-8: the player is handed its exact bytes.
    const std::string bytes = localPathBytes(path);
    struct stat st;
    if (bytes.empty() || ::stat(bytes.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    // A fresh summary per file: nothing of an earlier file can stay in it.
    probe::MediaSummary summary;
    if (!probe::probeFile(bytes.c_str(), summary)) {
        refused << toQ(core::readableText(bytes));
        return false;
    }
    player::PlaylistEntry* entry = playlist_.addEntry(summary, bytes.c_str());
    if (!entry)
        return false;
    // The player shows a picture as stored; one stored turned (a phone's
    // portrait clip) is turned upright by a filter at each start.
    if (entry->hasVideo && summary.open(bytes.c_str())) {
        const core::TextString rotation = summary.getText(probe::StreamKind::Video, 0, "Rotation");
        summary.close();
        entry->setRotation(std::atoi(rotation.c_str()));
    }
    return true;
}

void PlayerWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void PlayerWindow::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QString& path : localPathsOf(event->mimeData()))
        if (!path.isEmpty() && path.size() <= kMaxDroppedPath)
            paths << path;
    event->acceptProposedAction();
    // The drag source waits for the drop to finish: the message box that
    // adding may show must not run inside it.
    QPointer<PlayerWindow> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, paths] {
            if (self)
                self->addPaths(paths);
        },
        Qt::QueuedConnection);
}

void PlayerWindow::closeEvent(QCloseEvent* event)
{
    // The page lives as long as the program; only the main window closes it.
    event->ignore();
}

void PlayerWindow::setVolume(uint32_t volume)
{
    engine_.setVolume(volume);
    settings::current().setPlayerVolume(engine_.volume());
}

} // namespace qf::ui
