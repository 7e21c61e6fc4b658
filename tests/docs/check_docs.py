"""Checks the README and the pages in docs/ against the repository.

  check_docs.py SOURCE_DIR links      every relative link and picture names a file
                                      that exists, and a heading of it where it
                                      names one
  check_docs.py SOURCE_DIR commands   every command of a shell block, and every
                                      path written as code, names a file of the
                                      repository, a program the build makes, or a
                                      program on the path
  check_docs.py SOURCE_DIR map        the README's map names every folder of the
                                      repository, the layers bottom first as
                                      cmake/CheckLayers.cmake has them, and the
                                      design page's table says what each may include
  check_docs.py SOURCE_DIR run BUILD  runs the shell blocks marked `sh run`, each in
                                      a folder of its own where build/release is BUILD

Exits 0 when all is well, 1 after printing every fault found.
"""

import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

SHELL_WORDS = {"sh", "bash", "shell", "console"}
BUILTINS = {"cd", "export", "echo", "set", "exec", "test", "[", "true", "false", "source", "."}
PREFIXES = {"sudo", "exec", "env", "time", "nice"}
INTERPRETERS = {"node", "bash", "sh", "python3"}


def pages(source):
    return [source / "README.md"] + sorted((source / "docs").glob("*.md"))


def split_markdown(text):
    """The prose lines (fenced blocks blanked) and the fenced blocks as
    (info string, first line number, lines)."""
    prose, blocks = [], []
    block = None
    for number, line in enumerate(text.split("\n"), 1):
        fence = re.match(r"^\s*```(.*)$", line)
        if block is None and fence:
            block = (fence.group(1).strip(), number + 1, [])
            prose.append("")
        elif block is not None and fence:
            blocks.append(block)
            block = None
            prose.append("")
        elif block is not None:
            block[2].append(line)
            prose.append("")
        else:
            prose.append(line)
    return prose, blocks


def without_inline_code(line):
    return re.sub(r"`[^`]*`", "", line)


def heading_anchors(path):
    """GitHub's anchors for the headings of a page."""
    prose, _ = split_markdown(path.read_text())
    anchors, seen = set(), {}
    for line in prose:
        heading = re.match(r"^#{1,6}\s+(.*?)\s*#*\s*$", line)
        if not heading:
            continue
        slug = heading.group(1).lower()
        slug = re.sub(r"[^\w\- ]", "", slug).replace(" ", "-")
        count = seen.get(slug, 0)
        seen[slug] = count + 1
        anchors.add(slug if count == 0 else f"{slug}-{count}")
    return anchors


def check_links(source):
    faults = []
    for page in pages(source):
        prose, _ = split_markdown(page.read_text())
        for number, line in enumerate(prose, 1):
            for target in re.findall(r"\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)",
                                     without_inline_code(line)):
                if re.match(r"^[a-z][a-z0-9+.-]*:", target):
                    continue  # http:, https:, mailto:
                where = f"{page.relative_to(source)}:{number}"
                file_part, _, anchor = target.partition("#")
                linked = (page.parent / file_part).resolve() if file_part else page
                if not linked.exists():
                    faults.append(f"{where}: the link {target} names no file")
                elif anchor and linked.suffix == ".md" and anchor not in heading_anchors(linked):
                    faults.append(f"{where}: the link {target} names no heading of "
                                  f"{linked.relative_to(source)}")
    return faults


def executables(source):
    """Each program the build makes: its name and the folder of build/<preset>/
    it lands in ("" for the build folder itself)."""
    programs = {}
    for listing in source.rglob("CMakeLists.txt"):
        if "build" in listing.relative_to(source).parts:
            continue
        text = listing.read_text()
        folder = listing.parent.relative_to(source).as_posix()
        for name in re.findall(r"add_executable\(\s*([A-Za-z0-9_.-]+)", text):
            programs[name] = folder
        for name in re.findall(r"set_target_properties\(\s*([A-Za-z0-9_.-]+)\s+PROPERTIES\s+"
                               r"RUNTIME_OUTPUT_DIRECTORY\s+\$\{PROJECT_BINARY_DIR\}\s*\)", text):
            programs[name] = ""
    return programs


def presets(source):
    text = (source / "CMakePresets.json").read_text()
    configure = text.split('"buildPresets"')[0]
    return set(re.findall(r'"name":\s*"([a-z0-9-]+)"', configure))


def packaged_programs(source):
    """The Debian packages the scripts install: a program of the same name
    counts as there, installed or not yet."""
    names = set()
    for listing in (source / "tools" / "packages").glob("*.txt"):
        for line in listing.read_text().split("\n"):
            if line.strip() and not line.startswith("#"):
                names.add(line.strip())
    return names


