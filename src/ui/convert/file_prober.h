#pragma once
// FileProber: lists and probes the files the user adds to the task list on a
// thread of its own, so that adding hundreds of files never holds up the
// window. Jobs (one per drop or open) are taken in the order given; a folder's
// files in name order, its subfolders included. Each file's result comes back
// on the UI thread, in that order, through `found`; the end of a job through
// `finished`.
//
// Threads: construction, add() and the callbacks belong to the
// UI thread. The probing thread uses only its own prober and the job queue
// (guarded by mutex_). The media-information library must stay loaded while
// the prober lives; the destructor drops what is queued and joins the
// thread (the file being probed is finished first).

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "probe/media_summary.h"

namespace qf::ui {

class FileProber : public QObject {
    Q_OBJECT
public:
    // One file to add: its path, the folder below a given folder it was
    // found in, whether it came from a folder, the path as given.
    struct File {
        std::string path;
        std::string subfolder;
        bool inFolder = false;
        QString shown;
    };
    struct Result {
        File file;
        bool recognised = false;
        bool missing = false; // not recognised because it is not there (a link to nothing)
        probe::MediaFacts facts;
    };
    using Found = std::function<void(int job, const Result& result)>;
    using Finished = std::function<void(int job)>;

    FileProber(Found found, Finished finished, QObject* parent = nullptr);
    ~FileProber() override;

    // Queues a job for the paths (files and folders); returns its number.
    int add(const QStringList& paths);
    // A job is queued, running, or has results on their way.
    bool busy() const { return unfinished_ > 0; }

    // The files the paths name: a folder's in name order, its subfolders
    // included; missing paths are skipped. Any thread.
    static std::vector<File> filesOf(const QStringList& paths);

private:
    struct Job {
        int number;
        QStringList paths;
    };

    // What the thread hands to the UI thread: a result, or the end of a job.
    struct Event {
        int job = 0;
        bool end = false;
        Result result;
    };

    void threadMain();
    // Probing thread: queues an event and wakes the UI thread once.
    void post(Event event);
    // UI thread: delivers what is ready, a few milliseconds' worth at a
    // time, so that clicks and paints go in between.
    void drain();

    Found found_;
    Finished finished_;
    int nextJob_ = 1; // UI thread
    int unfinished_ = 0; // UI thread
    std::atomic<bool> quitting_{false};

    std::mutex mutex_;
    std::condition_variable wake_; // guarded by mutex_: jobs_ grew or quitting_
    std::deque<Job> jobs_; // guarded by mutex_
    std::deque<Event> ready_; // guarded by mutex_
    bool drainPosted_ = false; // guarded by mutex_
    std::thread thread_; // UI thread: started with the first job
};

} // namespace qf::ui
