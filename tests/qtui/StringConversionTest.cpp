#include "qtui/StringConversion.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using KelBase::QtUI::convertToKelString;
using KelBase::QtUI::convertToQString;

TEST(StringConversion, RoundTripKeepsEveryTextWithoutNul)
{
    for (const std::wstring& text : {std::wstring(), std::wstring(L"COM3"),
                                     std::wstring(L"Поиск окончен, устройств не найдено!"),
                                     std::wstring(L"漢字 \U0001F600 outside the basic plane")}) {
        SCOPED_TRACE(QString::fromStdWString(text).toStdString());
        EXPECT_EQ(convertToKelString(convertToQString(text)), text);
        EXPECT_EQ(convertToKelString(convertToQString(text.c_str())), text);
    }
    EXPECT_EQ(convertToQString(L"Журнал \U0001F600"), QString::fromUtf8("Журнал \xF0\x9F\x98\x80"));
}

TEST(StringConversion, EndsAtTheFirstNulAndTakesNullAsEmpty)
{
    EXPECT_EQ(convertToQString(std::wstring(L"ab\0cd", 5)), "ab");
    EXPECT_EQ(convertToKelString(QString("ab") + QChar(0) + QString("cd")), L"ab");
    EXPECT_TRUE(convertToQString(static_cast<const wchar_t*>(nullptr)).isEmpty());
}

} // namespace
