#!/usr/bin/env python3
"""Checks that the documents cannot fall behind the tree and the tool.

1. Every relative link and image in the Markdown files of the tree points at
   a file or folder that exists, and every #anchor names a heading of the
   target file, with the anchors GitHub makes (lower case, punctuation
   dropped, blanks turned into hyphens, -1, -2 ... for repeated headings).
2. Every option that `zaltool --help` or `zaltool COMMAND --help` shows, and
   every command, appears in the manual page docs/man/zaltool.1; and each
   command's synopsis there names the same options as its own --help.

Usage: check_docs.py SOURCE_DIR [ZALTOOL]   (without ZALTOOL only part 1)
Prints one line per problem and exits with 1 when there is any.
"""
import os
import re
import subprocess
import sys
import unicodedata

SKIPPED_DIRS = {".git", "demo", "dist"}


def markdown_files(top):
    for folder, dirs, files in os.walk(top):
        dirs[:] = sorted(d for d in dirs
                         if d not in SKIPPED_DIRS and not d.startswith("build"))
        for name in sorted(files):
            if name.endswith(".md"):
                yield os.path.join(folder, name)


FENCE = re.compile(r"^ {0,3}(`{3,}|~{3,})")
HEADING = re.compile(r"^ {0,3}(#{1,6})[ \t]+(.*?)[ \t#]*$")
CODE_SPAN = re.compile(r"(`+)(.+?)\1")
INLINE_LINK = re.compile(r"!?\[(?:[^\]\\]|\\.)*\]\(\s*<?([^)\s>]*)>?(?:\s+\"[^\"]*\")?\s*\)")
REFERENCE = re.compile(r"^ {0,3}\[[^\]]+\]:\s*<?(\S+?)>?(?:\s.*)?$")


def prose_lines(text):
    """The lines outside fenced and indented code blocks, with their numbers."""
    fence = None
    previous_blank = True
    in_indented = False
    for number, line in enumerate(text.splitlines(), 1):
        match = FENCE.match(line)
        if fence:
            if match and match.group(1)[0] == fence[0] and len(match.group(1)) >= len(fence):
                fence = None
            continue
        if match:
            fence = match.group(1)
            continue
        blank = not line.strip()
        # An indented code block starts after a blank line (not inside a list
        # item's continuation, which the documents here do not indent by 4).
        if line.startswith(("    ", "\t")) and (previous_blank or in_indented):
            in_indented = True
            previous_blank = blank
            continue
        if not blank:
            in_indented = False
        previous_blank = blank
        yield number, line


def slug(heading):
    """The anchor GitHub gives a heading."""
    text = CODE_SPAN.sub(lambda m: m.group(2), heading)
    text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", text)  # a link keeps its text
    text = re.sub(r"<[^>]+>", "", text)
    text = text.strip().lower()
    kept = []
    for ch in text:
        category = unicodedata.category(ch)
        if ch in "-_" or category[0] in "LN" or category == "Mn":
            kept.append(ch)
        elif ch == " ":
            kept.append("-")
    return "".join(kept)


def anchors(path, cache={}):
    if path not in cache:
        seen = {}
        found = set()
        with open(path, encoding="utf-8") as f:
            for _, line in prose_lines(f.read()):
                match = HEADING.match(line)
                if not match:
                    continue
                base = slug(match.group(2))
                count = seen.get(base, 0)
                seen[base] = count + 1
                found.add(base if count == 0 else f"{base}-{count}")
        cache[path] = found
    return cache[path]


def check_links(top):
    problems = []
    for path in markdown_files(top):
        shown = os.path.relpath(path, top)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        for number, line in prose_lines(text):
            line = CODE_SPAN.sub("", line)
            targets = [m.group(1) for m in INLINE_LINK.finditer(line)]
            reference = REFERENCE.match(line)
            if reference:
                targets.append(reference.group(1))
            for target in targets:
                if not target or re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:", target):
                    continue  # a web address or mail link: not checked here
                name, _, anchor = target.partition("#")
                resolved = os.path.normpath(os.path.join(os.path.dirname(path), name)) if name else path
                where = f"{shown}:{number}: {target}"
                if not os.path.exists(resolved):
                    problems.append(f"{where}: no such file or folder")
                    continue
                if anchor and resolved.endswith(".md") and anchor not in anchors(resolved):
                    problems.append(f"{where}: no heading with the anchor #{anchor}")
    return problems


