#include "term/TermOptions.h"

#include "datafiles/ProgramArguments.h"
#include "host/KeyNames.h"

#include <cmath>

namespace VPanel::Term {

namespace {

const char* const usageText = QT_TRANSLATE_NOOP("TermOptions",
    "Использование: vpanel-term ПОРТ АДРЕС СКОРОСТЬ [параметры]\n"
    "Пульт устройства в терминале: дисплей, строка состояния и клавиши. Стрелки, Enter,\n"
    "Esc/Backspace, F1, F2 и цифры нажимают клавиши устройства, Ctrl+C завершает работу.\n"
    "\n"
    "  --keys КЛАВИШИ  с --expect: нажать клавиши после старта, например \"F1 Down Enter\"\n"
    "                  (Up Down Left Right Enter Esc Backspace F1 F2 0..9)\n"
    "  --expect ТЕКСТ  без терминала: ждать ТЕКСТ на дисплее, напечатать дисплей и выйти\n"
    "                  с кодом 0, если он появился, 1, если нет, 2 при отказе связи\n"
    "  --timeout С     сколько секунд после старта связи ждать текст (по умолчанию 10)\n"
    "  --lang ru|en    язык программы и этой справки\n"
    "  --help          эта справка\n"
    "  --version       версия программы\n");

} // namespace

TermOptions TermOptions::parse(const QStringList& arguments)
{
    TermOptions options;
    QStringList positional;
    std::optional<QString> keys;
    std::optional<QString> timeout;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& word = arguments[i];
        const bool valued = word == QLatin1String("--keys") || word == QLatin1String("--expect") ||
                            word == QLatin1String("--timeout") || word == QLatin1String("--lang");
        if (valued && i + 1 >= arguments.size()) {
            options.error = tr("Не указано значение после %1").arg(word);
            return options;
        }
        if (word == QLatin1String("--help") || word == QLatin1String("-h")) {
            options.help = true;
        } else if (word == QLatin1String("--version")) {
            options.version = true;
        } else if (word == QLatin1String("--keys")) {
            keys = arguments[++i];
        } else if (word == QLatin1String("--expect")) {
            options.expect = arguments[++i];
        } else if (word == QLatin1String("--timeout")) {
            timeout = arguments[++i];
        } else if (word == QLatin1String("--lang")) {
            const QString language = arguments[++i];
            if (language != QLatin1String("en") && language != QLatin1String("ru")) {
                options.error = tr("Неизвестный язык '%1' (допустимы ru и en)").arg(language);
                return options;
            }
            options.english = language == QLatin1String("en");
        } else if (word.startsWith(QLatin1String("--"))) {
            options.error = tr("Неизвестный параметр '%1'").arg(word);
            return options;
        } else {
            positional << word;
        }
    }
    if (options.help || options.version)
        return options;
    if (positional.size() != 3) {
        options.error = tr("Нужны порт, адрес и скорость");
        return options;
    }
    options.port = positional[0];
    const auto address = ProgramArguments::decimalInRange(positional[1], 0, maxAddress);
    const auto baudRate = ProgramArguments::decimalInRange(positional[2], minBaudRate, maxBaudRate);
    if (!address) {
        options.error = tr("Неверный адрес '%1' (0..%2)").arg(positional[1]).arg(maxAddress);
        return options;
    }
    if (!baudRate) {
        options.error = tr("Неверная скорость '%1' (%2..%3)").arg(positional[2]).arg(minBaudRate).arg(maxBaudRate);
        return options;
    }
    options.address = *address;
    options.baudRate = *baudRate;
    // Empty text stands in every row: the check would pass whatever the device shows.
    if (options.expect && options.expect->isEmpty()) {
        options.error = tr("Пустой текст в --expect");
        return options;
    }
    if ((keys || timeout) && !options.expect) {
        options.error = tr("--keys и --timeout действуют только с --expect");
        return options;
    }
    if (keys) {
        const Host::KeySequence sequence = Host::parseKeySequence(keys->toStdString());
        if (!sequence.unknownName.empty()) {
            options.error = tr("Неизвестная клавиша '%1'").arg(QString::fromStdString(sequence.unknownName));
            return options;
        }
        if (sequence.scanCodes.size() > maxKeys) {
            options.error = tr("Больше %1 клавиш в --keys").arg(maxKeys);
            return options;
        }
        options.keys = sequence.scanCodes;
    }
    if (timeout) {
        bool ok = false;
        const double seconds = timeout->toDouble(&ok);
        if (!ok || !(seconds > 0) || seconds > maxTimeout_s) {
            options.error = tr("Неверное время ожидания '%1' (до %2 с)").arg(*timeout).arg(maxTimeout_s);
            return options;
        }
        options.timeout = std::chrono::milliseconds(std::lround(seconds * 1000));
    }
    return options;
}

bool TermOptions::wantsEnglish(const QStringList& arguments)
{
    return ProgramArguments::wantsEnglish(arguments);
}

QString TermOptions::usage() { return tr(usageText); }

} // namespace VPanel::Term
