#!/usr/bin/python3
"""Reads a workbook with openpyxl (an independent reader) and prints what the
report tests compare, as JSON: sheet names, the active sheet, and per sheet
its cell texts, merged ranges, column widths (in characters), row heights,
shaded rows, cell styles, number cells (value and number format; the
texts show them with their format's places) and pictures (anchor and size in pixels, taken from
the drawing parts, so no imaging library is needed).

usage: read_xlsx.py WORKBOOK
The file is opened as a stream, so a name ending in ".xls" is read as well.
"""
import json
import re
import posixpath
import sys
import zipfile
import xml.etree.ElementTree as ET

import openpyxl

NS = {
    "xdr": "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing",
    "a": "http://schemas.openxmlformats.org/drawingml/2006/main",
    "rel": "http://schemas.openxmlformats.org/package/2006/relationships",
    "m": "http://schemas.openxmlformats.org/spreadsheetml/2006/main",
    "r": "http://schemas.openxmlformats.org/officeDocument/2006/relationships",
}
EMU_PER_PIXEL = 9525


def text(value, number_format="General"):
    """A cell as it shows: a number in a "0.00"-style format with those places."""
    if value is None:
        return ""
    if isinstance(value, (int, float)) and not isinstance(value, bool):
        m = re.fullmatch(r"0(?:\.(0+))?", number_format or "")
        if m:
            return "%.*f" % (len(m.group(1) or ""), value)
    return str(value)


def rels(zf, part):
    folder, name = posixpath.split(part)
    path = posixpath.join(folder, "_rels", name + ".rels")
    if path not in zf.namelist():
        return {}
    root = ET.fromstring(zf.read(path))
    out = {}
    for r in root.findall("rel:Relationship", NS):
        out[r.get("Id")] = posixpath.normpath(posixpath.join(folder, r.get("Target")))
    return out


def pictures(zf):
    """Sheet name -> list of pictures."""
    workbook = ET.fromstring(zf.read("xl/workbook.xml"))
    wb_rels = rels(zf, "xl/workbook.xml")
    out = {}
    for sheet in workbook.find("m:sheets", NS):
        name = sheet.get("name")
        part = wb_rels[sheet.get("{%s}id" % NS["r"])]
        out[name] = []
        for target in rels(zf, part).values():
            if "/drawings/" not in target:
                continue
            drawing = ET.fromstring(zf.read(target))
            for anchor in list(drawing):
                start = anchor.find("xdr:from", NS)
                ext = anchor.find(".//a:xfrm/a:ext", NS)
                if start is None or ext is None:
                    continue
                out[name].append({
                    "row": int(start.find("xdr:row", NS).text),
                    "col": int(start.find("xdr:col", NS).text),
                    "width": round(int(ext.get("cx")) / EMU_PER_PIXEL),
                    "height": round(int(ext.get("cy")) / EMU_PER_PIXEL),
                })
    return out


def style(cell):
    fill = cell.fill
    shaded = fill is not None and fill.fill_type == "solid"
    return "%s/%g/%s/%s/%s" % (
        cell.font.name, cell.font.sz or 0, cell.alignment.horizontal or "-",
        cell.border.left.style or "-",
        (fill.fgColor.rgb if shaded else "-"))


def main():
    path = sys.argv[1]
    with open(path, "rb") as stream:
        book = openpyxl.load_workbook(stream)
    with zipfile.ZipFile(path) as zf:
        images = pictures(zf)
    with zipfile.ZipFile(path) as zf:
        styles = ET.fromstring(zf.read("xl/styles.xml"))
    xfs = styles.find("m:cellXfs", NS)
    out = {"sheets": book.sheetnames, "active": book.index(book.active), "sheet": {},
           "xfs": len(xfs) if xfs is not None else 0}
    for ws in book.worksheets:
        rows = []
        styles = {}
        numbers = {}
        shaded = []
        for r in range(1, ws.max_row + 1):
            values = [text(ws.cell(r, c).value, ws.cell(r, c).number_format) for c in range(1, ws.max_column + 1)]
            while values and values[-1] == "":
                values.pop()
            rows.append(values)
            a = ws.cell(r, 1)
            if a.fill is not None and a.fill.fill_type == "solid":
                shaded.append(r)
            for c in range(1, ws.max_column + 1):
                cell = ws.cell(r, c)
                if isinstance(cell.value, (int, float)) and not isinstance(cell.value, bool):
                    numbers[cell.coordinate] = [cell.value, cell.number_format]
                if cell.has_style:
                    styles[cell.coordinate] = style(cell)
        widths = {}
        for dim in ws.column_dimensions.values():
            if dim.width and dim.min:
                for c in range(dim.min, dim.max + 1):
                    # Stored widths carry the cell padding (5 px at 7 px a character).
                    widths[openpyxl.utils.get_column_letter(c)] = round((dim.width * 7 - 5) / 7, 1)
        heights = {str(r): d.height for r, d in ws.row_dimensions.items() if d.height is not None}
        out["sheet"][ws.title] = {
            "max_row": ws.max_row,
            "rows": rows,
            "merged": sorted(str(m) for m in ws.merged_cells.ranges),
            "widths": widths,
            "heights": heights,
            "shaded": shaded,
            "styles": styles,
            "numbers": numbers,
            "images": images.get(ws.title, []),
            "print": {
                "orientation": ws.page_setup.orientation or "",
                "paper": int(ws.page_setup.paperSize or 0),
                "fit": [int(ws.page_setup.fitToWidth if ws.page_setup.fitToWidth is not None else 1),
                        int(ws.page_setup.fitToHeight if ws.page_setup.fitToHeight is not None else 1)]
                       if ws.sheet_properties.pageSetUpPr is not None and ws.sheet_properties.pageSetUpPr.fitToPage
                       else [],
                "titles": ws.print_title_rows or "",
                "footer": ws.oddFooter.center.text or "",
            },
        }
    json.dump(out, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()
