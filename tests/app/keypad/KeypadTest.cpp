#include "KeypadFixture.h"

#include <QApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QTranslator>

namespace {

using Sent = std::vector<std::string>;

const char* const redFrame = "border: 3px groove #FF3333; ";
const char* const greenFrame = "border: 2px groove #33FF66;";
const char* const highlight = "background-color: rgb(255, 183, 94);";

TEST_F(StandardKeypad, HoldsTheDeviceKeysInGridOrder)
{
    namespace Code = VPanel::Link::ScanCode;
    const QVector<int> codes{-1,         -1,        Code::NumLock,  Code::digit(1), Code::digit(2), Code::digit(3),
                             Code::F1,   Code::Up,  Code::F2,       Code::digit(4), Code::digit(5), Code::digit(6),
                             Code::Left, Code::Down, Code::Right,   Code::digit(7), Code::digit(8), Code::digit(9),
                             Code::Backspace, -1,   Code::Enter,    -1,             Code::digit(0), -1};
    ASSERT_EQ(keypad.countButton(), codes.size());
    for (int number = 0; number < codes.size(); ++number) {
        SCOPED_TRACE(number);
        EXPECT_EQ(key(number)->codeButton(), codes[number]);
        EXPECT_EQ(keypad.keyPadInfo()[number], codes[number] != -1);
        EXPECT_EQ(key(number)->size(), QSize(40, 40));
    }
    EXPECT_EQ(key(digitFive)->text(), "5");
    EXPECT_FALSE(key(7)->icon().isNull());
    EXPECT_TRUE(key(numpadToggle)->isFlat());
    EXPECT_EQ(key(keyEsc)->toolTip(), QString::fromUtf8("Быстрая клавиша - Backspace, Esc"));
    EXPECT_TRUE(key(digitFive)->toolTip().isEmpty());
}

TEST(KeypadIcons, LoadFromResourcesAtTheirSizes)
{
    QOInputDevice::standardKeys();
    for (const char* arrow : {":/Resources/ARW06UP.ICO", ":/Resources/ARW06DN.ICO",
                              ":/Resources/ARW06LT.ICO", ":/Resources/ARW06RT.ICO"}) {
        SCOPED_TRACE(arrow);
        const QImage image(arrow);
        ASSERT_EQ(image.size(), QSize(32, 32));
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(15, 15)), 255);
    }
    EXPECT_EQ(QImage(":/Resources/numpad.png").size(), QSize(45, 46));
}

TEST(KeypadBuilding, CodeAbove255GivesAHiddenPlaceholder)
{
    QOInputDevice keypad;
    keypad.addKey(QString("x"), 300, "tip");
    keypad.addKey(QString("y"), 255, "tip");
    EXPECT_EQ(keypad.button(0)->codeButton(), -1);
    EXPECT_TRUE(keypad.button(0)->toolTip().isEmpty());
    EXPECT_EQ(keypad.button(1)->codeButton(), 255);
    EXPECT_EQ(keypad.keyPadInfo(), QList<bool>({false, true}));
}

class EnglishToolTips : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        if (QByteArray(context) == "QOInputDevice" && QString::fromUtf8(source) == "Быстрая клавиша - F1")
            return "Hot key - F1";
        return {};
    }
    bool isEmpty() const override { return false; }
};

TEST_F(StandardKeypad, ToolTipsFollowTheLanguage)
{
    EnglishToolTips english;
    QApplication::installTranslator(&english);
    QApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    EXPECT_EQ(key(keyF1)->toolTip(), "Hot key - F1");

    QApplication::removeTranslator(&english);
    QApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    EXPECT_EQ(key(keyF1)->toolTip(), QString::fromUtf8("Быстрая клавиша - F1"));
}

TEST_F(StandardKeypad, MouseClickPressesAndReleases)
{
    QTest::mousePress(key(keyF1), Qt::LeftButton);
    EXPECT_TRUE(key(keyF1)->isDown());
    QTest::mouseRelease(key(keyF1), Qt::LeftButton);
    EXPECT_FALSE(key(keyF1)->isDown());
    EXPECT_EQ(takeSent(), Sent({"P59", "R59"}));
}

