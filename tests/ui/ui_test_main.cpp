// One QApplication for every UI test, on the offscreen platform unless the
// environment chose another; sounds are recorded, never played.
#include <QApplication>

#include <gtest/gtest.h>

#include "ui/skin/sounds.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    qf::ui::setSoundRecorder([](qf::ui::Sound) {});
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
