#!/usr/bin/python3
"""Plants errors of every kind the diagnosis explains in a bank list and its ledger, runs
`quorvane compare --report` on them, and scores the report against what was planted.

The bank list holds ITEMS amounts (1.00 to 99,999.99, seven in ten payments); the ledger is a copy
in which one entry in twenty (SHARE) carries a planted error, taken in turn: a sign error, a decimal
slide (times or a tenth or a hundredth of 10 or 100), two exchanged digits, a split into two or
three entries of the same sign, a merge of two or three, or an omission (an entry in one list only,
alternately the bank's and the ledger's). The ledger is shuffled. With --moved N no error is planted:
N entries of the ledger are moved by 0.01 (as bench/xlsx_workload.py does), and every finding of
the second stage is wrong. --largest sets the largest amount. Both lists are CSV files of one
column, written with two decimals, as the statements of a bank are ("59.10" reads as 59.1). What was
planted goes to truth.json beside them.

Printed per kind: planted; explained (a finding of that kind on the group's cells naming exactly the
planted partners; the first stage's "transposition" counts for the transpositions and for slides
whose texts keep their length); "among others", for the pair kinds, the pairs not explained so
because a cell names the right partner and another cell besides (the first stage's character test
pairs any two amounts written with the same characters); and the wrong findings (a finding on an
omission, or naming a cell outside its planted group; "of them first" are the first stage's, those
of the run without the search), counted once per pair of cells, apart from the "stand-ins": those
naming cells with the amounts, side by side, of a planted group that such a finding explains (which
of equal amounts was planted, nothing can tell). Then the run's time with the search that explains
more (on by default) and without it (--no-explain-more) when the tool has that option: with
--rounds R, R runs of each in turn, their medians and the median of the R paired ratios.

usage: explain_planted.py [--items N] [--share S] [--seed K] [--dir DIR] [--quorvane PATH]
                          [--option FLAG] [--amounts uniform|log] [--rounds R]
                          [--moved N] [--largest AMOUNT]
"""
import argparse
import json
import math
import os
import random
import statistics
import subprocess
import sys
import time

KINDS = ["sign", "slide", "transposition", "split", "merge", "omission"]
# What the report may call each finding. The first stage's transposition counts for a planted
# transposition, and for a slide whose texts keep their length (45.67 against 456.7): the first
# stage names the right partner there, and the second stage does not report that pair again.
PAIRS = ("sign", "slide", "transposition")
FOUND = {"sign": ("sign",), "slide": ("slide", "transposition"),
         "transposition": ("transposition",), "split": ("split",), "merge": ("merge",)}


def amount(rng, log, largest=9999999):
    if log:
        cents = max(100, round(math.exp(rng.uniform(0, math.log(largest / 100))) * 100))
    else:
        cents = rng.randint(100, largest)
    return -cents if rng.randint(0, 9) < 7 else cents


def exchange(cents, rng):
    """The amount with two of its digits exchanged, or None when no exchange keeps its length."""
    digits = list(str(abs(cents)).rjust(3, "0"))
    near, far = [], []
    for i in range(len(digits)):
        for j in range(i + 1, len(digits)):
            if digits[i] == digits[j] or (i == 0 and digits[j] == "0" and len(digits) > 3):
                continue
            (near if j == i + 1 else far).append((i, j))
    pool = near if (not far or (near and rng.randint(0, 2) != 0)) else far
    if not pool:
        return None
    i, j = rng.choice(pool)
    digits[i], digits[j] = digits[j], digits[i]
    value = int("".join(digits))
    return -value if cents < 0 else value


def parts(total, k, rng):
    whole = abs(total)
    cuts = sorted(rng.sample(range(1, whole), k - 1))
    pieces = [b - a for a, b in zip([0] + cuts, cuts + [whole])]
    return [-p if total < 0 else p for p in pieces]


