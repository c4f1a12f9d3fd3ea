#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "trace_capture.h"
#include "ui/test_dialog.h"
#include "wizard/wizard_controller.h"

namespace zun {
namespace {

namespace ui = platform::ui;
using ::testing::Contains;
using ::testing::ElementsAre;

TEST(WizardController, RunningWizardIsReachableFromAWorkerAndForgottenWhenClosed) {
    WizardController controller;
    EXPECT_EQ(controller.GetRunningWizardHWND(), nullptr);
    testing::TestDialog dialog;
    std::thread worker;
    ui::WindowHandle seen = nullptr;
    dialog.handlers[ui::kMsgClose] = [](ui::WindowHandle self, uintptr_t, intptr_t) -> intptr_t {
        ui::EndDialog(self, -1);
        return 0;
    };
    dialog.onInit = [&](ui::WindowHandle self) {
        controller.SetRunningWizardHWND(self);
        worker = std::thread([&] {
            seen = controller.GetRunningWizardHWND();
            controller.CloseRunningWizard();
        });
    };
    EXPECT_EQ(dialog.Run(), -1);
    worker.join();
    EXPECT_NE(seen, nullptr);
    // The field still holds the old handle, but it no longer counts.
    EXPECT_EQ(controller.GetRunningWizardHWND(), nullptr);
    controller.CloseRunningWizard();  // a closed window is not an error
}

TEST(WizardController, AboutWindowIsNullWhenNoneIsOpen) {
    WizardController controller;
    testing::TraceCapture trace;
    EXPECT_EQ(controller.GetRunningEasterEggHWND(), nullptr);
    controller.SetRunningEasterEggHWND(nullptr);
    EXPECT_THAT(trace.Messages(), Contains("ZUN: WizardController::SetRunningEasterEggHWND(): Value is 0"));
}

TEST(WizardController, PostDataKeepsEveryByteWithoutTerminator) {
    WizardController controller;
    platform::PostDataArgument argument;
    EXPECT_FALSE(argument.HasBody());
    ASSERT_EQ(controller.BuildPostDataVariant(&argument, ""), 0u);
    EXPECT_TRUE(argument.HasBody());
    EXPECT_TRUE(argument.Bytes().empty());

    const char body[] = "a=\x02 +%41&\xC3\xA9\xFF";
    ASSERT_EQ(controller.BuildPostDataVariant(&argument, body), 0u);
    const std::vector<uint8_t> bytes = argument.Bytes();
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), std::string(body));

    EXPECT_EQ(controller.BuildPostDataVariant(&argument, nullptr), ZUN_E_INVALID_ARG);
    EXPECT_EQ(controller.BuildPostDataVariant(nullptr, "x"), ZUN_E_INVALID_ARG);
    EXPECT_NE(controller.GetModuleInstance(), nullptr);
}

}  // namespace
}  // namespace zun
