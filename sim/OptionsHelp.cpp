#include "sim/OptionsHelp.h"

#include "baselib/platform/Console.h"

namespace VPanel::Sim {

bool wantsEnglish(const std::vector<std::string>& arguments)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i].rfind("--lang=", 0) == 0)
            return arguments[i] == "--lang=en";
        if (arguments[i] == "--lang" && i + 1 < arguments.size())
            return arguments[i + 1] == "en";
    }
    return KelConsole::localeWantsEnglish();
}

std::string usage(bool english)
{
    if (english)
        return "Usage: vpanel-devsim [options]\n"
               "Simulated devices with a console on a pseudo-terminal published as port COMn.\n"
               "\n"
               "  --port COMn              the port name (default: the first free from COM100)\n"
               "  --device A[:ID[:MA.MI]]  a device at address A with identifier ID and software\n"
               "                           version MA.MI (default 1:7:1.0); may be repeated\n"
               "  --glyphs N               the number of the console's glyphs (default 8)\n"
               "  --console RxP            a console of R rows (1..4) of P places (1..40), default 4x20\n"
               "  --baud N                 the line rate replies are paced at (default: the one\n"
               "                           the computer set)\n"
               "  --changing-rows          change every row on every poll\n"
               "  --redraw MS              send the whole screen again every MS ms\n"
               "  --no-pace                reply at once, without the transmission delay\n"
               "  --only-own-rate          with --baud: take requests at another rate for noise\n"
               "  --verbose                print every frame in hexadecimal and the libraries'\n"
               "                           trace (without it only under KEL_TRACE=1)\n"
               "  --control                read fault options from standard input\n"
               "  --seed N                 the seed of the fault generator\n"
               "  --replay FILE            answer with the replies of the program's recording\n"
               "                           (vpanel --record), in order for each kind of request\n"
               "  --lang ru|en             the language of this help\n"
               "  --help                   print this help and exit\n"
               "  --version                print the version and exit\n"
               "\n"
               "Faults (also as lines on standard input under --control):\n"
               "  --drop P                 do not answer, with probability P (0..1)\n"
               "  --corrupt P              change one byte of a reply, with probability P\n"
               "  --split P                break a reply by a pause, with probability P\n"
               "  --split-gap MS           the length of that pause (default 60 ms)\n"
               "  --delay MS               delay every reply\n"
               "  --turnaround MS          ignore a request that begins sooner than MS ms after\n"
               "                           the end of the last reply\n"
               "  --wrong-address          answer from another address\n"
               "  --silent-after N         fall silent after N requests\n"
               "  --silent-for MS          stay silent MS ms (without --silent-after: from the first)\n"
               "  --silent-device A        the device at address A answers nothing (repeatable)\n"
               "  --console-version V      report console version V\n"
               "  --console-off            the console is off at start\n"
               "  --device-off-at-stop     the device is off when the session stops\n"
               "  --short-identification   answer the identification with 7 bytes, no software version\n"
               "  --extra-byte CMD         one byte too many in the replies to command CMD (e.g. 0x13)\n"
               "  --cut-exchange           exchange replies end at their first flag byte\n"
               "  --no-faults              (on standard input) clear all faults\n";
    return "Использование: vpanel-devsim [параметры]\n"
           "Имитатор устройств с консолью на псевдотерминале, опубликованном как порт COMn.\n"
           "\n"
           "  --port COMn              имя порта (по умолчанию первое свободное от COM100)\n"
           "  --device A[:ID[:MA.MI]]  устройство с адресом A, идентификатором ID и версией ПО\n"
           "                           MA.MI (по умолчанию 1:7:1.0); можно повторять\n"
           "  --glyphs N               число символьных матриц консоли (по умолчанию 8)\n"
           "  --console RxP            консоль из R строк (1..4) по P мест (1..40), по умолчанию 4x20\n"
           "  --baud N                 скорость линии для выдачи ответов (по умолчанию та,\n"
           "                           что установил компьютер)\n"
           "  --changing-rows          менять все строки при каждом опросе\n"
           "  --redraw MS              передавать весь экран заново каждые MS мс\n"
           "  --no-pace                отвечать сразу, без задержки передачи\n"
           "  --only-own-rate          с --baud: запросы на другой скорости принимать за шум\n"
           "  --verbose                печатать каждый кадр в шестнадцатеричном виде и трассу\n"
           "                           библиотек (без него она видна только при KEL_TRACE=1)\n"
           "  --control                читать параметры неисправностей со стандартного входа\n"
           "  --seed N                 начальное значение генератора неисправностей\n"
           "  --replay ФАЙЛ            отвечать ответами из записи обмена программы (vpanel\n"
           "                           --record) по порядку для каждого вида запроса\n"
           "  --lang ru|en             язык этой справки\n"
           "  --help                   напечатать эту справку и выйти\n"
           "  --version                напечатать версию и выйти\n"
           "\n"
           "Неисправности (также строками на стандартном входе при --control):\n"
           "  --drop P                 не отвечать с вероятностью P (0..1)\n"
           "  --corrupt P              исказить один байт ответа с вероятностью P\n"
           "  --split P                разорвать ответ паузой с вероятностью P\n"
           "  --split-gap MS           длительность паузы разрыва (по умолчанию 60 мс)\n"
           "  --delay MS               задержать каждый ответ\n"
           "  --turnaround MS          не слышать запрос, начатый раньше чем через MS мс после\n"
           "                           конца последнего ответа\n"
           "  --wrong-address          отвечать с чужого адреса\n"
           "  --silent-after N         замолчать после N запросов\n"
           "  --silent-for MS          молчать MS мс (без --silent-after: с первого запроса)\n"
           "  --silent-device A        устройство с адресом A не отвечает (можно повторять)\n"
           "  --console-version V      сообщать версию консоли V\n"
           "  --console-off            консоль выключена при старте\n"
           "  --device-off-at-stop     устройство выключено при остановке\n"
           "  --short-identification   отвечать на идентификацию 7 байтами, без версии ПО\n"
           "  --extra-byte CMD         лишний байт в ответах на команду CMD (например 0x13)\n"
           "  --cut-exchange           ответы обмена обрываются на первом байте флагов\n"
           "  --no-faults              (на стандартном входе) отменить все неисправности\n";
}

} // namespace VPanel::Sim
