#include "conversion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "bare_copy.h"
#include "common/signal_cleanup.h"
#include "common/temporary_output.h"
#include "progress.h"
#include "run_child.h"
#include "soft_pulldown.h"
#include "translation.h"

namespace qf::encoder {
namespace {

std::string quoted(const std::string& path) { return "'" + path + "'"; }

int fail(const std::string& reason)
{
    // The status line ends in '\r' only: end it, so that the reader gets the
    // failure on a line of its own.
    say("\nExiting... (" + neutralize(reason) + ")\n");
    return 1;
}

bool fileExists(const char* path)
{
    struct stat st {};
    return stat(path, &st) == 0;
}

bool copyFile(const char* from, const char* to)
{
    int in = open(from, O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    int out = open(to, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        close(in);
        return false;
    }
    char buffer[65536];
    bool ok = true;
    while (ok) {
        ssize_t n = read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; done < n && ok;) {
            ssize_t w = write(out, buffer + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            ok = w > 0;
            if (ok)
                done += w;
        }
    }
    close(in);
    ok = close(out) == 0 && ok;
    return ok;
}

// What ffmpeg and x264 leave beside "divx2pass.log". The log itself stays
// after either pass: the second pass reads it and the caller deletes it.
void removePassLogExtras(PassLog log, bool keepMbtree)
{
    if (log == PassLog::FfmpegPrefix)
        unlink(kFfmpegPassLogName);
    if (log == PassLog::X264Stats) {
        std::string base = kPassLogName;
        unlink((base + ".temp").c_str());
        unlink((base + ".mbtree.temp").c_str());
        if (!keepMbtree)
            unlink((base + ".mbtree").c_str());
    }
}

bool sameFile(const std::string& a, const std::string& b)
{
    struct stat sa {};
    struct stat sb {};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// A MIDI file (bare, or in a RIFF "RMID" wrapper) holds notes for a
// synthesiser, not sound: ffmpeg has nothing to decode in it.
bool isMidi(const std::string& path)
{
    unsigned char head[12] = {};
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ssize_t got = read(fd, head, sizeof head);
    close(fd);
    if (got >= 4 && std::memcmp(head, "MThd", 4) == 0)
        return true;
    return got == 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "RMID", 4) == 0;
}

std::optional<SourceFacts> probeSource(const std::string& source, std::string& error)
{
    std::string out;
    LogDigest log;
    ChildOutcome run = runChild(
        "ffprobe", probeArguments(source), [&out](std::string_view line) { out.append(line).push_back('\n'); },
        [&log](std::string_view line) { log.feed(line); });
    if (run.interrupted) {
        error = "interrupted by signal " + std::to_string(kit::stopSignal());
        return std::nullopt;
    }
    if (!run.started) {
        error = "Cannot run ffprobe: " + run.startError;
        return std::nullopt;
    }
    if (run.exitCode != 0) {
        error = "Cannot read the source: " + log.lastError();
        return std::nullopt;
    }
    return parseProbeOutput(out);
}

class Runner {
public:
    explicit Runner(const Command& command) : command_(command) {}

    int run()
    {
        struct stat st {};
        if (stat(command_.source.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
            return fail("File not found: " + quoted(command_.source));
        }
        if (access(command_.source.c_str(), R_OK) != 0) {
            return fail("Cannot open file " + quoted(command_.source) + ": " + std::strerror(errno));
        }
        if (isMidi(command_.source))
            return fail("No sound that can be decoded: " + quoted(command_.source)
                        + " is MIDI, notes for a synthesiser");
        // Facts that the translation cannot do without fail the run when they
        // cannot be read; the others only improve it.
        if (wantsSourceFacts(command_)) {
            std::string error;
            facts_ = probeSource(command_.source, error);
            if (!facts_ && (needsSourceFacts(command_) || kit::stopSignal() != 0))
                return fail(error);
        }
        const SourceFacts* facts = facts_ ? &*facts_ : nullptr;
        if (std::getenv("QF_ENCODER_ONE_FFMPEG") != nullptr)
            options_.soundBeside = false;
        t_ = translate(command_, facts, options_);
        if (t_.failure != FailureKind::None)
            return fail(t_.error);
        if (std::getenv("QF_ENCODER_PRINT_FFMPEG") != nullptr) {
            // For benchmarks: the equivalent ffmpeg arguments, one per line, and nothing run.
            for (const std::string& arg : t_.ffmpegArgs)
                say(arg + "\n");
            return 0;
        }
        if (sameFile(command_.source, command_.output)) {
            return fail("The output file " + quoted(command_.output) + " is the source file");
        }
        if (int rc = preparePassLog(); rc != 0)
            return rc;
        if (int rc = prepareOutput(); rc != 0)
            return rc;
        armPassLogRemoval();
        if (std::optional<int> rc = copyWithoutFfmpeg())
            return *rc;

        bool onePass = false;
        bool normaliserOff = false;
        bool layoutRetried = false;
        for (;;) {
            ProgressTracker tracker(t_.videoKbps, t_.audioKbps);
            LogDigest log;
            Outcome outcome = encode(facts, tracker, log);
            if (outcome == Outcome::Done)
                return finish(tracker);
            if (outcome == Outcome::Stopped)
                return stopped();
            // Whatever failed the two programs is found, retried and told by
            // a single run, as without them.
            if (!t_.fedArgs.empty()) {
                options_.soundBeside = false;
                t_.feederArgs.clear();
                t_.fedArgs.clear();
                continue;
            }
            // The second pass found no curve for its bitrate and buffers within
            // the first pass's statistics (a clip of a second or of pure noise):
            // one pass with the same rate and buffers copes with any clip.
            if (!onePass && t_.pass == 2 && log.rateControlGaveUp() && dropTwoPass()) {
                onePass = true;
                say("\nTwo-pass rate control gave up (" + neutralize(log.lastError()) + "); encoding in one pass\n");
                continue;
            }
            // The normaliser of ffmpeg 5.1 takes a multichannel stream only in
            // one named layout, and crashes on streams shorter than its window
            // (the source's length is rarely known here). After a crash the run
            // is made without it; a layout it could not take (more than two
            // channels asked for) is named from the source's facts.
            if (t_.normalised && !normaliserOff && outcome == Outcome::Signalled) {
                normaliserOff = true;
                say("\nffmpeg ended by signal " + std::to_string(run_.termSignal)
                    + " in the volume normaliser; encoding without it\n");
                options_.normalise = false;
                t_ = translate(command_, facts, options_);
                writeToTemporaryOutput();
                if (onePass)
                    dropTwoPass();
                continue;
            }
            if (t_.normalised && !layoutRetried && outcome == Outcome::Failed && log.channelLayoutUnresolved()) {
                layoutRetried = true;
                if (facts == nullptr) {
                    std::string error;
                    facts_ = probeSource(command_.source, error);
                    if (!facts_ && kit::stopSignal() != 0)
                        return stopped();
                    facts = facts_ ? &*facts_ : nullptr;
                }
                Translation again = facts != nullptr ? translate(command_, facts, options_) : Translation{};
                if (facts != nullptr && again.failure == FailureKind::None) {
                    t_ = again;
                    writeToTemporaryOutput();
                    if (onePass)
                        dropTwoPass();
                    continue;
                }
            }
            cleanUpAfterFailure();
            return fail(failureText(outcome, log));
        }
    }

private:
    enum class Outcome { Done, Stopped, NotStarted, Signalled, Failed, Empty };

    // A bare copy of an AVI's MPEG-4 video or AAC sound is its chunks end to
    // end: written here, it saves a process start. nullopt: ffmpeg does the run.
    std::optional<int> copyWithoutFfmpeg()
    {
        const std::vector<std::string>& a = t_.ffmpegArgs;
        auto has = [&a](const char* arg) { return std::find(a.begin(), a.end(), arg) != a.end(); };
        bool video = isPlainVideoCopy(command_) && has("mpeg4_unpack_bframes");
        bool audio = isPlainAudioCopy(command_) && has("adts") && !has("-write_mpeg2");
        if ((!video && !audio) || t_.tempPath.empty())
            return std::nullopt;
        std::optional<BareCopyResult> copied;
        try {
            copied
                = video ? copyMpeg4FromAvi(command_.source, t_.tempPath) : copyAacFromAvi(command_.source, t_.tempPath);
        } catch (const std::exception& e) {
            cleanUpAfterFailure();
            return fail(e.what());
        }
        if (!copied)
            return std::nullopt; // ffmpeg writes the temporary file over
        if (kit::stopSignal() != 0)
            return stopped();
        // The same figures and status lines as an ffmpeg run reports.
        ProgressTracker tracker(t_.videoKbps, t_.audioKbps);
        say(formatStatusLine({.videoKbps = t_.videoKbps, .audioKbps = t_.audioKbps}));
        tracker.feed("frame=" + std::to_string(copied->frames), 0);
        tracker.feed("total_size=" + std::to_string(copied->bytes), 0);
        tracker.feed("out_time_us=" + std::to_string(std::llround(copied->seconds * 1e6)), 0);
        if (auto status = tracker.feed("progress=end", 0))
            say(*status);
        return finish(tracker);
    }

    Outcome encode(const SourceFacts* facts, ProgressTracker& tracker, LogDigest& log)
    {
        if (facts != nullptr && facts->durationSeconds) {
            tracker.setDuration(effectiveDuration(facts->durationSeconds, t_.startSeconds, t_.lengthSeconds));
        }
        auto started = std::chrono::steady_clock::now();
        say(formatStatusLine({.videoKbps = t_.videoKbps, .audioKbps = t_.audioKbps}));
        auto onProgress = [&](std::string_view line) {
            double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            if (auto status = tracker.feed(line, elapsed))
                say(*status);
        };
        auto onLog = [&](std::string_view line) {
            log.feed(line);
            if (!tracker.hasDuration() && log.duration()) {
                tracker.setDuration(effectiveDuration(log.duration(), t_.startSeconds, t_.lengthSeconds));
            }
        };
        if (!t_.fedArgs.empty()) {
            FedOutcome fed = runFedChild("ffmpeg", t_.feederArgs, t_.fedArgs, onProgress, onLog);
            run_ = fed.main;
            if (run_.interrupted || kit::stopSignal() != 0)
                return Outcome::Stopped;
            // The second program reads the sound to its end, so a feeder that
            // did not finish cleanly (no sound in the source, a crash) left it
            // short, whatever the second says.
            if (run_.started && run_.exitCode == 0 && (fed.feederExitCode != 0 || fed.feederSignal != 0))
                return Outcome::Failed;
        } else {
            run_ = runChild("ffmpeg", t_.ffmpegArgs, onProgress, onLog);
        }
        if (run_.interrupted || kit::stopSignal() != 0)
            return Outcome::Stopped;
        if (!run_.started)
            return Outcome::NotStarted;
        if (run_.termSignal != 0)
            return Outcome::Signalled;
        if (run_.exitCode != 0)
            return Outcome::Failed;
        bool empty = t_.writesVideo ? tracker.frames() == 0 : tracker.positionSeconds() <= 0;
        if (log.nothingEncoded() || empty)
            return Outcome::Empty;
        return Outcome::Done;
    }

    std::string failureText(Outcome outcome, const LogDigest& log) const
    {
        switch (outcome) {
        case Outcome::NotStarted: return "Cannot run ffmpeg: " + run_.startError;
        case Outcome::Signalled:
            return "ffmpeg ended by signal " + std::to_string(run_.termSignal) + " (" + log.lastError() + ")";
        case Outcome::Empty: return "Nothing was encoded (is the start position past the end of the source?)";
        default: return explainFailure(log.lastError());
        }
    }

    int stopped()
    {
        cleanUpAfterFailure();
        if (t_.pass == 1)
            unlink(kPassLogName); // a stopped first pass leaves no statistics either
        return fail("interrupted by signal " + std::to_string(kit::stopSignal()));
    }

    // The second pass's arguments without the two-pass options (x264 reads
    // its statistics only with -pass).
    bool dropTwoPass()
    {
        std::vector<std::string>& a = t_.ffmpegArgs;
        bool dropped = false;
        for (std::size_t i = 0; i + 1 < a.size();) {
            if (a[i] == "-pass" || a[i] == "-passlogfile") {
                a.erase(a.begin() + static_cast<long>(i), a.begin() + static_cast<long>(i) + 2);
                dropped = true;
            } else {
                ++i;
            }
        }
        return dropped;
    }

    // A stop must not leave the logs that this run is writing.
    void armPassLogRemoval()
    {
        std::string log = kPassLogName;
        if (t_.passLog == PassLog::FfmpegPrefix)
            passLogRemoval_.emplace_back(kFfmpegPassLogName);
        if (t_.passLog == PassLog::X264Stats) {
            passLogRemoval_.emplace_back(log + ".temp");
            passLogRemoval_.emplace_back(log + ".mbtree.temp");
            if (t_.pass == 1) {
                passLogRemoval_.emplace_back(log);
                passLogRemoval_.emplace_back(log + ".mbtree");
            }
        }
    }

    int preparePassLog()
    {
        if (t_.pass == 2 && !fileExists(kPassLogName)) {
            return fail(std::string("Two-pass log ") + kPassLogName + " not found: run the first pass first");
        }
        if (t_.passLog != PassLog::FfmpegPrefix)
            return 0;
        if (t_.pass == 1) {
            unlink(kFfmpegPassLogName);
        } else if (!copyFile(kPassLogName, kFfmpegPassLogName)) {
            int saved = errno;
            unlink(kFfmpegPassLogName);
            return fail(std::string("Cannot copy the two-pass log ") + kPassLogName + ": " + std::strerror(saved));
        }
        return 0;
    }

    int prepareOutput()
    {
        // MEncoder opens -o before it starts; so do we, but under a temporary
        // name, so that the final name appears only with a complete file. A
        // first pass writes no file: it only checks that it could.
        auto output = std::make_unique<kit::TemporaryOutput>(command_.output, std::nothrow);
        if (!output->isOpen()) {
            removePassLogExtras(t_.passLog, t_.pass == 1);
            return fail("Cannot open output file " + quoted(command_.output) + ": "
                        + std::strerror(output->errorCode()));
        }
        if (!t_.tempPath.empty()) {
            output_ = std::move(output);
            if (!writeToTemporaryOutput()) {
                cleanUpAfterFailure();
                return fail("Internal error: ffmpeg's arguments do not end with the output file");
            }
        }
        return 0;
    }

    // The translation names the output after its final name; the run writes
    // the temporary file made for it. False when ffmpeg's arguments do not
    // end with the output (it would then write a file never kept).
    bool writeToTemporaryOutput()
    {
        if (!output_ || t_.tempPath.empty())
            return true;
        const std::string named = "file:" + t_.tempPath;
        const bool found = !t_.ffmpegArgs.empty() && t_.ffmpegArgs.back() == named;
        for (std::vector<std::string>* args : {&t_.ffmpegArgs, &t_.fedArgs})
            if (!args->empty() && args->back() == named)
                args->back() = "file:" + output_->path();
        t_.tempPath = output_->path();
        return found;
    }

    void cleanUpAfterFailure()
    {
        output_.reset();
        removePassLogExtras(t_.passLog, false);
    }

    int finish(const ProgressTracker& tracker)
    {
        passLogRemoval_.clear();
        if (t_.pass == 1 && t_.passLog == PassLog::FfmpegPrefix) {
            if (rename(kFfmpegPassLogName, kPassLogName) != 0) {
                int saved = errno;
                cleanUpAfterFailure();
                return fail(std::string("Cannot write the two-pass log ") + kPassLogName + ": " + std::strerror(saved));
            }
        }
        removePassLogExtras(t_.passLog, t_.pass == 1);
        if (t_.softPulldown && !t_.tempPath.empty()) {
            PulldownResult pulldown = applySoftPulldown(t_.tempPath);
            if (!pulldown.ok) {
                cleanUpAfterFailure();
                return fail("Cannot set the pulldown flags: " + pulldown.error);
            }
        }
        if (output_) {
            // A stop either comes before the file has its name, and removes
            // it, or after: never half-way.
            bool interrupted = false;
            bool committed = false;
            {
                const kit::StopSignalsBlocked blocked;
                interrupted = kit::stopSignal() != 0;
                committed = !interrupted && output_->commit(std::nothrow);
            }
            const int code = output_->errorCode();
            output_.reset();
            if (interrupted)
                return fail("interrupted by signal " + std::to_string(kit::stopSignal()));
            if (!committed)
                return fail("Cannot write output file " + quoted(command_.output) + ": " + std::strerror(code));
        }
        char summary[160];
        std::snprintf(summary, sizeof summary, "\nWriting index...\n\nDone: %lld frames, %.3f secs, %lld bytes\n",
                      tracker.frames(), tracker.positionSeconds(), tracker.totalBytes());
        say(summary);
        return 0;
    }

    const Command& command_;
    TranslateOptions options_;
    std::optional<SourceFacts> facts_;
    Translation t_;
    ChildOutcome run_;
    std::unique_ptr<kit::TemporaryOutput> output_; // what ffmpeg writes; null in a first pass
    std::vector<kit::RemovedOnStop> passLogRemoval_;
};

} // namespace

void say(const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // nobody reads any more: carry on with the conversion
        done += static_cast<std::size_t>(n);
    }
}

int runConversion(const Command& command) { return Runner(command).run(); }

} // namespace qf::encoder
