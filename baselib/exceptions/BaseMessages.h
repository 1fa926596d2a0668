#pragma once

#include "baselib/exceptions/MessageTable.h"

// The message tables of the base library; codes count from 0 in table order.

namespace KelTime {
enum class DateTimeValueMessage { InvalidDate, InvalidTime, NotConvertible };
enum class DateTimeSyntaxMessage { DateSyntax, TimeSyntax };
} // namespace KelTime

namespace KelBase {
enum class NumberConversionMessage { NotANumber };
enum class CommandLineMessage { ParameterMissing, OptionMissing, MustBeOption, DuplicateOption };
} // namespace KelBase

namespace DynamicPlugin {
enum class PluginMessage { EntryPointMissing };
}

namespace ObjectFactory {
enum class InterfaceRegistryMessage { NotRegistered };
enum class VirtualConstructorMessage { FactoryNotFound, ClassNotFound };
} // namespace ObjectFactory

namespace KelBase {

template <>
struct MessageTable<KelTime::DateTimeValueMessage> {
    static constexpr const wchar_t* texts[] = {
        L"Дата указана неправильно",
        L"Время задано неправильно",
        L"Невозможно преобразовать дату и время в требуемый формат",
    };
};

template <>
struct MessageTable<KelTime::DateTimeSyntaxMessage> {
    static constexpr const wchar_t* texts[] = {
        L"Ошибка синтаксиса даты",
        L"Ошибка синтаксиса времени",
    };
};

template <>
struct MessageTable<NumberConversionMessage> {
    static constexpr const wchar_t* texts[] = {L"Указанное '%s' не является числом"};
};

template <>
struct MessageTable<CommandLineMessage> {
    static constexpr const wchar_t* texts[] = {
        L"Не задан обязательный параметр",
        L"Не задана обязательная опция",
        L"Параметр должен быть опцией",
        L"Повторяющаяся опция '%s'",
    };
};

template <>
struct MessageTable<DynamicPlugin::PluginMessage> {
    static constexpr const wchar_t* texts[] = {
        L"Подключаемый модуль '%s' не предназначен для работы в текущей системе. "
        L"Не найдена требуемая точка входа",
    };
};

template <>
struct MessageTable<ObjectFactory::InterfaceRegistryMessage> {
    static constexpr const wchar_t* texts[] = {L"Интерфейс не зарегистрирован"};
};

template <>
struct MessageTable<ObjectFactory::VirtualConstructorMessage> {
    static constexpr const wchar_t* texts[] = {
        L"Фабрика объектов для указанного интерфейса не найдена",
        L"Класс не зарегистрирован",
    };
};

} // namespace KelBase
