#!/usr/bin/env python3
"""Writes the architecture files data/<PART>.cfg from the family matrix data/family/family.json.

The matrix is the one source of the Corvex family: chip groups, packages, ports, vector
tables and the module tree of every part. The .cfg files and the interrupt controller's
vector tables (src/modules/intc_vectors.inc) are generated from it and committed, so a build
needs no Python.

    python3 tools/gen_architecture.py            write every data/<PART>.cfg and the vector tables
    python3 tools/gen_architecture.py --check    exit 1 when a generated file is missing, stale or extra
    python3 tools/gen_architecture.py --format   rewrite family.json in its canonical layout

Grammar choices of the written files (the reader cuts tokens like the header reader, with
"#", "//" and "/*" comments):
  * one entry per line: NAME KIND LINKED IRQ:list [label suffix] [help reference];
  * a label suffix or help reference that is not a plain word is written in double quotes,
    which the reader removes; help references always are, because "#" would start a comment;
  * a label with a display name is written in its two-part form "!display!suffix";
  * a help reference needs a label, since it is the sixth token of the line;
  * "{" and "}" stand on lines of their own; module information blocks hold "key=value"
    lines and, for GPIO ports, the pin description lines.
"""

import argparse
import json
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MATRIX = os.path.join(ROOT, "data", "family", "family.json")
DATA = os.path.join(ROOT, "data")
VECTORS = os.path.join(ROOT, "src", "modules", "intc_vectors.inc")

PLAIN_TOKEN = re.compile(r"^[A-Za-z0-9_.:,!+\-]+$")
NAME_TOKEN = re.compile(r"^[A-Za-z_][A-Za-z0-9_]*$")
# Text that would change how the reader cuts a block or a quoted field.
UNSAFE_IN_BLOCK = ("#", "//", "/*", "*/", "\"", "'", "{", "}")

GROUP_TITLES = {
    "classic": "classic group",
    "later": "later group",
    "Fenn": "Fenn group",
    "Tebo": "Tebo group",
    "Casp": "Casp group",
    "Brel": "Brel group",
    "Dorn": "Dorn group",
}


class MatrixError(Exception):
    pass


# ---------------------------------------------------------------- canonical JSON layout

def dump_json(value, width=140):
    """Pretty JSON that keeps short arrays and objects on one line, so that one vector or
    one simple module reads as one line."""

    def compact(v):
        return json.dumps(v, ensure_ascii=False, separators=(", ", ": "))

    def render(v, indent):
        text = compact(v)
        if not isinstance(v, (dict, list)) or len(text) + indent <= width:
            return text
        pad = " " * (indent + 2)
        if isinstance(v, dict):
            items = [pad + json.dumps(k, ensure_ascii=False) + ": " + render(x, indent + 2)
                     for k, x in v.items()]
            return "{\n" + ",\n".join(items) + "\n" + " " * indent + "}"
        items = [pad + render(x, indent + 2) for x in v]
        return "[\n" + ",\n".join(items) + "\n" + " " * indent + "]"

    return render(value, 0) + "\n"


# ---------------------------------------------------------------- architecture file text

def field_token(text, what, module):
    if "\"" in text or "\n" in text:
        raise MatrixError(f"{module}: {what} cannot hold a double quote or a line break: {text!r}")
    if text and PLAIN_TOKEN.match(text) and "#" not in text:
        return text
    return "\"" + text + "\""


