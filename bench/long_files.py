#!/usr/bin/python3
"""The long-list benchmark: `quorvane compare --max-items 1000000` as a whole process on two files
of N two-decimal amounts each (N = 10,000, 100,000 and 1,000,000), the second a shuffled copy of
the first with 1% of the amounts moved by 0.01, given as CSV files and as .xlsx workbooks (written
by XlsxWriter in its constant-memory mode), against the floor program for the job (long_floor)
and, at the smaller sizes, openpyxl (a bare load and save of the two workbooks; for the CSV files,
reading them with the csv module and saving them as workbooks). It also runs the file benchmark's
10,000 x 10,000 workbook with 1,000 changed against xlsx_floor. Then it prints the aims:

  (a) 1,000,000 x 1,000,000, CSV and .xlsx: at most 2 s wall, 400 MB peak, twice the floor;
  (b) linear: ten times the items at most 11 times the time, from 10,000 to 1,000,000;
  (c) 10,000 x 10,000 .xlsx with 1,000 changed: at most 1.5 times the floor.

Each round runs every program on every workload once, one after the other; times are medians
over the rounds, and each ratio is the median of the rounds' own ratios (to the floor of the same
round, or to the tool's own time at a tenth of the items in the same round), by wall time and by
processor time (user and system). A ratio aim is met when both are within it. Peak memory comes
from one more run of each under /usr/bin/time -v. The workloads are kept in --work (made once).

usage: long_files.py [BUILD_DIR] [--rounds N] [--quick] [--work DIR] [--no-openpyxl]
  --quick: one round, 10,000 and 100,000 items only (aim (a) and the last step of (b) unmeasured)
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"
SIZES = (10_000, 100_000, 1_000_000)
OPENPYXL_UP_TO = 100_000  # openpyxl takes minutes at 1,000,000
OPENPYXL_XLSX = ("import sys, openpyxl\n"
                 "for i in (1, 3):\n"
                 "    openpyxl.load_workbook(sys.argv[i]).save(sys.argv[i + 1])\n")
OPENPYXL_CSV = ("import csv, sys, openpyxl\n"
                "for i in (1, 3):\n"
                "    book = openpyxl.Workbook()\n"
                "    sheet = book.active\n"
                "    with open(sys.argv[i], newline='') as f:\n"
                "        for line in csv.reader(f):\n"
                "            sheet.append([float(line[0])])\n"
                "    book.save(sys.argv[i + 1])\n")
WRITE_XLSX = ("import sys, xlsxwriter\n"
              "book = xlsxwriter.Workbook(sys.argv[1], {'constant_memory': True})\n"
              "sheet = book.add_worksheet(sys.argv[2])\n"
              "with open(sys.argv[3]) as f:\n"
              "    for row, line in enumerate(f):\n"
              "        sheet.write_number(row, 0, float(line))\n"
              "book.close()\n")


def find(build, name):
    for root, _, files in os.walk(build):
        if name in files:
            return os.path.abspath(os.path.join(root, name))
    sys.exit(f"{name} is not built in {build}")


def timed(command, cwd):
    """Wall time and processor time (user and system) of one run, in seconds."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, cwd=cwd)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"failed: {' '.join(command)}")
    return wall, usage.ru_utime + usage.ru_stime


