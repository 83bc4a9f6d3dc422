#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Turns a program's --help text into its section 1 manual page, so the two
never disagree. The text has this layout:

    usage: PROGRAM ...          the usage, continued on indented lines
                                (blank)
    One-line summary.           the NAME line
                                (blank)
    Paragraphs...               DESCRIPTION
    Heading:                    Options, Exit status, Files, Environment,
      ENTRY                     See also; an entry indented by two blanks,
          its text              its text by six, a list inside it by eight
      0  text                   (exit statuses: the code, two blanks, text)

usage: help2roff.py PROGRAM VERSION DATE < help.txt > PROGRAM.1
"""
import re
import sys

SECTIONS = {
    "options": "OPTIONS",
    "exit status": "EXIT STATUS",
    "files": "FILES",
    "environment": "ENVIRONMENT",
    "see also": "SEE ALSO",
}


def escape(text, code=False):
    text = text.replace("\\", "\\e")
    if code:
        text = text.replace("-", "\\-")
    else:
        # Options named in prose are typed with minus signs.
        text = re.sub(r"(^|[\s(\[|,\"'])(-+)(?=[A-Za-z0-9])",
                      lambda m: m.group(1) + m.group(2).replace("-", "\\-"), text)
    if text.startswith((".", "'")):
        text = "\\&" + text
    return text


def tag(entry):
    """Bold option or file, its value in italics: "--link PATH"."""
    words = entry.split(" ", 1)
    head = "\\fB" + escape(words[0], True) + "\\fR"
    if len(words) > 1:
        head += " \\fI" + escape(words[1], True) + "\\fR"
    return head


def convert(program, version, date, lines):
    out = [f'.TH {escape(program.upper(), True)} 1 "{date}" "nx4400c {escape(version, True)}" "User Commands"',
           ".nh", ".ad l"]
    i = 0
    while i < len(lines) and not lines[i].startswith("usage:"):
        i += 1
    if i == len(lines):
        raise SystemExit("help2roff: no usage line")
    usage = [lines[i][len("usage:"):].strip()]
    i += 1
    while i < len(lines) and lines[i].startswith(" ") and lines[i].strip():
        usage.append(lines[i].strip())
        i += 1
    blocks, current = [], []
    for line in lines[i:]:
        if line.strip():
            current.append(line.rstrip())
        elif current:
            blocks.append(current)
            current = []
    if current:
        blocks.append(current)
    if not blocks:
        raise SystemExit("help2roff: no summary")
    summary = " ".join(l.strip() for l in blocks[0]).rstrip(".")
    summary = summary[0].lower() + summary[1:]
    out += [".SH NAME", f"{escape(program, True)} \\- {escape(summary)}"]
    words = " ".join(usage).split(" ", 1)
    out += [".SH SYNOPSIS", f"\\fB{escape(words[0], True)}\\fR " + escape(words[1] if len(words) > 1 else "", True)]
    described = False
    for block in blocks[1:]:
        heading = block[0].rstrip(":").strip().lower()
        if block[0].endswith(":") and not block[0].startswith(" ") and heading in SECTIONS:
            out.append(f'.SH "{SECTIONS[heading]}"')
            if heading == "see also":
                refs = ", ".join(l.strip() for l in block[1:])
                out.append(re.sub(r"([\w.-]+)\((\d)\)", lambda m: f"\\fB{escape(m.group(1), True)}\\fR({m.group(2)})", refs))
                continue
            for line in block[1:]:
                indent = len(line) - len(line.lstrip())
                text = line.strip()
                if indent == 2 and heading == "exit status":
                    code, _, rest = text.partition("  ")
                    out += [".TP", f"\\fB{escape(code, True)}\\fR", escape(rest.strip())]
                elif indent == 2:
                    out += [".TP", tag(text) if heading == "options" else f"\\fI{escape(text, True)}\\fR"]
                elif indent >= 8:
                    name, _, rest = text.partition(" ")
                    out += [".br", f"\\fB{escape(name, True)}\\fR \\- {escape(rest.strip())}"]
                else:
                    out.append(escape(text))
            continue
        if not described:
            out.append(".SH DESCRIPTION")
            described = True
        out += [".PP", escape(" ".join(l.strip() for l in block))]
    return "\n".join(out) + "\n"


def main():
    if len(sys.argv) != 4:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    program, version, date = sys.argv[1:]
    sys.stdout.write(convert(program, version, date, sys.stdin.read().splitlines()))
    return 0


if __name__ == "__main__":
    sys.exit(main())
