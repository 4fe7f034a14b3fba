// The input state fed by events: hit counting, the character queue, the
// mouse, the close request and the joystick ports, on the headless back ends.
#include <gtest/gtest.h>

#include "platform/backend.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

class InputTest : public ::testing::Test {
protected:
    void SetUp() override { UseHeadlessPlatform(); }
};

}  // namespace

TEST_F(InputTest, KeyHitCountsPressesSinceTheLastCall) {
    HeadlessTap(65);
    HeadlessTap(65);
    EXPECT_EQ(KeyHit(65), 2);
    EXPECT_EQ(KeyHit(65), 0);
    EXPECT_FALSE(KeyDown(65));
}

TEST_F(InputTest, PressAndReleaseBeforeOnePollStillCountsAsAHit) {
    HeadlessKey(32, true);
    HeadlessKey(32, false);
    EXPECT_FALSE(KeyDown(32));
    EXPECT_EQ(KeyHit(32), 1);
}

TEST_F(InputTest, KeyDownFollowsHeldStateAndKeysAreIndependent) {
    HeadlessKey(38, true);
    EXPECT_TRUE(KeyDown(38));
    EXPECT_FALSE(KeyDown(40));
    EXPECT_EQ(KeyHit(40), 0);
    EXPECT_TRUE(KeyDown(38));  // still held, no new event
    HeadlessKey(38, false);
    EXPECT_FALSE(KeyDown(38));
    EXPECT_EQ(KeyHit(38), 1);
}

TEST_F(InputTest, OutOfRangeKeysAreIgnored) {
    HeadlessKey(-1, true);
    HeadlessKey(256, true);
    HeadlessKey(1000, true);
    EXPECT_FALSE(KeyDown(-1));
    EXPECT_FALSE(KeyDown(256));
    EXPECT_EQ(KeyHit(1000), 0);
}

TEST_F(InputTest, EventsApplyInTheOrderTheyArrived) {
    HeadlessKey(13, true);
    HeadlessKey(13, false);
    HeadlessKey(13, true);
    EXPECT_TRUE(KeyDown(13));  // the last event wins
    EXPECT_EQ(KeyHit(13), 2);
    HeadlessMouseMove(5, 6);
    HeadlessMouseMove(7, 8);
    EXPECT_EQ(MouseX(), 7);
    EXPECT_EQ(MouseY(), 8);
}

TEST_F(InputTest, GetCharQueuesLatin1InOrder) {
    for (int c : {int('H'), int('i'), 0xE9, 0x20AC, 0, -5, 256, int('!')}) HeadlessChar(c);
    EXPECT_EQ(GetChar(), 'H');
    EXPECT_EQ(GetChar(), 'i');
    EXPECT_EQ(GetChar(), 0xE9);
    EXPECT_EQ(GetChar(), '!');  // 8364, 0, -5 and 256 were dropped
    EXPECT_EQ(GetChar(), 0);
}

TEST_F(InputTest, GetCharQueueHoldsTwoHundredFiftySixAndDropsTheRest) {
    for (int i = 0; i < 300; ++i) HeadlessChar(1 + i % 200);
    int n = 0, last = 0;
    while (int c = GetChar()) {
        last = c;
        ++n;
    }
    EXPECT_EQ(n, 256);
    EXPECT_EQ(last, 1 + 255 % 200);  // the oldest were kept
    HeadlessChar('z');               // room again after reading
    EXPECT_EQ(GetChar(), 'z');
}

TEST_F(InputTest, FlushKeysClearsHeldHitsCharsAndPendingEvents) {
    HeadlessKey(16, true);
    HeadlessTap(70);
    HeadlessChar('q');
    EXPECT_TRUE(KeyDown(16));
    HeadlessTap(71);  // pending at the flush
    FlushKeys();
    EXPECT_FALSE(KeyDown(16));
    EXPECT_EQ(KeyHit(70), 0);
    EXPECT_EQ(KeyHit(71), 0);
    EXPECT_EQ(GetChar(), 0);
}

TEST_F(InputTest, MouseButtonsPositionAndWheel) {
    HeadlessMouseMove(123, 45);
    HeadlessMouseButton(1, true);
    HeadlessMouseButton(1, false);
    HeadlessMouseButton(2, true);
    HeadlessWheel(3);
    HeadlessWheel(-1);
    EXPECT_EQ(MouseX(), 123);
    EXPECT_EQ(MouseY(), 45);
    EXPECT_EQ(MouseZ(), 2);
    EXPECT_FALSE(MouseDown(1));
    EXPECT_TRUE(MouseDown(2));
    EXPECT_EQ(MouseHit(1), 1);
    EXPECT_EQ(MouseHit(1), 0);
    EXPECT_EQ(MouseHit(2), 1);
    EXPECT_FALSE(MouseDown(0));
    EXPECT_FALSE(MouseDown(4));
    EXPECT_EQ(MouseHit(7), 0);
}

