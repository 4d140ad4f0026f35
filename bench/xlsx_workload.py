#!/usr/bin/python3
"""Writes the file benchmark's workbook with openpyxl: two sheets of ITEMS two-decimal amounts in
column A, the second a shuffled copy of the first with CHANGED amounts moved by 0.01, so that
CHANGED + 1 or so values of each list find no partner.

usage: xlsx_workload.py OUT.xlsx [ITEMS] [CHANGED] [SEED]
"""
import random
import sys

import openpyxl


def main():
    out = sys.argv[1]
    items = int(sys.argv[2]) if len(sys.argv) > 2 else 10000
    changed = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
    rng = random.Random(int(sys.argv[4]) if len(sys.argv) > 4 else 14)
    amounts = [rng.randint(100, 99999999) / 100 for _ in range(items)]
    ledger = amounts[:]
    rng.shuffle(ledger)
    for i in rng.sample(range(items), changed):
        ledger[i] = round(ledger[i] + 0.01, 2)
    book = openpyxl.Workbook()
    bank = book.active
    bank.title = "Bank"
    second = book.create_sheet("Ledger")
    for row, value in enumerate(amounts, start=1):
        bank.cell(row=row, column=1, value=value)
    for row, value in enumerate(ledger, start=1):
        second.cell(row=row, column=1, value=value)
    book.save(out)


if __name__ == "__main__":
    main()
