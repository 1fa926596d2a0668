#include "server/web/WebTexts.h"

#include <QCoreApplication>
#include <QTranslator>

namespace VPanel::Server {
namespace {

struct Word {
    const char* key;
    const char* context;
    const char* source;
};

// The context is written twice: lupdate reads it from the macro, translate() from the field.
const Word words[] = {
    {"program", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Велидар")},
    {"russian", "QORemoteController", QT_TRANSLATE_NOOP("QORemoteController", "Русский")},
    {"english", "QORemoteController", QT_TRANSLATE_NOOP("QORemoteController", "English")},
    {"signedInAs", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Вы вошли: %1 (%2)")},
    {"operator", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "оператор")},
    {"viewer", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "наблюдатель")},
    {"logOut", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Выйти")},
    {"noServer", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Нет связи с сервером.")},

    {"signIn", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Вход")},
    {"user", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Пользователь")},
    {"password", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Пароль")},
    {"submit", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Войти")},
    {"wrongPassword", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Неверное имя пользователя или пароль.")},
    {"tooManyAttempts", "WebPanel",
     QT_TRANSLATE_NOOP("WebPanel", "Слишком много неудачных попыток входа. Подождите минуту и попробуйте снова.")},
    {"serverProblem", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Сервер ответил ошибкой %1. Попробуйте позже.")},

    {"devices", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Устройства")},
    {"noDevices", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Сервер не опрашивает ни одного устройства.")},
    {"stateConnecting", "StatusTexts", QT_TRANSLATE_NOOP("StatusTexts", "Соединение...")},
    {"stateLive", "StatusTexts", QT_TRANSLATE_NOOP("StatusTexts", "Связь есть")},
    {"stateSilent", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Устройство не отвечает")},
    {"stateGone", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Порт недоступен")},
    {"retryIn", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "повтор через %1 с")},
    {"portAddress", "DevicePanel", QT_TRANSLATE_NOOP("DevicePanel", "%1, адрес %2")},
    {"baud", "QOFindDevice", QT_TRANSLATE_NOOP("QOFindDevice", " (%1 бод)")},
    {"consoleOff", "StatusTexts", QT_TRANSLATE_NOOP("StatusTexts", "Консоль выключена")},
    {"alarm", "StatusTexts", QT_TRANSLATE_NOOP("StatusTexts", "ТРЕВОГА")},

    {"device", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Устройство")},
    {"allDevices", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Все устройства")},
    {"noDevice", "DevicePanel", QT_TRANSLATE_NOOP("DevicePanel", "Нет устройства")},
    {"display", "QORemoteController", QT_TRANSLATE_NOOP("QORemoteController", "Дисплей")},
    {"consoleOnEvent", "QOTransmissionThread", QT_TRANSLATE_NOOP("QOTransmissionThread", "Консоль включена.")},
    {"consoleOffEvent", "QOTransmissionThread", QT_TRANSLATE_NOOP("QOTransmissionThread", "Консоль выключена.")},
    {"mute", "QORemoteController", QT_TRANSLATE_NOOP("QORemoteController", "Отключить звук")},
    {"reconnect", "QORemoteController", QT_TRANSLATE_NOOP("QORemoteController", "Переподключить")},
    {"reconnecting", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Нет связи с сервером, повтор через %1 с")},
    {"viewOnly", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Только просмотр: клавиши нажимают операторы.")},
    {"hotKeyF1", "QOInputDevice", QT_TRANSLATE_NOOP("QOInputDevice", "Быстрая клавиша - F1")},
    {"hotKeyF2", "QOInputDevice", QT_TRANSLATE_NOOP("QOInputDevice", "Быстрая клавиша - F2")},
    {"hotKeyEsc", "QOInputDevice", QT_TRANSLATE_NOOP("QOInputDevice", "Быстрая клавиша - Backspace, Esc")},
    {"hotKeyEnter", "QOInputDevice", QT_TRANSLATE_NOOP("QOInputDevice", "Быстрая клавиша - Enter")},
    {"up", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Вверх")},
    {"down", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Вниз")},
    {"left", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Влево")},
    {"right", "WebPanel", QT_TRANSLATE_NOOP("WebPanel", "Вправо")},
    {"journal", "LogWidget", QT_TRANSLATE_NOOP("LogWidget", "Журнал")},
};

} // namespace

QJsonObject webTexts(const QTranslator* catalogue)
{
    QJsonObject texts;
    for (const Word& word : words) {
        QString text = catalogue ? catalogue->translate(word.context, word.source)
                                 : QCoreApplication::translate(word.context, word.source);
        texts.insert(QLatin1String(word.key), text.isEmpty() ? QString::fromUtf8(word.source) : text);
    }
    return texts;
}

} // namespace VPanel::Server