TEST_F(InputTest, FlushMouseClearsButtonsButKeepsThePointer) {
    HeadlessMouseMove(10, 20);
    HeadlessMouseButton(3, true);
    FlushMouse();
    EXPECT_FALSE(MouseDown(3));
    EXPECT_EQ(MouseHit(3), 0);
    EXPECT_EQ(MouseX(), 10);
}

TEST_F(InputTest, AppTerminateReportsOnceThenClears) {
    EXPECT_FALSE(AppTerminate());
    HeadlessCloseRequest();
    EXPECT_TRUE(AppTerminate());
    EXPECT_FALSE(AppTerminate());
}

TEST_F(InputTest, FocusLossSuspendsAndReleasesHeldInput) {
    EXPECT_FALSE(AppSuspended());
    HeadlessKey(37, true);
    HeadlessMouseButton(1, true);
    EXPECT_TRUE(KeyDown(37));
    plat::InputFocus(false);
    EXPECT_TRUE(AppSuspended());
    EXPECT_FALSE(KeyDown(37));   // its release will never arrive
    EXPECT_FALSE(MouseDown(1));
    EXPECT_EQ(KeyHit(37), 1);    // the press itself still counts
    plat::InputFocus(true);
    EXPECT_FALSE(AppSuspended());
}

TEST_F(InputTest, UseHeadlessPlatformStartsWithFreshInput) {
    HeadlessKey(50, true);
    HeadlessChar('a');
    HeadlessCloseRequest();
    EXPECT_TRUE(KeyDown(50));
    HeadlessTap(51);  // still pending
    UseHeadlessPlatform();
    EXPECT_FALSE(KeyDown(50));
    EXPECT_EQ(KeyHit(51), 0);
    EXPECT_EQ(GetChar(), 0);
    EXPECT_FALSE(AppTerminate());
}

TEST_F(InputTest, AbsentJoystickPortsReadAllZero) {
    EXPECT_EQ(JoyCount(), 0);
    for (int port : {-1, 0, 3}) {
        EXPECT_EQ(JoyName(port), "");
        EXPECT_EQ(JoyButtonCaps(port), 0);
        EXPECT_FALSE(JoyDown(0, port));
        EXPECT_EQ(JoyX(port), 0.0f);
        EXPECT_EQ(JoyY(port), 0.0f);
        EXPECT_EQ(JoyZ(port), 0.0f);
        EXPECT_EQ(JoyR(port), 0.0f);
        EXPECT_EQ(JoyU(port), 0.0f);
        EXPECT_EQ(JoyV(port), 0.0f);
        EXPECT_EQ(JoyHat(port), 0.0f);
    }
}

TEST_F(InputTest, AttachedJoystickReportsItsState) {
    HeadlessSetJoystick(0, "Pad One", 4);
    EXPECT_EQ(JoyCount(), 1);
    EXPECT_EQ(JoyName(0), "Pad One");
    EXPECT_EQ(JoyButtonCaps(0), 15);
    EXPECT_EQ(JoyHat(0), -1.0f);  // a fresh stick is centred
    HeadlessSetJoyAxis(0, 0, -0.5f);
    HeadlessSetJoyAxis(0, 1, 0.25f);
    HeadlessSetJoyAxis(0, 3, 1.0f);
    HeadlessSetJoyAxis(0, 5, -1.0f);
    HeadlessSetJoyHat(0, 0.125f);
    HeadlessSetJoyButton(0, 2, true);
    EXPECT_EQ(JoyX(0), -0.5f);
    EXPECT_EQ(JoyY(0), 0.25f);
    EXPECT_EQ(JoyZ(0), 0.0f);
    EXPECT_EQ(JoyR(0), 1.0f);
    EXPECT_EQ(JoyU(0), 0.0f);
    EXPECT_EQ(JoyV(0), -1.0f);
    EXPECT_EQ(JoyHat(0), 0.125f);
    EXPECT_TRUE(JoyDown(2, 0));
    EXPECT_FALSE(JoyDown(1, 0));
    EXPECT_FALSE(JoyDown(4, 0));  // beyond its buttons

    HeadlessDetachJoystick(0);
    EXPECT_EQ(JoyCount(), 0);
    EXPECT_EQ(JoyX(0), 0.0f);
    EXPECT_FALSE(JoyDown(2, 0));
}

TEST_F(InputTest, JoystickPortsCountUpToTheHighestAttached) {
    HeadlessSetJoystick(1, "Second", 2);
    EXPECT_EQ(JoyCount(), 2);
    EXPECT_EQ(JoyName(0), "");  // the gap reads as absent
    EXPECT_EQ(JoyButtonCaps(1), 3);
    HeadlessSetJoystick(0, "First", 20);
    EXPECT_EQ(JoyButtonCaps(0), (1 << 20) - 1);
}
