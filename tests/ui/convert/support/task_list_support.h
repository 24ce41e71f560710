#pragma once
// Shared by the task list view tests: generated clips, a main window stand-in
// that answers the list's requests, the message-box answerer, event pumping
// and a look at the running processes. The message-box answerer is the
// shared one of ui/support/window_test_support.h.

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

#include "convert/conversion_settings.h"
#include "tasks/conversion_worker.h"
#include "ui/shell/message_dispatch.h"

namespace qf::ui::test {

std::string dataDir(); // scratch folder of these tests, created on first use
// A clip made once by ffmpeg (testsrc and a sine), `seconds` long, named
// after `name` (so that its processes can be told apart); its path.
std::string makeClip(const std::string& name, int seconds, const char* size = "320x240");
// Writes a small file that is no media at all.
std::string makeTextFile(const std::string& name);
// Copies a file under another name in the scratch folder.
std::string copyAs(const std::string& from, const std::string& name);

// Loads the real media library and builds the tool paths from the built
// program directory; the encoder path goes to the command-line builder.
void setUpRealTools();
tasks::ConversionWorker::Environment realEnvironment();
// Fails the test with a clear message when the helper kit has not been built
// into the program directory (the targets qf-encoder and the other tools).
void requireHelperKit();

// The main window's side: REQ_GET_SETTINGS answers `settings` (or none while
// `haveSettings` is false); every request is logged as "get", "load:<row
// task>", "done".
class FakeHub : public MessageWidget {
public:
    FakeHub();
    convert::ConversionSettings settings;
    bool haveSettings = true;
    std::vector<std::string> log;
    std::vector<const void*> loaded;
    int allDone = 0;
};

void pumpEvents(int ms);
// Processes events until pred holds; false after timeoutMs.
template <class Pred> bool pumpUntil(Pred pred, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        pumpEvents(10);
    }
    return true;
}

// Processes (other than this one) whose command line mentions the text.
int processesMentioning(const std::string& text);

// ffprobe's answers for a file: "format_name", "video", "audio", "duration".
struct ProbeFacts {
    std::string formatName;
    std::string videoCodec;
    std::string audioCodec;
    double duration = 0;
};
ProbeFacts ffprobe(const std::string& file);

} // namespace qf::ui::test
