#!/usr/bin/env python3
"""Checks that the documents cannot fall behind the tree and the tool.

1. Every relative link and image in the Markdown files of the tree points at
   a file or folder that exists, and every #anchor names a heading of the
   target file, with the anchors GitHub makes (lower case, punctuation
   dropped, blanks turned into hyphens, -1, -2 ... for repeated headings).
2. The copies of one fact agree: the nightly backup's command line is the
   same in the installer's job, the Linux job, README, CTIMNE.txt and the
   manual page, and writes its log with ">", never ">>"; every example of
   the guides and manual pages names the nightly folder Zalohy; the
   hand-made Task Scheduler line stands in one place only.
3. Every option that `zaltool --help` or `zaltool COMMAND --help` shows, and
   every command, appears in the manual page docs/man/zaltool.1; each
   command's synopsis there names the same options as its own --help; and
   every command has a row in TROUBLESHOOTING's table of exit statuses.
4. Every zaltool command line quoted in README, CTIMNE.txt and
   TROUBLESHOOTING that does not dial a scale runs as written, in a data
   folder made here (seznam.lst, obchod1.zal and the nightly folder Zalohy
   with an archive per scale of the list), and exits as the guides say.

Usage: check_docs.py SOURCE_DIR [ZALTOOL]   (without ZALTOOL parts 1 and 2)
Prints one line per problem and exits with 1 when there is any.
"""
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
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
    # The one table of exit statuses has a row for every command.
    with open(os.path.join(top, "docs", "TROUBLESHOOTING.md"), encoding="utf-8") as f:
        table = f.read().partition("## Exit statuses")[2].partition("\n## ")[0]
    for command in commands:
        if command != "help" and not re.search(rf"`(?:zaltool )?{re.escape(command)}`", table):
            problems.append(f"docs/TROUBLESHOOTING.md: the exit statuses have no row for {command}")
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


# The nightly backup: its arguments and its log, as every copy must write them.
NIGHT_ARGS = "seznam.lst Zalohy --jobs=4 --keep=14 --quiet"
NIGHT_LOG = ">Zalohy/posledni-noc.log"
NIGHT_COPIES = ["win32/installer/zalohy.nsi", "resources/linux/zalohy-noc.sh.in", "README.md",
                "scripts/windows/CTIMNE.txt", "docs/man/zaltool.1"]
GUIDES = ["README.md", "scripts/windows/CTIMNE.txt", "docs/TROUBLESHOOTING.md",
          "docs/man/zaltool.1", "docs/man/zalohy.1"]
# A zaltool command with the position of its folder operand.
FOLDER_OPERAND = re.compile(r"zaltool(?:\.exe)? (restore-list|report|backup-list \S+) (\S+)")


def read_text(top, name):
    with open(os.path.join(top, name), encoding="utf-8-sig") as f:
        text = f.read()
    if name.endswith(".1"):
        text = text.replace("\\-", "-").replace("\\e", "\\")
    return text


def check_copies(top):
    problems = []
    for name in NIGHT_COPIES:
        found = 0
        for number, line in enumerate(read_text(top, name).splitlines(), 1):
            match = re.search(r"backup-list (seznam\.lst .*)", line)
            if not match:
                continue
            found += 1
            words = match.group(1).replace("\\", "/").split()
            arguments = []
            for word in words:
                if word.startswith((">", "2>", "$", '"', "${")) or word in ("&&", "&"):
                    break
                arguments.append(word.rstrip(",.;"))
                if word.endswith((",", ";")) or word.endswith("$1"):
                    arguments[-1] = arguments[-1].removesuffix("$1")
                    break
            if " ".join(arguments) != NIGHT_ARGS:
                problems.append(f"{name}:{number}: the nightly backup runs with '{' '.join(arguments)}', "
                                f"not '{NIGHT_ARGS}'")
            log = [w for w in words if w.startswith(">")]
            if log and log[0] != NIGHT_LOG:
                problems.append(f"{name}:{number}: the nightly backup writes '{log[0]}', not '{NIGHT_LOG}'")
        if not found:
            problems.append(f"{name}: the nightly backup's command line is missing")
    places = []
    for name in GUIDES:
        text = read_text(top, name)
        if "schtasks /Create" in text:
            places.append(name)
        for number, line in enumerate(text.splitlines(), 1):
            for match in FOLDER_OPERAND.finditer(line):
                folder = match.group(2).rstrip("\\\"'`,.;")
                if folder not in ("Zalohy", "DIR", "dir"):
                    problems.append(f"{name}:{number}: '{match.group(0)}' names the folder {folder}, not Zalohy")
            if ">>" in line and "backup-list" in line:
                problems.append(f"{name}:{number}: a backup's log grows for ever with >>")
    if len(places) != 1:
        problems.append(f"the hand-made Task Scheduler line stands in {len(places)} places: {', '.join(places)}")
    return problems


