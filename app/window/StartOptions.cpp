#include "app/window/StartOptions.h"

#include "datafiles/ProgramArguments.h"

namespace {

// Under the class's context in the translation catalogue.
const char* const usageText = QT_TRANSLATE_NOOP("StartOptions",
    "Использование: vpanel [--lang ru|en] [--connect ПОРТ АДРЕС СКОРОСТЬ] [--list-ports]\n"
    "              [--pin-port ПОРТ] [--remote mqtt://УЗЕЛ[:ПОРТ]/ПЛОЩАДКА/УСТРОЙСТВО]\n"
    "              [--record ФАЙЛ] [--print-display]\n"
    "              [--save-window ФАЙЛ] [--help] [--version]\n"
    "  --lang en       интерфейс на английском языке\n"
    "  --connect ...   сразу соединиться с устройством, например: --connect COM3 1 115200;\n"
    "                  повторенный, открывает каждое устройство в своей вкладке\n"
    "  --remote ...    открыть устройство шлюза через брокер MQTT (mqtts:// для TLS);\n"
    "                  имя и пароль из запомненных настроек, иначе их спросит окно\n"
    "  --list-ports    перечислить порты: имя, устройство, постоянное имя, описание\n"
    "  --pin-port ПОРТ закрепить за адаптером его имя COMn в любом гнезде USB\n"
    "  --record ФАЙЛ   записывать обмен с устройством в файл (vpanel-devsim --replay\n"
    "                  воспроизводит его)\n"
    "  --print-display печатать строки дисплея со временем при каждом их изменении\n"
    "  --save-window ФАЙЛ сохранить окно в PNG при выходе\n"
    "  --help          эта справка\n"
    "  --version       версия программы\n");

} // namespace

StartOptions StartOptions::parse(const QStringList& arguments)
{
    StartOptions options;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& word = arguments[i];
        const int left = static_cast<int>(arguments.size()) - i - 1;
        if (word == QLatin1String("--help") || word == QLatin1String("-h")) {
            options.help = true;
        } else if (word == QLatin1String("--version")) {
            options.version = true;
        } else if (word == QLatin1String("--list-ports")) {
            options.listPorts = true;
        } else if (word == QLatin1String("--pin-port")) {
            if (left < 1) {
                options.error = tr("Не указан порт после --pin-port");
                return options;
            }
            options.pinPort = arguments[++i];
        } else if (word == QLatin1String("--remote")) {
            if (left < 1) {
                options.error = tr("Не указан адрес после --remote");
                return options;
            }
            options.remotes << arguments[++i];
        } else if (word == QLatin1String("--record") || word == QLatin1String("--save-window")) {
            if (left < 1) {
                options.error = tr("Не указан файл после %1").arg(word);
                return options;
            }
            (word == QLatin1String("--record") ? options.recordFile : options.saveWindowFile) = arguments[++i];
        } else if (word == QLatin1String("--print-display")) {
            options.printDisplay = true;
        } else if (word == QLatin1String("--lang")) {
            if (left < 1) {
                options.error = tr("Не указан язык после --lang");
                return options;
            }
            const QString language = arguments[++i];
            if (language != QLatin1String("en") && language != QLatin1String("ru")) {
                options.error = tr("Неизвестный язык '%1' (допустимы ru и en)").arg(language);
                return options;
            }
            options.english = language == QLatin1String("en");
        } else if (word == QLatin1String("--connect")) {
            if (left < 3) {
                options.error = tr("После --connect нужны порт, адрес и скорость");
                return options;
            }
            Connection connection;
            connection.port = arguments[i + 1];
            const auto address = VPanel::ProgramArguments::decimalInRange(arguments[i + 2], 0, maxAddress);
            const auto baudRate = VPanel::ProgramArguments::decimalInRange(arguments[i + 3], minBaudRate, maxBaudRate);
            if (!address) {
                options.error = tr("Неверный адрес '%1' (0..%2)").arg(arguments[i + 2]).arg(maxAddress);
                return options;
            }
            if (!baudRate) {
                options.error =
                    tr("Неверная скорость '%1' (%2..%3)").arg(arguments[i + 3]).arg(minBaudRate).arg(maxBaudRate);
                return options;
            }
            connection.address = *address;
            connection.baudRate = *baudRate;
            options.connections << connection;
            i += 3;
        } else {
            options.error = tr("Неизвестный параметр '%1'").arg(word);
            return options;
        }
    }
    return options;
}

bool StartOptions::wantsEnglish(const QStringList& arguments)
{
    return VPanel::ProgramArguments::wantsEnglish(arguments);
}

QString StartOptions::usage(const QTranslator* english)
{
    const QString translated = english ? english->translate("StartOptions", usageText) : QString();
    return translated.isEmpty() ? tr(usageText) : translated;
}
