#pragma once

#include "baselib/exceptions/MessageTable.h"

// The message tables of the serial port; codes count from 0 in table order.
namespace KelComm::Serial {
enum class SettingsLimitMessage { BaudRateRange, ByteSizeRange };
enum class PortNameSyntaxMessage { NotComX };
enum class OpenErrorMessage { NotFound, NoAccess, ServerUnreachable, ServerClosed, ServerFailed };
enum class NetworkLineMessage { AnswersNotTaken };
enum class PortStateMessage { NoSystemName, PortClosed };
enum class PortMapMessage {
    NotInstalled,
    NoStableName,
    EntryExists,
    BadEntry,
    EntryTooLong,
    AdapterAbsent,
    NotConnected,
    EntryUnreadable
};
enum class NetworkEntryMessage { UnknownScheme, NoHost, BadPort, NoPort, BadHost, UnbracketedIpv6 };
} // namespace KelComm::Serial

namespace KelBase {

template <>
struct MessageTable<KelComm::Serial::SettingsLimitMessage> {
    static constexpr const wchar_t* texts[] = {
        L"Скорость передачи данных должна быть задана в пределах от %lu до %lu бит/с",
        L"Размер байта должен быть задан в пределах от %u до %u бит",
    };
};

template <>
struct MessageTable<KelComm::Serial::PortNameSyntaxMessage> {
    static constexpr const wchar_t* texts[] = {
        L"Имя последовательного порта должно быть задано в формате \"COMx\", где x - номер порта",
    };
};

template <>
struct MessageTable<KelComm::Serial::OpenErrorMessage> {
    static constexpr const wchar_t* texts[] = {
        L"Последовательный порт \"%s\" не найден",
        L"Нет доступа к последовательному порту \"%s\"",
        L"Последовательный порт \"%s\" не найден: сервер %s недоступен (%s)",
        L"Нет доступа к последовательному порту \"%s\": сервер %s закрыл соединение%s",
        L"Последовательный порт \"%s\" не открыт: ошибка связи с сервером %s (%s)",
    };
};

template <>
struct MessageTable<KelComm::Serial::NetworkLineMessage> {
    static constexpr const wchar_t* texts[] = {
        L"сервер не принимает данные",
    };
};

template <>
struct MessageTable<KelComm::Serial::PortStateMessage> {
    static constexpr const wchar_t* texts[] = {
        L"Не задано системное имя порта",
        L"Попытка выполнить операцию ввода-вывода с закрытым портом",
    };
};

template <>
struct MessageTable<KelComm::Serial::PortMapMessage> {
    static constexpr const wchar_t* texts[] = {
        L"Порт \"%s\" не установлен",
        L"У порта \"%s\" нет постоянного имени в %s",
        L"В карте портов уже есть запись \"%s\"",
        L"Запись карты портов %s, строка %u \"%s\": %s",
        L"Запись карты портов %s: первая строка длиннее %u байт",
        L"→ %s: адаптер не подключён",
        L"Последовательный порт \"%s\" не найден: адаптер %s не подключён",
        L"Запись карты портов %s не читается: %s",
    };
};

template <>
struct MessageTable<KelComm::Serial::NetworkEntryMessage> {
    static constexpr const wchar_t* texts[] = {
        L"ожидается адрес вида rfc2217://УЗЕЛ:ПОРТ или tcp://УЗЕЛ:ПОРТ",
        L"не задан узел",
        L"номер порта должен лежать в пределах от 1 до 65535",
        L"после узла ожидается двоеточие и номер порта",
        L"недопустимый узел \"%s\": ожидается имя из латинских букв, цифр, точек и дефисов, адрес IPv4 или адрес IPv6 в квадратных скобках",
        L"адрес IPv6 записывается в квадратных скобках: [%s]",
    };
};

} // namespace KelBase
