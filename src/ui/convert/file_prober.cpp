#include "ui/convert/file_prober.h"

#include <QElapsedTimer>

#include <algorithm>
#include <filesystem>

#include "core/file_system.h"
#include "probe/media_info_library.h"
#include "ui/shell/local_path.h"
#include "ui/shell/qt_shell.h"

namespace qf::ui {

namespace {

// How long one turn of the event loop may spend adding rows.
constexpr qint64 kDrainBudgetMs = 8;

} // namespace

FileProber::FileProber(Found found, Finished finished, QObject* parent)
    : QObject(parent), found_(std::move(found)), finished_(std::move(finished))
{}

FileProber::~FileProber()
{
    {
        std::lock_guard lock(mutex_);
        quitting_.store(true);
        jobs_.clear();
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

int FileProber::add(const QStringList& paths)
{
    // A library load left for later is finished here, on the UI thread,
    // before the probing thread reaches for it.
    probe::mediaInfoLibrary();
    const int number = nextJob_++;
    ++unfinished_;
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back({number, paths});
    }
    wake_.notify_all();
    if (!thread_.joinable())
        thread_ = std::thread([this] { threadMain(); });
    return number;
}

std::vector<FileProber::File> FileProber::filesOf(const QStringList& paths)
{
    std::vector<File> files;
    for (const QString& path : paths) {
        const std::string bytes = localPathBytes(path);
        if (bytes.empty())
            continue;
        if (core::fs::isDirectory(bytes.c_str())) {
            // Name order, so that a tree gives the same rows every time.
            std::vector<std::filesystem::path> found;
            std::error_code ec;
            const auto options = std::filesystem::directory_options::skip_permission_denied;
            for (auto it = std::filesystem::recursive_directory_iterator(bytes, options, ec);
                 !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
                if (it->is_regular_file(ec))
                    found.push_back(it->path());
            std::sort(found.begin(), found.end());
            for (const auto& file : found) {
                const std::string below = file.parent_path().lexically_relative(bytes).lexically_normal().string();
                files.push_back({file.string(), below == "." ? std::string() : below, true, QString()});
            }
            continue;
        }
        if (core::fs::isFile(bytes.c_str()))
            files.push_back({bytes, std::string(), false, toQ(bytes)});
    }
    return files;
}

void FileProber::threadMain()
{
    probe::MediaSummary summary;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quitting_.load() || !jobs_.empty(); });
            if (quitting_.load())
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        for (File& file : filesOf(job.paths)) {
            if (quitting_.load())
                return;
            Event event;
            event.job = job.number;
            event.result.recognised = probe::probeFile(file.path.c_str(), summary);
            if (event.result.recognised)
                event.result.facts = summary;
            else
                event.result.missing = probe::isMissing(file.path.c_str());
            event.result.file = std::move(file);
            post(std::move(event));
        }
        Event end;
        end.job = job.number;
        end.end = true;
        post(std::move(end));
    }
}

void FileProber::post(Event event)
{
    std::lock_guard lock(mutex_);
    ready_.push_back(std::move(event));
    if (drainPosted_)
        return;
    drainPosted_ = true;
    QMetaObject::invokeMethod(
        this, [this] { drain(); }, Qt::QueuedConnection);
}

void FileProber::drain()
{
    QElapsedTimer spent;
    spent.start();
    for (;;) {
        Event event;
        {
            std::lock_guard lock(mutex_);
            if (ready_.empty()) {
                drainPosted_ = false;
                return;
            }
            event = std::move(ready_.front());
            ready_.pop_front();
        }
        if (event.end) {
            // Busy until the end has been handled (its message box included).
            if (finished_)
                finished_(event.job);
            --unfinished_;
        } else if (found_) {
            found_(event.job, event.result);
        }
        if (spent.elapsed() >= kDrainBudgetMs) {
            // The rest in a later turn, after the input that waits.
            QMetaObject::invokeMethod(
                this, [this] { drain(); }, Qt::QueuedConnection);
            return;
        }
    }
}

} // namespace qf::ui
