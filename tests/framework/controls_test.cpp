// Tests of binding polls and the input scan over keys and scripted joysticks.
#include <gtest/gtest.h>

#include "app/app.h"
#include "input/controls.h"
#include "tests/framework/support.h"

namespace {

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseHeadlessPlatform();
        InitGlobals();
    }
    // One stick on platform port 0 (our port 1) with `buttons` buttons, its
    // Y axis resting at restY when the sticks are taken at start-up.
    void AttachStick(float restY, int buttons = 4) {
        HeadlessSetJoystick(0, "Test Pad", buttons);
        HeadlessSetJoyAxis(0, 1, restY);
        SetUpJoysticks();
    }
};

}  // namespace

TEST_F(ControlsTest, KeysHoldTheirControlsAndLowCodesNeverHold) {
    EXPECT_FALSE(ControlDown(0, 1));
    HeadlessKey(38, true);
    EXPECT_TRUE(ControlDown(0, 1));
    EXPECT_FALSE(ControlDown(0, 2));  // player 2 is unbound
    HeadlessKey(38, false);
    EXPECT_FALSE(ControlDown(0, 1));

    KeyBindings[20] = 9;  // Tab: below the held range
    HeadlessKey(9, true);
    EXPECT_FALSE(ControlDown(0, 2));
    EXPECT_FALSE(BindingDown(255));
    EXPECT_FALSE(BindingDown(299));
    KeyBindings[20] = 10;
    HeadlessKey(10, true);
    EXPECT_TRUE(ControlDown(0, 2));
}

TEST_F(ControlsTest, StartUpTakesTheSticksRestValuesNamesAndHats) {
    HeadlessSetJoystick(0, "Pad One", 3);
    HeadlessSetJoystick(1, "Pad Two", 0);
    HeadlessSetJoyHat(1, 0.5f);  // a hat not centred at start-up counts as none
    SetUpJoysticks();
    EXPECT_EQ(JoyPortCount, 2);
    EXPECT_EQ(JoyNameOf[1], "Pad One");
    EXPECT_EQ(JoyButtonMask[1], 7);
    EXPECT_EQ(JoyEnabled[1], 1);
    EXPECT_EQ(JoyHasHat[1], 1);
    EXPECT_EQ(JoyHasHat[2], 0);
    EXPECT_EQ(JoyEnabled[3], 0);
}

TEST_F(ControlsTest, AxisDirectionsAreMeasuredFromTheRestValue) {
    AttachStick(0.1f);
    HeadlessSetJoyAxis(0, 1, -0.21f);
    EXPECT_TRUE(BindingDown(300));
    EXPECT_FALSE(BindingDown(301));
    HeadlessSetJoyAxis(0, 1, -0.2f);
    EXPECT_FALSE(BindingDown(300));
    HeadlessSetJoyAxis(0, 1, 0.4f);
    EXPECT_FALSE(BindingDown(301));
    HeadlessSetJoyAxis(0, 1, 0.41f);
    EXPECT_TRUE(BindingDown(301));
    // The other axes, in the sub-code order X, Z, U, V, R (platform axis
    // numbers 0 X, 1 Y, 2 Z, 3 R, 4 U, 5 V).
    HeadlessSetJoyAxis(0, 1, 0.1f);
    const struct {
        int platformAxis, minusCode;
    } axes[] = {{0, 302}, {2, 304}, {4, 306}, {5, 308}, {3, 310}};
    for (const auto& a : axes) {
        HeadlessSetJoyAxis(0, a.platformAxis, 0.5f);
        EXPECT_TRUE(BindingDown(a.minusCode + 1)) << a.minusCode;
        EXPECT_FALSE(BindingDown(a.minusCode)) << a.minusCode;
        HeadlessSetJoyAxis(0, a.platformAxis, -0.5f);
        EXPECT_TRUE(BindingDown(a.minusCode)) << a.minusCode;
        HeadlessSetJoyAxis(0, a.platformAxis, 0);
    }
    // A port switched off in the settings never holds.
    HeadlessSetJoyAxis(0, 1, 0.9f);
    JoyEnabled[1] = 0;
    EXPECT_FALSE(BindingDown(301));
}

TEST_F(ControlsTest, HatDiagonalsHoldBothNeighboursButAreNotCaptured) {
    AttachStick(0);
    HeadlessSetJoyHat(0, 0.125f);
    EXPECT_TRUE(BindingDown(320));
    EXPECT_TRUE(BindingDown(325));
    EXPECT_FALSE(BindingDown(328));
    EXPECT_FALSE(BindingDown(323));
    EXPECT_EQ(ScanInput(), 0);
    HeadlessSetJoyHat(0, 0.75f);
    EXPECT_TRUE(BindingDown(323));
    EXPECT_EQ(ScanInput(), 323);
    HeadlessSetJoyHat(0, -1);
    for (int code : {320, 325, 328, 323}) EXPECT_FALSE(BindingDown(code)) << code;
}

TEST_F(ControlsTest, ButtonsAndUnknownPorts) {
    AttachStick(0, 4);
    HeadlessSetJoyButton(0, 2, true);
    EXPECT_TRUE(BindingDown(332));
    EXPECT_FALSE(BindingDown(331));
    EXPECT_FALSE(BindingDown(382));  // port 2 was not found at start-up
    EXPECT_FALSE(BindingDown(532));  // no port 5
    EXPECT_EQ(ScanInput(), 332);
    KeyBindings[10] = 332;
    EXPECT_TRUE(ControlDown(10, 1));
}

TEST_F(ControlsTest, ScanFindsTheLowestKeyAndIgnoresTheServiceKeys) {
    EXPECT_EQ(ScanInput(), 0);
    HeadlessKey(90, true);
    HeadlessKey(65, true);
    EXPECT_EQ(ScanInput(), 65);
    HeadlessKey(122, true);
    EXPECT_EQ(ScanInput(), 0);  // F11 held: nothing
    HeadlessKey(122, false);
    HeadlessKey(123, true);
    EXPECT_EQ(ScanInput(), 0);
}
