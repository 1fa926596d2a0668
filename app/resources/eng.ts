<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>ClosingSnapshot</name>
    <message>
        <source>Не удалось сохранить окно в %1</source>
        <translation>Could not save the window to %1</translation>
    </message>
</context>
<context>
    <name>DevicePanel</name>
    <message>
        <source>Нет устройства</source>
        <translation>No device</translation>
    </message>
    <message>
        <source>%1, адрес %2</source>
        <translation>%1, address %2</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Звук выключен(меню &quot;Настройки&quot;)</source>
        <translation>Sound off(menu Settings)</translation>
    </message>
    <message>
        <source>Отчет о ошибках отключен(меню &quot;Настройки&quot;)</source>
        <translation>Error report off(menu Settings)</translation>
    </message>
    <message>
        <source>Виртуальная клавиатура включена</source>
        <translation>Virtual keypad ON</translation>
    </message>
    <message>
        <source>Виртуальная клавиатура выключена</source>
        <translation>Virtual keyboard disabled</translation>
    </message>
    <message>
        <source>%1 (удалённое)</source>
        <translation>%1 (remote)</translation>
    </message>
</context>
<context>
    <name>LinkEventPresenter</name>
    <message>
        <source>Ошибка: %1</source>
        <translation>Error: %1</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Устройство не отвечает, соединение разорвано! 
 (Проверьте кабель и повторите попытку соединения).</source>
        <translation>The device does not respond, the connection is broken!
  (Check cable and try again).</translation>
    </message>
    <message>
        <source>Устройство отключено пользователем.</source>
        <translation>Device is disabled by the user.</translation>
    </message>
    <message>
        <source>ПУ включена.</source>
        <translation>Control panel ON.</translation>
    </message>
</context>
<context>
    <name>LogWidget</name>
    <message>
        <source>Выберите имя файла</source>
        <translation>Change filename</translation>
    </message>
    <message>
        <source>Файлы лога(*.txt *.log)</source>
        <translation>Logs file(*.txt *.log)</translation>
    </message>
    <message>
        <source>Журнал</source>
        <translation>Log window</translation>
    </message>
    <message>
        <source>Копировать строку</source>
        <translation>Copy string</translation>
    </message>
    <message>
        <source>Сохранить как...</source>
        <translation>Save as...</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Ошибка записи.</source>
        <translation>Write error.</translation>
    </message>
    <message>
        <source>Невозможно создать/перезаписать файл:
 %1</source>
        <translation>Not create/replace file
 %1</translation>
    </message>
    <message>
        <source>Более ранние строки журнала удалены: %1</source>
        <translation>Older journal lines dropped: %1</translation>
    </message>
</context>
<context>
    <name>PasswordInput</name>
    <message>
        <source>Пароль длиннее %1 байт</source>
        <translation>The password is longer than %1 bytes</translation>
    </message>
    <message>
        <source>Пароль: </source>
        <translation>Password: </translation>
    </message>
    <message>
        <source>Не удалось прочитать пароль со стандартного ввода</source>
        <translation>Cannot read the password from standard input</translation>
    </message>
    <message>
        <source>Пустой пароль: на стандартном вводе ожидается строка с паролем</source>
        <translation>Empty password: standard input should hold a line with the password</translation>
    </message>
</context>
<context>
    <name>PortAdvice</name>
    <message>
        <source>Устройство %1 принадлежит группе %2: добавьте пользователя в эту группу (sudo usermod -aG %2 %3) и войдите в систему заново.</source>
        <translation>Device %1 belongs to group %2: add the user to that group (sudo usermod -aG %2 %3) and log in again.</translation>
    </message>
</context>
<context>
    <name>PortCommands</name>
    <message>
        <source>Порт %1 закреплён: %2</source>
        <translation>Port %1 pinned: %2</translation>
    </message>
    <message>
        <source>Порт %1 не закреплён: %2</source>
        <translation>Port %1 not pinned: %2</translation>
    </message>
</context>
<context>
    <name>QOFindDevice</name>
    <message>
        <source>Отсутствует или недоступен файл словаря идентификаторов.</source>
        <translation>Missing or inaccessible dictionary file identifiers.</translation>
    </message>
    <message>
        <source>Все порты</source>
        <translation>All ports</translation>
    </message>
    <message>
        <source>Поиск устройств</source>
        <translation>Search window</translation>
    </message>
    <message>
        <source>COM порт</source>
        <translation>COM port</translation>
    </message>
    <message>
        <source>Скорость передачи</source>
        <translation>Speed transmission</translation>
    </message>
    <message>
        <source>Начальный адрес</source>
        <translation>Begin address</translation>
    </message>
    <message>
        <source>Конечный адрес</source>
        <translation>End address</translation>
    </message>
    <message>
        <source>Начать поиск</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>Остановить</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Найденные устройства</source>
        <translation>Detected devices</translation>
    </message>
    <message>
        <source>Выбрать устройство</source>
        <translation>Select the device</translation>
    </message>
    <message>
        <source>Подробности</source>
        <translation>More details</translation>
    </message>
    <message>
        <source>Некорректный начальный адрес (не может быть больше конечного)</source>
        <translation>Invalid start address (may not be greater than end)</translation>
    </message>
    <message>
        <source>Не найдено ни одного COM порта.</source>
        <translation>No COM port found.</translation>
    </message>
    <message>
        <source>Ошибка: %1 </source>
        <translation>Error: %1</translation>
    </message>
    <message>
        <source>%1 адрес %2 %3</source>
        <translation>%1 address %2 %3</translation>
    </message>
    <message>
        <source>%1 адрес %2 Идентификатор устройства: %3</source>
        <translation>%1 address %2 Device ID: %3</translation>
    </message>
    <message>
        <source>Поиск окончен, выберите устройство для соединения...</source>
        <translation>Search is complete, Select a device to connect to ...</translation>
    </message>
    <message>
        <source>Поиск окончен, устройств не найдено!</source>
        <translation>Search is complete, device not found!</translation>
    </message>
    <message>
        <source>Критическая ошибка, некорректная работа программы.</source>
        <translation>Critical error, incorrect work of the program.</translation>
    </message>
    <message>
        <source>Все скорости</source>
        <translation>All rates</translation>
    </message>
    <message>
        <source>Быстрый поиск</source>
        <translation>Quick search</translation>
    </message>
    <message>
        <source>До первого устройства</source>
        <translation>Stop at the first device</translation>
    </message>
    <message>
        <source> (%1 бод)</source>
        <translation> (%1 baud)</translation>
    </message>
    <message>
        <source>В новой вкладке</source>
        <translation>In a new tab</translation>
    </message>
    <message>
        <source>Порт %1 занят открытым устройством, поиск на нём не ведётся</source>
        <translation>Port %1 is in use by an open device; it is not searched</translation>
    </message>
