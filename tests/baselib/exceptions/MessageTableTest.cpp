#include "baselib/exceptions/BaseMessages.h"
#include "baselib/exceptions/ExceptionTree.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using KelBase::resStr;

TEST(MessageTable, CodesGiveTheirTexts)
{
    EXPECT_STREQ(resStr(KelTime::DateTimeValueMessage::InvalidDate), L"Дата указана неправильно");
    EXPECT_STREQ(resStr(KelTime::DateTimeValueMessage::InvalidTime), L"Время задано неправильно");
    EXPECT_STREQ(resStr(KelTime::DateTimeValueMessage::NotConvertible),
                 L"Невозможно преобразовать дату и время в требуемый формат");
    EXPECT_STREQ(resStr(KelTime::DateTimeSyntaxMessage::DateSyntax), L"Ошибка синтаксиса даты");
    EXPECT_STREQ(resStr(KelTime::DateTimeSyntaxMessage::TimeSyntax), L"Ошибка синтаксиса времени");
    EXPECT_STREQ(resStr(KelBase::NumberConversionMessage::NotANumber), L"Указанное '%s' не является числом");
    EXPECT_STREQ(resStr(KelBase::CommandLineMessage::ParameterMissing), L"Не задан обязательный параметр");
    EXPECT_STREQ(resStr(KelBase::CommandLineMessage::OptionMissing), L"Не задана обязательная опция");
    EXPECT_STREQ(resStr(KelBase::CommandLineMessage::MustBeOption), L"Параметр должен быть опцией");
    EXPECT_STREQ(resStr(KelBase::CommandLineMessage::DuplicateOption), L"Повторяющаяся опция '%s'");
    EXPECT_STREQ(resStr(DynamicPlugin::PluginMessage::EntryPointMissing),
                 L"Подключаемый модуль '%s' не предназначен для работы в текущей системе. "
                 L"Не найдена требуемая точка входа");
    EXPECT_STREQ(resStr(ObjectFactory::InterfaceRegistryMessage::NotRegistered), L"Интерфейс не зарегистрирован");
    EXPECT_STREQ(resStr(ObjectFactory::VirtualConstructorMessage::FactoryNotFound),
                 L"Фабрика объектов для указанного интерфейса не найдена");
    EXPECT_STREQ(resStr(ObjectFactory::VirtualConstructorMessage::ClassNotFound), L"Класс не зарегистрирован");
}

TEST(MessageTable, TextsGiveTheirCodes)
{
    EXPECT_EQ(resStr.codeOf<KelBase::CommandLineMessage>(L"Параметр должен быть опцией"),
              KelBase::CommandLineMessage::MustBeOption);
    EXPECT_EQ(resStr.codeOf<KelTime::DateTimeSyntaxMessage>(L"Ошибка синтаксиса времени"),
              KelTime::DateTimeSyntaxMessage::TimeSyntax);
}

void expectNotFound(void (*lookup)(), const wchar_t* text)
{
    try {
        lookup();
        FAIL() << "no exception";
    } catch (const KelBase::StringResourceAccess::ResourceNotFoundException& error) {
        EXPECT_STREQ(error.message(), text);
    }
}

TEST(MessageTable, MissingEntriesThrowResourceNotFound)
{
    expectNotFound([] { resStr(static_cast<KelBase::CommandLineMessage>(4)); },
                   L"Строковый ресурс nmsp::enumType с кодом 4 не найден");
    expectNotFound([] { resStr(static_cast<KelBase::CommandLineMessage>(-3)); },
                   L"Строковый ресурс nmsp::enumType с кодом -3 не найден");
    expectNotFound([] { resStr.codeOf<KelBase::CommandLineMessage>(L"параметр должен быть опцией"); },
                   L"Строковый ресурс nmsp::enumType с кодом -1 не найден");
}

} // namespace
