#!/usr/bin/python3
"""Reads back the workbooks of test_workbook_export with openpyxl, an independent reader.

    check_workbook.py CHECK PATH            checks a written workbook; prints what is wrong
    check_workbook.py make-rich PATH        writes a workbook with everything a user's sheets hold
    check_workbook.py rich ORIGINAL PATH    the export into a copy of ORIGINAL kept every other part

Exit code 0: all checks hold; 1: a check failed (the reasons on stdout); 3: openpyxl missing.
"""
import datetime
import sys
import zipfile

try:
    import openpyxl
    from openpyxl.utils import get_column_letter
except ImportError:
    sys.exit(3)

problems = []


def expect(condition, message):
    if not condition:
        problems.append(message)


def equal(actual, wanted, what):
    expect(actual == wanted, f"{what}: {actual!r}, expected {wanted!r}")


def stored_width(chars):
    """The width a spreadsheet program stores for a column width in characters: whole pixels
    of 7 per character plus 5 pixels of padding, in 1/256 of a character."""
    pixels = int(chars * 7 + 0.5)
    return int((pixels + 5) / 7 * 256) / 256


def merged(ws):
    return sorted(str(r) for r in ws.merged_cells.ranges)


def check_table(ws, columns, rows, formats, widths, date_text):
    """The export layout: title block, date line, header and table of `rows` source rows."""
    equal(ws.max_row, rows + 3, "last row")
    equal(ws.max_column, columns, "last column")
    last = get_column_letter(columns)
    equal(merged(ws), sorted([f"A1:{last}1", f"A2:{last}2", f"A3:{last}3"]), "merged ranges")
    equal(ws["A1"].font.sz, 18, "title font size")
    equal(ws["A2"].font.sz, 12, "row 2 font size")
    equal(ws["A3"].font.sz, 10, "date font size")
    equal(ws["A1"].alignment.horizontal, "center", "title alignment")
    equal(ws["A2"].alignment.horizontal, "center", "row 2 alignment")
    equal(ws["A3"].alignment.horizontal, "right", "date alignment")
    for r in range(1, 5):
        equal(ws.cell(r, 1).alignment.vertical, "center", f"vertical alignment of row {r}")
    equal(ws["A3"].value, date_text, "date line")
    equal(ws.row_dimensions[1].s is not None, True, "row 1 has a format")
    for c in range(1, columns + 1):
        letter = get_column_letter(c)
        equal(ws.column_dimensions[letter].width, stored_width(widths[c - 1]), f"width of column {letter}")
        equal(ws.cell(4, c).alignment.horizontal, "center", f"header alignment {letter}4")
    first, last_row = 4, rows + 3
    for r in range(first, last_row + 1):
        for c in range(1, columns + 1):
            cell = ws.cell(r, c)
            where = cell.coordinate
            for side in ("left", "right", "top", "bottom"):
                equal(getattr(cell.border, side).style, "thin", f"{side} border of {where}")
            equal(cell.font.sz, 10.5, f"font size of {where}")
            equal(cell.number_format, formats[c - 1], f"number format of {where}")
    # Nothing outside the block carries a border.
    for r in range(1, last_row + 3):
        for c in range(1, columns + 3):
            if first <= r <= last_row and c <= columns:
                continue
            cell = ws.cell(r, c)
            expect(cell.border.left.style is None and cell.border.bottom.style is None,
                   f"border outside the table at {cell.coordinate}")


def values(ws, row, columns):
    return [ws.cell(row, c).value for c in range(1, columns + 1)]


def inline_source(path):
    """The workbook's first sheet really keeps its texts in the cells (t="inlineStr")."""
    with zipfile.ZipFile(path) as z:
        xml = z.read("xl/worksheets/sheet1.xml").decode("utf-8")
    expect('t="inlineStr"' in xml, "the source has no inline texts")


