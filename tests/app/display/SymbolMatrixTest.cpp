#include "app/display/SymbolMatrix.h"

#include <QMetaType>
#include <QVariant>

#include <gtest/gtest.h>

TEST(SymbolMatrix, StoresDotsColumnAfterColumn)
{
    SymbolMatrix matrix(5, 8);
    ASSERT_EQ(matrix.size(), 40u);
    matrix.setValue(1, 2, 1);
    matrix.setValue(4, 7, '1');
    EXPECT_EQ(matrix.data()[1 * 8 + 2], 1);
    EXPECT_EQ(matrix.data()[4 * 8 + 7], '1');
    EXPECT_TRUE(matrix.isLit(1, 2));
    EXPECT_TRUE(matrix.isLit(4, 7));
    EXPECT_FALSE(matrix.isLit(2, 1));
    matrix.setValue(0, 0, 2);
    EXPECT_FALSE(matrix.isLit(0, 0)) << "only 1 and '1' are lit";
}

TEST(SymbolMatrix, IgnoresDotsOutsideAndNegativeExtents)
{
    SymbolMatrix matrix(5, 8);
    matrix.setValue(5, 0, 1);
    matrix.setValue(0, 8, 1);
    matrix.setValue(-1, 0, 1);
    EXPECT_EQ(matrix, SymbolMatrix(5, 8));
    EXPECT_EQ(matrix.value(5, 0), 0);
    EXPECT_EQ(matrix.value(0, -1), 0);

    const SymbolMatrix negative(-5, 8);
    EXPECT_EQ(negative.columns(), 0);
    EXPECT_EQ(negative.size(), 0u);
    EXPECT_EQ(SymbolMatrix().size(), 0u);
}

TEST(SymbolMatrix, TravelsInAVariantUnderItsRegisteredName)
{
    registerSymbolMatrixMetaType();
    const QMetaType type = QMetaType::fromName("SymbolMatrix");
    ASSERT_TRUE(type.isValid());
    SymbolMatrix matrix(5, 8);
    matrix.setValue(0, 0, 1);
    const QVariant value(type, &matrix);
    EXPECT_EQ(value.value<SymbolMatrix>(), matrix);
}