def check_build_path(path, programs, known_presets, run=True):
    """A path under build/: build/<preset>/..., and where it names a program
    (always, when it is run), build/<preset>/<its folder>/<program>. None if
    it is fine, else the fault."""
    parts = path.split("/")
    if len(parts) < 2 or parts[1] not in known_presets:
        return f"{path}: build/ holds only build/<preset>/ ({', '.join(sorted(known_presets))})"
    name = parts[-1]
    program = name[:-4] if name.endswith(".exe") else name
    if program not in programs:
        return f"{path}: the build makes no program {program}" if run else None
    folder = "/".join(parts[2:-1])
    if folder != programs[program]:
        expected = "/".join(p for p in ("build", parts[1], programs[program], name) if p)
        return f"{path}: the build puts {program} in {expected}"
    return None


def split_command_line(line):
    """A line split at ;, &&, || and | outside quotes and outside a
    synopsis's [optional | parts]."""
    commands, current, quote, depth, i = [], "", None, 0, 0
    while i < len(line):
        c = line[i]
        if quote:
            quote = None if c == quote else quote
        elif c in "'\"":
            quote = c
        elif c == "[" and (i == 0 or line[i - 1] == " ") and line[i + 1:i + 2] not in (" ", ""):
            depth += 1
        elif c == "]" and depth:
            depth -= 1
        elif depth == 0 and (line.startswith("&&", i) or line.startswith("||", i)):
            commands.append(current)
            current, i = "", i + 2
            continue
        elif depth == 0 and c in ";|":
            commands.append(current)
            current, i = "", i + 1
            continue
        current += c
        i += 1
    commands.append(current)
    return [command.strip() for command in commands if command.strip()]


def commands_of(lines):
    """The commands of a shell block: continuation lines (and a synopsis's
    indented options) joined, comments dropped, split at ;, &&, || and |."""
    joined, current = [], ""
    for line in lines:
        if joined and not current and re.match(r"^\s+\[", line):
            joined[-1] += " " + line.strip()  # a synopsis's options, carried on
            continue
        if line.rstrip().endswith("\\"):
            current += line.rstrip()[:-1] + " "
            continue
        joined.append(current + line)
        current = ""
    if current:
        joined.append(current)
    for line in joined:
        line = re.sub(r"(^|\s)#.*$", "", line).strip()
        yield from split_command_line(line)


def check_word(word, source, programs, known_presets, packaged):
    if word.startswith("build/"):
        return check_build_path(word, programs, known_presets)
    if "/" in word:
        return None if (source / word).exists() else f"{word}: no such file in the repository"
    if word in BUILTINS or word in programs or shutil.which(word) or word in packaged:
        return None
    return f"{word}: no such program (not on the path, not built, not in tools/packages)"


def check_commands(source):
    faults = []
    programs, known_presets, packaged = executables(source), presets(source), packaged_programs(source)
    top_folders = {p.name for p in source.iterdir() if p.is_dir() and not p.name.startswith(".")}
    for page in pages(source):
        prose, blocks = split_markdown(page.read_text())
        name = page.relative_to(source)
        for info, first, lines in blocks:
            if not info or info.split()[0] not in SHELL_WORDS:
                continue
            for command in commands_of(lines):
                try:
                    words = shlex.split(command)
                except ValueError as error:
                    faults.append(f"{name}:{first}: {command!r}: {error}")
                    continue
                while words and (re.match(r"^[A-Z_][A-Z0-9_]*=", words[0]) or words[0] in PREFIXES):
                    words = words[1:]
                if not words:
                    continue
                fault = check_word(words[0], source, programs, known_presets, packaged)
                if fault is None and words[0] in INTERPRETERS:
                    scripts = [w for w in words[1:] if not w.startswith("-") and "/" in w]
                    if scripts:
                        fault = check_word(scripts[0], source, programs, known_presets, packaged)
                if fault:
                    faults.append(f"{name}:{first}: {fault}")
        # Paths written as code in the prose: of the repository, or of the build.
        for number, line in enumerate(prose, 1):
            words = [word for span in re.findall(r"`([^`]+)`", line) for word in span.split()]
            for span in words:
                head = span.split("/")[0]
                if "/" not in span or re.search(r"[<>\[\]{}]|\.\.\.", span):
                    continue
                if head == "build":
                    fault = check_build_path(span.rstrip("/"), programs, known_presets, run=False)
                elif head in top_folders:
                    fault = None if list(source.glob(span.rstrip("/"))) else \
                        f"{span}: no such file in the repository"
                else:
                    continue
                if fault:
                    faults.append(f"{name}:{number}: {fault}")
    return faults


