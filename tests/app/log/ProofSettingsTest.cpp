#include "LogTestHelpers.h"

#include "app/log/QOProofSettings.h"

#include <QSignalSpy>
#include <QSpinBox>

#include <gtest/gtest.h>

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
};

TEST_F(ProofSettings, OkProposesTheShownValueEvenZero)
{
    dialog.setWriteIntervalMs(20);
    dialog.findChild<QSpinBox*>()->setValue(0);
    click("Ок");
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen[0][0].toInt(), 0);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(ProofSettings, CancelProposesNothing)
{
    dialog.setWriteIntervalMs(45);
    click("Отмена");
    EXPECT_EQ(chosen.size(), 0);
    EXPECT_EQ(dialog.writeIntervalMs(), 45);
    EXPECT_FALSE(dialog.isVisible());
}

} // namespace
