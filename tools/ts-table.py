#!/usr/bin/env python3
"""Turns translation files into a C++ table for the programs without Qt.

usage: ts-table.py OUT.cpp LANGUAGE=FILE.ts ...

For each language, the finished entries of the contexts that the toolkit-free
code uses, sorted by their source text's bytes for a binary search. LANGUAGE
is the name of the table: English or Chinese.
"""
import sys
import xml.etree.ElementTree as ET

CONTEXTS = ("Tarnwick", "TarnwickCli")


def literal(text):
    # Octal escapes take at most three digits, so no following character can
    # be read into one (as it can into a \x escape).
    out = []
    for byte in text.encode("utf-8"):
        char = chr(byte)
        if char in '"\\?' or not 0x20 <= byte < 0x7F:
            out.append("\\%03o" % byte)
        else:
            out.append(char)
    return '"' + "".join(out) + '"'


def entries(path):
    table = {}
    for context in ET.parse(path).getroot().iter("context"):
        if context.findtext("name") not in CONTEXTS:
            continue
        for message in context.iter("message"):
            translation = message.find("translation")
            if translation.get("type") in ("unfinished", "obsolete", "vanished"):
                continue
            source, text = message.findtext("source"), translation.text or ""
            if table.get(source, text) != text:
                sys.exit(f"{path}: {source!r} has two translations")
            table[source] = text
    return sorted(table.items(), key=lambda item: item[0].encode("utf-8"))


def main(out, pairs):
    lines = ["// Made from the translation files by tools/ts-table.py at build time.",
             '#include "app/translation_table.h"', "", "namespace tarnwick::detail {", ""]
    for pair in pairs:
        language, _, path = pair.partition("=")
        rows = entries(path)
        lines.append(f"const TranslationEntry k{language}Texts[] = {{")
        lines += [f"    {{{literal(source)}, {literal(text)}}}," for source, text in rows]
        if not rows:
            lines.append('    {"", ""},')
        lines += ["};", f"const std::span<const TranslationEntry> k{language}Table(k{language}Texts, {len(rows)});", ""]
    lines.append("} // namespace tarnwick::detail")
    text = "\n".join(lines) + "\n"
    try:
        with open(out, encoding="utf-8") as old:
            if old.read() == text:
                return
    except OSError:
        pass
    with open(out, "w", encoding="utf-8") as new:
        new.write(text)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2:])
