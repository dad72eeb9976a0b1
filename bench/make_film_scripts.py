#!/usr/bin/env python3
"""Writes a pair of two-hour scripts like a film's: about 1,500 Chinese lines
for the top and 1,500 English lines for the bottom, one or two rows each,
overlapping as dialogue does.  Usage: make_film_scripts.py OUT_DIR"""
import os
import random
import sys

ZH = "我们你他她这那是不了在有人来去说要会好看走天水船灯风夜海岸城门路山"
EN = ("the we you they is not are go come night water boat light wind sea shore "
      "city gate road hill long way home wait stay leave now never always").split()


def stamp(ms):
    return "%02d:%02d:%02d,%03d" % (ms // 3600000, ms // 60000 % 60, ms // 1000 % 60, ms % 1000)


def write(path, lines):
    with open(path, "w", encoding="utf-8", newline="\n") as out:
        for number, (start, end, text) in enumerate(lines, 1):
            out.write("%d\n%s --> %s\n%s\n\n" % (number, stamp(start), stamp(end), text))


def main():
    target = sys.argv[1]
    os.makedirs(target, exist_ok=True)
    rng = random.Random(2026)
    top, bottom = [], []
    at = 5000
    while len(top) < 1500:
        length = rng.randint(1500, 4200)
        rows = 1 if rng.random() < 0.7 else 2
        zh = "\n".join("".join(rng.choice(ZH) for _ in range(rng.randint(6, 16))) + "。"
                       for _ in range(rows))
        en = "\n".join(" ".join(rng.choice(EN) for _ in range(rng.randint(4, 9))).capitalize() + "."
                       for _ in range(rows))
        top.append((at, at + length, zh))
        # The English line starts a little before or after the Chinese one,
        # but never before the previous English line has ended.
        start = max(at + rng.randint(-300, 300), bottom[-1][1] + 40 if bottom else 0)
        bottom.append((start, start + length + rng.randint(-200, 200), en))
        at += length + rng.randint(300, 1800)
    write(os.path.join(target, "film-zh.srt"), top)
    write(os.path.join(target, "film-en.srt"), bottom)


if __name__ == "__main__":
    main()
