#!/usr/bin/env python3
"""Writes the skin images (resources/skin/<number>.svg), their .qrc and the
README index. The numbers are the bitmap resource numbers the shell and the
pages ask for; each image has the size its control is laid out with.

Run from the repository root: python3 scripts/make-skin.py
"""
import os

OUT = os.path.join(os.path.dirname(__file__), "..", "resources", "skin")

NAVY = "#0A1A33"
NAVY2 = "#0F2A4F"
BLUE = "#14467A"
TEAL = "#12A5A0"
TEAL_L = "#5EE1D2"
TEAL_D = "#0B7C7A"
INK = "#12263F"
MUTED = "#5B7088"
FONT = "DejaVu Sans, Verdana, sans-serif"

index = []  # (number, size, description)


def svg(w, h, body, defs=""):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" '
            f'viewBox="0 0 {w} {h}"><defs>{defs}</defs>{body}</svg>\n')


def lin(gid, stops, x2=0, y2=1):
    def stop(o, c, a):
        op = "" if a is None else f' stop-opacity="{a}"'
        return f'<stop offset="{o}" stop-color="{c}"{op}/>'
    s = "".join(stop(o, c, a) for o, c, a in stops)
    return f'<linearGradient id="{gid}" x1="0" y1="0" x2="{x2}" y2="{y2}">{s}</linearGradient>'


def text(x, y, s, size, fill, weight="normal", anchor="start", opacity=1):
    s = s.replace("&", "&amp;")
    return (f'<text x="{x}" y="{y}" font-family="{FONT}" font-size="{size}" font-weight="{weight}" '
            f'fill="{fill}" fill-opacity="{opacity}" text-anchor="{anchor}">{s}</text>')


def write(num, w, h, body, defs, what):
    with open(os.path.join(OUT, f"{num}.svg"), "w") as f:
        f.write(svg(w, h, body, defs))
    index.append((num, f"{w} x {h}", what))