def peak_mb(command, cwd):
    result = subprocess.run(["/usr/bin/time", "-v"] + command, check=True, cwd=cwd,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    for line in result.stderr.splitlines():
        if "Maximum resident set size" in line:
            return int(line.split(":")[1]) / 1024
    return 0.0


def make_workload(folder, items):
    """bank and ledger of `items` amounts, as .csv and .xlsx; returns the folder of the four."""
    where = os.path.join(folder, str(items))
    if os.path.exists(os.path.join(where, "done")):
        return where
    os.makedirs(where, exist_ok=True)
    rng = random.Random(14)
    amounts = [rng.randint(100, 99999999) for _ in range(items)]  # cents
    ledger = amounts[:]
    rng.shuffle(ledger)
    for i in rng.sample(range(items), items // 100):
        ledger[i] += 1
    for name, cents in (("bank", amounts), ("ledger", ledger)):
        path = os.path.join(where, f"{name}.csv")
        with open(path, "w") as f:
            f.writelines(f"{c // 100}.{c % 100:02d}\n" for c in cents)
        subprocess.run([PYTHON, "-c", WRITE_XLSX, os.path.join(where, f"{name}.xlsx"), name,
                        path], check=True)
    open(os.path.join(where, "done"), "w").close()
    return where


def long_runs(quorvane, floor, where, out, items, kind, openpyxl):
    """The programs to run on one workload, each run in the workload's folder."""
    bank, ledger = (os.path.join(where, f"{n}.{kind}") for n in ("bank", "ledger"))
    runs = {
        # Writes bank.reconciled.xlsx and ledger.reconciled.xlsx beside the two files.
        "quorvane compare": [quorvane, "compare", f"bank.{kind}", f"bank!A1:A{items}",
                             f"[ledger.{kind}]ledger!A1:A{items}", "--max-items", "1000000"],
        "floor": [floor, bank, os.path.join(out, "floor_bank.xlsx"), ledger,
                  os.path.join(out, "floor_ledger.xlsx")],
    }
    if openpyxl and items <= OPENPYXL_UP_TO:
        runs["openpyxl"] = [PYTHON, "-c", OPENPYXL_CSV if kind == "csv" else OPENPYXL_XLSX,
                            bank, os.path.join(out, "openpyxl_bank.xlsx"), ledger,
                            os.path.join(out, "openpyxl_ledger.xlsx")]
    return runs


def ratio(times, name, reference):
    return [statistics.median(t[k] / r[k] for t, r in zip(times[name], times[reference]))
            for k in (0, 1)]


def verdict(ok):
    return "MET" if ok else "NOT MET"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default="build/bench")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--work", default=os.path.join(tempfile.gettempdir(), "quorvane_long"))
    parser.add_argument("--no-openpyxl", action="store_true")
    args = parser.parse_args()
    rounds = 1 if args.quick else args.rounds
    sizes = SIZES[:2] if args.quick else SIZES
    quorvane = find(args.build, "quorvane")
    long_floor = find(args.build, "long_floor")
    xlsx_floor = find(args.build, "xlsx_floor")
    os.makedirs(args.work, exist_ok=True)
    out = tempfile.mkdtemp(prefix="quorvane_long_out_")
    try:
        workloads = {}
        folders = {"short": args.work}
        for items in sizes:
            where = make_workload(args.work, items)
            for kind in ("csv", "xlsx"):
                folders[(items, kind)] = where
                workloads[(items, kind)] = long_runs(quorvane, long_floor, where, out, items,
                                                     kind, not args.no_openpyxl)
        book = os.path.join(args.work, "amounts_1000.xlsx")
        if not os.path.exists(book):
            subprocess.run([PYTHON, os.path.join(HERE, "xlsx_workload.py"), book, "10000",
                            "1000"], check=True)
        workloads["short"] = {
            "quorvane compare": [quorvane, "compare", book, "Bank!A1:A10000", "Ledger!A1:A10000",
                                 "-o", os.path.join(out, "reconciled.xlsx")],
            "floor": [xlsx_floor, book, os.path.join(out, "floor.xlsx"),
                      "xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml"],
        }
        if not args.no_openpyxl:
            workloads["short"]["openpyxl"] = [
                PYTHON, "-c", "import sys, openpyxl; openpyxl.load_workbook(sys.argv[1])"
                ".save(sys.argv[2])", book, os.path.join(out, "openpyxl.xlsx")]

        times = {w: {name: [] for name in runs} for w, runs in workloads.items()}
        for r in range(rounds):
            for w, runs in workloads.items():
                for name, command in runs.items():
                    times[w][name].append(timed(command, folders[w]))
            print(f"round {r + 1} of {rounds} done", file=sys.stderr)
        peaks = {w: {name: peak_mb(command, folders[w]) for name, command in runs.items()}
                 for w, runs in workloads.items()}

        def table(w, title):
            print(f"{title} ({rounds} rounds, medians; wall time, then processor time):")
            for name in workloads[w]:
                wall = statistics.median(t[0] for t in times[w][name])
                cpu = statistics.median(t[1] for t in times[w][name])
                rw, rc = ratio(times[w], name, "floor")
                print(f"  {name:17} {wall:8.3f} s {rw:6.2f} x the floor | {cpu:8.3f} s "
                      f"{rc:6.2f} x the floor | peak {peaks[w][name]:7.1f} MB")

        for items in sizes:
            for kind in ("csv", "xlsx"):
                table((items, kind), f"{items:,} x {items:,} amounts, 1% changed, {kind.upper()}")
        table("short", "10,000 x 10,000 amounts in one workbook, 1,000 changed")
        if not args.no_openpyxl:
            print(f"  (openpyxl only up to {OPENPYXL_UP_TO:,} items: it takes minutes beyond)")

        print("\nAims:")
        big = sizes[-1]
        if big == 1_000_000:
            for kind in ("csv", "xlsx"):
                t = times[(big, kind)]
                wall = statistics.median(x[0] for x in t["quorvane compare"])
                peak = peaks[(big, kind)]["quorvane compare"]
                rw, rc = ratio(t, "quorvane compare", "floor")
                print(f"  (a) 1,000,000 x 1,000,000 {kind.upper():4}: wall {wall:.2f} s (<= 2) "
                      f"{verdict(wall <= 2)}; peak {peak:.0f} MB (<= 400) {verdict(peak <= 400)}; "
                      f"{rw:.2f} x the floor by wall, {rc:.2f} x by processor time (<= 2) "
                      f"{verdict(rw <= 2 and rc <= 2)}")
        else:
            print("  (a) not measured (--quick runs up to 100,000 items)")
        for kind in ("csv", "xlsx"):
            steps = []
            for small, large in zip(sizes, sizes[1:]):
                steps.append((small, large, [statistics.median(
                    b[k] / a[k] for a, b in zip(times[(small, kind)]["quorvane compare"],
                                                times[(large, kind)]["quorvane compare"]))
                    for k in (0, 1)]))
            text = "; ".join(f"{s:,} to {l:,}: {w:.1f} x wall, {c:.1f} x processor"
                             for s, l, (w, c) in steps)
            ok = all(w <= 11 and c <= 11 for _, _, (w, c) in steps)
            print(f"  (b) linear, {kind.upper():4} (ten times the items, <= 11 x the time): {text} "
                  f"{verdict(ok)}")
        rw, rc = ratio(times["short"], "quorvane compare", "floor")
        print(f"  (c) 10,000 x 10,000 .xlsx, 1,000 changed: {rw:.2f} x the floor by wall, "
              f"{rc:.2f} x by processor time (<= 1.5) {verdict(rw <= 1.5 and rc <= 1.5)}")
    finally:
        shutil.rmtree(out)


if __name__ == "__main__":
    main()