def generate(items, share, seed, log, moved=0, largest=9999999):
    """The bank list, the ledger (amounts in cents) and the planted groups: kind, bank positions,
    ledger positions (0-based). With `moved`, no error: that many entries moved by 0.01."""
    rng = random.Random(seed)
    bank = [amount(rng, log, largest) for _ in range(items)]
    if moved:
        ledger = list(bank)
        chosen = rng.sample(range(items), moved)
        for i in chosen:
            ledger[i] += 1 if ledger[i] > 0 else -1
        place = list(range(items))
        rng.shuffle(place)
        position = {entry: p for p, entry in enumerate(place)}
        groups = [{"kind": "moved", "bank": [i], "ledger": [position[i]]} for i in chosen]
        return bank, [ledger[e] for e in place], groups
    order = list(range(items))
    rng.shuffle(order)
    ledger = []  # (cents, group)
    groups = []
    planted = set()
    nxt = 0
    for k in range(round(items * share)):
        if nxt + 3 > items:
            break
        kind = KINDS[k % len(KINDS)]
        group = {"kind": kind, "bank": [order[nxt]], "ledger": []}
        nxt += 1
        b = group["bank"][0]

        def add(cents, group=group):
            group["ledger"].append(len(ledger))
            ledger.append((cents, len(groups)))

        if kind == "sign":
            add(-bank[b])
        elif kind == "slide":
            way = rng.randint(0, 3)
            if way < 2:
                add(bank[b] * (10 if way == 0 else 100))
            else:
                step = 10 if way == 2 else 100
                bank[b] -= int(math.copysign(abs(bank[b]) % step, bank[b]))
                if bank[b] == 0:
                    bank[b] = 100 * step
                add(bank[b] // step if bank[b] > 0 else -(-bank[b] // step))
        elif kind == "transposition":
            swapped = exchange(bank[b], rng)
            while swapped is None:
                bank[b] = amount(rng, log)
                swapped = exchange(bank[b], rng)
            add(swapped)
        elif kind == "split":
            for part in parts(bank[b], rng.randint(2, 3), rng):
                add(part)
        elif kind == "merge":
            total = bank[b]
            for _ in range(rng.randint(1, 2)):
                p = order[nxt]
                nxt += 1
                if (bank[p] < 0) != (bank[b] < 0):
                    bank[p] = -bank[p]
                group["bank"].append(p)
                total += bank[p]
            add(total)
        elif (k // len(KINDS)) % 2 == 1:  # an omission of the bank's: an entry of the ledger only
            group["bank"] = []
            nxt -= 1
            add(amount(rng, log))
        planted.update(group["bank"])
        groups.append(group)
    ledger += [(bank[i], -1) for i in range(items) if i not in planted]
    place = list(range(len(ledger)))
    rng.shuffle(place)  # place[new position] = entry
    position = {entry: p for p, entry in enumerate(place)}
    for group in groups:
        group["ledger"] = [position[e] for e in group["ledger"]]
    return bank, [ledger[e][0] for e in place], groups


def text(cents):
    sign = "-" if cents < 0 else ""
    return "%s%d.%02d" % (sign, abs(cents) // 100, abs(cents) % 100)


def address(position):
    return "A%d" % (position + 1)


def write_csv(path, amounts):
    with open(path, "w", newline="") as out:
        for cents in amounts:
            out.write(text(cents) + "\r\n")


def plain(cell):
    """A7 of "[ledger.csv]ledger!$A$7", "Sheet!$A$7", "$A$7" or "A7"."""
    return cell.strip().rsplit("!", 1)[-1].replace("$", "")


def claims(report):
    """(range, cell, kind, partner cell) for every finding the report names."""
    found = []
    for record in report:
        kinds = [k.strip() for k in record.get("diagnosis", "").split(";") if k.strip()]
        partners = [plain(p) for p in record.get("partner", "").split(";") if p.strip()]
        if not kinds:
            continue
        if len(kinds) != len(partners):
            # One kind named once for all its partners.
            if len(set(kinds)) != 1:
                continue
            kinds = kinds[:1] * len(partners)
        for kind, partner in zip(kinds, partners):
            found.append((int(record["range"]), plain(record["cell"]), kind, partner))
    return found


def score(groups, report, bank, ledger):
    amounts = {1: bank, 2: ledger}
    where = {}  # (range, cell) -> group number
    for number, group in enumerate(groups):
        for b in group["bank"]:
            where[(1, address(b))] = number
        for l in group["ledger"]:
            where[(2, address(l))] = number
    planted = [({bank[b] for b in g["bank"]}, {ledger[l] for l in g["ledger"]}) for g in groups]

    def stands_in(kind, cells):
        """Whether the cells have the amounts, side by side, of a planted group that a finding of
        this kind explains: which of equal amounts was planted, nothing can tell."""
        for group, (on1, on2) in zip(groups, planted):
            if kind in FOUND.get(group["kind"], ()) and all(
                    amounts[s][int(c[1:]) - 1] in (on1 if s == 1 else on2) for s, c in cells):
                return True
        return False

    partners = {}  # (range, cell, kind) -> set of partner cells
    wrong = {}
    stand_ins = {}
    seen = set()
    for rng, cell, kind, partner in claims(report):
        partners.setdefault((rng, cell, kind), set()).add(partner)
        other = 3 - rng
        pair = (kind,) + tuple(sorted([(rng, cell), (other, partner)]))
        if pair in seen:
            continue
        seen.add(pair)
        here, there = where.get((rng, cell)), where.get((other, partner))
        if here is None or here != there or groups[here]["kind"] not in FOUND:
            if stands_in(kind, [(rng, cell), (other, partner)]):
                stand_ins[kind] = stand_ins.get(kind, 0) + 1
            else:
                wrong[kind] = wrong.get(kind, 0) + 1
    explained = {}
    among = {}  # pairs named with the right partner and another besides
    for group in groups:
        kind = group["kind"]
        if kind not in FOUND:
            continue
        bank = {address(b) for b in group["bank"]}
        ledger = {address(l) for l in group["ledger"]}
        # The total of a split or merge names every part; each part names the total.
        if kind == "merge":
            anchor, anchor_side, others, others_side = ledger, 2, bank, 1
        else:
            anchor, anchor_side, others, others_side = bank, 1, ledger, 2
        def names_exactly(name):
            ok = all(partners.get((anchor_side, a, name), set()) == others for a in anchor)
            for o in others:
                named = partners.get((others_side, o, name), set())
                ok = ok and bool(named & anchor) and named <= (anchor | others)
            return ok

        def names_among_others(name):
            """For a pair: each names the other, and one of them another cell besides."""
            (a,), (o,) = anchor, others
            return (o in partners.get((anchor_side, a, name), set()) and
                    a in partners.get((others_side, o, name), set()))

        if any(names_exactly(name) for name in FOUND[kind]):
            explained[kind] = explained.get(kind, 0) + 1
        elif kind in PAIRS and any(names_among_others(name) for name in FOUND[kind]):
            among[kind] = among.get(kind, 0) + 1
    return explained, wrong, stand_ins, among


def run(tool, directory, items1, items2, report, option):
    command = [tool, "compare", "bank.csv", "A1:A%d" % items1,
               "[ledger.csv]ledger!A1:A%d" % items2, "--report", report, "-o", "out.xlsx"]
    if max(items1, items2) > 10000:
        command += ["--max-items", str(max(items1, items2))]
    if option:
        command.append(option)
    start = time.perf_counter()
    done = subprocess.run(command, cwd=directory, capture_output=True, text=True)
    seconds = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit("%s failed (%d): %s" % (" ".join(command), done.returncode, done.stderr.strip()))
    return seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--items", type=int, default=3000)
    parser.add_argument("--share", type=float, default=0.05)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--dir", default="/tmp/explain_planted")
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--quorvane",
                        default=os.path.join(here, "..", "build", "default", "src", "cli",
                                             "quorvane"))
    parser.add_argument("--option", default="--no-explain-more",
                        help="the tool's option that turns the search that explains more off")
    parser.add_argument("--amounts", choices=["uniform", "log"], default="uniform")
    parser.add_argument("--rounds", type=int, default=1,
                        help="paired runs with and without the search, for the time")
    parser.add_argument("--moved", type=int, default=0,
                        help="plant no error: move this many ledger entries by 0.01")
    parser.add_argument("--largest", type=float, default=99999.99,
                        help="the largest amount of the bank list")
    args = parser.parse_args()

    os.makedirs(args.dir, exist_ok=True)
    bank, ledger, groups = generate(args.items, args.share, args.seed, args.amounts == "log",
                                    args.moved, round(args.largest * 100))
    write_csv(os.path.join(args.dir, "bank.csv"), bank)
    write_csv(os.path.join(args.dir, "ledger.csv"), ledger)
    with open(os.path.join(args.dir, "truth.json"), "w") as out:
        json.dump([{"kind": g["kind"], "bank": [address(b) for b in g["bank"]],
                    "ledger": [address(l) for l in g["ledger"]]} for g in groups], out, indent=1)

    tool = os.path.abspath(args.quorvane)
    helptext = subprocess.run([tool, "--help-all"], capture_output=True, text=True).stdout
    has_option = args.option in helptext
    offs, ons = [], []
    for _ in range(max(1, args.rounds) if has_option else 1):
        offs.append(run(tool, args.dir, len(bank), len(ledger), "off.json",
                        args.option if has_option else None))
        if has_option:
            ons.append(run(tool, args.dir, len(bank), len(ledger), "on.json", None))
    off = statistics.median(offs)
    on = statistics.median(ons) if has_option else None
    ratio = statistics.median(a / b for a, b in zip(ons, offs)) if has_option else None
    with open(os.path.join(args.dir, "on.json" if has_option else "off.json")) as f:
        report = json.load(f)
    explained, wrong, stand_ins, among = score(groups, report, bank, ledger)
    # The first stage finds the same pairs with the search or without it, and the search reports
    # none of them again: the wrong findings of the run without it are the first stage's.
    first_wrong = {}
    if has_option:
        with open(os.path.join(args.dir, "off.json")) as f:
            _, first_wrong, _, _ = score(groups, json.load(f), bank, ledger)

    print("%d bank amounts, %d ledger entries, %d planted groups, %d marked cells (seed %d)" %
          (len(bank), len(ledger), len(groups), len(report), args.seed))
    print("  %-14s %8s %10s %7s %8s %7s %7s %9s" % ("kind", "planted", "explained", "share", "among",
                                                     "wrong", "of them", "stand-in"))
    print("  %-14s %8s %10s %7s %8s %7s %7s %9s" % ("", "", "", "", "others", "", "first", ""))
    shown = ["moved"] if args.moved else KINDS
    for kind in shown + sorted((set(wrong) | set(stand_ins)) - set(shown)):
        planted = sum(1 for g in groups if g["kind"] == kind)
        got = explained.get(kind, 0)
        scored = kind in shown and kind in FOUND
        share = "%.1f%%" % (100.0 * got / planted if planted else 0) if scored else ""
        print("  %-14s %8s %10s %7s %8s %7d %7d %9d" % (
            kind, planted if kind in shown else "", got if scored else "", share,
            among.get(kind, 0) if kind in PAIRS else "", wrong.get(kind, 0),
            first_wrong.get(kind, 0), stand_ins.get(kind, 0)))
    second = sum(wrong.values()) - sum(first_wrong.values())
    print("wrong findings of the second stage: %d (the first stage's: %d)" %
          (second, sum(first_wrong.values())))
    if has_option:
        print("time%s: %.3f s with the search, %.3f s with %s (%.2f times%s)" %
              (" (medians of %d runs each)" % len(ons) if len(ons) > 1 else "", on, off,
               args.option, ratio, ", the median of the paired ratios" if len(ons) > 1 else ""))
    else:
        print("time: %.2f s (the tool has no %s: the report holds the first stage's findings only)"
              % (off, args.option))


if __name__ == "__main__":
    main()
