#pragma once
// Stand-ins for what surrounds the task list: the main window, the media
// probe and the worker queue. They record what the model asked of them.

#include <set>
#include <string>
#include <vector>

#include "convert/conversion_settings.h"
#include "tasks/task_list_model.h"

namespace qf::tasks::testing {

class FakeHost : public TaskListHost {
public:
    const convert::ConversionSettings* currentSettings() override { return hasSettings ? &settings : nullptr; }
    void loadSettings(const ConversionTask& task) override { loaded.push_back(&task); }
    void allDone() override { ++allDoneCount; }
    void showMessage(const char* text) override { messages.emplace_back(text); }

    convert::ConversionSettings settings;
    bool hasSettings = true;
    std::vector<const ConversionTask*> loaded;
    std::vector<std::string> messages;
    int allDoneCount = 0;
};

// Accepts every path except those in `refused`; a path holding "audio" has no video.
class FakeProber : public MediaProber {
public:
    bool probe(const char* path, probe::MediaFacts& out) override
    {
        if (refused.count(path))
            return false;
        out = probe::MediaFacts();
        out.format = "AVI";
        out.hasVideo = std::string(path).find("audio") == std::string::npos;
        out.hasAudio = true;
        out.videoFrameRate = "25.000 fps";
        return true;
    }
    std::set<std::string> refused;
};

class FakeQueue : public TaskQueue {
public:
    bool isBusy() const override { return busy; }
    void markBusy() override { busy = true; }
    void enqueue(ConversionTask* task) override { queued.push_back(task); }
    void enqueueEnd() override { ++ends; }
    void requestStop() override { ++stops; }

    bool busy = false;
    std::vector<ConversionTask*> queued;
    int ends = 0;
    int stops = 0;
};

} // namespace qf::tasks::testing
