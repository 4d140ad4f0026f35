#!/usr/bin/python3
"""Checks that two builds of quorvane write the same workbook: runs `compare` with each on the file
benchmark's workloads (a first run, and a second run over the first's result, which clears the
marks and notes it finds and writes new ones) and compares every part of the results byte for
byte, the notes' time stamps aside. Used before keeping a change to the saving code.

usage: xlsx_same_parts.py OLD_QUORVANE NEW_QUORVANE
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
STAMP = re.compile(rb"\d{1,2}/\d{1,2} \d\d:\d\d:\d\d")


def compare(quorvane, book, out):
    subprocess.run([quorvane, "compare", book, "Bank!A1:A10000", "Ledger!A1:A10000", "-o", out],
                   check=True, stdout=subprocess.DEVNULL)


def parts(path):
    with zipfile.ZipFile(path) as z:
        return {name: STAMP.sub(b"<time>", z.read(name)) for name in z.namelist()}


def main():
    old, new = sys.argv[1], sys.argv[2]
    folder = tempfile.mkdtemp(prefix="quorvane_same_parts_")
    differ = 0
    try:
        for changed in (1000, 5000):
            book = os.path.join(folder, f"amounts_{changed}.xlsx")
            subprocess.run(["/usr/bin/python3", os.path.join(HERE, "xlsx_workload.py"), book,
                            "10000", str(changed)], check=True)
            results = {}
            for label, quorvane in (("old", old), ("new", new)):
                first = os.path.join(folder, f"{label}_{changed}_first.xlsx")
                second = os.path.join(folder, f"{label}_{changed}_second.xlsx")
                compare(quorvane, book, first)
                # A second later, so that the second run's notes differ from the first's and every
                # part is written again (within the same second they can be left as they are).
                time.sleep(1.1)
                compare(quorvane, first, second)
                results[label] = (parts(first), parts(second))
            for run in (0, 1):
                a, b = results["old"][run], results["new"][run]
                what = f"{changed:,} changed, {'first' if run == 0 else 'second'} run"
                if list(a) != list(b):
                    print(f"{what}: the parts differ: {list(a)} against {list(b)}")
                    differ += 1
                    continue
                for name in a:
                    if a[name] != b[name]:
                        print(f"{what}: {name} differs")
                        differ += 1
                print(f"{what}: {len(a)} parts compared")
    finally:
        shutil.rmtree(folder)
    sys.exit(1 if differ else 0)


if __name__ == "__main__":
    main()