# The commands that dial a scale; restore-list does only without --dry-run.
DIALS = {"backup", "send", "backup-list", "send-list", "check", "check-list", "restore-list"}
QUOTED = re.compile(r"(?:`|\")(zaltool [^`\"]+)(?:`|\")|^ {2,}(zaltool .+)$")


def quoted_commands(top):
    """The zaltool command lines of the guides that can run without a scale."""
    for name in ("README.md", "scripts/windows/CTIMNE.txt", "docs/TROUBLESHOOTING.md"):
        for number, line in enumerate(read_text(top, name).splitlines(), 1):
            for match in QUOTED.finditer(line):
                command = (match.group(1) or match.group(2)).strip()
                words = shlex.split(command.replace("\\", "/"))
                words = [w for w in words if not re.match(r"^\d?>", w)]
                if "%" in command or len(words) < 2:
                    continue
                if len(words) == 2 and not words[1].startswith("-") and words[1] != "help":
                    continue  # a command named, as "zaltool diff", not a command line
                if any(re.fullmatch(r"[A-ZĚŠČŘŽÝÁÍÉŮÚŇŤĎ]{2,}", w) for w in words):
                    continue  # a placeholder, as ARCHIVE or ADRESA
                if words[1] in DIALS and not (words[1] == "restore-list" and "--dry-run" in words):
                    continue
                yield f"{name}:{number}", words


def prepare_folder(zaltool, folder):
    """A data folder as after a few nights: a list of two scales, an archive
    of one scale's every kind, and the nightly folder with an archive per scale."""
    with open(os.path.join(folder, "seznam.lst"), "w", encoding="utf-8") as f:
        f.write("192.168.5.8 pokladna\n192.168.5.9 pult\n")
    for member, size in ((34, 12288), (38, 8022), (52, 64), (41, 960), (25, 4096)):
        data = os.path.join(folder, f"{member}.dat")
        with open(data, "wb") as f:
            f.write(bytes((member + i) % 251 for i in range(size)))
        subprocess.run([zaltool, "append", "obchod1.zal", str(member), data], cwd=folder,
                       capture_output=True, check=True, timeout=30)
        os.remove(data)
    os.mkdir(os.path.join(folder, "Zalohy"))
    for name in ("192.168.5.8-2026-12-08.zal", "192.168.5.9-2026-12-08.zal"):
        shutil.copy(os.path.join(folder, "obchod1.zal"), os.path.join(folder, "Zalohy", name))


def check_commands(top, zaltool):
    zaltool = os.path.abspath(zaltool)
    problems = []
    commands = list(quoted_commands(top))
    if not commands:
        return ["README, CTIMNE.txt and TROUBLESHOOTING quote no zaltool command that runs without a scale"]
    environment = dict(os.environ, TWSWTCP_LOOPBACK_ONLY="1")
    with tempfile.TemporaryDirectory() as folder:
        prepare_folder(zaltool, folder)
        for where, words in commands:
            done = subprocess.run([zaltool, *words[1:]], cwd=folder, capture_output=True, text=True,
                                  timeout=60, env=environment)
            # diff says "different" with 1, as the guides say.
            allowed = (0, 1) if words[1] == "diff" else (0,)
            if done.returncode not in allowed:
                problems.append(f"{where}: '{' '.join(words)}' exits with {done.returncode}: "
                                f"{(done.stderr or done.stdout).strip()[:200]}")
    return problems


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__.strip().splitlines()[-2], file=sys.stderr)
        return 2
    top = os.path.abspath(sys.argv[1])
    problems = check_links(top) + check_copies(top)
    if len(sys.argv) == 3:
        problems += check_options(top, sys.argv[2]) + check_commands(top, sys.argv[2])
    for problem in problems:
        print(problem)
    if not problems:
        print("documents: every link, anchor, copy, zaltool option and quoted command line holds")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