def layer_table(source):
    """The layers bottom first and what each may include, as the check has them."""
    text = (source / "cmake" / "CheckLayers.cmake").read_text()
    allowed = {name: set(filter(None, value.split(";")))
               for name, value in re.findall(r'set\(allowed_(\w+) "([^"]*)"\)', text)}
    order = re.search(r"foreach\(folder ([\w ]+)\)", text).group(1).split()
    return order, allowed


def table_rows(text, heading):
    """The first column's folders and the rows of the first table after `heading`."""
    after = text.split(heading, 1)[1]
    rows = []
    for line in after.split("\n")[1:]:
        if line.startswith("#"):
            break
        if line.startswith("|") and not re.match(r"^\|[\s|:-]+\|$", line):
            cells = [c.strip() for c in line.strip().strip("|").split("|")]
            folder = re.match(r"^`([\w-]+)/`$", cells[0])
            if folder:
                rows.append((folder.group(1), cells))
    return rows


def check_map(source):
    faults = []
    order, allowed = layer_table(source)
    readme = (source / "README.md").read_text()
    mapped = [folder for folder, _ in table_rows(readme, "## The repository")]
    listed = subprocess.run(["git", "-C", str(source), "ls-files"], capture_output=True, text=True)
    if listed.returncode == 0:
        tracked = listed.stdout.split("\n")
        folders = {p.split("/")[0] for p in tracked if "/" in p and not p.startswith(".")}
    else:  # not a git checkout: the folders as they are, but the builds
        folders = {p.name for p in source.iterdir()
                   if p.is_dir() and not p.name.startswith(".") and p.name != "build"}
    for folder in sorted(folders - set(mapped)):
        faults.append(f"README.md: the map leaves out {folder}/")
    for folder in sorted(set(mapped) - folders):
        faults.append(f"README.md: the map names {folder}/, which the repository does not have")
    for folder in order:
        if folder not in mapped:
            faults.append(f"README.md: the map leaves out the layer {folder}/")
            continue
        for below in sorted(allowed.get(folder, set())):
            if below not in mapped or mapped.index(below) > mapped.index(folder):
                faults.append(f"README.md: the map lists {below}/, which {folder}/ may include, "
                              f"after {folder}/ (the layers go bottom first)")
    design = (source / "docs" / "design.md").read_text()
    rows = {folder: cells for folder, cells in table_rows(design, "## The layers")}
    if [f for f in rows] != order:
        faults.append(f"docs/design.md: the layers table lists {list(rows)}, the layer check "
                      f"{order}")
    for folder in order:
        if folder in rows:
            said = set(re.findall(r"`([\w-]+)/`", rows[folder][-1]))
            if said != allowed.get(folder, set()):
                faults.append(f"docs/design.md: {folder}/ may include {sorted(said)} says the "
                              f"page, {sorted(allowed.get(folder, set()))} the layer check")
    return faults


def run_blocks(source, build):
    faults = []
    ran = 0
    for page in pages(source):
        _, blocks = split_markdown(page.read_text())
        for info, first, lines in blocks:
            if info.split()[:2] != ["sh", "run"]:
                continue
            ran += 1
            with tempfile.TemporaryDirectory() as work:
                (Path(work) / "build").mkdir()
                os.symlink(build, Path(work) / "build" / "release")
                script = "set -euo pipefail\n" + "\n".join(lines) + "\n"
                done = subprocess.run(["bash", "-c", script], cwd=work, capture_output=True,
                                      text=True, timeout=300)
                print(f"{page.relative_to(source)}:{first}: exit status {done.returncode}")
                if done.returncode != 0:
                    faults.append(f"{page.relative_to(source)}:{first}: the block ended with "
                                  f"status {done.returncode}:\n{done.stdout}{done.stderr}")
    if ran == 0:
        faults.append("no shell block is marked `sh run`")
    return faults


def main():
    source = Path(sys.argv[1]).resolve()
    what = sys.argv[2]
    if what == "links":
        faults = check_links(source)
    elif what == "commands":
        faults = check_commands(source)
    elif what == "map":
        faults = check_map(source)
    elif what == "run":
        faults = run_blocks(source, Path(sys.argv[3]).resolve())
    else:
        sys.exit(f"usage: {sys.argv[0]} SOURCE_DIR links|commands|map|run [BUILD_DIR]")
    for fault in faults:
        print(fault)
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