# Glyphs drawn in a 48 x 48 box, translated and scaled by the caller.
def glyph(kind, c="#FFFFFF", c2=TEAL_L):
    if kind == "deleted":  # document with a restore arrow
        return (f'<path d="M12 6h17l9 9v27H12z" fill="none" stroke="{c}" stroke-width="3" stroke-linejoin="round"/>'
                f'<path d="M29 6v9h9" fill="none" stroke="{c}" stroke-width="3"/>'
                f'<path d="M19 30a7 7 0 1 0 3-8" fill="none" stroke="{c2}" stroke-width="3.2" stroke-linecap="round"/>'
                f'<path d="M17 19l5 3-5 4z" fill="{c2}"/>')
    if kind == "format":  # disk with a sweep
        return (f'<rect x="6" y="12" width="36" height="24" rx="4" fill="none" stroke="{c}" stroke-width="3"/>'
                f'<circle cx="34" cy="30" r="2.5" fill="{c2}"/>'
                f'<path d="M11 20h20M11 26h14" stroke="{c2}" stroke-width="3" stroke-linecap="round"/>')
    if kind == "partition":  # pie with a lifted slice
        return (f'<circle cx="22" cy="26" r="15" fill="none" stroke="{c}" stroke-width="3"/>'
                f'<path d="M26 6a16 16 0 0 1 16 16H26z" fill="{c2}"/>'
                f'<path d="M22 11v15h15" fill="none" stroke="{c}" stroke-width="3"/>')
    if kind == "raw":  # magnifier over bytes
        return (f'<path d="M6 10h18M6 17h12M6 24h10" stroke="{c2}" stroke-width="3" stroke-linecap="round"/>'
                f'<circle cx="27" cy="25" r="10" fill="none" stroke="{c}" stroke-width="3.2"/>'
                f'<path d="M34 32l8 8" stroke="{c}" stroke-width="4.5" stroke-linecap="round"/>')
    if kind == "mail":
        return (f'<rect x="6" y="12" width="36" height="25" rx="3" fill="none" stroke="{c}" stroke-width="3"/>'
                f'<path d="M7 14l17 13 17-13" fill="none" stroke="{c2}" stroke-width="3" stroke-linejoin="round"/>')
    if kind == "pst":  # mail store with a wrench tick
        return (f'<rect x="8" y="8" width="26" height="32" rx="3" fill="none" stroke="{c}" stroke-width="3"/>'
                f'<path d="M13 17h16M13 24h16M13 31h9" stroke="{c}" stroke-width="2.5" stroke-linecap="round"/>'
                f'<circle cx="36" cy="34" r="8" fill="{c2}"/>'
                f'<path d="M32 34l3 3 5-6" fill="none" stroke="{NAVY}" stroke-width="2.5" stroke-linecap="round"/>')
    if kind == "dbx":  # envelope with a repair badge
        return (f'<rect x="4" y="12" width="32" height="23" rx="3" fill="none" stroke="{c}" stroke-width="3"/>'
                f'<path d="M5 14l15 11 15-11" fill="none" stroke="{c}" stroke-width="3"/>'
                f'<circle cx="37" cy="35" r="8" fill="{c2}"/>'
                f'<path d="M37 30v10M32 35h10" stroke="{NAVY}" stroke-width="2.5" stroke-linecap="round"/>')
    if kind == "home":
        return (f'<path d="M6 24L24 8l18 16" fill="none" stroke="{c}" stroke-width="3.5" stroke-linecap="round" stroke-linejoin="round"/>'
                f'<path d="M12 21v19h24V21" fill="none" stroke="{c}" stroke-width="3.5" stroke-linejoin="round"/>'
                f'<rect x="20" y="28" width="8" height="12" fill="{c2}"/>')
    if kind == "help":
        return (f'<circle cx="24" cy="24" r="17" fill="none" stroke="{c}" stroke-width="3.5"/>'
                f'<path d="M18 19a6 6 0 1 1 8 6c-2 1-2 2-2 5" fill="none" stroke="{c2}" stroke-width="3.5" stroke-linecap="round"/>'
                f'<circle cx="24" cy="35" r="2.3" fill="{c2}"/>')
    if kind == "about":
        return (f'<circle cx="24" cy="24" r="17" fill="none" stroke="{c}" stroke-width="3.5"/>'
                f'<circle cx="24" cy="15" r="2.5" fill="{c2}"/>'
                f'<path d="M24 21v14" stroke="{c2}" stroke-width="3.8" stroke-linecap="round"/>')
    if kind == "recover":
        return (f'<path d="M8 30v10h32V30" fill="none" stroke="{c}" stroke-width="3.5" stroke-linejoin="round"/>'
                f'<path d="M24 6v24M15 21l9 9 9-9" fill="none" stroke="{c2}" stroke-width="3.5" stroke-linecap="round" stroke-linejoin="round"/>')
    if kind == "filter":
        return f'<path d="M6 8h36L28 25v13l-8 4V25z" fill="none" stroke="{c}" stroke-width="3.5" stroke-linejoin="round"/>'
    if kind == "view":
        return (f'<rect x="6" y="6" width="15" height="15" rx="2" fill="{c}"/><rect x="27" y="6" width="15" height="15" rx="2" fill="{c2}"/>'
                f'<rect x="6" y="27" width="15" height="15" rx="2" fill="{c2}"/><rect x="27" y="27" width="15" height="15" rx="2" fill="{c}"/>')
    if kind == "option":
        return (f'<circle cx="24" cy="24" r="7" fill="none" stroke="{c2}" stroke-width="3.5"/>'
                f'<path d="M24 5v8M24 35v8M5 24h8M35 24h8M10.5 10.5l5.7 5.7M31.8 31.8l5.7 5.7M10.5 37.5l5.7-5.7M31.8 16.2l5.7-5.7" '
                f'stroke="{c}" stroke-width="3.5" stroke-linecap="round"/>')
    if kind == "back":
        return f'<path d="M30 8L14 24l16 16" fill="none" stroke="{c}" stroke-width="5" stroke-linecap="round" stroke-linejoin="round"/>'
    if kind == "next":
        return f'<path d="M18 8l16 16-16 16" fill="none" stroke="{c}" stroke-width="5" stroke-linecap="round" stroke-linejoin="round"/>'
    if kind == "disk":  # disk image with a plus
        return (f'<rect x="4" y="14" width="32" height="20" rx="4" fill="none" stroke="{c}" stroke-width="3.5"/>'
                f'<circle cx="28" cy="28" r="2.6" fill="{c}"/>'
                f'<circle cx="38" cy="12" r="9" fill="{c2}"/>'
                f'<path d="M38 7v10M33 12h10" stroke="#FFFFFF" stroke-width="3" stroke-linecap="round"/>')
    if kind == "ok":
        return f'<path d="M9 25l10 10 20-22" fill="none" stroke="{c}" stroke-width="5" stroke-linecap="round" stroke-linejoin="round"/>'
    if kind == "data":  # stacked disks
        return (f'<ellipse cx="24" cy="11" rx="16" ry="6" fill="none" stroke="{c}" stroke-width="3"/>'
                f'<path d="M8 11v26c0 3.3 7.2 6 16 6s16-2.7 16-6V11" fill="none" stroke="{c}" stroke-width="3"/>'
                f'<path d="M8 24c0 3.3 7.2 6 16 6s16-2.7 16-6" fill="none" stroke="{c2}" stroke-width="3"/>')
    raise KeyError(kind)


