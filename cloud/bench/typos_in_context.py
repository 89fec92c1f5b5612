#!/usr/bin/env python3
"""Typos in context: one keyboard slip in a common word of each of 3000 example sentences
from WordNet's glosses (Debian's wordnet-base), corrected by COMMAND (one sentence a line).
Prints how many slips were fixed to the word meant, left as typed, or changed to another word,
and how many other words changed. A figure for tuning, not a test.

Usage: typos_in_context.py [--seed N] [--count N] -- COMMAND...
       typos_in_context.py --examples    (every example sentence, one a line)
"""
import glob
import json
import random
import re
import subprocess
import sys

ROWS = ["qwertyuiop", "asdfghjkl", "zxcvbnm"]
KEY = {c: (r, i) for r, row in enumerate(ROWS) for i, c in enumerate(row)}


def beside(c):
    r, i = KEY[c]
    return [d for rr, row in enumerate(ROWS) for j, d in enumerate(row)
            if d != c and abs(rr - r) <= 1 and abs(j - i) <= 1]


def slip(rng, w):
    i = rng.randrange(1, len(w))
    kind = rng.choice(["drop", "add", "change", "swap", "double"])
    if kind == "drop":
        return w[:i] + w[i + 1:]
    if kind == "add":
        return w[:i] + rng.choice(beside(w[i])) + w[i:]
    if kind == "change":
        return w[:i] + rng.choice(beside(w[i])) + w[i + 1:]
    if kind == "swap" and i < len(w) - 1:
        return w[:i] + w[i + 1] + w[i] + w[i + 2:]
    return w[:i] + w[i] + w[i:]


def wordnet_examples():
    """The quoted example sentences of WordNet's glosses, 15 to 200 characters, as quoted."""
    for f in sorted(glob.glob("/usr/share/wordnet/data.*")):
        with open(f, encoding="latin-1") as data:
            for line in data:
                for m in re.finditer(r'"([^"]{15,200})"', line):
                    yield m.group(1)


def main():
    args = sys.argv[1:]
    if args == ["--examples"]:
        for s in wordnet_examples():
            print(s.strip())
        return
    seed, count, show = 20261209, 3000, ""
    while args and args[0] != "--":
        flag, value = args[0], args[1]
        args = args[2:]
        if flag == "--seed":
            seed = int(value)
        elif flag == "--count":
            count = int(value)
        elif flag == "--show":  # print the cases of one outcome ("wrong", "kept") to stderr
            show = value
    command = args[1:]
    rng = random.Random(seed)
    common = set()
    for f in glob.glob("/usr/share/dict/scowl/english-words.[123][05]") + \
            glob.glob("/usr/share/dict/scowl/american-words.[123][05]"):
        with open(f, encoding="latin-1") as words:
            common |= {w.strip() for w in words if w.strip().isalpha() and w.strip().islower()}
    sentences = [s.strip() for s in wordnet_examples()
                 if 25 <= len(s) <= 160 and re.fullmatch(r"[A-Za-z ,.;'\-]+", s.strip())]
    rng.shuffle(sentences)
    cases = []
    for s in sentences:
        words = s.split(" ")
        where = [i for i, w in enumerate(words) if w in common and len(w) >= 4]
        if not where:
            continue
        i = rng.choice(where)
        typo = slip(rng, words[i])
        if typo in common or typo == words[i]:
            continue
        typed = list(words)
        typed[i] = typo
        cases.append((" ".join(typed), i, words[i], typo))
        if len(cases) >= count:
            break
    text = "".join(c[0] + "\n" for c in cases)
    out = subprocess.run(command, input=text, capture_output=True, text=True, check=True).stdout.split("\n")
    tally = {"fixed": 0, "kept": 0, "wrong": 0, "other_words_changed": 0}
    for (typed, i, meant, typo), line in zip(cases, out):
        before, after = typed.split(" "), line.split(" ")
        if len(before) != len(after):
            tally["other_words_changed"] += 1
            continue
        got = after[i].strip(".,;").lower()
        outcome = "fixed" if got == meant.lower() else "kept" if got == typo.lower() else "wrong"
        tally[outcome] += 1
        if outcome == show:
            print(f"{meant} -> {typo} -> {after[i]}\t{line}", file=sys.stderr)
        tally["other_words_changed"] += sum(1 for j, (a, b) in enumerate(zip(before, after))
                                            if j != i and a.lower() != b.lower())
    print(json.dumps({"figure": "typos_in_context", "sentences": len(cases), "seed": seed, **tally}))


main()
