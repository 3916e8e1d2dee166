#!/usr/bin/env python3
"""Writes the pinout pages data/pages/<PART>.html from the family matrix data/family/family.json.

The PINOUT module shows its part's page (parameter PAGE) in the embedded browser, from a file:
URL, and fills it through the page's script functions. A page holds only its part's content
(views with inline SVG, check boxes, names); the stylesheet and the script are the same for
every part and live once beside the pages, as data/pages/pinout.css and data/pages/pinout.js
(kept by hand; the generator checks that the values the drawings rely on agree), which each
page loads by a relative link. Nothing is loaded from anywhere else, so the pages
work offline. Pages and shared files are committed, so a build needs no Python.

    python3 tools/gen_pinout_pages.py            write every page
    python3 tools/gen_pinout_pages.py --check    exit 1 when a file is missing, stale or extra, or
                                                 a shared file disagrees with the drawings

What a page holds:
  * one view per package of the part, in the order of the part's package list, with tabs at the
    top; QFP packages are drawn as a square body with pins counter-clockwise from pin 1 at the
    top of the left side, SOIC packages with pins on two sides, MAPBGA packages as a ball grid
    (rows A.. without I, O, Q, S, X, Z; columns 1..) with a table of the balls;
  * the package pins: the part's GPIO pins (port order, then pin order) and supply/reset pins,
    a quarter of the package and at least four; a package with too few places for both bonds
    as many GPIO pins as fit and lists the others in a note; places left over are NC;
  * every element of a GPIO pin carries data-pin="GPIO_B6", so that SetPinName reaches every
    occurrence of the pin in every view;
  * the panel "Peripheral modules": one check box GPIOXB_<module> per module that the pin
    description lines route to pins (GPIO_* and SYS aside), and for a module that reaches more
    than one port one more box per port, GPIOXB_<module>__<filter>, where the filter is the
    lower-case port letter followed by the pin characters (0-9, then A-F for pins 10-15);
  * the heading with the CPU name and a hidden "Preliminary data" banner;
  * the zoom buttons "Fit" and "100 %" beside the package tabs. Drawings come at their own size
    (pin texts PIN_TEXT_PX high); the page trims each to what its texts take, "Fit" scales it to
    the drawing area but keeps pin texts at LEGIBLE_PX or more, and what does not fit scrolls
    from the top-left corner. A drawing smaller than the area stands in its middle.

Script functions (global; arguments arrive as text): ShowView(n), GetActiveView(),
SetPinName(pin, function, link), GetGpioCheckboxes(), SetGpioCheckbox(name, state),
SetCpuName(name), SetPreliminary(flag). A click on a check box keeps its state and navigates to
tarqna:PINOUT/PINOUT?<box name>; the program answers with SetGpioCheckbox calls.
"""

import argparse
import html
import json
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MATRIX = os.path.join(ROOT, "data", "family", "family.json")
PAGES = os.path.join(ROOT, "data", "pages")
# The stylesheet and script every page loads from its own folder.
SHARED_CSS = "pinout.css"
SHARED_SCRIPT = "pinout.js"

PORT_NAME = re.compile(r"^GPIO_([A-F])$")
MODULE_NAME = re.compile(r"^[A-Za-z_][A-Za-z0-9_]*$")
PAGE_NAME = re.compile(r"^[A-Za-z0-9_.\-]+\.html$")
PIN_CHARS = "0123456789ABCDEF"
# Ball grid rows skip the letters that read like digits or like each other.
BGA_ROWS = "ABCDEFGHJKLMNPRTUVWY"

# Supply and reset pins, in the order they are handed out; the tail repeats.
SUPPLY_NAMES = ["VDD", "VSS", "VDDA", "VSSA", "RESET", "VCAP"]
SUPPLY_REPEAT = ["VDD", "VSS"]


class MatrixError(Exception):
    pass


def esc(text):
    return html.escape(str(text), quote=True)


def num(value):
    """Coordinates without trailing zeros, so the SVG stays short."""
    text = f"{value:.1f}"
    return text[:-2] if text.endswith(".0") else text


# ---------------------------------------------------------------- the part's data

def walk(modules):
    for module in modules:
        yield module
        yield from walk(module.get("children", []))