</context>
<context>
    <name>QOIdentifyThread</name>
    <message>
        <source>%1: скорости, которых порт не принимает, пропущены: %2 бод (%3)</source>
        <translation>%1: rates the port does not take were skipped: %2 baud (%3)</translation>
    </message>
</context>
<context>
    <name>QOInputDevice</name>
    <message>
        <source>Быстрая клавиша - F1</source>
        <translation>Hot key - F1</translation>
    </message>
    <message>
        <source>Быстрая клавиша - F2</source>
        <translation>Hot key - F2</translation>
    </message>
    <message>
        <source>Быстрая клавиша - Backspace, Esc</source>
        <translation>Hot key - Backspace, Esc</translation>
    </message>
    <message>
        <source>Быстрая клавиша - Enter</source>
        <translation>Hot key - Enter</translation>
    </message>
</context>
<context>
    <name>QOProofSettings</name>
    <message>
        <source>Дополнительные настройки</source>
        <translation>Additional settings</translation>
    </message>
    <message>
        <source>Настройки</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Интервал записи</source>
        <translation>Write interval</translation>
    </message>
    <message>
        <source>Пауза перед запросом</source>
        <translation>Pause before request</translation>
    </message>
    <message>
        <source>Ждать интервал после ответа</source>
        <translation>Wait the interval after each reply</translation>
    </message>
    <message>
        <source>Действует со следующего соединения</source>
        <translation>Takes effect from the next connection</translation>
    </message>
    <message>
        <source> мс</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>Ок</source>
        <translation>Ok</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>QORemoteController</name>
    <message>
        <source>Загрузка Велидар...</source>
        <translation>Load Velidar...</translation>
    </message>
    <message>
        <source>Создание индикатора...</source>
        <translation>Create indicator...</translation>
    </message>
    <message>
        <source>О программе</source>
        <translation>About</translation>
    </message>
    <message>
        <source>&quot;Велидар v %1&quot;

2026 ТЕВОЛАН, отдел разработки программного обеспечения</source>
        <translation>&quot;Velidar v %1&quot;

2026 TEVOLAN, software development department</translation>
    </message>
    <message>
        <source>Велидар 1.0</source>
        <translation>Velidar 1.0</translation>
    </message>
    <message>
        <source>Сеанс не запущен</source>
        <translation>Device not connect</translation>
    </message>
    <message>
        <source>Поиск устройств</source>
        <translation>Find device</translation>
    </message>
    <message>
        <source>Файл</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Дисплей</source>
        <translation>Display</translation>
    </message>
    <message>
        <source>Настройки</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Язык/Language</source>
        <translation>Язык/Language</translation>
    </message>
    <message>
        <source>Помощь</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Поиск устройств...</source>
        <translation>Search device...</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Показывать сетку</source>
        <translation>Show grid</translation>
    </message>
    <message>
        <source>Эмулировать шрифт дисплея ВЛД</source>
        <translation>Emulate the font display VLD</translation>
    </message>
    <message>
        <source>Показывать пустые элементы</source>
        <translation>Show empty elements</translation>
    </message>
    <message>
        <source>Отрисовывать пустые елементы</source>
        <translation>Drawing empty element&apos;s</translation>
    </message>
    <message>
        <source>Отключить отчет об ошибках</source>
        <translation>Disable Error Reporting</translation>
    </message>
    <message>
        <source>Отключить звук</source>
        <translation>Disable sound</translation>
    </message>
    <message>
        <source>Показывать журнал...</source>
        <translation>Show log ...</translation>
    </message>
    <message>
        <source>Дополнительные настройки...</source>
        <translation>Additional settings...</translation>
    </message>
    <message>
        <source>Русский</source>
        <translation>Русский</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>О программе...</source>
        <translation>About...</translation>
    </message>
    <message>
        <source>Проф настройки</source>
        <translation>Expert settings</translation>
    </message>
    <message>
        <source>Переподключить</source>
        <translation>Reconnect</translation>
    </message>
    <message>
        <source>Записать обмен...</source>
        <translation>Record exchange...</translation>
    </message>
    <message>
        <source>Копировать экран</source>
        <translation>Copy screen</translation>
    </message>
    <message>
        <source>Сохранить экран...</source>
        <translation>Save screen...</translation>
    </message>
    <message>
        <source>Запись обмена не начата: %1</source>
        <translation>The exchange is not recorded: %1</translation>
    </message>
    <message>
        <source>Запись обмена в %1</source>
        <translation>Recording the exchange to %1</translation>
    </message>
    <message>
        <source>Записать обмен</source>
        <translation>Record exchange</translation>
    </message>
    <message>
        <source>Записи обмена (*.txt);;Все файлы (*)</source>
        <translation>Exchange recordings (*.txt);;All files (*)</translation>
    </message>
    <message>
        <source>Запись обмена остановлена: %1</source>
        <translation>Recording of the exchange stopped: %1</translation>
    </message>
    <message>
        <source>Сохранить экран</source>
        <translation>Save screen</translation>
    </message>
    <message>
        <source>Изображения PNG (*.png)</source>
        <translation>PNG images (*.png)</translation>
    </message>
    <message>
        <source>Не удалось сохранить экран в %1</source>
        <translation>Could not save the screen to %1</translation>
    </message>
    <message>
        <source>%1 — %2</source>
        <translation>%1 — %2</translation>
    </message>
    <message>
        <source>Новая вкладка</source>
        <translation>New tab</translation>
    </message>
    <message>
        <source>Закрыть вкладку</source>
        <translation>Close tab</translation>
    </message>
    <message>
        <source>Нельзя соединиться с брокером %1: %2</source>
        <translation>Cannot connect to the broker %1: %2</translation>
    </message>
    <message>
        <source>Удалённое устройство...</source>
        <translation>Remote device...</translation>
    </message>
