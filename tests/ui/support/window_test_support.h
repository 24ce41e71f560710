#pragma once
// What the main-window tests share: the real program directory's tools and
// media library, a scratch output folder, generated clips, an answerer for
// the modal message boxes, and event pumping.

#include <QApplication>
#include <QElapsedTimer>
#include <QMimeData>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <string>
#include <vector>

namespace qf::ui {
class ConfirmBox;
}

namespace qf::ui::test {

inline const std::string kProgramDir = QF_PROGRAM_DIR;
inline const std::string kDataDir = std::string(QF_TEST_DATA_DIR) + "/ui-main";

// Loads the real media library, builds the tool paths and the encoder path
// from the build's program directory, and gives the process a fresh output
// folder and default options. Call at the start of every test.
void setUpProgramEnvironment(const std::string& testName);
// The output folder set by setUpProgramEnvironment.
std::string outputFolder();
// setUpProgramEnvironment also puts a recording stand-in for the system's
// `shutdown` first on PATH, so that no test can ever power the machine off.
// It appends its arguments, one line per call, to shutdownLog(), and exits
// with the status that setShutdownStatus() chose (0 at first).
std::string shutdownLog();
void setShutdownStatus(int status);

// A clip made once by ffmpeg from lavfi sources (shared by all tests):
// 320x240, 25 fps, with a stereo tone, `seconds` long.
const std::string& shortClip(); // 2 s
const std::string& longClip(); // 30 s: long enough to stop or close mid-run
// A file of the given bytes (for refused files).
std::string writeFile(const std::string& name, const std::string& bytes);

// Runs a shell command; its output (stdout and stderr) and exit status.
std::string shell(const std::string& command, int* status = nullptr);
// Programs whose command line holds `pattern`, now (pgrep -f).
int countProcesses(const std::string& pattern);

// Pumps the UI thread's events until done() or the timeout.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs);
void pumpFor(int ms);

// Answers the modal ConfirmBoxes that open while it lives, in order: each
// answer says which button to press (0, 1, 2) and whether to tick the box.
// What every box said is recorded.
class BoxAnswerer : public QObject {
public:
    struct Answer {
        int button = 0;
        bool tick = false;
    };
    struct Seen {
        QStringList lines;
        QString checkText;
        int mode = 0;
    };

    explicit BoxAnswerer(std::vector<Answer> answers = {});
    ~BoxAnswerer() override;

    void add(Answer answer) { answers_.push_back(answer); }
    const std::vector<Seen>& seen() const { return seen_; }

private:
    void poll();

    QTimer timer_;
    std::vector<Answer> answers_;
    std::vector<Seen> seen_;
    QPointer<ConfirmBox> answering_;
};

// Sends a drop of local files to a widget at a point of it, then waits until
// the files it added to a task list are in.
void dropOn(QWidget* target, const QStringList& paths, QPoint at);
// Pumps events until no task list is still probing files it was given.
bool waitForAddedFiles(int timeoutMs = 60000);

QString q(const std::string& text);

} // namespace qf::ui::test