OPTION = re.compile(r"(?<![\w-])(--[a-z][a-z0-9-]*|-[a-zA-Z])(?![\w-])")


def help_text(zaltool, *args):
    done = subprocess.run([zaltool, *args], capture_output=True, text=True, timeout=60)
    return done.returncode, done.stdout


def check_options(top, zaltool):
    with open(os.path.join(top, "docs", "man", "zaltool.1"), encoding="utf-8") as f:
        # groff writes a hyphen as \- and a non-breaking one as \(hy.
        manual = f.read().replace("\\-", "-").replace("\\(hy", "-").replace("\\%", "")
    status, overview = help_text(zaltool, "--help")
    if status != 0:
        return [f"zaltool --help exits with {status}"]
    # The commands: the first word of a line indented as a list item (not a
    # continuation line, not an option) that answers "--help" as a command,
    # naming itself.
    commands = []
    for line in overview.splitlines():
        match = re.match(r"^ {1,4}([a-z][a-z0-9-]*)(?: |$)", line)
        if match and match.group(1) not in commands:
            status, text = help_text(zaltool, match.group(1), "--help")
            if status == 0 and re.search(rf"(?<![\w-]){re.escape(match.group(1))}(?![\w-])", text):
                commands.append(match.group(1))
    if not commands:
        return ["zaltool --help names no command"]
    problems = []
    for command in commands:
        if not re.search(rf"\.B[IR]? {re.escape(command)}(?![\w-])", manual):
            problems.append(f"docs/man/zaltool.1: no entry for the command {command}")
    texts = {"zaltool --help": overview}
    for command in commands:
        texts[f"zaltool {command} --help"] = help_text(zaltool, command, "--help")[1]
    for source, text in texts.items():
        for option in sorted(set(OPTION.findall(text))):
            if not re.search(rf"(?<![\w-]){re.escape(option)}(?![\w-])", manual):
                problems.append(f"docs/man/zaltool.1: {source} shows {option}, the manual page does not")
    synopses = synopsis_options(manual)
    for command in commands:
        # The options the command's help lists (its "--opt" lines), -h/--help aside.
        shown = set(re.findall(r"^  (--[a-z][a-z0-9-]*)", texts[f"zaltool {command} --help"], re.M)) - {"--help"}
        documented = synopses.get(command, set())
        for option in sorted(shown - documented):
            problems.append(f"docs/man/zaltool.1: the synopsis of {command} lacks {option}")
        for option in sorted(documented - shown):
            problems.append(f"docs/man/zaltool.1: the synopsis of {command} names {option}, "
                            f"'zaltool {command} --help' does not")
    return problems


def synopsis_options(manual):
    """The options each command's lines of the SYNOPSIS name (a command may have several)."""
    synopsis = manual.split(".SH SYNOPSIS", 1)[-1].split(".SH ", 1)[0]
    options = {}
    command = None
    for line in synopsis.splitlines():
        match = re.match(r"^\.B zaltool ([a-z][a-z0-9-]*)\s*$", line)
        if match:
            command = match.group(1)
            options.setdefault(command, set())
        elif line.startswith((".br", ".PP")):
            command = None
        elif command:
            options[command].update(o for o in OPTION.findall(line) if o.startswith("--"))
    return options


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__.strip().splitlines()[-2], file=sys.stderr)
        return 2
    top = os.path.abspath(sys.argv[1])
    problems = check_links(top)
    if len(sys.argv) == 3:
        problems += check_options(top, sys.argv[2])
    for problem in problems:
        print(problem)
    if not problems:
        print("documents: every link, anchor and zaltool option found")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