def entry_line(module, depth):
    name = module["name"]
    for key in ("name", "kind"):
        if not NAME_TOKEN.match(module[key]):
            raise MatrixError(f"{name}: {key} {module[key]!r} is not a plain name")
    linked = module.get("linked", "NONE")
    if not NAME_TOKEN.match(linked):
        raise MatrixError(f"{name}: linked module {linked!r} is not a plain name")
    irq = "IRQ:" + ",".join(str(int(n)) for n in module.get("irq", []))
    fields = [name, module["kind"], linked, irq]

    label = module.get("label", "")
    display = module.get("display", "")
    if display:
        if "!" in display or "!" in label:
            raise MatrixError(f"{name}: display name and label cannot hold '!'")
        label = "!" + display + "!" + label
    help_ref = module.get("help", "")
    if help_ref and not label:
        raise MatrixError(f"{name}: a help reference needs a label suffix before it")
    if label:
        fields.append(field_token(label, "label", name))
    if help_ref:
        fields.append(field_token(help_ref, "help reference", name))

    # Columns line up across nesting levels; a long token just pushes the rest along.
    widths = (16, 18, 10, 16, 36)
    text = "    " * depth
    column = 0
    for i, token in enumerate(fields):
        text += token
        if i < len(fields) - 1:
            column += widths[i] if i < len(widths) else 0
            text = text.ljust(max(column, len(text) + 1))
    return text


def tree_lines(modules, depth, out):
    for module in modules:
        out.append(entry_line(module, depth))
        children = module.get("children", [])
        if children:
            out.append("    " * depth + "{")
            tree_lines(children, depth + 1, out)
            out.append("    " * depth + "}")


def walk(modules):
    for module in modules:
        yield module
        yield from walk(module.get("children", []))


def info_block(module):
    lines = []
    for key, value in module.get("info", {}).items():
        if "=" in key or not key.strip():
            raise MatrixError(f"{module['name']}: bad parameter name {key!r}")
        lines.append(f"{key}={value}")
    for pin in module.get("pins", []):
        if "=" in pin:
            raise MatrixError(f"{module['name']}: a pin line cannot hold '=': {pin!r}")
        lines.append(pin)
    for line in lines:
        if "\n" in line or any(bad in line for bad in UNSAFE_IN_BLOCK):
            raise MatrixError(f"{module['name']}: information line would be cut: {line!r}")
    return lines


def architecture_text(part, matrix):
    group = part["group"]
    table = matrix["vectorTables"][part["vectorTable"]]
    packages = ", ".join(f"{p['name']} ({p['pins']} pins)" for p in part["packages"])
    ports = ", ".join(f"{port} {count}" for port, count in part["ports"].items())
    out = [
        f"# Architecture of {part['part']} ({GROUP_TITLES[group]}), generated from family/family.json",
        "# by tools/gen_architecture.py; change the matrix and run the generator instead of editing.",
        f"# Packages: {packages}",
        f"# Ports (pins): {ports}",
        f"# Interrupt vectors: {part['vectorTable']} table, {table['count']} vectors",
        "#",
        "# NAME          KIND              LINKED    IRQ:vectors     label suffix                        help",
        ".BEGIN_TREE_LIST",
    ]
    tree_lines(part["modules"], 0, out)
    out.append(".END_TREE_LIST")
    out.append("")
    out.append("# Module parameters: key=value lines; GPIO pin lines are")
    out.append("# pin, [selector:]owner[|owner].signal, ... in the order of the pin's function list.")
    out.append(".BEGIN_MODULE_INFO")
    for module in walk(part["modules"]):
        lines = info_block(module)
        if not lines:
            continue
        out.append(module["name"])
        out.append("{")
        out.extend("    " + line for line in lines)
        out.append("}")
    out.append(".END_MODULE_INFO")
    return "\n".join(out) + "\n"


# ---------------------------------------------------------------- interrupt vector tables

# Flag bits the interrupt controller knows (ISR fixed, priority fixed, priority items, user slot).
KNOWN_VECTOR_FLAGS = 0x81F7


def c_string(text, where):
    if any(ord(c) < 0x20 or ord(c) > 0x7E for c in text):
        raise MatrixError(f"{where}: only printable ASCII can go into the vector tables: {text!r}")
    return "\"" + text.replace("\\", "\\\\").replace("\"", "\\\"") + "\""


def vector_rows(name, table):
    rows = []
    vectors = table["vectors"]
    if len(vectors) != table["count"]:
        raise MatrixError(f"vector table {name}: {len(vectors)} vectors, count says {table['count']}")
    for index, (number, source, flags_text) in enumerate(vectors):
        if number != index:
            raise MatrixError(f"vector table {name}: vector {number} stands at position {index}")
        flags = int(flags_text, 16)
        if flags & ~KNOWN_VECTOR_FLAGS:
            raise MatrixError(f"vector table {name}: vector {number} has unknown flags {flags_text}")
        text = c_string(f"{number}. {source}", f"vector table {name}")
        rows.append(f"    {{{c_string(name, name)}, {number}, {text}, 0x{flags:04X}}},")
    return rows


