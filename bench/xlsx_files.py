#!/usr/bin/python3
"""The file benchmark: `quorvane compare` as a whole process against the floor program
(xlsx_floor) and openpyxl's bare load and save, on workbooks written by openpyxl (two sheets of
10,000 two-decimal amounts, the second a shuffled copy of the first with 1,000 or 5,000 amounts
moved by 0.01). Each round runs the three one after the other; the figures are medians over the
rounds, and each ratio is the median of the rounds' own ratios, for the wall time (which includes
waiting for the disk to take the file) and for the processor time (user and system, steadier on a
busy machine). The peak memory of each program comes from /usr/bin/time -v.

usage: xlsx_files.py BUILD_DIR [ROUNDS]   (BUILD_DIR: the bench preset's build folder)
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"
OPENPYXL = ("import sys, openpyxl; wb = openpyxl.load_workbook(sys.argv[1]); "
            "wb.save(sys.argv[2])")


def find(build, name):
    for root, _, files in os.walk(build):
        if name in files:
            return os.path.join(root, name)
    sys.exit(f"{name} is not built in {build}")


def timed(command):
    """Wall time and processor time (user and system) of one run, in seconds."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        sys.exit(f"{command[0]} failed")
    return wall, usage.ru_utime + usage.ru_stime


def peak_kb(command):
    result = subprocess.run(["/usr/bin/time", "-v"] + command, check=True,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    for line in result.stderr.splitlines():
        if "Maximum resident set size" in line:
            return int(line.split(":")[1])
    return 0


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/bench"
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 11
    quorvane = find(build, "quorvane")
    floor = find(build, "xlsx_floor")
    folder = tempfile.mkdtemp(prefix="quorvane_files_")
    try:
        for changed in (1000, 5000):
            book = os.path.join(folder, f"amounts_{changed}.xlsx")
            subprocess.run([PYTHON, os.path.join(HERE, "xlsx_workload.py"), book, "10000",
                            str(changed)], check=True)
            runs = {
                "quorvane compare": [quorvane, "compare", book, "Bank!A1:A10000",
                                     "Ledger!A1:A10000", "-o",
                                     os.path.join(folder, "reconciled.xlsx")],
                "floor": [floor, book, os.path.join(folder, "floor.xlsx"),
                          "xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml"],
                "openpyxl load + save": [PYTHON, "-c", OPENPYXL, book,
                                         os.path.join(folder, "openpyxl.xlsx")],
            }
            times = {name: [] for name in runs}
            for _ in range(rounds):
                for name, command in runs.items():
                    times[name].append(timed(command))
            print(f"10,000 x 10,000 amounts, {changed:,} changed ({rounds} rounds, medians; "
                  f"wall time, then processor time):")
            for name, command in runs.items():
                line = f"  {name:22}"
                for k in (0, 1):
                    ratio = statistics.median(
                        t[k] / f[k] for t, f in zip(times[name], times["floor"]))
                    median = statistics.median(t[k] for t in times[name])
                    line += f" {median * 1000:7.1f} ms {ratio:5.2f} x the floor |"
                print(f"{line} peak {peak_kb(command) / 1024:5.1f} MB")
    finally:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
