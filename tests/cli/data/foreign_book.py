# Writes the workbook the foreign-writer tests start from, with XlsxWriter: two lists with a
# transposed and a wrong amount, user fills, number formats, inline strings (constant-memory mode
# writes every string inline), user notes and a user's own text box on each sheet.
import datetime
import sys

import xlsxwriter

wb = xlsxwriter.Workbook(sys.argv[1], {'constant_memory': True})
money = wb.add_format({'num_format': '#,##0.00'})
date = wb.add_format({'num_format': 'd mmm yyyy'})
yellow = wb.add_format({'num_format': '#,##0.00', 'bg_color': '#FFFF00', 'pattern': 1})
header = wb.add_format({'bold': True, 'bg_color': '#C0C0FF', 'pattern': 1})
for name, amounts in (('Bank', [100, 123.45, 250, 75.5, 310, 42, 18.2, 999, 64, 12]),
                      ('Ledger', [100, 132.45, 250, 75.5, 310, 42, 18.2, 998, 64, 12])):
    ws = wb.add_worksheet(name)
    ws.write(0, 0, 'Entry', header)
    ws.write(0, 1, 'Amount & more', header)
    for i, amount in enumerate(amounts):
        ws.write(i + 1, 0, 'Item %d <%s>' % (i + 1, name))
        ws.write_number(i + 1, 1, amount, yellow if i == 5 else money)
        if i == 0:
            ws.write_comment('A2', 'First entry')
        if i == 5:
            ws.write_comment('B7', 'Checked by hand: 42 > 41 & < 43 on %s' % name)
    ws.write_datetime(12, 1, datetime.datetime(2024, 3, 5), date)
    ws.insert_textbox('D2', 'My own text box', {'width': 200, 'height': 60})
wb.close()
