#include "KeypadFixture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

namespace {

using Sent = std::vector<std::string>;

struct KeyCase {
    Qt::Key key;
    Sent pressed;  // releases mirror the presses
};

Sent released(const Sent& pressed)
{
    Sent result;
    for (const std::string& press : pressed)
        result.push_back("R" + press.substr(1));
    return result;
}

TEST_F(StandardKeypad, PcKeysSendTheDeviceCodes)
{
    // Digits (codes 1 to 11) go straight to the device and through their buttons.
    const KeyCase cases[] = {
        {Qt::Key_Escape, {"P1"}},        {Qt::Key_1, {"P2", "P2"}},   {Qt::Key_9, {"P10", "P10"}},
        {Qt::Key_0, {"P11", "P11"}},     {Qt::Key_Backspace, {"P14"}}, {Qt::Key_Return, {"P28"}},
        {Qt::Key_Enter, {"P28"}},        {Qt::Key_F1, {"P59"}},       {Qt::Key_F2, {"P60"}},
        {Qt::Key_Up, {"P72"}},           {Qt::Key_Left, {"P75"}},     {Qt::Key_Right, {"P77"}},
        {Qt::Key_Down, {"P80"}},         {Qt::Key_A, {}},             {Qt::Key_F3, {}},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(QKeySequence(c.key).toString().toStdString());
        QTest::keyPress(&keypad, c.key);
        EXPECT_EQ(takeSent(), c.pressed);
        QTest::keyRelease(&keypad, c.key);
        EXPECT_EQ(takeSent(), released(c.pressed));
    }
}

TEST_F(StandardKeypad, AutoRepeatIsIgnored)
{
    QTest::keyPress(&keypad, Qt::Key_5);
    EXPECT_EQ(takeSent(), Sent({"P6", "P6"}));
    for (int repeat = 0; repeat < 3; ++repeat) {
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_5, Qt::NoModifier, "5", true);
        QApplication::sendEvent(&keypad, &release);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, "5", true);
        QApplication::sendEvent(&keypad, &press);
    }
    EXPECT_TRUE(takeSent().empty());
    QTest::keyRelease(&keypad, Qt::Key_5);
    EXPECT_EQ(takeSent(), Sent({"R6", "R6"}));
}

TEST_F(StandardKeypad, CtrlWithAKeyTogglesItsLock)
{
    QTest::keyClick(&keypad, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(takeSent(), Sent({"P28"}));
    EXPECT_TRUE(key(keyEnter)->isChecked());

    QTest::keyClick(&keypad, Qt::Key_Return);
    EXPECT_TRUE(takeSent().empty());

    QTest::keyPress(&keypad, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(takeSent(), Sent({"R28"}));
    EXPECT_FALSE(key(keyEnter)->isChecked());
}

TEST_F(StandardKeypad, LockedDigitStaysHeldWhenItsKeyIsReleased)
{
    QTest::keyPress(&keypad, Qt::Key_5, Qt::ControlModifier);
    EXPECT_EQ(takeSent(), Sent({"P6", "P6"}));
    QTest::keyRelease(&keypad, Qt::Key_5, Qt::ControlModifier);
    EXPECT_TRUE(takeSent().empty());
    EXPECT_TRUE(key(digitFive)->isChecked());

    QTest::mouseClick(key(digitOne), Qt::RightButton);
    EXPECT_EQ(takeSent(), Sent({"P2"}));
    QTest::keyClick(&keypad, Qt::Key_1);
    EXPECT_EQ(takeSent(), Sent({"P2"}));
}

} // namespace
