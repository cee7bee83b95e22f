#!/usr/bin/env python3
"""The installed textfile publisher (vemicmd-textfile) against Debian's
node_exporter, as a fleet runs it: node_exporter on 127.0.0.1 with the textfile
collector alone, the publisher run under the simulated board for every board of
the library and for boards whose reports fail, /metrics scraped after each. The
vemi_ series node_exporter serves must be the tool's own, the collector gauges
present, node_textfile_scrape_error 0; promtool checks the metrics where it is
installed. A run killed before its end never replaces the last complete file nor
leaves a file behind. With vemid writing its file into the same folder, a cron
file added after vemid started is counted and logged by vemid, and the publisher
retires it; node_exporter then serves vemid's values. Bounded in time; stops what
it started; exits 77 (skipped) with one line when node_exporter is missing.
Usage: node_exporter.py VEMISIM VEMICMD VEMID BOARDS_DIR PUBLISHER"""
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

vemisim, vemicmd, vemid, boards, publisher = sys.argv[1:6]
exporter = shutil.which("prometheus-node-exporter") or shutil.which("node_exporter")
if exporter is None:
    print("node_exporter: skipped: no node_exporter (scripts/deps test installs prometheus-node-exporter)")
    sys.exit(77)

failing = {"sensors-and-ups": '{"ups": {"status": "0xD2"}, "faults": [{"group": "0x2000", "offset": 0, '
                              '"status": "0x708"}]}',
           "flaky-sensor": '{"faults": [{"group": "0x2000", "offset": 2, "status": "0x708"}]}',
           "short-sensor": '{"faults": [{"group": "0x2000", "offset": 2, "truncate": 7}]}'}
failures = []


def samples(exposition, prefix="vemi_"):
    return {(s.name, tuple(sorted(s.labels.items())), s.value)
            for family in text_string_to_metric_families(exposition) for s in family.samples
            if s.name.startswith(prefix)}


def scrape(port):
    with urllib.request.urlopen(f"http://127.0.0.1:{port}/metrics", timeout=5) as reply:
        return reply.read().decode()


def serving(port, name, **labels):
    """The value node_exporter serves for one sample, None when it serves none."""
    wanted = (name, tuple(sorted(labels.items())))
    return next((v for n, l, v in samples(scrape(port), "") if (n, l) == wanted), None)


def wait_for(what, timeout=15):
    deadline = time.monotonic() + timeout
    while not what():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.2)
    return True


def killed_runs(work, textfiles, env, port):
    """A run killed before its end keeps the last complete file in place, and leaves
    nothing beside it (a full disk is PublishTest's)."""
    (textfiles / "vemicmd.prom").unlink(missing_ok=True)
    subprocess.run([vemisim, "--board", "ups-on-battery", "--", publisher], env=env, check=True, timeout=60)
    good = (textfiles / "vemicmd.prom").read_text()
    slow = work / "slow.json"
    slow.write_text('{"faults": [{"group": "0x2000", "offset": 2, "delay": 3000}]}')
    killing = work / "killing"
    killing.write_text(f'#!/bin/sh\nexec timeout -s KILL 1 "{vemicmd}" "$@"\n')
    killing.chmod(0o755)
    subprocess.run([vemisim, "--board", str(slow), "--", publisher], env=dict(env, VEMICMD=str(killing)), timeout=60)
    if (textfiles / "vemicmd.prom").read_text() != good:
        failures.append("a killed run replaced the last complete file")
    if sorted(p.name for p in textfiles.iterdir()) != ["vemicmd.prom"]:
        failures.append(f"a killed run left {sorted(p.name for p in textfiles.iterdir())}")
    if serving(port, "node_textfile_scrape_error") != 0.0 or serving(port, "vemi_ups_on_battery") != 1.0:
        failures.append("after a killed run node_exporter no longer serves the last complete file")
    (textfiles / "vemicmd.prom").unlink()


def one_producer(work, textfiles, env, port):
    """vemid's file and a cron file added after vemid started: vemid says so, the
    recipe retires its file, node_exporter serves vemid's values."""
    log = open(work / "vemid.log", "w")
    # On battery under vemid; the cron file, from another board, says on line power.
    daemon = subprocess.Popen([vemisim, "--board", "ups-on-battery", "--", vemid, "-d", "-n", "-s", "1",
                               "-I", str(work / "vemid.pid"), "-m", str(textfiles / "vemid.prom")],
                              stdout=log, stderr=log)
    try:
        if not wait_for(lambda: serving(port, "vemid_metrics_shadowing_files") == 0.0):
            failures.append("vemid: its metrics never reached node_exporter")
            return
        old = subprocess.run([vemisim, "--board", "default", "--", vemicmd, "--prometheus", "/ver", "/sens", "/dalv"],
                             capture_output=True, text=True, timeout=60).stdout
        (textfiles / "vemicmd.prom").write_text(old)  # a cron job started before vemid
        if not wait_for(lambda: serving(port, "vemid_metrics_shadowing_files") == 1.0):
            failures.append("vemid: a cron file beside its own is not counted in vemid_metrics_shadowing_files")
        if not wait_for(lambda: "vemicmd.prom in its folder also writes vemi_ series" in
                        (work / "vemid.log").read_text()):
            failures.append("vemid: a cron file beside its own is not named in its log")
        subprocess.run([vemisim, "--board", "default", "--", publisher], env=env, check=True, timeout=60)
        if (textfiles / "vemicmd.prom").exists():
            failures.append("the publisher left its file beside vemid's")
        if not wait_for(lambda: serving(port, "vemid_metrics_shadowing_files") == 0.0 and
                        serving(port, "vemi_ups_on_battery") == 1.0):
            failures.append("after the publisher retired, node_exporter does not serve vemid's values")
    finally:
        daemon.terminate()
        daemon.wait(timeout=10)
        log.close()


with tempfile.TemporaryDirectory() as work:
    work = Path(work)
    textfiles = work / "textfiles"
    textfiles.mkdir()
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
        env = dict(os.environ, TEXTFILE_DIR=str(textfiles), VEMICMD=vemicmd)
        library = sorted(Path(boards).glob("*.json"))
        for board in library + [work / f"{name}.json" for name in failing]:
            run = subprocess.run([vemisim, "--board", str(board), "--", publisher],
                                 env=env, capture_output=True, text=True, timeout=60)
            direct = subprocess.run([vemisim, "--board", str(board), "--", vemicmd, "--prometheus", "/ver", "/sens",
                                     "/dalv"], capture_output=True, text=True, errors="surrogateescape", timeout=60)
            if run.returncode != direct.returncode or run.stdout or run.stderr != direct.stderr:
                failures.append(f"{board.stem}: the publisher ended {run.returncode}, VemiCmd {direct.returncode}: "
                                f"{run.stdout.strip()} {run.stderr.strip()}")
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
        killed_runs(work, textfiles, env, port)
        one_producer(work, textfiles, env, port)
    finally:
        node.terminate()
        try:
            node.wait(timeout=5)
        except subprocess.TimeoutExpired:
            node.kill()
            node.wait()

print("\n".join(failures) or f"node_exporter: {len(library) + len(failing)} boards through vemicmd-textfile, "
      "served as written, killed runs never published, one producer per board"
      + ("" if shutil.which("promtool") else " (promtool is not installed)"))
sys.exit(1 if failures else 0)
