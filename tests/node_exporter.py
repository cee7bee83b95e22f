#!/usr/bin/env python3
"""The README's textfile recipe against Debian's node_exporter, as a fleet runs it:
node_exporter on 127.0.0.1 with the textfile collector alone, the recipe run under
the simulated board for every board of the library and for boards whose reports
fail, /metrics scraped after each. The vemi_ series node_exporter serves must be
the tool's own, the collector gauges present, node_textfile_scrape_error 0; promtool
checks the metrics and the README's alert rules where it is installed. Bounded in
time; stops what it started; exits 77 (skipped) with one line when node_exporter is
missing. Usage: node_exporter.py VEMISIM VEMICMD BOARDS_DIR README"""
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request
from pathlib import Path

from prometheus_client.parser import text_string_to_metric_families

vemisim, vemicmd, boards, readme = sys.argv[1:5]
exporter = shutil.which("prometheus-node-exporter") or shutil.which("node_exporter")
if exporter is None:
    print("node_exporter: skipped: no node_exporter (scripts/deps test installs prometheus-node-exporter)")
    sys.exit(77)

text = Path(readme).read_text()
recipe = next(b for b in re.findall(r"```sh\n(.*?)```", text, re.S) if "TEXTFILE_DIR" in b)
rules = next(b for b in re.findall(r"```yaml\n(.*?)```", text, re.S) if "vemi_success" in b)
failing = {"sensors-and-ups": '{"sensors": [], "ups": {"status": "0xD2"}}',
           "flaky-sensor": '{"faults": [{"group": "0x2000", "offset": 2, "status": "0x708"}]}'}
failures = []


def samples(exposition, prefix="vemi_"):
    return {(s.name, tuple(sorted(s.labels.items())), s.value)
            for family in text_string_to_metric_families(exposition) for s in family.samples
            if s.name.startswith(prefix)}


def scrape(port):
    with urllib.request.urlopen(f"http://127.0.0.1:{port}/metrics", timeout=5) as reply:
        return reply.read().decode()


with tempfile.TemporaryDirectory() as work:
    work = Path(work)
    textfiles = work / "textfiles"
    textfiles.mkdir()
    (work / "recipe.sh").write_text(recipe)
    for name, board in failing.items():
        (work / f"{name}.json").write_text(board)
    with socket.socket() as s:  # a free port on the loopback, for node_exporter to take
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    node = subprocess.Popen([exporter, f"--web.listen-address=127.0.0.1:{port}", "--collector.disable-defaults",
                             "--collector.textfile", f"--collector.textfile.directory={textfiles}"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 10
        while True:
            try:
                scrape(port)
                break
            except OSError:
                if time.monotonic() > deadline or node.poll() is not None:
                    raise SystemExit("node_exporter: did not start on 127.0.0.1")
                time.sleep(0.1)
        env = dict(os.environ, TEXTFILE_DIR=str(textfiles),
                   PATH=f"{Path(vemicmd).parent}:{Path(vemisim).parent}:{os.environ['PATH']}")
        library = sorted(Path(boards).glob("*.json"))
        for board in library + [work / f"{name}.json" for name in failing]:
            run = subprocess.run([vemisim, "--board", str(board), "--", "sh", "-eu", str(work / "recipe.sh")],
                                 env=env, capture_output=True, text=True, timeout=60)
            direct = subprocess.run([vemisim, "--board", str(board), "--", vemicmd, "--prometheus", "/ver", "/sens",
                                     "/dalv"], capture_output=True, text=True, errors="surrogateescape", timeout=60)
            if run.returncode != 0 or run.stderr:
                failures.append(f"{board.stem}: the recipe failed ({run.returncode}): {run.stderr.strip()}")
                continue
            served = scrape(port)
            everything = samples(served, "")
            if ("node_textfile_scrape_error", (), 0.0) not in everything:
                failures.append(f"{board.stem}: node_textfile_scrape_error is not 0")
            own = samples(direct.stdout)
            if samples(served) != own:
                failures.append(f"{board.stem}: node_exporter serves {sorted(samples(served) ^ own)[:4]} differently")
            collectors = {dict(labels)["collector"] for name, labels, _ in own if name == "vemi_collector_success"}
            if collectors != {"version", "sensors", "ups"}:
                failures.append(f"{board.stem}: collectors {sorted(collectors)}")
            if ("vemi_success", (), 1.0 if direct.returncode == 0 else 0.0) not in own:
                failures.append(f"{board.stem}: vemi_success does not match exit status {direct.returncode}")
            if not any(name == "node_textfile_mtime_seconds" for name, _, _ in everything):
                failures.append(f"{board.stem}: no node_textfile_mtime_seconds to tell a stale file")
            if shutil.which("promtool"):
                check = subprocess.run(["promtool", "check", "metrics"], input=direct.stdout, capture_output=True,
                                       text=True, errors="surrogateescape")
                if check.returncode != 0:
                    failures.append(f"{board.stem}: promtool: {check.stdout}{check.stderr}")
        if shutil.which("promtool"):
            (work / "rules.yml").write_text(rules)
            check = subprocess.run(["promtool", "check", "rules", str(work / "rules.yml")], capture_output=True,
                                   text=True)
            if check.returncode != 0:
                failures.append(f"README's alert rules: promtool: {check.stdout}{check.stderr}")
    finally:
        node.terminate()
        try:
            node.wait(timeout=5)
        except subprocess.TimeoutExpired:
            node.kill()
            node.wait()

print("\n".join(failures) or f"node_exporter: {len(library) + len(failing)} boards through the README's recipe, "
      "served as written" + ("" if shutil.which("promtool") else " (promtool is not installed)"))
sys.exit(1 if failures else 0)
