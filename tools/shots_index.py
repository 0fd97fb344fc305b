#!/usr/bin/env python3
"""Turns the pictures shots.exe wrote (24-bit BMP files, and index.tsv naming
each with what it shows and the entries drawn in it) into PNG files, an
index.html that shows each with its entries, and pictures.tsv, index.tsv's
lines naming the PNG files, for the review page to link them (hecat preview
--shots). The BMP files and index.tsv are removed.
    shots_index.py FOLDER HOW
HOW says which DLL drew them and how; the page needs no network.
"""
import html
import os
import struct
import sys
import zlib


def bmp_to_png(bmp_path, png_path):
    with open(bmp_path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        raise ValueError(bmp_path + ": not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    if bits != 24:
        raise ValueError(bmp_path + ": not a 24-bit BMP file")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        source_row = abs(height) - 1 - y if height > 0 else y
        start = offset + source_row * stride
        bgr = data[start:start + width * 3]
        rgb = bytearray(len(bgr))
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        rows.append(b"\0" + bytes(rgb))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, abs(height), 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9))
    png += chunk(b"IEND", b"")
    with open(png_path, "wb") as f:
        f.write(png)


def main():
    folder, how = sys.argv[1], sys.argv[2]
    with open(os.path.join(folder, "index.tsv"), encoding="utf-8") as f:
        rows = [line.rstrip("\n").split("\t") for line in f if line.strip()]
    items, lines = [], []
    for bmp, what, names in rows:
        png = os.path.splitext(bmp)[0] + ".png"
        bmp_to_png(os.path.join(folder, bmp), os.path.join(folder, png))
        os.remove(os.path.join(folder, bmp))
        lines.append(f"{png}\t{what}\t{names}\n")
        entries = ", ".join(html.escape(n) for n in names.split(",") if n)
        items.append(f'<figure id="{html.escape(png[:-4])}"><figcaption><b>{html.escape(what)}</b>'
                     f'<br><small>{entries}</small></figcaption><img src="{html.escape(png)}" alt="{html.escape(what)}">'
                     "</figure>")
    with open(os.path.join(folder, "pictures.tsv"), "w", encoding="utf-8", newline="\n") as f:
        f.writelines(lines)
    os.remove(os.path.join(folder, "index.tsv"))
    page = ("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
            "<title>DLLTranslation_HE in Windows controls</title>"
            "<style>body{font-family:sans-serif;margin:1em}figure{margin:0 0 2em}"
            "figcaption{margin-bottom:.4em}small{color:#555}</style></head><body>\n"
            "<h1>DLLTranslation_HE in Windows controls</h1>\n"
            f"<p>{len(items)} pictures, drawn by {html.escape(how)}. Each shows the texts the DLL delivers in the "
            "kind of control the editor shows them in; the entries are named under each.</p>\n"
            + "\n".join(items) + "\n</body></html>\n")
    with open(os.path.join(folder, "index.html"), "w", encoding="utf-8") as f:
        f.write(page)


if __name__ == "__main__":
    main()
