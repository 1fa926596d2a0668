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

// Key events as X delivers them, with their event times. X repeats a held key as a release and
// a press at one time, which Qt does not always mark as auto-repeat.
TEST_F(StandardKeypad, KeyEventsAsXDeliversThem)
{
    struct Event {
        QEvent::Type type;
        Qt::Key key;
        quint64 time_ms;
    };
    constexpr auto press = QEvent::KeyPress;
    constexpr auto release = QEvent::KeyRelease;
    // Another window takes the keyboard; the releases of held keys go there.
    constexpr auto leave = QEvent::WindowDeactivate;
    struct Case {
        const char* name;
        std::vector<Event> events;
        Sent sent;
    };
    const Case cases[] = {
        {"held with repeats",
         {{press, Qt::Key_Down, 1000}, {release, Qt::Key_Down, 1500}, {press, Qt::Key_Down, 1500},
          {release, Qt::Key_Down, 1533}, {press, Qt::Key_Down, 1535}, {release, Qt::Key_Down, 1900}},
         {"P80", "R80"}},
        {"a digit held with repeats",
         {{press, Qt::Key_5, 1000}, {release, Qt::Key_5, 1500}, {press, Qt::Key_5, 1500}, {release, Qt::Key_5, 1600}},
         {"P6", "P6", "R6", "R6"}},
        {"a 2 ms tap", {{press, Qt::Key_Down, 1000}, {release, Qt::Key_Down, 1002}}, {"P80", "R80"}},
        {"two quick taps",
         {{press, Qt::Key_Down, 1000}, {release, Qt::Key_Down, 1010}, {press, Qt::Key_Down, 1013},
          {release, Qt::Key_Down, 1020}},
         {"P80", "R80", "P80", "R80"}},
        {"another key at the release's time",
         {{press, Qt::Key_Down, 1000}, {release, Qt::Key_Down, 1010}, {press, Qt::Key_Up, 1010},
          {release, Qt::Key_Up, 1020}},
         {"P80", "R80", "P72", "R72"}},
        {"held as the window loses the keyboard", {{press, Qt::Key_Down, 1000}, {leave, Qt::Key_unknown, 0}},
         {"P80", "R80"}},
        {"its release come back after all",
         {{press, Qt::Key_Down, 1000}, {leave, Qt::Key_unknown, 0}, {release, Qt::Key_Down, 1900},
          {press, Qt::Key_Up, 2000}, {release, Qt::Key_Up, 2100}},
         {"P80", "R80", "P72", "R72"}},
        {"held since before the keypad took the keyboard",
         {{release, Qt::Key_Down, 3500}, {press, Qt::Key_Down, 3500}, {release, Qt::Key_Down, 3533},
          {press, Qt::Key_Down, 3535}, {release, Qt::Key_Down, 3900}, {press, Qt::Key_Down, 4000},
          {release, Qt::Key_Down, 4010}},
         {"P80", "R80"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const Event& event : c.events) {
            if (event.type == leave) {
                QEvent deactivation(leave);
                QApplication::sendEvent(&keypad, &deactivation);
                continue;
            }
            QKeyEvent key(event.type, event.key, Qt::NoModifier);
            key.setTimestamp(event.time_ms);
            QApplication::sendEvent(&keypad, &key);
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return sent.size() >= c.sent.size(); }, 5000));
        EXPECT_EQ(takeSent(), c.sent);
    }
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