</context>
<context>
    <name>QOTransmissionThread</name>
    <message>
        <source>Порт %1 исчез: устройство отключено или кабель вынут.</source>
        <translation>Port %1 has disappeared: the device was unplugged or its cable pulled out.</translation>
    </message>
    <message>
        <source>%1: порт уже открыт на скорости %2 бод, устройство на нём нельзя опрашивать на скорости %3 бод.</source>
        <translation>%1: the port is already open at %2 baud; a device on it cannot be polled at %3 baud.</translation>
    </message>
    <message>
        <source>Ошибка: Пакет идентификации устройства - неверная длина пакета.</source>
        <translation>Error: Package identification device - invalid packet length.</translation>
    </message>
    <message>
        <source>Ошибка: Пакет идентификации консоли - неверная длина пакета.</source>
        <translation>Error: Package identification of the console - incorrect packet length.</translation>
    </message>
    <message>
        <source>Ошибка: Пакет старта - неверная длина пакета.</source>
        <translation>Error: Package start - invalid packet length.</translation>
    </message>
    <message>
        <source>Ошибка: Пакет остановки - неверная длина пакета.</source>
        <translation>Error: Package Stop - invalid packet length.</translation>
    </message>
    <message>
        <source>Ошибка: Пакет обмена - неверная длина пакета.</source>
        <translation>Error: Package sharing - invalid packet length.</translation>
    </message>
    <message>
        <source>Ошибка: Пакет получения символьной матрицы - неверная длина пакета.</source>
        <translation>Error: Package received char matrix - invalid packet length.</translation>
    </message>
    <message>
        <source>Идентификация - удачно.</source>
        <translation>Identification - well.</translation>
    </message>
    <message>
        <source>Идентификация - неудача.</source>
        <translation>Identification - poorly.</translation>
    </message>
    <message>
        <source>Идентификация консоли - успешно.</source>
        <translation>Identification of the console - well.</translation>
    </message>
    <message>
        <source>Идентификация консоли - неудача.</source>
        <translation>Identification of the console - poorly.</translation>
    </message>
    <message>
        <source>Языковой пакет - удачно.</source>
        <translation>Language pack - well.</translation>
    </message>
    <message>
        <source>Языковой пакет - неудача.</source>
        <translation>Language pack - poorly.</translation>
    </message>
    <message>
        <source>Матрица №%1 из %2 считана.</source>
        <translation>Matrix №%1 from%2 read.</translation>
    </message>
    <message>
        <source>Матрица №%1 из %2 не считана.</source>
        <translation>Matrix №%1 from %2 is not read.</translation>
    </message>
    <message>
        <source>Стартовый пакет - удачно.</source>
        <translation>Start packet - well.</translation>
    </message>
    <message>
        <source>Стартовый пакет - неудача.</source>
        <translation>Start packet - poorly.</translation>
    </message>
    <message>
        <source>Отсутствует или нет доступа к файлу словаря идентификаторов.</source>
        <translation>Missing or no access to the dictionary file identifiers.</translation>
    </message>
    <message>
        <source>Общение прервано по неизвестным причинам.</source>
        <translation>Communication is interrupted for reasons unknown.</translation>
    </message>
    <message>
        <source>Устройство не успевает принять запрос сразу после ответа: обмен ведётся с интервалом записи.</source>
        <translation>The device cannot take a request right after its reply: the exchange now keeps the write interval.</translation>
    </message>
    <message>
        <source>Команды не совпадают - Ошибка.</source>
        <translation>Commands do not match - error.</translation>
    </message>
    <message>
        <source>Адреса не совпадают - Ошибка.</source>
        <translation>Address do not match - error.</translation>
    </message>
    <message>
        <source>Контрольная сумма несовпадает - Ошибка.</source>
        <translation>CRC do not match - error.</translation>
    </message>
    <message>
        <source>Ошибка: Пакет обмена - неверный формат пакета.</source>
        <translation>Error: Package sharing - incorrect format of the package.</translation>
    </message>
    <message>
        <source>Идентификация консоли - неудача. (version != 0)</source>
        <translation>Identification of the console - a failure. (version! = 0)</translation>
    </message>
    <message>
        <source>Предупреждение: Стартовый пакет. Контрольная панель выключена.</source>
        <translation>Warning: Starter pack. The control panel is turned off.</translation>
    </message>
    <message>
        <source>Предупреждение: Пакет остановки. Устройство выключено.</source>
        <translation>Warning: The package stops. The device is turned off.</translation>
    </message>
    <message>
        <source>%1, версия ПО - %2.%3</source>
        <translation>%1, software version  -%2.%3</translation>
    </message>
    <message>
        <source>Неизвестный идентификатор устройства, версия ПО - %1.%2</source>
        <translation>Unknown device ID, software version -%1.%2</translation>
    </message>
    <message>
        <source>Идентификация консоли - %1 адрес № %2 Версия: %3 Кол-во строк %4  Кол-во мест %5  Кол-во символьных матриц %6</source>
        <translation>Identification of the console -%1 address №%2 Version:%3 Number of rows%4 Number of symbol place %5 Number of symbolic matrices %6</translation>
    </message>
    <message>
        <source>Консоль включена.</source>
        <translation>Console ON.</translation>
    </message>
    <message>
        <source>Консоль выключена.</source>
        <translation>Console OFF.</translation>
    </message>
    <message>
        <source>Звук вкл.</source>
        <translation>Sound on.</translation>
    </message>
    <message>
        <source>Звук выкл.</source>
        <translation>Sound off.</translation>
    </message>