def make_rich(path):
    """A workbook with what a user's own sheets hold: formulas, a chart, a picture, comments,
    hyperlinks, defined names, frozen panes, an autofilter, conditional formats, data validation
    and a hidden sheet, beside a sheet that the export replaces."""
    from openpyxl.chart import BarChart, Reference
    from openpyxl.comments import Comment
    from openpyxl.formatting.rule import CellIsRule
    from openpyxl.styles import PatternFill
    from openpyxl.workbook.defined_name import DefinedName
    from openpyxl.worksheet.datavalidation import DataValidation
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "数据"
    ws.append(["名称", "数量", "单价", "金额"])
    for i in range(1, 21):
        ws.append([f"物品{i}", i, i * 1.5, f"=B{i + 1}*C{i + 1}"])
    ws["F1"] = "=SUM(D2:D21)"
    ws.freeze_panes = "A2"
    ws.auto_filter.ref = "A1:D21"
    ws["A2"].comment = Comment("批注文字", "作者")
    ws["A3"].hyperlink = "https://example.invalid/doc"
    ws.conditional_formatting.add("B2:B21", CellIsRule(operator="greaterThan", formula=["10"],
                                                     fill=PatternFill("solid", fgColor="FFFF00")))
    dv = DataValidation(type="whole", operator="between", formula1="0", formula2="100")
    ws.add_data_validation(dv)
    dv.add("B2:B21")
    chart = BarChart()
    chart.add_data(Reference(ws, min_col=2, min_row=1, max_row=21), titles_from_data=True)
    ws.add_chart(chart, "H2")
    try:
        from openpyxl.drawing.image import Image
        from PIL import Image as PilImage
        picture = path + ".png"
        PilImage.new("RGB", (40, 20), (200, 30, 30)).save(picture)
        ws.add_image(Image(picture), "H20")
    except ImportError:
        pass
    name = DefinedName("合计", attr_text="'数据'!$F$1")
    if hasattr(wb.defined_names, "add"):
        wb.defined_names.add(name)
    else:
        wb.defined_names.append(name)
    hidden = wb.create_sheet("隐藏")
    hidden["A1"] = "看不见"
    hidden.sheet_state = "hidden"
    old = wb.create_sheet("导出")
    for r in range(1, 30):
        old.append([f"旧{r}", r, r * 2])
    old["E5"] = "=B5+C5"
    wb.save(path)


def rezip(source, path, replaced):
    """Copies the package at `source` to `path` with the parts in `replaced` given new bytes."""
    with zipfile.ZipFile(source) as src, zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as out:
        for info in src.infolist():
            data = src.read(info.filename)
            out.writestr(info.filename, replaced(info.filename, data))


