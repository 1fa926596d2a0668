#include "LogTestHelpers.h"

#include "app/log/QOProofSettings.h"

#include <QLabel>
#include <QSignalSpy>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class ProofSettings : public ::testing::Test {
protected:
    ProofSettings()
    {
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.windowModality(), Qt::WindowModal);
        dialog.show();
    }

    void click(const char* text) { buttonWithText(dialog, QString::fromUtf8(text))->click(); }

    QOProofSettings dialog;
    QSignalSpy chosen{&dialog, &QOProofSettings::setIntervalPacketWrite};
    QSignalSpy timing{&dialog, &QOProofSettings::setRequestTiming};
};

TEST_F(ProofSettings, OkProposesTheShownValuesEvenZero)
{
    dialog.setWriteIntervalMs(20);
    dialog.setRequestPauseMs(0);
    dialog.setIntervalAfterReply(true);
    dialog.findChild<QSpinBox*>()->setValue(0);
    click("Ок");
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen[0][0].toInt(), 0);
    ASSERT_EQ(timing.size(), 1);
    EXPECT_EQ(timing[0][0].toInt(), 0);
    EXPECT_TRUE(timing[0][1].toBool());
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(ProofSettings, CancelProposesNothing)
{
    dialog.setWriteIntervalMs(45);
    click("Отмена");
    EXPECT_EQ(chosen.size(), 0);
    EXPECT_EQ(timing.size(), 0);
    EXPECT_EQ(dialog.writeIntervalMs(), 45);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(ProofSettings, TellsTheUnitAndThatARunningConnectionKeepsItsTiming)
{
    const QList<QSpinBox*> boxes = dialog.findChildren<QSpinBox*>();
    ASSERT_EQ(boxes.size(), 2);
    for (const QSpinBox* box : boxes)
        EXPECT_EQ(box->suffix(), QStringLiteral(" мс"));
    const QList<QLabel*> labels = dialog.findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.cbegin(), labels.cend(), [](const QLabel* label) {
        return label->text() == QStringLiteral("Действует со следующего соединения");
    }));
}

} // namespace