def place(kind, x, y, size, c="#FFFFFF", c2=TEAL_L):
    s = size / 48.0
    return f'<g transform="translate({x},{y}) scale({s})">{glyph(kind, c, c2)}</g>'


def logo(x, y, s):
    return (f'<g transform="translate({x},{y}) scale({s})">'
            f'<path d="M12 1l10 4v7c0 6-4.5 10-10 11C6.5 22 2 18 2 12V5z" fill="{TEAL}"/>'
            f'<path d="M7 11l4 4 6-7" fill="none" stroke="#FFFFFF" stroke-width="2.4" stroke-linecap="round" stroke-linejoin="round"/></g>')


def backdrop(w, h, gid="bg"):
    defs = lin(gid, [(0, NAVY, None), (0.55, NAVY2, None), (1, BLUE, None)], x2=1, y2=0.4)
    body = f'<rect width="{w}" height="{h}" fill="url(#{gid})"/>'
    return defs, body


def main():
    os.makedirs(OUT, exist_ok=True)

    # Caption of the main frame.
    d, b = backdrop(770, 36)
    b += '<rect y="35" width="770" height="1" fill="#2BC4B8" fill-opacity="0.55"/>'
    b += logo(10, 6, 1.0)
    b += text(40, 23, "Vantor Data Recovery Professional 2.0", 13, "#FFFFFF", "bold")
    b += text(352, 23, "Recover what matters", 11, TEAL_L, opacity=0.8)
    write(212, 770, 36, b, d, "main-frame caption")

    # Start-page banner; the top-bar buttons cover x 13-143, 472-602, 624-754.
    d, b = backdrop(772, 107, "bn")
    d += lin("glow", [(0, TEAL, 0.35), (1, TEAL, 0)], x2=1, y2=0)
    b += '<circle cx="300" cy="-40" r="160" fill="url(#glow)"/>'
    b += '<path d="M0 96C200 70 420 120 772 84V107H0z" fill="#FFFFFF" fill-opacity="0.05"/>'
    b += text(158, 46, "Vantor Data Recovery", 22, "#FFFFFF", "bold")
    b += text(159, 70, "Deleted, formatted and lost data back", 12, TEAL_L)
    b += text(159, 88, "from FAT, exFAT, NTFS and EXT drives", 11, "#C9D8EA", opacity=0.85)
    b += '<rect y="106" width="772" height="1" fill="#2BC4B8" fill-opacity="0.6"/>'
    write(213, 772, 107, b, d, "start-page / page banner")

    # Left panel of the start page (category list sits on it).
    d = lin("lp", [(0, "#102B4E", None), (1, "#0A1A33", None)])
    b = '<rect width="168" height="362" fill="url(#lp)"/>'
    b += '<rect x="167" width="1" height="362" fill="#2BC4B8" fill-opacity="0.35"/>'
    b += text(18, 24, "CATEGORIES", 9, "#7FA3C8", "bold")
    write(237, 168, 362, b, d, "start-page left panel")

    def right_panel(num, title, hint, what):
        d = lin("rp", [(0, "#F4F8FB", None), (1, "#E3ECF4", None)])
        b = '<rect width="602" height="362" fill="url(#rp)"/>'
        b += '<rect width="602" height="3" fill="#12A5A0" fill-opacity="0.85"/>'
        if title:
            b += text(16, 14, title, 9, MUTED, "bold")
        if hint:
            b += place("data", 259, 95, 84, "#B6C7D8", "#8FD9D1")
            b += text(301, 220, hint, 16, INK, "bold", "middle")
            b += text(301, 246, "Pick \u201cData Recovery\u201d or \u201cEmail Repair\u201d on the left", 11, MUTED, anchor="middle")
            b += text(301, 266, "to see the tasks of that category.", 11, MUTED, anchor="middle")
        write(num, 602, 362, b, d, what)

    right_panel(236, "", "Welcome to Vantor Data Recovery", "start-page right panel, no category")
    right_panel(238, "DATA RECOVERY  \u00b7  CHOOSE A TASK", "", "start-page right panel, Data Recovery")
    right_panel(239, "EMAIL REPAIR  \u00b7  CHOOSE A TASK", "", "start-page right panel, Email Repair")

    # Caption buttons 20 x 17: minimize 158 (rest) / 157 (pressed, hover); close 131 / 130.
    def caption_button(num, kind, active, what):
        fill = ("#E5484D" if kind == "close" else "#FFFFFF") if active else "#FFFFFF"
        op = (1 if kind == "close" else 0.18) if active else 0.0
        b = f'<rect x="0.5" y="0.5" width="19" height="16" rx="3" fill="{fill}" fill-opacity="{op}"/>'
        if kind == "min":
            b += '<rect x="5" y="10" width="10" height="2" fill="#FFFFFF"/>'
        else:
            b += '<path d="M6 4.5l8 8M14 4.5l-8 8" stroke="#FFFFFF" stroke-width="1.8" stroke-linecap="round"/>'
        write(num, 20, 17, b, "", what)

    caption_button(158, "min", False, "Minimize, normal and disabled")
    caption_button(157, "min", True, "Minimize, pressed and hover")
    caption_button(131, "close", False, "Close, normal and disabled")
    caption_button(130, "close", True, "Close, pressed and hover")

    # Top-bar buttons 130 x 94 on the banner: normal / pressed / hover.
    def top_button(nums, kind, label, what):
        for num, state in zip(nums, ("normal", "pressed", "hover")):
            b = ""
            if state == "hover":
                b += '<rect x="6" y="6" width="118" height="82" rx="12" fill="#FFFFFF" fill-opacity="0.12" stroke="#5EE1D2" stroke-opacity="0.7"/>'
            if state == "pressed":
                b += '<rect x="6" y="6" width="118" height="82" rx="12" fill="#000000" fill-opacity="0.25" stroke="#5EE1D2" stroke-opacity="0.9"/>'
            dy = 1 if state == "pressed" else 0
            b += place(kind, 45, 14 + dy, 40)
            b += text(65, 76 + dy, label, 12, "#FFFFFF", "bold", "middle")
            write(num, 130, 94, b, "", f"{what}, {state}")

    top_button((156, 140, 294), "home", "Home", "Home button")
    top_button((139, 138, 293), "help", "Help", "Help button")
    top_button((220, 219, 292), "about", "About", "About button")

    # Task buttons 568 x 71: icon, title and one line of description.
    tasks = [
        ((250, 251, 252), "deleted", "Deleted Recovery", "Bring back files deleted from a FAT, exFAT, NTFS or EXT partition"),
        ((253, 254, 255), "format", "Format Recovery", "Rebuild files and folders of a formatted FAT, exFAT or NTFS drive"),
        ((243, 241, 242), "partition", "Partition Recovery", "Find lost partitions and restore the partition table"),
        ((244, 245, 246), "raw", "Raw Recovery", "Carve files of known types out of any sector range"),
        ((311, 309, 310), "mail", "Email Recovery", "Deleted recovery limited to mail stores (.dbx .pst .box)"),
        ((240, 260, 261), "pst", "Outlook Repair", "Copy a damaged Outlook .pst store and repair its signature"),
        ((259, 257, 258), "dbx", "Outlook Express Repair", "Copy damaged Outlook Express .dbx folders and repair them"),
    ]
    for nums, kind, title, desc in tasks:
        for num, state in zip(nums, ("normal", "pressed", "hover")):
            if state == "normal":
                face = lin("f", [(0, "#FFFFFF", None), (1, "#EEF3F8", None)])
                border, tcol, dcol, badge = "#C7D5E3", INK, MUTED, lin("bd", [(0, BLUE, None), (1, NAVY2, None)], 1, 1)
            elif state == "hover":
                face = lin("f", [(0, "#FFFFFF", None), (1, "#DDF6F3", None)])
                border, tcol, dcol, badge = TEAL, INK, "#2F5F6E", lin("bd", [(0, TEAL, None), (1, TEAL_D, None)], 1, 1)
            else:
                face = lin("f", [(0, TEAL_D, None), (1, "#0A5E66", None)])
                border, tcol, dcol, badge = "#0A5E66", "#FFFFFF", "#CDEFEA", lin("bd", [(0, NAVY2, None), (1, NAVY, None)], 1, 1)
            dy = 1 if state == "pressed" else 0
            b = '<rect x="1" y="3" width="566" height="67" rx="12" fill="#0A1A33" fill-opacity="0.10"/>'
            b += f'<rect x="0.5" y="0.5" width="566" height="67" rx="12" fill="url(#f)" stroke="{border}" stroke-width="1.2"/>'
            if state == "hover":
                b += f'<rect x="0.5" y="10" width="4" height="48" rx="2" fill="{TEAL}"/>'
            b += f'<rect x="14" y="{10 + dy}" width="48" height="48" rx="11" fill="url(#bd)"/>'
            b += place(kind, 20, 16 + dy, 36)
            b += text(78, 30 + dy, title, 15, tcol, "bold")
            b += text(78, 50 + dy, desc, 11, dcol)
            chev = "#FFFFFF" if state == "pressed" else (TEAL if state == "hover" else "#9DB1C6")
            b += f'<path d="M540 {26 + dy}l8 8-8 8" fill="none" stroke="{chev}" stroke-width="2.5" stroke-linecap="round" stroke-linejoin="round"/>'
            write(num, 568, 71, b, face + badge, f"task button {title}, {state}")

    # Category list faces 131 x 90: 227 / 226 (selected) Data Recovery, 233 / 232 Email Repair.
    for num, kind, label, sel in ((227, "data", "Data Recovery", False), (226, "data", "Data Recovery", True),
                                  (233, "mail", "Email Repair", False), (232, "mail", "Email Repair", True)):
        d = lin("cs", [(0, TEAL, None), (1, TEAL_D, None)], 1, 1)
        b = ""
        if sel:
            b += '<rect x="1" y="1" width="129" height="88" rx="12" fill="url(#cs)"/>'
        else:
            b += '<rect x="1" y="1" width="129" height="88" rx="12" fill="#FFFFFF" fill-opacity="0.06" stroke="#FFFFFF" stroke-opacity="0.15"/>'
        b += place(kind, 47, 10, 36, "#FFFFFF", "#FFFFFF" if sel else TEAL_L)
        b += text(65, 70, label, 12, "#FFFFFF", "bold", "middle", 1 if sel else 0.85)
        write(num, 131, 90, b, d, f"category {label}, {'selected' if sel else 'normal'}")

    # Drive browser background 772 x 371 below the banner (drawn at -1, 107).
    # Cards frame the tree (page 39,147-356,390) and the property panel
    # (448,130-744,220) with the chart (470,210-699,310); the footer row
    # holds Option, Open disk image, Back and Next.
    d = lin("db", [(0, "#F4F8FB", None), (1, "#E1EAF3", None)])
    d += lin("ft", [(0, "#E6EDF4", None), (1, "#D6E1EC", None)])
    b = '<rect width="772" height="371" fill="url(#db)"/>'
    b += '<rect width="772" height="3" fill="#12A5A0" fill-opacity="0.85"/>'
    b += '<rect x="25" y="10" width="344" height="289" rx="10" fill="#FFFFFF" stroke="#C7D5E3"/>'
    b += place("data", 40, 15, 16, TEAL_D, TEAL)
    b += text(62, 28, "Select a drive or partition", 12, INK, "bold")
    b += '<rect x="40" y="34" width="318" height="1" fill="#E3ECF4"/>'
    b += '<rect x="437" y="10" width="320" height="289" rx="10" fill="#FFFFFF" stroke="#C7D5E3"/>'
    b += place("about", 451, 15, 16, TEAL_D, TEAL)
    b += text(473, 28, "Properties", 12, INK, "bold")
    b += '<rect x="451" y="34" width="292" height="1" fill="#E3ECF4"/>'
    b += '<rect x="451" y="98" width="292" height="112" rx="8" fill="#F0F0F0"/>'
    b += '<rect x="0" y="304" width="772" height="67" fill="url(#ft)"/>'
    b += '<rect x="0" y="304" width="772" height="1" fill="#C7D5E3"/>'
    write(151, 772, 371, b, d, "drive browser background")

    # Result page background 770 x 362 (drawn at 0, 107).
    d = lin("rb", [(0, "#EAF1F7", None), (1, "#D8E3EE", None)]) + lin("rs", [(0, NAVY2, None), (1, NAVY, None)])
    b = '<rect width="770" height="362" fill="url(#rb)"/>'
    b += '<rect width="770" height="3" fill="#12A5A0" fill-opacity="0.85"/>'
    b += '<rect x="0" y="300" width="770" height="62" fill="url(#rs)"/>'
    b += '<rect x="0" y="300" width="770" height="1" fill="#2BC4B8" fill-opacity="0.6"/>'
    write(172, 770, 362, b, d, "FAT result page background")

    # Small buttons: kind, size, faces (normal, pressed, hover, disabled).
    def small_button(nums, w, h, kind, label, primary, dark=False):
        states = ("normal", "pressed", "hover", "disabled")
        for num, state in zip(nums, states):
            if num is None:
                continue
            if primary:
                g = {"normal": (TEAL, TEAL_D), "hover": ("#22C3BC", TEAL), "pressed": (TEAL_D, "#095F63"),
                     "disabled": ("#A9B8C6", "#98A8B8")}[state]
                tcol, stroke = "#FFFFFF", "none"
            elif dark:
                g = {"normal": ("#1C4272", "#143459"), "hover": ("#24578F", "#1C4272"), "pressed": ("#0F2A4F", "#0A1A33"),
                     "disabled": ("#3A4E66", "#33465C")}[state]
                tcol, stroke = ("#FFFFFF" if state != "disabled" else "#8FA1B5"), "#5EE1D2" if state == "hover" else "#2C5A8C"
            else:
                g = {"normal": ("#FFFFFF", "#E8EEF4"), "hover": ("#FFFFFF", "#D9F3F0"), "pressed": ("#D1DCE7", "#C2D0DE"),
                     "disabled": ("#EEF1F4", "#E6EAEE")}[state]
                tcol = {"disabled": "#A3B0BD"}.get(state, INK)
                stroke = TEAL if state == "hover" else "#AFC0D1"
            d = lin("sb", [(0, g[0], None), (1, g[1], None)])
            dy = 1 if state == "pressed" else 0
            b = f'<rect x="0.5" y="0.5" width="{w - 1}" height="{h - 1}" rx="{h // 2 - 2}" fill="url(#sb)" stroke="{stroke}"/>'
            gc = tcol if primary or dark else (TEAL_D if state != "disabled" else "#B5C0CB")
            if kind == "next":
                b += text(w / 2 - 8, h / 2 + 5 + dy, label, 12, tcol, "bold", "middle")
                b += place(kind, w - 30, (h - 16) / 2 + dy, 16, tcol, tcol)
            else:
                # The label is centred in the room right of the icon.
                b += place(kind, 12, (h - 16) / 2 + dy, 16, gc, gc)
                size = 12 if len(label) <= 10 else 11
                b += text((32 + w - 8) / 2, h / 2 + 4.5 + dy, label, size, tcol, "bold", "middle")
            write(num, w, h, b, d, f'"{label}" button, {state}')

    small_button((164, 163, 211, 166), 115, 32, "option", "Option", False)
    small_button((417, 418, 419, 420), 160, 32, "disk", "Open disk image...", False)
    small_button((425, 426, 427, None), 92, 32, "ok", "OK", True)
    small_button((160, 159, 210, None), 92, 32, "back", "Back", False)
    small_button((162, 161, 209, 167), 92, 32, "next", "Next", True)
    # Result-page buttons (numbers of this product's own, 400 up), on the dark footer.
    small_button((401, 402, 403, 404), 110, 32, "recover", "Recovery", True)
    small_button((405, 406, 407, 408), 92, 32, "filter", "Filter", False, dark=True)
    small_button((409, 410, 411, 412), 110, 32, "view", "View Mode", False, dark=True)
    small_button((413, 414, 415, 416), 92, 32, "back", "Back", False, dark=True)

    # Properties button: created without a size; its faces exist for completeness.
    for num, what in ((218, "normal"), (221, "pressed"), (262, "hover")):
        write(num, 16, 16, place("about", 0, 0, 16, "#FFFFFF"), "", f"Properties button, {what}")

    # Tree image list 165: three 16-pixel images (computer, drive, partition).
    b = ('<rect x="1" y="2" width="14" height="9" rx="1.5" fill="#1C4272"/><rect x="2.5" y="3.5" width="11" height="6" fill="#5EE1D2"/>'
         '<rect x="5" y="12" width="6" height="2" fill="#1C4272"/><rect x="3" y="14" width="10" height="1.5" fill="#1C4272"/>')
    b += ('<g transform="translate(16,0)"><rect x="1" y="4" width="14" height="9" rx="2" fill="#1C4272"/>'
          '<rect x="3" y="9" width="6" height="1.6" fill="#9FB8D3"/><circle cx="12" cy="9.8" r="1.3" fill="#5EE1D2"/></g>')
    b += ('<g transform="translate(32,0)"><circle cx="8" cy="8" r="6.5" fill="#D6E2EE" stroke="#1C4272" stroke-width="1.4"/>'
          '<path d="M8 8V1.5A6.5 6.5 0 0 1 14.5 8z" fill="#12A5A0"/></g>')
    write(165, 48, 16, b, "", "tree image list: computer, drive, partition (16 x 16 each; alpha instead of the red mask)")

    # Drive icons 32 x 32: 193 removable, 198 fixed.
    b = ('<rect x="9" y="3" width="14" height="26" rx="3" fill="#1C4272"/><rect x="12" y="0.5" width="8" height="5" rx="1" fill="#9FB8D3"/>'
         '<rect x="12" y="11" width="8" height="10" rx="1.5" fill="#5EE1D2"/>')
    write(193, 32, 32, b, "", "removable drive icon")
    d = lin("hd", [(0, "#2A5C93", None), (1, "#143459", None)])
    b = ('<rect x="2" y="8" width="28" height="17" rx="3.5" fill="url(#hd)"/><rect x="5" y="18" width="12" height="2.5" rx="1" fill="#9FB8D3"/>'
         '<circle cx="25" cy="19.2" r="2" fill="#5EE1D2"/>')
    write(198, 32, 32, b, d, "fixed drive icon")

    # About box background 420 x 250.
    d = lin("ab", [(0, "#F4F8FB", None), (1, "#E3ECF4", None)]) + backdrop(420, 92, "abh")[0]
    b = '<rect width="420" height="250" rx="0" fill="url(#ab)"/>'
    b += '<rect width="420" height="92" fill="url(#abh)"/>'
    b += '<rect y="92" width="420" height="2" fill="#12A5A0"/>'
    b += logo(22, 22, 2.0)
    b += text(80, 45, "Vantor Data Recovery", 19, "#FFFFFF", "bold")
    b += text(81, 68, "Professional 2.0", 12, TEAL_L)
    b += '<rect x="0.5" y="0.5" width="419" height="249" fill="none" stroke="#0A1A33"/>'
    write(424, 420, 250, b, d, "about box background")

    # Small icons, 16 x 16 unless said: tree images of the result pages
    # (186 root, 184 folder, 187 folder selected, 185 deleted folder,
    # 183 deleted folder selected), 194 a partition, 195 "Add backup file",
    # 196 "Auto Scan", 197 a backup file.
    def folder(fill, stroke, open_=False, cross=False):
        b = f'<path d="M1.5 4h5l1.5 1.5h6.5v8h-13z" fill="{fill}" stroke="{stroke}" stroke-width="1"/>'
        if open_:
            b += f'<path d="M1.5 13.5l2.2-6h12l-2.2 6z" fill="{TEAL_L}" stroke="{stroke}" stroke-width="1"/>'
        if cross:
            b += '<circle cx="12" cy="11.5" r="3.6" fill="#E5484D"/><path d="M10.4 9.9l3.2 3.2M13.6 9.9l-3.2 3.2" stroke="#FFFFFF" stroke-width="1.3"/>'
        return b
    write(184, 16, 16, folder("#F2C14E", "#B8862B"), "", "folder")
    write(187, 16, 16, folder("#F2C14E", "#B8862B", True), "", "folder, selected")
    write(185, 16, 16, folder("#C9D3DD", "#7C8B9A", False, True), "", "deleted folder")
    write(183, 16, 16, folder("#C9D3DD", "#7C8B9A", True, True), "", "deleted folder, selected")
    write(186, 16, 16, '<rect x="1" y="4" width="14" height="9" rx="2" fill="#1C4272"/>'
          '<rect x="3" y="9" width="6" height="1.6" fill="#9FB8D3"/><circle cx="12" cy="9.8" r="1.3" fill="#5EE1D2"/>',
          "", "volume root")
    write(194, 16, 16, '<circle cx="8" cy="8" r="6.5" fill="#D6E2EE" stroke="#1C4272" stroke-width="1.4"/>'
          '<path d="M8 8V1.5A6.5 6.5 0 0 1 14.5 8z" fill="#12A5A0"/>', "", "partition")
    write(197, 16, 16, '<path d="M3 1.5h7l3 3v10H3z" fill="#FFFFFF" stroke="#1C4272"/>'
          '<rect x="5" y="8" width="6" height="4" rx="1" fill="#12A5A0"/>', "", "partition backup file")
    write(196, 16, 16, '<circle cx="7" cy="7" r="4.8" fill="none" stroke="#1C4272" stroke-width="1.8"/>'
          '<path d="M10.5 10.5l4 4" stroke="#1C4272" stroke-width="2.2" stroke-linecap="round"/>'
          '<circle cx="7" cy="7" r="2" fill="#12A5A0"/>', "", "Auto Scan")
    write(195, 16, 16, '<path d="M3 1.5h7l3 3v10H3z" fill="#FFFFFF" stroke="#1C4272"/>'
          '<circle cx="11" cy="11" r="4" fill="#12A5A0"/><path d="M11 8.8v4.4M8.8 11h4.4" stroke="#FFFFFF" stroke-width="1.4"/>',
          "", "Add backup file")

    # Partition recovery page: background 772 x 362 (drawn at 0, 107),
    # "Backup" 92 x 29 (203 normal and hover, 202 pressed, 201 disabled) and
    # "Recovery" 117 x 34 (179, 178, 297, 180).
    d = lin("pb", [(0, "#F4F8FB", None), (1, "#E1EAF3", None)])
    b = '<rect width="772" height="362" fill="url(#pb)"/>'
    b += '<rect width="772" height="3" fill="#12A5A0" fill-opacity="0.85"/>'
    b += '<rect x="22" y="108" width="730" height="196" rx="10" fill="#FFFFFF" stroke="#C7D5E3"/>'
    b += '<rect x="0" y="304" width="772" height="58" fill="#DCE5EE"/>'
    write(204, 772, 362, b, d, "partition recovery page background")
    small_button((203, 202, None, 201), 92, 29, "disk", "Backup", False)
    small_button((179, 178, 297, 180), 117, 34, "recover", "Recovery", True)

    with open(os.path.join(OUT, "..", "skin.qrc"), "w") as f:
        f.write('<!DOCTYPE RCC><RCC version="1.0">\n<qresource prefix="/">\n')
        for num, _, _ in sorted(index):
            f.write(f"  <file>skin/{num}.svg</file>\n")
        f.write("</qresource>\n</RCC>\n")

    with open(os.path.join(OUT, "README.md"), "w") as f:
        f.write("# Skin images\n\nGenerated by `scripts/make-skin.py` (edit the script, not the SVGs). "
                "Each file is named by its bitmap resource number and drawn at its natural size; "
                "QtSvg renders it once into a pixmap.\n\n| number | size | what |\n|---|---|---|\n")
        for num, size, what in sorted(index):
            f.write(f"| {num} | {size} | {what} |\n")


if __name__ == "__main__":
    main()