def part_row(part, matrix):
    name = part["part"]
    table = matrix["vectorTables"].get(part["vectorTable"])
    if table is None:
        raise MatrixError(f"{name}: no vector table {part['vectorTable']!r}")
    reserved = part.get("reservedVectors", [])
    used = {n for module in walk(part["modules"]) for n in module.get("irq", [])}
    for vector in reserved:
        if not 0 <= vector < table["count"]:
            raise MatrixError(f"{name}: reserved vector {vector} is not in its table")
        if vector in used:
            raise MatrixError(f"{name}: reserved vector {vector} is used by a module")
    listed = ",".join(str(int(n)) for n in reserved)
    return f"    {{{c_string(name, name)}, {c_string(part['vectorTable'], name)}, {c_string(listed, name)}}},"


def vectors_text(matrix):
    out = [
        "// Interrupt vector tables of the Corvex family, generated from data/family/family.json by",
        "// tools/gen_architecture.py; change the matrix and run the generator instead of editing.",
        "// Included by intc.cpp, which declares the two row types.",
        "",
        "// Every vector of every table: table, vector number, display text, flag word.",
        "constexpr IntcVectorRow kIntcVectorRows[] = {",
    ]
    for name, table in matrix["vectorTables"].items():
        out.extend(vector_rows(name, table))
    out.append("};")
    out.append("")
    out.append("// The table of each part and the vectors of it the part lacks (reserved there).")
    out.append("constexpr IntcPartRow kIntcPartRows[] = {")
    for part in matrix["parts"]:
        out.append(part_row(part, matrix))
    out.append("};")
    return "\n".join(out) + "\n"


def load_matrix():
    with open(MATRIX, encoding="utf-8") as f:
        return json.load(f)


def expected_files(matrix):
    files = {}
    for part in matrix["parts"]:
        files[part["part"] + ".cfg"] = architecture_text(part, matrix)
    return files


def read_text(path):
    if not os.path.exists(path):
        return None
    with open(path, encoding="utf-8") as f:
        return f.read()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--check", action="store_true", help="compare instead of writing")
    parser.add_argument("--format", action="store_true", help="rewrite family.json canonically")
    args = parser.parse_args()

    matrix = load_matrix()
    if args.format:
        with open(MATRIX, "w", encoding="utf-8") as f:
            f.write(dump_json(matrix))
        return 0
    try:
        files = expected_files(matrix)
        vectors = vectors_text(matrix)
    except MatrixError as error:
        print(f"gen_architecture: {error}", file=sys.stderr)
        return 2

    existing = {n for n in os.listdir(DATA) if n.endswith(".cfg")}
    if args.check:
        stale = [n for n, text in files.items()
                 if not os.path.exists(os.path.join(DATA, n))
                 or open(os.path.join(DATA, n), encoding="utf-8").read() != text]
        extra = sorted(existing - set(files))
        for name in sorted(stale):
            print(f"stale or missing: data/{name}", file=sys.stderr)
        for name in extra:
            print(f"not in the matrix: data/{name}", file=sys.stderr)
        vectors_stale = read_text(VECTORS) != vectors
        if vectors_stale:
            print("stale or missing: src/modules/intc_vectors.inc", file=sys.stderr)
        return 1 if stale or extra or vectors_stale else 0

    for name, text in files.items():
        with open(os.path.join(DATA, name), "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
    for name in sorted(existing - set(files)):
        print(f"note: data/{name} is not in the matrix", file=sys.stderr)
    with open(VECTORS, "w", encoding="utf-8", newline="\n") as f:
        f.write(vectors)
    print(f"wrote {len(files)} architecture files and the interrupt vector tables")
    return 0


if __name__ == "__main__":
    sys.exit(main())