</context>
<context>
    <name>RemoteAddress</name>
    <message>
        <source>Адрес &apos;%1&apos; должен иметь вид mqtt://УЗЕЛ[:ПОРТ]/ПЛОЩАДКА/УСТРОЙСТВО</source>
        <translation>The address &apos;%1&apos; must read mqtt://HOST[:PORT]/SITE/DEVICE</translation>
    </message>
    <message>
        <source>Адрес брокера &apos;%1&apos; должен иметь вид mqtt://УЗЕЛ[:ПОРТ] или mqtts://УЗЕЛ[:ПОРТ]</source>
        <translation>The broker&apos;s address &apos;%1&apos; must read mqtt://HOST[:PORT] or mqtts://HOST[:PORT]</translation>
    </message>
    <message>
        <source>Имя &apos;%1&apos; должно состоять из 1..%2 латинских букв, цифр и знаков _ . -</source>
        <translation>The name &apos;%1&apos; must be 1..%2 Latin letters, digits and the signs _ . -</translation>
    </message>
</context>
<context>
    <name>RemoteDialog</name>
    <message>
        <source>Удалённое устройство</source>
        <translation>Remote device</translation>
    </message>
    <message>
        <source>Обзор...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>Брокер:</source>
        <translation>Broker:</translation>
    </message>
    <message>
        <source>Файл CA (для mqtts://):</source>
        <translation>CA file (for mqtts://):</translation>
    </message>
    <message>
        <source>Площадка:</source>
        <translation>Site:</translation>
    </message>
    <message>
        <source>Устройство:</source>
        <translation>Device:</translation>
    </message>
    <message>
        <source>Пользователь:</source>
        <translation>User:</translation>
    </message>
    <message>
        <source>Пароль:</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>Запомнить эти параметры</source>
        <translation>Remember these settings</translation>
    </message>
    <message>
        <source>Запомнить и пароль (он хранится открытым текстом в настройках на этом компьютере)</source>
        <translation>Remember the password too (it is stored as plain text in the settings on this computer)</translation>
    </message>
    <message>
        <source>Файл удостоверяющего центра</source>
        <translation>Certificate authority file</translation>
    </message>
</context>
<context>
    <name>RemoteSource</name>
    <message>
        <source>Соединение с брокером %1...</source>
        <translation>Connecting to the broker %1...</translation>
    </message>
    <message>
        <source>Брокер %1: соединение установлено</source>
        <translation>Broker %1: connected</translation>
    </message>
    <message>
        <source>Брокер %1 отказал: неверное имя пользователя или пароль</source>
        <translation>The broker %1 refused: wrong user name or password</translation>
    </message>
    <message>
        <source>Брокер %1 недоступен, повторная попытка...</source>
        <translation>The broker %1 cannot be reached, trying again...</translation>
    </message>
    <message>
        <source>Шлюз: нет сведений об устройстве</source>
        <translation>Gateway: nothing known of the device yet</translation>
    </message>
    <message>
        <source>Шлюз: соединение с устройством</source>
        <translation>Gateway: connecting to the device</translation>
    </message>
    <message>
        <source>Шлюз: устройство на связи</source>
        <translation>Gateway: the device is live</translation>
    </message>
    <message>
        <source>Шлюз: устройство не отвечает</source>
        <translation>Gateway: the device does not answer</translation>
    </message>
    <message>
        <source>Шлюз: порт устройства недоступен</source>
        <translation>Gateway: the device&apos;s port is unavailable</translation>
    </message>
    <message>
        <source>Шлюз не в сети</source>
        <translation>Gateway offline</translation>
    </message>
    <message>
        <source>Шлюз: неизвестное состояние</source>
        <translation>Gateway: unknown state</translation>
    </message>
    <message>
        <source>, повтор через %1 с</source>
        <translation>, retry in %1 s</translation>
    </message>
</context>
<context>
    <name>SearchProgress</name>
    <message>
        <source>%1: %2 бод, адрес %3</source>
        <translation>%1: %2 baud, address %3</translation>
    </message>
    <message>
        <source>%1; осталось около %2 с</source>
        <translation>%1; about %2 s left</translation>
    </message>
</context>
<context>
    <name>ServerOptions</name>
    <message>
        <source>Использование: vpanel-server --users ФАЙЛ --device ИМЯ=ПОРТ,АДРЕС,СКОРОСТЬ [--device ...] [параметры]
               vpanel-server --users ФАЙЛ --add-user ИМЯ --role operator|viewer
               vpanel-server --users ФАЙЛ --remove-user ИМЯ
Пульты устройств в браузере: связь с каждым устройством и веб-страницы для операторов.

  --config ФАЙЛ        настройки из INI-файла; параметры командной строки важнее
  --users ФАЙЛ         файл пользователей (права 600)
  --device ИМЯ=ПОРТ,АДРЕС,СКОРОСТЬ  устройство; ИМЯ входит в адрес его страницы
  --listen АДРЕС:ПОРТ  где принимать соединения (по умолчанию 127.0.0.1:8080;
                       IPv6 в скобках: [::1]:8080)
  --cert ФАЙЛ          сертификат TLS (PEM); с --key нужен на любом адресе,
                       кроме локального
  --key ФАЙЛ           закрытый ключ TLS (PEM) к сертификату
  --insecure-http      разрешить HTTP без TLS на нелокальном адресе
  --add-user ИМЯ       добавить пользователя или сменить ему пароль и роль;
                       пароль читается из стандартного ввода (одна строка)
  --role operator|viewer  роль для --add-user: оператор нажимает клавиши,
                       наблюдатель только смотрит
  --remove-user ИМЯ    удалить пользователя
  --lang ru|en         язык программы
  --help               эта справка
  --version            версия программы

Файл настроек:
  [server]
  users=/etc/vpanel/users
  listen=0.0.0.0:8443
  cert=server.crt
  key=server.key
  [devices]
  press1=COM1,1,9600
</source>
        <translation>Usage: vpanel-server --users FILE --device NAME=PORT,ADDRESS,BAUD [--device ...] [options]
       vpanel-server --users FILE --add-user NAME --role operator|viewer
       vpanel-server --users FILE --remove-user NAME
Devices&apos; panels in a browser: a link to each device and web pages for its operators.

  --config FILE        settings from an INI file; the command line wins over it
  --users FILE         the users file (mode 600)
  --device NAME=PORT,ADDRESS,BAUD  a device; NAME is part of its page&apos;s address
  --listen ADDRESS:PORT  where to accept connections (default 127.0.0.1:8080;
                       IPv6 in brackets: [::1]:8080)
  --cert FILE          the TLS certificate (PEM); with --key, needed on any
                       address but the local one
  --key FILE           the certificate&apos;s private TLS key (PEM)
  --insecure-http      allow HTTP without TLS on a non-local address
  --add-user NAME      add a user or change their password and role;
                       the password is read from standard input (one line)
  --role operator|viewer  the role for --add-user: an operator presses keys,
                       a viewer only watches
  --remove-user NAME   remove a user
  --lang ru|en         the program&apos;s language
  --help               this help
  --version            the program&apos;s version

Configuration file:
  [server]
  users=/etc/vpanel/users
  listen=0.0.0.0:8443
  cert=server.crt
  key=server.key
  [devices]
  press1=COM1,1,9600
</translation>
    </message>
    <message>
        <source>Файл настроек %1: неизвестный ключ %2 в [server]</source>
        <translation>Configuration file %1: unknown key %2 in [server]</translation>
    </message>
    <message>
        <source>Файл настроек %1 не найден или недоступен для чтения</source>
        <translation>Configuration file %1 is missing or cannot be read</translation>
    </message>
    <message>
        <source>Файл настроек %1 больше %2 байт</source>
        <translation>Configuration file %1 is larger than %2 bytes</translation>
    </message>
    <message>
        <source>Файл настроек %1: ошибка формата INI</source>
        <translation>Configuration file %1: not in INI format</translation>
    </message>
    <message>
        <source>Файл настроек %1: неизвестный раздел [%2] (допустимы [server] и [devices])</source>
        <translation>Configuration file %1: unknown section [%2] ([server] or [devices])</translation>
    </message>
    <message>
        <source>Файл настроек %1: ключ %2 вне раздела</source>
        <translation>Configuration file %1: key %2 outside a section</translation>
    </message>
    <message>
        <source>Неверное значение %1=&apos;%2&apos; (допустимы true и false)</source>
        <translation>Wrong value %1=&apos;%2&apos; (true or false)</translation>
    </message>
    <message>
        <source>Неверный адрес &apos;%1&apos; для --listen: ожидается АДРЕС:ПОРТ, например 0.0.0.0:8443 или [::]:8443</source>
        <translation>Wrong address &apos;%1&apos; for --listen: ADDRESS:PORT expected, e.g. 0.0.0.0:8443 or [::]:8443</translation>
    </message>
    <message>
        <source>Устройство %1 указано дважды</source>
        <translation>Device %1 is given twice</translation>
    </message>
    <message>
        <source>--cert и --key указываются вместе: сертификат TLS и его закрытый ключ</source>
        <translation>--cert and --key go together: the TLS certificate and its private key</translation>
    </message>
    <message>
        <source>Адрес %1 доступен не только с этого компьютера: укажите --cert ФАЙЛ и --key ФАЙЛ для TLS или, только в доверенной сети, --insecure-http</source>
        <translation>Address %1 is reachable from other computers: give --cert FILE and --key FILE for TLS or, on a trusted network only, --insecure-http</translation>
    </message>
    <message>
        <source>Не указан файл пользователей: --users ФАЙЛ</source>
        <translation>No users file: --users FILE</translation>
    </message>
    <message>
        <source>--add-user и --remove-user нельзя указать вместе</source>
        <translation>--add-user and --remove-user cannot be given together</translation>
    </message>
    <message>
        <source>--add-user требует --role operator или --role viewer</source>
        <translation>--add-user needs --role operator or --role viewer</translation>
    </message>
    <message>
        <source>--role действует только с --add-user</source>
        <translation>--role applies only with --add-user</translation>
    </message>
    <message>
        <source>Неизвестный язык &apos;%1&apos; (допустимы ru и en)</source>
        <translation>Unknown language &apos;%1&apos; (ru or en)</translation>
    </message>
    <message>
        <source>Не указано ни одного устройства: --device ИМЯ=ПОРТ,АДРЕС,СКОРОСТЬ</source>
        <translation>No device given: --device NAME=PORT,ADDRESS,BAUD</translation>
    </message>
    <message>
        <source>Не указано значение после %1</source>
        <translation>No value after %1</translation>
    </message>
    <message>
        <source>--config указан дважды</source>
        <translation>--config is given twice</translation>
    </message>
    <message>
        <source>Неизвестный параметр &apos;%1&apos;</source>
        <translation>Unknown option &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Лишний аргумент &apos;%1&apos;</source>
        <translation>Unexpected argument &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Неизвестная роль &apos;%1&apos; (допустимы operator и viewer)</source>
        <translation>Unknown role &apos;%1&apos; (operator or viewer)</translation>
    </message>
</context>
<context>
    <name>StartOptions</name>
    <message>
        <source>Не указан язык после --lang</source>
        <translation>No language after --lang</translation>
    </message>
    <message>
        <source>Неизвестный язык &apos;%1&apos; (допустимы ru и en)</source>
        <translation>Unknown language &apos;%1&apos; (ru or en)</translation>
    </message>
    <message>
        <source>После --connect нужны порт, адрес и скорость</source>
        <translation>--connect needs a port, an address and a baud rate</translation>
    </message>
    <message>
        <source>Неверный адрес &apos;%1&apos; (0..%2)</source>
        <translation>Invalid address &apos;%1&apos; (0..%2)</translation>
    </message>
    <message>
        <source>Неверная скорость &apos;%1&apos; (%2..%3)</source>
        <translation>Invalid baud rate &apos;%1&apos; (%2..%3)</translation>
    </message>
    <message>
        <source>Не указан порт после --pin-port</source>
        <translation>No port after --pin-port</translation>
    </message>
    <message>
        <source>Неизвестный параметр &apos;%1&apos;</source>
        <translation>Unknown option &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Не указан файл после %1</source>
        <translation>No file given after %1</translation>
    </message>
    <message>
        <source>Использование: vpanel [--lang ru|en] [--connect ПОРТ АДРЕС СКОРОСТЬ] [--list-ports]
              [--pin-port ПОРТ] [--remote mqtt://УЗЕЛ[:ПОРТ]/ПЛОЩАДКА/УСТРОЙСТВО]
              [--record ФАЙЛ] [--print-display]
              [--save-window ФАЙЛ] [--help] [--version]
  --lang en       интерфейс на английском языке
  --connect ...   сразу соединиться с устройством, например: --connect COM3 1 115200;
                  повторенный, открывает каждое устройство в своей вкладке
  --remote ...    открыть устройство шлюза через брокер MQTT (mqtts:// для TLS);
                  имя и пароль из запомненных настроек, иначе их спросит окно
  --list-ports    перечислить порты: имя, устройство, постоянное имя, описание
  --pin-port ПОРТ закрепить за адаптером его имя COMn в любом гнезде USB
  --record ФАЙЛ   записывать обмен с устройством в файл (vpanel-devsim --replay
                  воспроизводит его)
  --print-display печатать строки дисплея со временем при каждом их изменении
  --save-window ФАЙЛ сохранить окно в PNG при выходе
  --help          эта справка
  --version       версия программы
</source>
        <translation>Usage: vpanel [--lang ru|en] [--connect PORT ADDRESS BAUD] [--list-ports]
              [--pin-port PORT] [--remote mqtt://HOST[:PORT]/SITE/DEVICE]
              [--record FILE] [--print-display]
              [--save-window FILE] [--help] [--version]
  --lang en       English interface
  --connect ...   connect to a device at once, for example: --connect COM3 1 115200;
                  given again, opens each device in a tab of its own
  --remote ...    open a gateway&apos;s device through the MQTT broker (mqtts:// for TLS);
                  user and password from the remembered settings, else the window asks
  --list-ports    list the ports: name, device, stable name, description
  --pin-port PORT keep the adapter&apos;s COMn name in any USB socket
  --record FILE   record the exchange with the device to the file (vpanel-devsim --replay
                  plays it back)
  --print-display print the display&apos;s rows with the time whenever they change
  --save-window FILE save the window as a PNG on exit
  --help          this help
  --version       program version
</translation>
    </message>
    <message>
        <source>Не указан адрес после --remote</source>
        <translation>No address after --remote</translation>
    </message>
</context>
<context>
    <name>StatusTexts</name>
    <message>
        <source>Связь есть</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>Нет связи</source>
        <translation>Not connected</translation>
    </message>
    <message>
        <source>Соединение...</source>
        <translation>Connecting...</translation>
    </message>
    <message>
        <source>Консоль выключена</source>
        <translation>Console off</translation>
    </message>
    <message>
        <source>ТРЕВОГА</source>
        <translation>ALARM</translation>
    </message>
    <message>
        <source>Стрелки Enter Esc/Backspace F1 F2 0-9: клавиши устройства   Ctrl+C: выход</source>
        <translation>Arrows Enter Esc/Backspace F1 F2 0-9: device keys   Ctrl+C: quit</translation>
    </message>
    <message>
        <source>Нужен терминал (или --expect для работы без него)</source>
        <translation>A terminal is needed (or --expect to run without one)</translation>
    </message>
    <message>
        <source>Терминал TERM=&apos;%1&apos; неизвестен или не умеет перемещать курсор</source>
        <translation>Terminal TERM=&apos;%1&apos; is unknown or cannot move its cursor</translation>
    </message>
</context>
<context>
    <name>TermOptions</name>
    <message>
        <source>Использование: vpanel-term ПОРТ АДРЕС СКОРОСТЬ [параметры]
Пульт устройства в терминале: дисплей, строка состояния и клавиши. Стрелки, Enter,
Esc/Backspace, F1, F2 и цифры нажимают клавиши устройства, Ctrl+C завершает работу.

  --keys КЛАВИШИ  с --expect: нажать клавиши после старта, например &quot;F1 Down Enter&quot;
                  (Up Down Left Right Enter Esc Backspace F1 F2 0..9)
  --expect ТЕКСТ  без терминала: ждать ТЕКСТ на дисплее, напечатать дисплей и выйти
                  с кодом 0, если он появился, 1, если нет, 2 при отказе связи
  --timeout С     сколько секунд после старта связи ждать текст (по умолчанию 10)
  --lang ru|en    язык программы и этой справки
  --help          эта справка
  --version       версия программы
</source>
        <translation>Usage: vpanel-term PORT ADDRESS BAUD [options]
A device&apos;s panel in a terminal: its display, a state line and its keys. Arrows, Enter,
Esc/Backspace, F1, F2 and digits press the device&apos;s keys, Ctrl+C quits.

  --keys KEYS     with --expect: press the keys once the link is up, e.g. &quot;F1 Down Enter&quot;
                  (Up Down Left Right Enter Esc Backspace F1 F2 0..9)
  --expect TEXT   without a terminal: wait for TEXT on the display, print the display and
                  exit with 0 when it appeared, 1 when it did not, 2 when the link failed
  --timeout S     how many seconds to wait for the text once the link is up
                  (default 10)
  --lang ru|en    the language of the program and of this help
  --help          this help
  --version       the program&apos;s version
</translation>
    </message>
    <message>
        <source>Не указано значение после %1</source>
        <translation>No value after %1</translation>
    </message>
    <message>
        <source>Неизвестный язык &apos;%1&apos; (допустимы ru и en)</source>
        <translation>Unknown language &apos;%1&apos; (ru or en)</translation>
    </message>
    <message>
        <source>Неизвестный параметр &apos;%1&apos;</source>
        <translation>Unknown option &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Нужны порт, адрес и скорость</source>
        <translation>A port, an address and a baud rate are needed</translation>
    </message>
    <message>
        <source>Неверный адрес &apos;%1&apos; (0..%2)</source>
        <translation>Invalid address &apos;%1&apos; (0..%2)</translation>
    </message>
    <message>
        <source>Неверная скорость &apos;%1&apos; (%2..%3)</source>
        <translation>Invalid baud rate &apos;%1&apos; (%2..%3)</translation>
    </message>
    <message>
        <source>--keys и --timeout действуют только с --expect</source>
        <translation>--keys and --timeout work only with --expect</translation>
    </message>
    <message>
        <source>Неизвестная клавиша &apos;%1&apos;</source>
        <translation>Unknown key &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Больше %1 клавиш в --keys</source>
        <translation>More than %1 keys in --keys</translation>
    </message>
    <message>
        <source>Неверное время ожидания &apos;%1&apos; (до %2 с)</source>
        <translation>Invalid timeout &apos;%1&apos; (up to %2 s)</translation>
    </message>
    <message>
        <source>Пустой текст в --expect</source>
        <translation>Empty text in --expect</translation>
    </message>
</context>
<context>
    <name>DeviceSpec</name>
    <message>
        <source>Устройство &apos;%1&apos;: %2</source>
        <translation>Device &apos;%1&apos;: %2</translation>
    </message>
    <message>
        <source>ожидается ИМЯ=ПОРТ,АДРЕС,СКОРОСТЬ, например press1=COM7,1,115200</source>
        <translation>expected NAME=PORT,ADDRESS,BAUD, for example press1=COM7,1,115200</translation>
    </message>
    <message>
        <source>после &apos;=&apos; ожидаются порт, адрес и скорость через запятую</source>
        <translation>expected the port, address and baud rate after &apos;=&apos;, separated by commas</translation>
    </message>
    <message>
        <source>имя из 1..%1 латинских букв, цифр, &apos;_&apos;, &apos;.&apos; и &apos;-&apos;</source>
        <translation>the name must be 1..%1 Latin letters, digits, &apos;_&apos;, &apos;.&apos; and &apos;-&apos;</translation>
    </message>
    <message>
        <source>порт &apos;%1&apos; не годится: ожидается имя вида COM7</source>
        <translation>port &apos;%1&apos; cannot be used: expected a name like COM7</translation>
    </message>
    <message>
        <source>адрес &apos;%1&apos; вне %2..%3</source>
        <translation>address &apos;%1&apos; is outside %2..%3</translation>
    </message>
    <message>
        <source>скорость &apos;%1&apos; не из %2</source>
        <translation>baud rate &apos;%1&apos; is not one of %2</translation>
    </message>
</context>
<context>
    <name>WebPanel</name>
    <message>
        <source>Велидар</source>
        <translation>Velidar</translation>
    </message>
    <message>
        <source>Вы вошли: %1 (%2)</source>
        <translation>Signed in: %1 (%2)</translation>
    </message>
    <message>
        <source>оператор</source>
        <translation>operator</translation>
    </message>
    <message>
        <source>наблюдатель</source>
        <translation>viewer</translation>
    </message>
    <message>
        <source>Выйти</source>
        <translation>Log out</translation>
    </message>
    <message>
        <source>Нет связи с сервером.</source>
        <translation>No connection to the server.</translation>
    </message>
    <message>
        <source>Вход</source>
        <translation>Sign in</translation>
    </message>
    <message>
        <source>Пользователь</source>
        <translation>User</translation>
    </message>
    <message>
        <source>Пароль</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Войти</source>
        <translation>Sign in</translation>
    </message>
    <message>
        <source>Неверное имя пользователя или пароль.</source>
        <translation>Wrong user name or password.</translation>
    </message>
    <message>
        <source>Слишком много неудачных попыток входа. Подождите минуту и попробуйте снова.</source>
        <translation>Too many failed sign-ins. Wait a minute and try again.</translation>
    </message>
    <message>
        <source>Сервер ответил ошибкой %1. Попробуйте позже.</source>
        <translation>The server answered with error %1. Try again later.</translation>
    </message>
    <message>
        <source>Устройства</source>
        <translation>Devices</translation>
    </message>
    <message>
        <source>Сервер не опрашивает ни одного устройства.</source>
        <translation>The server polls no devices.</translation>
    </message>
    <message>
        <source>Устройство не отвечает</source>
        <translation>The device does not answer</translation>
    </message>
    <message>
        <source>Порт недоступен</source>
        <translation>The port is unavailable</translation>
    </message>
    <message>
        <source>повтор через %1 с</source>
        <translation>retry in %1 s</translation>
    </message>
    <message>
        <source>Устройство</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>Все устройства</source>
        <translation>All devices</translation>
    </message>
    <message>
        <source>Нет связи с сервером, повтор через %1 с</source>
        <translation>No connection to the server; retrying in %1 s</translation>
    </message>
    <message>
        <source>Только просмотр: клавиши нажимают операторы.</source>
        <translation>View only: operators press the keys.</translation>
    </message>
    <message>
        <source>Вверх</source>
        <translation>Up</translation>
    </message>
    <message>
        <source>Вниз</source>
        <translation>Down</translation>
    </message>
    <message>
        <source>Влево</source>
        <translation>Left</translation>
    </message>
    <message>
        <source>Вправо</source>
        <translation>Right</translation>
    </message>
</context>
<context>
    <name>UserStore</name>
    <message>
        <source>Недопустимое имя пользователя &apos;%1&apos;: от 1 до %2 знаков из A-Z a-z 0-9 _ . @ -</source>
        <translation>Invalid user name &apos;%1&apos;: 1 to %2 characters of A-Z a-z 0-9 _ . @ -</translation>
    </message>
    <message>
        <source>Не удалось открыть файл пользователей %1: %2</source>
        <translation>Cannot open the users file %1: %2</translation>
    </message>
    <message>
        <source>Не удалось прочитать файл пользователей %1: %2</source>
        <translation>Cannot read the users file %1: %2</translation>
    </message>
    <message>
        <source>Файл пользователей %1 не является обычным файлом</source>
        <translation>The users file %1 is not a regular file</translation>
    </message>
    <message>
        <source>Файл пользователей %1 доступен группе или другим пользователям; выполните chmod 600 %1</source>
        <translation>The users file %1 can be read by its group or by others; run chmod 600 %1</translation>
    </message>
    <message>
        <source>Файл пользователей %1 больше %2 байт</source>
        <translation>The users file %1 is larger than %2 bytes</translation>
    </message>
    <message>
        <source>Файл пользователей %1, строка %2: %3; ожидается «ИМЯ РОЛЬ ХЕШ»</source>
        <translation>Users file %1, line %2: %3; “NAME ROLE HASH” expected</translation>
    </message>
    <message>
        <source>нужны три поля через пробел</source>
        <translation>three fields separated by spaces are needed</translation>
    </message>
    <message>
        <source>недопустимое имя</source>
        <translation>invalid name</translation>
    </message>
    <message>
        <source>неизвестная роль (допустимы operator и viewer)</source>
        <translation>unknown role (operator or viewer)</translation>
    </message>
    <message>
        <source>хеш не в формате Argon2id</source>
        <translation>the hash is not in Argon2id form</translation>
    </message>
    <message>
        <source>имя %1 уже встречалось</source>
        <translation>name %1 came before</translation>
    </message>
    <message>
        <source>Пустой пароль</source>
        <translation>Empty password</translation>
    </message>
    <message>
        <source>Пароль длиннее %1 байт</source>
        <translation>The password is longer than %1 bytes</translation>
    </message>
    <message>
        <source>Не удалось записать файл пользователей %1: %2</source>
        <translation>Cannot write the users file %1: %2</translation>
    </message>
</context>
</TS>
