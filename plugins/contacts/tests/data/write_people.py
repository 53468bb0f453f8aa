"""Writes the spreadsheets the import tests read, as other programs write them: people.xlsx
with openpyxl, people.csv with Python's csv module (both with a header row), noheader.csv
without one, refused.csv with people the test database refuses and numbers1904.xlsx, a
workbook that counts its days from 1904 as old Mac spreadsheets do.

    python3 write_people.py FOLDER
"""
import csv
import datetime
import os
import sys

HEADER = ["FirstName", "LastName", "DateOfBirth", "Zip", "City", "EMail"]
# An empty city, an empty date of birth, postal codes with leading zeros, names in several scripts.
PEOPLE = [
    ["Zoë", "Ødegård", datetime.date(1985, 3, 14), "01234", "Åsgårdstrand", "zoe@example.org"],
    ["Дмитрий", "Смирнов", datetime.date(1990, 12, 1), "00501", None, "dmitri@example.org"],
    ["陈", "伟", None, "02108", "Boston", "chen@example.org"],
    ["Ana María", "O'Brien", datetime.date(1970, 1, 2), "10001", "New York", "ana@example.org"],
]
# Two of them the database refuses (the test puts a check on the last name).
REFUSED = [
    ["Alma", "First"], ["Bert", "Refused"], ["Cleo", "Third"], ["Dora", "Refused"], ["Emil", "Fifth"],
]
# A date of birth as a date cell and one as a plain number of the 1904 day count.
NUMBERS_HEADER = ["FirstName", "LastName", "Zip", "Phone1", "DateOfBirth"]
NUMBERS_1904 = [
    ["Ann", "Lee", 100000, 5550000000, datetime.date(1985, 3, 14)],
    ["Bob", "Kay", 2108, 2125550123, (datetime.date(1990, 12, 1) - datetime.date(1904, 1, 1)).days],
]


def write_csv(path, rows):
    with open(path, "w", newline="", encoding="utf-8") as f:
        writer = csv.writer(f)
        for row in rows:
            writer.writerow(["" if v is None else v for v in row])


def main(folder):
    import openpyxl

    os.makedirs(folder, exist_ok=True)
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.append(HEADER)
    for row in PEOPLE:
        sheet.append(row)
    # A second sheet the import leaves alone.
    book.create_sheet("Other").append(["Not", "imported"])
    book.save(os.path.join(folder, "people.xlsx"))
    from openpyxl.utils.datetime import CALENDAR_MAC_1904
    old_mac = openpyxl.Workbook()
    old_mac.epoch = CALENDAR_MAC_1904
    for row in [NUMBERS_HEADER] + NUMBERS_1904:
        old_mac.active.append(row)
    old_mac.save(os.path.join(folder, "numbers1904.xlsx"))
    write_csv(os.path.join(folder, "people.csv"), [HEADER] + PEOPLE)
    write_csv(os.path.join(folder, "noheader.csv"), [row[:2] for row in PEOPLE])
    write_csv(os.path.join(folder, "refused.csv"), [["FirstName", "LastName"]] + REFUSED)


if __name__ == "__main__":
    main(sys.argv[1])
