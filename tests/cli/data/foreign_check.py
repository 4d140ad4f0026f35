# Reads a marked and a cleared workbook with openpyxl (and the original, when openpyxl can read
# it): the marks are there, every user value, number format and note survives the marking, and the
# clearing gives every value, fill, number format and note back.
import sys

import openpyxl


def cells(path):
    out = {}
    for ws in openpyxl.load_workbook(path).worksheets:
        for row in ws.iter_rows():
            for c in row:
                f = c.fill
                fill = (f.patternType, f.fgColor.rgb, f.bgColor.rgb) if f.patternType else None
                note = c.comment.text if c.comment else None
                if c.value is not None or fill is not None or note is not None:
                    out[(ws.title, c.coordinate)] = (c.value, c.number_format, fill, note)
    return out


original_path, marked_path, cleared_path = sys.argv[1:4]
marked, cleared = cells(marked_path), cells(cleared_path)
try:
    original = cells(original_path)
except Exception as e:  # some writers' own files are beyond openpyxl (Gnumeric's empty authors)
    print('original not readable by openpyxl:', type(e).__name__)
    original = cleared
for key, (value, fmt, fill, note) in original.items():
    m = marked.get(key)
    assert m is not None and m[:2] == (value, fmt), (key, original[key], m)
    if note is not None:
        assert note in m[3], (key, note, m[3])
for key in (('Bank', 'B3'), ('Ledger', 'B3'), ('Bank', 'B9'), ('Ledger', 'B9')):
    assert marked[key][2] is not None and marked[key][3].startswith('<<< '), (key, marked[key])
    assert key not in cleared or cleared[key][3] is None or '<<<' not in cleared[key][3], key
assert cleared == original, sorted(set(cleared.items()) ^ set(original.items()), key=str)
print('ok')
