"""Writes people.xls, the old-format workbook fixture of the import tests, with xlwt
(python3-xlwt). Run once when the fixture changes: python3 make_people_xls.py
"""
import os

import xlwt

from write_people import HEADER, PEOPLE

book = xlwt.Workbook(encoding="utf-8")
sheet = book.add_sheet("People")
born = xlwt.easyxf(num_format_str="YYYY-MM-DD")
for c, name in enumerate(HEADER):
    sheet.write(0, c, name)
for r, row in enumerate(PEOPLE, start=1):
    for c, value in enumerate(row):
        if value is None:
            continue
        sheet.write(r, c, value, born if c == 2 else xlwt.Style.default_style)
book.add_sheet("Other").write(0, 0, "Not imported")
book.save(os.path.join(os.path.dirname(os.path.abspath(__file__)), "people.xls"))