def parse_pin_line(line, where):
    """Pin number and the owner lists of a pin description line, read like the GPIO module
    reads it: blanks, tabs and double quotes go, then comma-separated fields."""
    cleaned = "".join(c for c in line if c not in " \t\"")
    fields = cleaned.split(",")
    try:
        pin = int(fields[0], 0)
    except ValueError:
        raise MatrixError(f"{where}: pin line does not start with a pin number: {line!r}")
    owners = []
    for field in fields[1:]:
        if ":" in field:
            field = field.split(":", 1)[1]
        if field == "checkall":
            continue
        if "." not in field:
            raise MatrixError(f"{where}: function without a signal name in {line!r}")
        owners.append(field.split(".", 1)[0].split("|"))
    return pin, owners


class Part:
    """What one page needs of a part: its GPIO pins, packages and routed modules."""

    def __init__(self, part):
        self.name = part["part"]
        modules = list(walk(part["modules"]))
        by_name = {m["name"]: m for m in modules}
        pinout = by_name.get("PINOUT")
        if pinout is None:
            raise MatrixError(f"{self.name}: no PINOUT module")
        info = pinout.get("info", {})
        self.page = info.get("PAGE", "")
        if not PAGE_NAME.match(self.page):
            raise MatrixError(f"{self.name}: PAGE {self.page!r} is not a plain .html file name")
        self.cpu_name = info.get("CPUNAME", self.name)

        # GPIO pins in port order A..F, pin order.
        self.ports = []  # (letter, count)
        for port, count in part["ports"].items():
            match = PORT_NAME.match(port)
            if not match:
                raise MatrixError(f"{self.name}: port name {port!r} is not GPIO_A to GPIO_F")
            if not 0 < count <= len(PIN_CHARS):
                raise MatrixError(f"{self.name}: {port} has {count} pins, a port has 1 to 16")
            if port not in by_name:
                raise MatrixError(f"{self.name}: no module for {port}")
            self.ports.append((match.group(1), count))
        self.ports.sort()
        self.gpio_pins = [f"GPIO_{letter}{n}" for letter, count in self.ports for n in range(count)]

        # Routed modules: owner -> {port letter: set of pins}, in module tree order.
        routes = {}
        for letter, count in self.ports:
            port = "GPIO_" + letter
            for line in by_name[port].get("pins", []):
                pin, owner_lists = parse_pin_line(line, f"{self.name} {port}")
                if not 0 <= pin < count:
                    raise MatrixError(f"{self.name} {port}: pin {pin} is not one of its {count} pins")
                for owners in owner_lists:
                    for owner in owners:
                        if not MODULE_NAME.match(owner):
                            raise MatrixError(f"{self.name} {port}: bad module name {owner!r} in {line!r}")
                        # A line can name a module that only other parts of the group have;
                        # this part gets no box for it.
                        if owner == "SYS" or owner.startswith("GPIO_") or owner not in by_name:
                            continue
                        routes.setdefault(owner, {}).setdefault(letter, set()).add(pin)
        self.modules = [(m["name"], routes[m["name"]]) for m in modules if m["name"] in routes]

        self.packages = [(p["name"], int(p["pins"])) for p in part["packages"]]
        if not self.packages:
            raise MatrixError(f"{self.name}: no package")

    def checkboxes(self):
        """(box name, label, is a port box) for the panel: each module's box, then one box per
        port when the module reaches several ports."""
        boxes = []
        for module, ports in self.modules:
            boxes.append(("GPIOXB_" + module, module, False))
            if len(ports) > 1:
                for letter in sorted(ports):
                    pins = sorted(ports[letter])
                    name = f"GPIOXB_{module}__{letter.lower()}" + "".join(PIN_CHARS[p] for p in pins)
                    label = f"{module} ({', '.join(letter + str(p) for p in pins)})"
                    boxes.append((name, label, True))
        return boxes


# ---------------------------------------------------------------- pin assignment

def package_kind(name, pins):
    if name.startswith(("LQFP", "QFP", "TQFP")):
        if pins % 4 or pins < 8:
            raise MatrixError(f"{name}: a quad package needs a multiple of four pins")
        return "quad"
    if name.startswith(("SOIC", "SOP", "TSSOP")):
        if pins % 2 or pins < 4:
            raise MatrixError(f"{name}: a dual package needs an even number of pins")
        return "dual"
    if name.startswith(("MAPBGA", "BGA")):
        return "grid"
    raise MatrixError(f"{name}: unknown package style")


