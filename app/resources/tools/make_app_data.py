#!/usr/bin/env python3
"""Writes the two data files the program ships beside its executable: the device dictionary
"dictionary.txt" (Windows-1251, CR LF, "identifier TAB name") and the alarm sound "alarm.wav"
(a two-tone signal that loops without a click). Standard library only.

    make_app_data.py            rewrite the files
    make_app_data.py --check    exit 1 when a committed file differs
"""

import argparse
import io
import math
import pathlib
import struct
import sys
import wave

RESOURCES = pathlib.Path(__file__).resolve().parent.parent

# Device identifier -> name. Two kinds were retired and keep their numbers with no name.
DEVICES = [
    (1, "Контроллер котельной КТ-10"),
    (2, "Контроллер котельной КТ-20"),
    (3, "Регулятор температуры РТ-1"),
    (4, "Регулятор температуры РТ-2"),
    (5, "Регулятор давления РД-1"),
    (6, "Регулятор давления РД-4"),
    (7, "Пульт испытательный ПИ-7"),
    (8, "Блок управления насосами БН-2"),
    (9, "Блок управления насосами БН-3"),
    (10, "Шкаф управления вентиляцией ШВ-1"),
    (11, "Шкаф управления вентиляцией ШВ-2"),
    (12, "Счётчик тепла СТ-5"),
    (13, "Счётчик тепла СТ-6"),
    (14, "Расходомер РМ-50"),
    (15, "Расходомер РМ-100"),
    (16, "Уровнемер УМ-3"),
    (17, ""),
    (18, "Сигнализатор загазованности СЗ-1"),
    (19, "Блок защиты двигателя БЗ-7"),
    (20, "Преобразователь частоты ПЧ-11"),
    (21, "Преобразователь частоты ПЧ-22"),
    (22, "Устройство плавного пуска УП-4"),
    (23, "Контроллер освещения КО-8"),
    (24, "Модуль ввода МВ-16"),
    (25, "Модуль вывода МВ-8Р"),
    (26, "Терминал диспетчера ТД-2"),
    (27, "Регулятор влажности РВ-1"),
    (30, "Контроллер холодильной камеры КХ-3"),
    (31, "Контроллер теплового пункта КТП-1"),
    (32, "Контроллер теплового пункта КТП-2"),
    (33, "Блок автоматики горелки БА-5"),
    (34, ""),
    (35, "Весовой терминал ВТ-60"),
    (36, "Дозатор жидкости ДЖ-2"),
    (40, "Регистратор параметров РП-12"),
    (41, "Регистратор параметров РП-24"),
    (42, "Контроллер водоподготовки КВ-1"),
    (43, "Блок управления задвижкой БЗД-1"),
    (44, "Шкаф управления компрессором ШК-3"),
    (45, "Контроллер сушильной камеры КС-2"),
    (50, "Измеритель-регулятор ИР-8"),
    (51, "Измеритель-регулятор ИР-16"),
    (60, "Таймер технологический ТТ-4"),
    (61, "Контроллер печи КП-9"),
    (70, "Пульт оператора ПО-20"),
    (71, "Пульт оператора ПО-40"),
    (100, "Имитатор устройства ИУ-1"),
]

SAMPLE_RATE = 22050
AMPLITUDE = 0.45 * 32767
# One loop: a high tone, a low tone, each with soft edges, then a short rest.
TONES = [(1046.5, 0.22), (784.0, 0.22)]
REST_S = 0.12
EDGE_S = 0.01


def dictionary_bytes():
    assert len(DEVICES) == 47 and sum(1 for _, name in DEVICES if not name) == 2
    assert len({key for key, _ in DEVICES}) == len(DEVICES)
    return b"".join(f"{key}\t{name}\r\n".encode("cp1251") for key, name in DEVICES)


def alarm_bytes():
    samples = []
    for frequency, duration in TONES:
        count = round(duration * SAMPLE_RATE)
        edge = round(EDGE_S * SAMPLE_RATE)
        for i in range(count):
            envelope = min(1.0, i / edge, (count - 1 - i) / edge)
            # A touch of the third harmonic makes it cut through like a buzzer.
            phase = 2 * math.pi * frequency * i / SAMPLE_RATE
            value = math.sin(phase) + 0.25 * math.sin(3 * phase)
            samples.append(round(AMPLITUDE / 1.25 * envelope * value))
    samples += [0] * round(REST_S * SAMPLE_RATE)
    out = io.BytesIO()
    with wave.open(out, "wb") as file:
        file.setnchannels(1)
        file.setsampwidth(2)
        file.setframerate(SAMPLE_RATE)
        file.writeframes(struct.pack(f"<{len(samples)}h", *samples))
    return out.getvalue()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    stale = []
    for name, data in (("dictionary.txt", dictionary_bytes()), ("alarm.wav", alarm_bytes())):
        path = RESOURCES / name
        if args.check:
            if not path.exists() or path.read_bytes() != data:
                stale.append(name)
        else:
            path.write_bytes(data)
    if stale:
        print(f"make_app_data: {', '.join(stale)} differ; run {pathlib.Path(__file__).name}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
