#!/usr/bin/python3
"""Makes the workbooks that the part tests read, with programs we did not write: XlsxWriter
(xlsxwriter.xlsx) and LibreOffice (libreoffice.xlsx, converted from a flat OpenDocument sheet).
Each book is written under a temporary name and renamed, so that tests running at the same time
never see half a file. A program that is missing or fails leaves NAME.missing with the reason
instead. Does nothing for a book that is already there.

usage: make_outside_books.py FOLDER [--fresh]   (--fresh: makes every book anew)
"""
import os
import shutil
import subprocess
import sys
import tempfile


def missing(folder, name, reason):
    with open(os.path.join(folder, name + ".missing"), "w") as out:
        out.write(reason + "\n")


def xlsxwriter_book(folder):
    try:
        import xlsxwriter
    except ImportError:
        return "python3-xlsxwriter is not installed"
    temporary = os.path.join(folder, ".xlsxwriter.xlsx.%d" % os.getpid())
    book = xlsxwriter.Workbook(temporary)
    # Formats: fills (solid and patterned), number formats built in and custom, and a font.
    styles = book.add_worksheet("Styles")
    red = book.add_format({"bg_color": "#FF0000"})
    striped = book.add_format({"pattern": 11, "bg_color": "#00FF00", "fg_color": "#0000FF"})
    money = book.add_format({"num_format": "#,##0.000"})
    day = book.add_format({"num_format": "yyyy-mm-dd"})
    two = book.add_format({"num_format": "0.00"})
    bold = book.add_format({"bold": True})
    styles.write("A1", "red", red)
    styles.write("A2", "striped", striped)
    styles.write_number("B1", 1234.5, money)
    styles.write_number("B2", 45000, day)
    styles.write_number("B3", 2.5, two)
    styles.write("C1", "bold", bold)
    styles.write_blank("C2", None, red)
    # Notes by two authors, one shown, one with two lines.
    notes = book.add_worksheet("Notes")
    notes.write("A1", 1)
    notes.write("B3", 2)
    notes.write_comment("A1", "Checked by Ann", {"author": "Ann Example"})
    notes.write_comment("B3", "Two lines:\nsecond", {"author": "Bob Example", "visible": True})
    notes.write_comment("D5", "On a blank cell", {"author": "Ann Example"})
    # A link outside the package, whose target needs escaping.
    notes.write_url("F1", "https://example.com/?a=1&b=<2>")
    # A drawing holding a chart and a text box.
    drawn = book.add_worksheet("Drawn")
    for row in range(5):
        drawn.write_number(row, 0, row + 1)
    chart = book.add_chart({"type": "column"})
    chart.add_series({"values": "=Drawn!$A$1:$A$5"})
    drawn.insert_chart("C2", chart)
    drawn.insert_textbox("B12", "A text box", {"width": 192, "height": 48})
    # Shared strings: rich text, spaces at the ends, a literal escape and a control character.
    strings = book.add_worksheet("Strings")
    strings.write_rich_string("A1", "plain ", bold, "bold", " plain")
    strings.write("A2", "  padded  ")
    strings.write("A3", "a_x0041_b")
    strings.write("A4", "bell\x07 and tab\t")
    strings.write("A5", "plain ")
    book.close()
    os.replace(temporary, os.path.join(folder, "xlsxwriter.xlsx"))
    return None


# A sheet with a solid fill, a number format, a note and a rectangle on a cell.
FODS = """<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 xmlns:dc="http://purl.org/dc/elements/1.1/"
 xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
 <office:automatic-styles>
  <number:number-style style:name="N2"><number:number number:decimal-places="3"
    number:min-decimal-places="3" number:min-integer-digits="1" number:grouping="true"/>
  </number:number-style>
  <style:style style:name="filled" style:family="table-cell" style:parent-style-name="Default">
   <style:table-cell-properties fo:background-color="#ffff00"/>
  </style:style>
  <style:style style:name="money" style:family="table-cell" style:parent-style-name="Default"
   style:data-style-name="N2"/>
 </office:automatic-styles>
 <office:body>
  <office:spreadsheet>
   <table:table table:name="Sheet1">
    <table:table-column table:number-columns-repeated="4"/>
    <table:table-row>
     <table:table-cell table:style-name="filled" office:value-type="string"><text:p>yellow</text:p></table:table-cell>
     <table:table-cell table:style-name="money" office:value-type="float" office:value="1234.5"><text:p>1,234.500</text:p></table:table-cell>
    </table:table-row>
    <table:table-row>
     <table:table-cell office:value-type="float" office:value="7">
      <office:annotation><dc:creator>Carla Example</dc:creator><text:p>A note from Carla</text:p></office:annotation>
      <text:p>7</text:p>
     </table:table-cell>
     <table:table-cell>
      <draw:rect draw:name="Box 1" svg:x="0cm" svg:y="0cm" svg:width="2cm" svg:height="1cm"
       table:end-cell-address="Sheet1.D4" table:end-x="0cm" table:end-y="0cm"><text:p>box</text:p></draw:rect>
     </table:table-cell>
    </table:table-row>
   </table:table>
  </office:spreadsheet>
 </office:body>
</office:document>
"""


def libreoffice_book(folder):
    soffice = shutil.which("soffice")
    if not soffice:
        return "LibreOffice (soffice) is not installed"
    work = tempfile.mkdtemp(prefix="quorvane_lo_")
    try:
        source = os.path.join(work, "libreoffice.fods")
        with open(source, "w") as out:
            out.write(FODS)
        # A profile of its own, so that a LibreOffice already running elsewhere does not take over.
        profile = "-env:UserInstallation=file://" + os.path.join(work, "profile")
        run = subprocess.run([soffice, profile, "--headless", "--convert-to", "xlsx", "--outdir",
                              work, source], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             timeout=240)
        made = os.path.join(work, "libreoffice.xlsx")
        if not os.path.exists(made):
            return "LibreOffice did not convert the sheet: " + run.stdout.decode(errors="replace")
        temporary = os.path.join(folder, ".libreoffice.xlsx.%d" % os.getpid())
        shutil.copyfile(made, temporary)
        os.replace(temporary, os.path.join(folder, "libreoffice.xlsx"))
        return None
    except subprocess.TimeoutExpired:
        return "LibreOffice took more than 240 seconds to convert the sheet"
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    if "--fresh" in sys.argv[2:]:
        for name in os.listdir(folder):
            if name.endswith(".xlsx") or name.endswith(".missing"):
                os.remove(os.path.join(folder, name))
    for name, make in (("xlsxwriter", xlsxwriter_book), ("libreoffice", libreoffice_book)):
        if os.path.exists(os.path.join(folder, name + ".xlsx")):
            continue
        reason = make(folder)
        if reason:
            missing(folder, name, reason)


if __name__ == "__main__":
    main()
