#include "qtui/ExtendedLineEdit.h"
#include "qtui/IProxyWidget.h"

#include <QMetaType>
#include <QPalette>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

using KelBase::QtUI::ExtendedLineEdit;
using KelBase::QtUI::IProxyWidget;

// Other code connects to these by name.
TEST(QtHelpersMetaObject, RegistersTheNamesOtherCodeConnectsTo)
{
    const QMetaObject& edit = ExtendedLineEdit::staticMetaObject;
    EXPECT_STREQ(edit.className(), "KelBase::QtUI::ExtendedLineEdit");
    for (const char* signal : {"clearErrorStatus(QString*)", "clearErrorStatus()"})
        EXPECT_GE(edit.indexOfSignal(signal), 0) << signal;
    for (const char* slot : {"setError(QString)", "clearError()", "clearErrorByEdit(QString)"})
        EXPECT_GE(edit.indexOfSlot(slot), 0) << slot;

    const QMetaObject& proxy = IProxyWidget::staticMetaObject;
    EXPECT_STREQ(proxy.className(), "KelBase::QtUI::IProxyWidget");
    for (const char* signal : {"canAcceptChanged(bool)", "keepVisibleChanged(bool)"})
        EXPECT_GE(proxy.indexOfSignal(signal), 0) << signal;
    EXPECT_GE(proxy.indexOfSlot("accept()"), 0);

    ExtendedLineEdit constructed;
    EXPECT_TRUE(QMetaType::fromName("KelBase::QtUI::ExtendedLineEdit*").isValid());
}

// An edit showing the error "x", recording each clearErrorStatus: nullopt for a null
// pointer, else the text pointed to (valid only during the emission).
class ErrorEdit : public ::testing::Test {
protected:
    ErrorEdit()
    {
        QObject::connect(&edit, qOverload<QString*>(&ExtendedLineEdit::clearErrorStatus),
                         [this](QString* text) {
                             cleared.push_back(text ? std::optional<QString>(*text) : std::nullopt);
                         });
        edit.setText("abc");
        edit.setError("x");
    }

    void expectNoErrorShown() const
    {
        EXPECT_EQ(edit.palette().color(QPalette::Text), QPalette().color(QPalette::Text));
        EXPECT_TRUE(edit.toolTip().isEmpty());
    }

    ExtendedLineEdit edit;
    std::vector<std::optional<QString>> cleared;
};

TEST_F(ErrorEdit, TypingClearsTheErrorAndSignalsWithoutText)
{
    EXPECT_EQ(edit.palette().color(QPalette::Text), QColor(Qt::red));
    EXPECT_EQ(edit.toolTip(), "x");

    QTest::keyClick(&edit, Qt::Key_D);
    EXPECT_EQ(edit.text(), "abcd");
    expectNoErrorShown();
    ASSERT_EQ(cleared.size(), 1u);
    EXPECT_FALSE(cleared[0].has_value());
}

TEST_F(ErrorEdit, EscapeClearsTextAndErrorAndSignalsAnEmptyText)
{
    QTest::keyClick(&edit, Qt::Key_Escape);
    EXPECT_TRUE(edit.text().isEmpty());
    expectNoErrorShown();
    ASSERT_EQ(cleared.size(), 1u);
    ASSERT_TRUE(cleared[0].has_value());
    EXPECT_TRUE(cleared[0]->isEmpty());
}

} // namespace