TEST_F(StandardKeypad, RightClickLocksUntilTheNextRightClick)
{
    QOInputButton* enter = key(keyEnter);
    QTest::mouseClick(enter, Qt::RightButton);
    EXPECT_EQ(takeSent(), Sent({"P28"}));
    EXPECT_TRUE(enter->isChecked());

    QTest::mouseClick(enter, Qt::LeftButton);
    EXPECT_EQ(takeSent(), Sent({"P28"}));
    EXPECT_TRUE(enter->isChecked());

    QTest::mouseClick(enter, Qt::RightButton);
    EXPECT_EQ(takeSent(), Sent({"R28"}));
    EXPECT_FALSE(enter->isChecked());
    EXPECT_FALSE(enter->isCheckable());
    EXPECT_FALSE(enter->isDown());
}

TEST_F(StandardKeypad, ToggleHidesAndShowsTheNumericBlock)
{
    ASSERT_TRUE(digitsShown());
    QTest::mouseClick(key(numpadToggle), Qt::LeftButton);
    EXPECT_EQ(takeSent(), Sent({"P69", "R69"}));
    EXPECT_FALSE(digitsShown());
    EXPECT_FALSE(keypad.statusNumpad());
    EXPECT_EQ(key(numpadToggle)->styleSheet(), redFrame);

    QTest::keyClick(&keypad, Qt::Key_5);  // keys still reach hidden buttons
    EXPECT_EQ(takeSent(), Sent({"P6", "P6", "R6", "R6"}));

    QTest::keyClick(&keypad, Qt::Key_NumLock);
    EXPECT_EQ(takeSent(), Sent({"P69", "R69"}));
    EXPECT_TRUE(digitsShown());
    EXPECT_TRUE(keypad.statusNumpad());
    EXPECT_EQ(key(numpadToggle)->styleSheet(), greenFrame);
}

TEST_F(StandardKeypad, VisibilityRequestsReportTheirErrors)
{
    QSignalSpy errors(&keypad, &QOInputDevice::error);
    struct Request {
        int number;
        bool set;
        int result;
    };
    const Request requests[] = {
        {0, true, 2}, {24, true, 2}, {-1, false, 2}, {1, false, 1}, {3, true, 1}, {3, false, 0}, {3, false, 1}, {3, true, 0},
    };
    for (const Request& r : requests) {
        SCOPED_TRACE(r.number);
        errors.clear();
        EXPECT_EQ(keypad.setUnsetVisibleButtons(r.number, r.set), r.result);
        if (r.result == 0) {
            EXPECT_TRUE(errors.isEmpty());
        } else {
            ASSERT_EQ(errors.size(), 1);
            EXPECT_EQ(errors[0], QVariantList({r.number, r.set, r.result}));
        }
    }
}

TEST_F(StandardKeypad, ToggleWithAnInvalidCheckButtonChangesNothing)
{
    QSignalSpy errors(&keypad, &QOInputDevice::error);
    keypad.setHideButton(numericBlock.size(), 99, numericBlock);
    keypad.hideShowVirtualClaviature();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], QVariantList({99, false, 2}));
    EXPECT_TRUE(digitsShown());
    EXPECT_TRUE(key(numpadToggle)->styleSheet().isEmpty());
}

TEST_F(StandardKeypad, ShowAllRevealsPlaceholdersButTheFirst)
{
    QSignalSpy errors(&keypad, &QOInputDevice::error);
    keypad.showAll();
    QList<bool> expected(24, true);
    expected[0] = false;
    EXPECT_EQ(keypad.keyPadInfo(), expected);
    EXPECT_EQ(errors.size(), 20);  // button 0 out of range, 19 already shown

    keypad.disableVision({1, 19, 21, 23}, 2);
    EXPECT_FALSE(keypad.keyPadInfo()[19]);
    EXPECT_TRUE(keypad.keyPadInfo()[21]);
}

TEST_F(StandardKeypad, HighlightSparesTheToggleAndSkipsBadNumbers)
{
    keypad.hideShowVirtualClaviature();
    keypad.animateClick(QList<int>{keyF1, numpadToggle, 99, -1});
    EXPECT_EQ(key(keyF1)->styleSheet(), highlight);
    EXPECT_EQ(key(numpadToggle)->styleSheet(), redFrame);

    keypad.animateClick();
    EXPECT_TRUE(key(keyF1)->styleSheet().isEmpty());
    EXPECT_EQ(key(numpadToggle)->styleSheet(), redFrame);
}

TEST_F(StandardKeypad, ClosingDropsTheButtons)
{
    keypad.close();
    EXPECT_EQ(keypad.countButton(), 0);
    EXPECT_EQ(keypad.button(0), nullptr);
    QTest::keyClick(&keypad, Qt::Key_5);
    EXPECT_EQ(takeSent(), Sent({"P6", "R6"}));
}

} // namespace