def make_hostile(kind, path):
    """Workbooks that would cost a reader of every sheet dearly, or that are broken."""
    if kind == "text":
        with open(path, "w") as f:
            f.write("plain text, not a workbook")
        return
    base = path + ".base.xlsx"
    wb = openpyxl.Workbook()
    wb.active.title = "Sheet1"
    wb.active["A1"] = "保留"
    wb.create_sheet("其他")["B2"] = 7
    wb.save(base)
    if kind == "truncated":
        data = open(base, "rb").read()
        open(path, "wb").write(data[: len(data) // 2])
        return

    def replaced(name, data):
        if kind == "merged" and name == "xl/worksheets/sheet1.xml":
            merges = '<mergeCells count="20">' + '<mergeCell ref="A1:XFD1048576"/>' * 20 + "</mergeCells>"
            return data.replace(b"</sheetData>", b"</sheetData>" + merges.encode())
        if kind == "styles" and name == "xl/styles.xml":
            text = data.decode()
            start = text.index("<cellXfs")
            end = text.index("</cellXfs>") + len("</cellXfs>")
            xfs = '<xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>' * 60000
            return (text[:start] + f'<cellXfs count="60000">{xfs}</cellXfs>' + text[end:]).encode()
        if kind == "bomb" and name == "xl/styles.xml":
            text = data.decode()
            at = text.index("<fonts")
            return text[:at].encode() + b" " * (200 * 1024 * 1024) + text[at:].encode()
        if kind == "deep" and name == "xl/workbook.xml":
            text = data.decode()
            at = text.index("</workbook>")
            return (text[:at] + "<a>" * 200 + "</a>" * 200 + text[at:]).encode()
        return data

    rezip(base, path, replaced)


# The parts the export may change; every other part stays byte for byte.
CHANGED = {"[Content_Types].xml", "xl/workbook.xml", "xl/_rels/workbook.xml.rels", "xl/styles.xml",
           "docProps/app.xml", "xl/calcChain.xml"}


def check_rich(original, path):
    with zipfile.ZipFile(original) as before, zipfile.ZipFile(path) as after:
        # The replaced sheet's part and its relationships may change: found by its name.
        import re
        workbook = before.read("xl/workbook.xml").decode("utf-8")
        rels = before.read("xl/_rels/workbook.xml.rels").decode("utf-8")
        rid = re.search(r'<sheet [^>]*name="导出"[^>]*r:id="([^"]+)"', workbook).group(1)
        target = re.search(r'<Relationship [^>]*Id="%s"[^>]*Target="([^"]+)"' % rid, rels)
        if target is None:
            target = re.search(r'<Relationship [^>]*Target="([^"]+)"[^>]*Id="%s"' % rid, rels)
        part = target.group(1).lstrip("/")
        part = part if part.startswith("xl/") else "xl/" + part
        names_before = before.namelist()
        changeable = set(CHANGED) | {part, part.replace("worksheets/", "worksheets/_rels/") + ".rels"}
        names_after = set(after.namelist())
        for n in names_before:
            if n in changeable:
                continue
            expect(n in names_after, f"part {n} is gone")
            if n in names_after:
                expect(before.read(n) == after.read(n), f"part {n} changed")
                expect(before.getinfo(n).CRC == after.getinfo(n).CRC, f"checksum of {n} changed")
        expect(after.testzip() is None, "a part of the new package is broken")
    new = openpyxl.load_workbook(path)
    equal(new.sheetnames, ["数据", "隐藏", "导出"], "sheets in order")
    equal(new["隐藏"].sheet_state, "hidden", "hidden sheet stays hidden")
    data = new["数据"]
    equal(data["D2"].value, "=B2*C2", "formula kept")
    equal(data.freeze_panes, "A2", "frozen panes kept")
    equal(data.auto_filter.ref, "A1:D21", "autofilter kept")
    names = new.defined_names
    expect("合计" in (names if hasattr(names, "add") else [d.name for d in names.definedName]), "defined name kept")
    target = new["导出"]
    equal(target["A1"].value, "标题", "title of the replaced sheet")
    equal(target.max_row, 5, "the replaced sheet holds only the new table")
    check_table(target, 2, 2, ["0.00_ ", "@"], [5.0, 5.0], datetime.date.today().strftime("打印日期：%Y年%m月%d日"))
    equal(target["E5"].value, None, "nothing of the old sheet is left")


def check(name, path):
    if name == "inline-source":
        inline_source(path)
        return
    wb = openpyxl.load_workbook(path)
    today = datetime.date.today().strftime("打印日期：%Y年%m月%d日")
    if name == "statistics":
        equal(wb.sheetnames, ["资料下载记录汇总"], "sheets")
        ws = wb["资料下载记录汇总"]
        equal(ws["A1"].value, "资料下载记录汇总", "title")
        check_table(ws, 7, 5, ["0.00_ ", "@", "@", "@", "@", "@", "@"],
                    [6.0, 24.0, 27.0, 21.0, 10.5, 9.0, 7.5], today)
        equal(values(ws, 4, 7), ["序", "文件编号", "文件名称", "摘要", "浏览次数", "下载次数", "明细"], "header row")
        equal(values(ws, 5, 7), [1, "A-1", "年报", "全年", "12", "3", None], "row 5")
        equal(values(ws, 7, 7), [3, "C'3", "=SUM(1)", None, "0", "0", None], "row 7")
        equal(values(ws, 8, 7), [None, None, None, "合计 ", "13", "3", None], "totals row")
    elif name == "both":
        equal(wb.sheetnames, ["资料下载记录汇总", "资料下载记录明细"], "sheets")
        kept = wb["资料下载记录汇总"]
        equal(values(kept, 4, 7), ["序", "文件编号", "文件名称", "摘要", "浏览次数", "下载次数", "明细"], "kept header row")
        equal(values(kept, 5, 7), [1, "A-1", "年报", "全年", "12", "3", None], "kept row 5")
        equal(kept["A1"].value, "资料下载记录汇总", "kept title")
        equal(kept["A5"].number_format, "0.00_ ", "kept number format")
        equal(wb["资料下载记录明细"]["A1"].value, "标题", "second title")
    elif name == "unmarked":
        ws = wb.active
        equal(values(ws, 4, 4), ["c0", "c1", "c3", "c4"], "header row without the gap")
        equal(values(ws, 5, 4), ["a", "b", "d", "e"], "first row without the gap")
        check_table(ws, 4, 2, ["@", "@", "@", "@"], [10.0, 11.0, 13.0, 14.0], today)
    elif name in ("existing", "appended"):
        wanted = ["Sheet1", "资料下载记录汇总", "其他"] + (["新表"] if name == "appended" else [])
        equal(wb.sheetnames, wanted, "sheets in order")
        first = wb["Sheet1"]
        equal(first["A1"].value, "保留的文字", "kept text")
        equal(first["B2"].value, 42.5, "kept number")
        equal(first["C3"].value, datetime.datetime(2024, 2, 29, 0, 0), "kept date")
        equal(first["C3"].number_format, "yyyy-mm-dd", "kept number format")
        equal(first.column_dimensions["A"].width, stored_width(30), "kept column width")
        equal(wb["其他"]["A1"].value, "第三张", "third sheet text")
        equal(wb["其他"]["D9"].value, 7, "third sheet number")
        target = wb["新表" if name == "appended" else "资料下载记录汇总"]
        equal(target["A1"].value, "标题", "title")
        check_table(target, 2, 2, ["0.00_ ", "@"], [5.0, 5.0], today)
        if name == "appended":
            old = wb["资料下载记录汇总"]
            equal(old["L40"].value, "旧40-12", "the other sheet of the old name stays")
        # The sheet the user had active stays so: the other sheets are not touched.
        equal(wb.active.title, "Sheet1", "the active sheet stays")
    elif name == "inline":
        equal(wb.sheetnames, ["内联", "其他", "新表"], "sheets in order")
        ws = wb["内联"]
        equal(ws["A1"].value, "内联标题", "merged title")
        equal(merged(ws), ["A1:C1"], "kept merged range")
        equal(ws["A1"].font.b, True, "kept bold")
        equal(ws["A1"].font.sz, 14, "kept font size")
        equal(ws["A1"].font.color.rgb if ws["A1"].font.color else None, "FFFF0000", "kept font colour")
        equal(ws.row_dimensions[1].height, 30, "kept row height")
        equal(ws["A2"].value, "第一行文字", "kept inline text")
        equal(ws["A2"].fill.fill_type, "solid", "kept fill")
        equal(ws["A2"].fill.fgColor.rgb, "FFFFFF00", "kept fill colour")
        for side in ("left", "right", "top", "bottom"):
            equal(getattr(ws["A2"].border, side).style, "thin", f"kept {side} border")
        equal(ws["A2"].alignment.horizontal, "center", "kept alignment")
        equal(ws["B2"].value, 1234.5, "kept number")
        equal(ws["B2"].number_format, "#,##0.00", "kept number format")
        equal(ws["C2"].value, True, "kept boolean")
        equal(ws["A3"].value, "  前后空格  ", "kept blanks at both ends")
        equal(ws["B3"].value, "=B2*2", "formula kept")
        equal(ws["A4"].value, "隐藏行", "text of the hidden row")
        equal(ws.row_dimensions[4].hidden, True, "kept hidden row")
        equal(ws["A5"].value, "粗体普通", "rich text runs joined")
        equal(ws["A6"].value, '=A2&"!"', "text formula kept")
        equal(ws.column_dimensions["A"].width, stored_width(25), "kept column width")
        equal(wb["其他"]["A1"].value, "第二张", "second sheet")
        check_table(wb["新表"], 2, 2, ["0.00_ ", "@"], [5.0, 5.0], today)
    elif name == "large":
        equal(wb.sheetnames, ["大表", "小表"], "sheets in order")
        ws = wb["大表"]
        equal(ws.max_row, 70004, "kept rows")
        equal(ws["A1"].value, "大表", "kept title")
        equal(merged(ws), ["A1:C1", "A2:C2", "A3:C3"], "kept title merges")
        equal(ws["A1"].font.sz, 18, "kept title font size")
        equal(values(ws, 4, 3), ["序", "名称", "说明"], "kept header")
        equal(values(ws, 5, 3), [1, "名称1", "说明1"], "kept first row")
        equal(values(ws, 70004, 3), [70000, "名称70000", "说明0"], "kept last row")
        equal(ws["B70004"].border.bottom.style, "thin", "kept border")
        equal(ws["A5"].number_format, "0.00_ ", "kept number format")
        equal(ws["B5"].number_format, "@", "kept text format")
        equal(wb["小表"]["A1"].value, "标题", "new sheet")
    else:
        problems.append(f"unknown check {name}")


def main():
    if len(sys.argv) not in (3, 4):
        print(__doc__)
        return 2
    command, path = sys.argv[1], sys.argv[-1]
    if command == "make-rich":
        make_rich(path)
    elif command.startswith("make-hostile-"):
        make_hostile(command[len("make-hostile-"):], path)
    elif command == "rich":
        check_rich(sys.argv[2], path)
    else:
        check(command, path)
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