def supply_names(count):
    names = SUPPLY_NAMES[:count]
    while len(names) < count:
        names.append(SUPPLY_REPEAT[(len(names) - len(SUPPLY_NAMES)) % len(SUPPLY_REPEAT)])
    return names


def assign_pins(gpio_pins, places):
    """The package pins 1..places as (kind, name) with kind "gpio", "sup" or "nc", and the GPIO
    pins left unbonded. Supplies are spread evenly; each port's bonded pins stay together, and
    spare places go as even gaps between the ports."""
    supplies = max(4, places // 4)
    if supplies >= places:
        raise MatrixError(f"a package of {places} pins has no place for GPIO pins")
    bonded = gpio_pins[:places - supplies]
    unbonded = gpio_pins[len(bonded):]

    slots = [None] * places
    for i, name in enumerate(supply_names(supplies)):
        slots[(2 * i + 1) * places // (2 * supplies)] = ("sup", name)
    free = [i for i, slot in enumerate(slots) if slot is None]

    blocks = []
    for name in bonded:
        port = name[:len("GPIO_x")]
        if not blocks or blocks[-1][0] != port:
            blocks.append((port, []))
        blocks[-1][1].append(name)
    spare = len(free) - len(bonded)
    offset = 0
    for k, (_, names) in enumerate(blocks):
        start = offset + spare * k // len(blocks)
        for j, name in enumerate(names):
            slots[free[start + j]] = ("gpio", name)
        offset += len(names)
    slots = [slot or ("nc", "NC") for slot in slots]
    return slots, unbonded


# ---------------------------------------------------------------- drawings

FN_SHORT = 14  # characters of a function text shown beside a pin; the tooltip has all of it
PIN_TEXT_PX = 12  # pin names, functions and ball names at their own size (zoom 100 %)
LEGIBLE_PX = 11   # the smallest size the zoom control may scale them down to


def pin_group(kind, name, inner, ball=""):
    """One package pin; a GPIO pin carries its name for the script, a ball its place, which
    the script keeps in front of the tooltip."""
    attrs = f' data-pin="{esc(name)}"' if kind == "gpio" else ""
    if ball:
        attrs += f' data-ball="{ball}"'
    tip = f"{ball} {name}" if ball else name
    return f'<g class="pin {kind}"{attrs}><title>{esc(tip)}</title>{inner}</g>'


def label_text(kind, name, x, y, anchor, rotate):
    """Pin name next to the pin, function text further out."""
    transform = f' transform="rotate(-90 {num(x)} {num(y)})"' if rotate else ""
    name_span = f'<tspan class="nm">{esc(name)}</tspan>'
    fn_span = '<tspan class="fn short"></tspan>' if kind == "gpio" else ""
    parts = [name_span, fn_span] if anchor == "start" else [fn_span, name_span]
    body = " ".join(p for p in parts if p)
    return (f'<text class="lbl" x="{num(x)}" y="{num(y)}" text-anchor="{anchor}"'
            f'{transform}>{body}</text>')


def number_text(number, x, y, anchor, rotate):
    transform = f' transform="rotate(-90 {num(x)} {num(y)})"' if rotate else ""
    return (f'<text class="no" x="{num(x)}" y="{num(y)}" text-anchor="{anchor}"'
            f'{transform}>{number}</text>')


def body_caption(cx, cy, package, cpu):
    return (f'<text class="part cpuname" x="{num(cx)}" y="{num(cy - 8)}">{esc(cpu)}</text>'
            f'<text class="pkg" x="{num(cx)}" y="{num(cy + 14)}">{esc(package)}</text>')


STUB = 10      # pin stub length outside the body
GAP = 4        # stub tip to label
LABEL = 164    # room for "name function" beside a pin: GPIO_A10 and FN_SHORT characters


def pitch_for(per_side):
    return 18 if per_side <= 16 else 16


def quad_svg(package, cpu, slots):
    k = len(slots) // 4
    p = pitch_for(k)
    side = (k + 2) * p
    edge = STUB + GAP + LABEL
    size = side + 2 * edge
    left = top = edge
    right = bottom = edge + side
    out = [f'<rect class="body" x="{left}" y="{top}" width="{side}" height="{side}" rx="6"/>',
           f'<circle class="dot" cx="{num(left + p + 14)}" cy="{num(top + p + 14)}" r="5"/>',
           body_caption(size / 2, size / 2, package, cpu)]
    for i, (kind, name) in enumerate(slots):
        side_no, j = divmod(i, k)
        off = p + j * p + p / 2
        if side_no == 0:    # left, downwards
            y = top + off
            stub = f'<rect class="stub" x="{left - STUB}" y="{num(y - 3)}" width="{STUB}" height="6"/>'
            parts = [number_text(i + 1, left + 3, y, "start", False),
                     label_text(kind, name, left - STUB - GAP, y, "end", False)]
        elif side_no == 1:  # bottom, rightwards
            x = left + off
            stub = f'<rect class="stub" x="{num(x - 3)}" y="{bottom}" width="6" height="{STUB}"/>'
            parts = [number_text(i + 1, x, bottom - 3, "start", True),
                     label_text(kind, name, x, bottom + STUB + GAP, "end", True)]
        elif side_no == 2:  # right, upwards
            y = bottom - off
            stub = f'<rect class="stub" x="{right}" y="{num(y - 3)}" width="{STUB}" height="6"/>'
            parts = [number_text(i + 1, right - 3, y, "end", False),
                     label_text(kind, name, right + STUB + GAP, y, "start", False)]
        else:               # top, leftwards
            x = right - off
            stub = f'<rect class="stub" x="{num(x - 3)}" y="{top - STUB}" width="6" height="{STUB}"/>'
            parts = [number_text(i + 1, x, top + 3, "end", True),
                     label_text(kind, name, x, top - STUB - GAP, "start", True)]
        out.append(pin_group(kind, name, stub + "".join(parts)))
    return svg_element(size, size, out, package)


def dual_svg(package, cpu, slots):
    k = len(slots) // 2
    p = 22
    width = 150
    height = (k + 1) * p
    edge = STUB + GAP + LABEL
    left, top = edge, 14
    right, bottom = left + width, top + height
    out = [f'<rect class="body" x="{left}" y="{top}" width="{width}" height="{height}" rx="6"/>',
           f'<circle class="dot" cx="{left + 40}" cy="{top + 20}" r="5"/>',
           f'<path class="notch" d="M{num(left + width / 2 - 14)} {top}a14 14 0 0 0 28 0"/>',
           body_caption(left + width / 2, top + height / 2, package, cpu)]
    for i, (kind, name) in enumerate(slots):
        side_no, j = divmod(i, k)
        off = p + j * p
        if side_no == 0:
            y = top + off
            stub = f'<rect class="stub" x="{left - STUB}" y="{num(y - 3)}" width="{STUB}" height="6"/>'
            parts = [number_text(i + 1, left + 4, y, "start", False),
                     label_text(kind, name, left - STUB - GAP, y, "end", False)]
        else:
            y = bottom - off
            stub = f'<rect class="stub" x="{right}" y="{num(y - 3)}" width="{STUB}" height="6"/>'
            parts = [number_text(i + 1, right - 4, y, "end", False),
                     label_text(kind, name, right + STUB + GAP, y, "start", False)]
        out.append(pin_group(kind, name, stub + "".join(parts)))
    return svg_element(right + edge, bottom + 14, out, package)


def grid_shape(balls):
    """Side of the square grid and of the empty square in its middle: 160 balls are a 13 x 13
    grid without its middle 3 x 3. Without such a hole, the last places stay empty."""
    n = 1
    while n * n < balls:
        n += 1
    for hole in range(n - 2, 0, -1):
        for side in range(hole + 2, n + 1):
            if side * side - hole * hole == balls and (side - hole) % 2 == 0:
                return side, hole
    return n, 0


def grid_places(balls):
    side, hole = grid_shape(balls)
    if side > len(BGA_ROWS):
        raise MatrixError(f"a ball grid of {side} rows has no row letters")
    lo = (side - hole) // 2
    places = []
    for r in range(side):
        for c in range(side):
            if hole and lo <= r < lo + hole and lo <= c < lo + hole:
                continue
            places.append((r, c))
    return side, places[:balls]


def short_name(kind, name):
    return name[5:] if kind == "gpio" else name


def grid_view(package, slots):
    side, places = grid_places(len(slots))
    p = 48
    r = 21
    margin = 30
    size = margin + side * p + 12
    body = side * p + 8
    out = [f'<rect class="body" x="{margin - 4}" y="{margin - 4}" width="{body}" height="{body}" rx="8"/>',
           f'<path class="dot" d="M{margin - 4} {margin + 14}v-18h18z"/>']
    for c in range(side):
        out.append(f'<text class="ax" x="{num(margin + c * p + p / 2)}" y="{margin - 12}">{c + 1}</text>')
    for row in range(side):
        out.append(f'<text class="ax" x="{margin - 16}" y="{num(margin + row * p + p / 2 + 4)}">'
                   f'{BGA_ROWS[row]}</text>')
    rows = []
    for (kind, name), (row, c) in zip(slots, places):
        ball = f"{BGA_ROWS[row]}{c + 1}"
        cx = margin + c * p + p / 2
        cy = margin + row * p + p / 2
        inner = (f'<circle cx="{num(cx)}" cy="{num(cy)}" r="{r}"/>'
                 f'<text class="bid" x="{num(cx)}" y="{num(cy - 6)}">{ball}</text>'
                 f'<text class="bnm" x="{num(cx)}" y="{num(cy + 9)}">{esc(short_name(kind, name))}</text>')
        out.append(pin_group(kind, name, inner, ball))
        data = f' class="gpio" data-pin="{esc(name)}"' if kind == "gpio" else f' class="{kind}"'
        fn = '<td class="fn"></td>' if kind == "gpio" else "<td></td>"
        rows.append(f"<tr{data}><td>{ball}</td><td>{esc(name)}</td>{fn}</tr>")
    svg = svg_element(size, size, out, package)
    table = ('<div class="balls"><table><thead><tr><th>Ball</th><th>Pin</th><th>Function</th>'
             '</tr></thead><tbody>' + "".join(rows) + "</tbody></table></div>")
    return '<div class="grid">' + svg + table + "</div>"


def svg_element(width, height, items, package):
    """The drawing at its own size: the page scrolls rather than shrinking the pin texts, and
    the zoom control scales from these numbers."""
    return (f'<svg viewBox="0 0 {num(width)} {num(height)}" width="{num(width)}" '
            f'height="{num(height)}" role="img" aria-label="{esc(package)} package">'
            + "".join(items) + "</svg>")


def view_html(index, package, places, part):
    kind = package_kind(package, places)
    slots, unbonded = assign_pins(part.gpio_pins, places)
    if kind == "quad":
        drawing = quad_svg(package, part.cpu_name, slots)
    elif kind == "dual":
        drawing = dual_svg(package, part.cpu_name, slots)
    else:
        drawing = grid_view(package, slots)
    note = ""
    if unbonded:
        names = ", ".join(f'<span class="gpio" data-pin="{esc(n)}">{esc(n)}</span>' for n in unbonded)
        note = f'<p class="note">Not bonded in {esc(package)}: {names}</p>'
    hidden = "" if index == 0 else " hidden"
    return (f'<div class="view" id="view{index}" data-view="{index}"{hidden}>'
            f'<div class="stage">{drawing}</div>{note}</div>')


# ---------------------------------------------------------------- the page



ZOOM_BUTTONS = (
    '<div class="zoom" role="group" aria-label="Zoom">'
    '<button type="button" data-zoom="fit" title="Scale the drawing to the window, '
    'as far as the pin texts stay legible">Fit</button>'
    '<button type="button" data-zoom="100" title="The drawing at its own size">100 %</button>'
    '</div>')




def page_html(part):
    views = [view_html(i, name, places, part)
             for i, (name, places) in enumerate(part.packages)]
    on = ' class="on" aria-selected="true"'
    tabs = "".join(
        f'<button type="button" role="tab" data-view="{i}"{on if i == 0 else ""}>'
        f"{esc(name)} · {places} pins</button>"
        for i, (name, places) in enumerate(part.packages))
    labels = []
    for name, label, sub in part.checkboxes():
        cls = ' class="sub"' if sub else ""
        labels.append(f'<label{cls}><input type="checkbox" id="{name}" name="{name}">'
                      f"{esc(label)}</label>")
    panel = "".join(labels) or '<p class="empty">No module signals on pins</p>'
    cpu = esc(part.cpu_name)
    views_html = "\n".join(views)
    # The script gathers views, tabs and boxes when it runs, so it comes after all of them.
    return (
        "<!DOCTYPE html>\n"
        "<!-- Pinout page of " + esc(part.name) + ", generated from data/family/family.json by "
        "tools/gen_pinout_pages.py; change the matrix or the generator and run it instead of "
        "editing. -->\n"
        '<html lang="en"><head><meta charset="utf-8">'
        f'<title>{cpu} pinout</title>\n<link rel="stylesheet" href="{SHARED_CSS}"></head>\n'
        "<body>\n"
        f'<header><h1 class="cpuname">{cpu}</h1>'
        '<div id="prelim" hidden>Preliminary data</div>'
        f'<nav role="tablist">{tabs}</nav>{ZOOM_BUTTONS}</header>\n'
        f'<main><section id="views">\n{views_html}\n</section>\n'
        f'<aside><h2>Peripheral modules</h2>{panel}</aside></main>\n'
        f'<script src="{SHARED_SCRIPT}"></script>\n</body></html>\n')


# The stylesheet and script are kept by hand beside the pages; the drawings rely on these of
# their values, so the generator checks that they agree.
SHARED_AGREEMENT = {
    SHARED_CSS: [f".lbl{{font-size:{PIN_TEXT_PX}px;", f".bnm{{font-size:{PIN_TEXT_PX}px;"],
    SHARED_SCRIPT: [f"var FN_SHORT = {FN_SHORT};", f"var LEGIBLE_PX = {LEGIBLE_PX};",
                    f"var PIN_TEXT_PX = {PIN_TEXT_PX};"],
}


def shared_file_problems():
    """What the shared files lack: missing files or values that disagree with the drawings."""
    problems = []
    for name, needed in SHARED_AGREEMENT.items():
        path = os.path.join(PAGES, name)
        if not os.path.isfile(path):
            problems.append(f"missing: data/pages/{name}")
            continue
        with open(path, encoding="utf-8") as f:
            text = f.read()
        for piece in needed:
            if piece not in text:
                problems.append(f"data/pages/{name} does not say {piece!r}")
    return problems


# ---------------------------------------------------------------- files

def load_matrix():
    with open(MATRIX, encoding="utf-8") as f:
        return json.load(f)


def expected_files(matrix):
    """File name in data/pages -> its text: every part's page."""
    files = {}
    for entry in matrix["parts"]:
        part = Part(entry)
        if part.page in files or part.page in SHARED_AGREEMENT:
            raise MatrixError(f"{part.name}: PAGE {part.page} is used by another part too")
        files[part.page] = page_html(part)
    return files


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--check", action="store_true", help="compare instead of writing")
    args = parser.parse_args()

    try:
        files = expected_files(load_matrix())
    except (MatrixError, KeyError, TypeError, ValueError) as error:
        print(f"gen_pinout_pages: {error}", file=sys.stderr)
        return 2

    # Whatever else lies in the folder is staged beside the program too; say so.
    existing = set()
    if os.path.isdir(PAGES):
        existing = {n for n in os.listdir(PAGES) if os.path.isfile(os.path.join(PAGES, n))}
    if args.check:
        stale = []
        for name, text in sorted(files.items()):
            path = os.path.join(PAGES, name)
            if not os.path.exists(path):
                stale.append(name)
                continue
            with open(path, encoding="utf-8") as f:
                if f.read() != text:
                    stale.append(name)
        extra = sorted(existing - set(files) - set(SHARED_AGREEMENT))
        problems = shared_file_problems()
        for problem in problems:
            print(problem, file=sys.stderr)
        for name in stale:
            print(f"stale or missing: data/pages/{name}", file=sys.stderr)
        for name in extra:
            print(f"neither a page of the matrix nor a shared file: data/pages/{name}",
                  file=sys.stderr)
        return 1 if stale or extra or problems else 0

    problems = shared_file_problems()
    if problems:
        for problem in problems:
            print(f"gen_pinout_pages: {problem}", file=sys.stderr)
        return 2
    for name, text in files.items():
        with open(os.path.join(PAGES, name), "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
    for name in sorted(existing - set(files) - set(SHARED_AGREEMENT)):
        print(f"note: data/pages/{name} is neither a page of the matrix nor a shared file",
              file=sys.stderr)
    print(f"wrote {len(files)} pinout pages")
    return 0


if __name__ == "__main__":
    sys.exit(main())
