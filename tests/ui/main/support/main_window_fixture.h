#pragma once
// The fixture of the main-window tests: the real program environment (see
// window_test_support.h) and a shown MainWindow, destroyed after the test
// as the program destroys it.

#include <gtest/gtest.h>

#include <memory>

#include "ui/main/main_window.h"
#include "ui/support/window_test_support.h"

namespace qf::ui::test {

class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        setUpProgramEnvironment(::testing::UnitTest::GetInstance()->current_test_info()->name());
        window = std::make_unique<MainWindow>();
        window->show();
        pumpFor(20);
    }
    void TearDown() override { window.reset(); }

    std::unique_ptr<MainWindow> window;
};

} // namespace qf::ui::test
