#!/usr/bin/env python3
"""The Grafana dashboard against Debian's Prometheus (Grafana is not in Debian's
archive): vemid publishes a board's series under the simulated board,
node_exporter serves them, Prometheus scrapes it, all on 127.0.0.1 with ports of
the test's own; then every panel's query, as Grafana would send it (all boards,
a rate interval of a minute), must return data through Prometheus's HTTP API.
Bounded in time; stops what it started; exits 77 (skipped) with one line when
Prometheus or node_exporter is missing.
Usage: dashboard.py VEMISIM VEMID DASHBOARD"""
import json
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request
from pathlib import Path

vemisim, vemid, dashboard = sys.argv[1:4]
exporter = shutil.which("prometheus-node-exporter") or shutil.which("node_exporter")
prometheus = shutil.which("prometheus")
if exporter is None or prometheus is None:
    print("dashboard: skipped: no Prometheus or node_exporter (scripts/deps test installs them)")
    sys.exit(77)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def query(port, expr):
    url = f"http://127.0.0.1:{port}/api/v1/query?" + urllib.parse.urlencode({"query": expr})
    with urllib.request.urlopen(url, timeout=5) as reply:
        return json.load(reply)["data"]["result"]


def wait_for(what, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            if what():
                return True
        except OSError:
            pass
        time.sleep(0.5)
    return False


panels = json.loads(Path(dashboard).read_text())["panels"]
failures = []
started = []
with tempfile.TemporaryDirectory() as work:
    work = Path(work)
    textfiles = work / "textfiles"
    textfiles.mkdir()
    node_port, prom_port = free_port(), free_port()
    (work / "prometheus.yml").write_text(
        "global: {scrape_interval: 1s, evaluation_interval: 1s}\n"
        f"scrape_configs:\n  - job_name: boards\n    static_configs: [{{targets: ['127.0.0.1:{node_port}']}}]\n")
    try:
        log = open(work / "log", "w")
        started.append(subprocess.Popen(
            [vemisim, "--", vemid, "-d", "-t", "6", "-s", "2", "-e", "true", "-I", str(work / "vemid.pid"),
             "-m", str(textfiles / "vemid.prom")], stdout=log, stderr=log))
        started.append(subprocess.Popen(
            [exporter, f"--web.listen-address=127.0.0.1:{node_port}", "--collector.disable-defaults",
             "--collector.textfile", f"--collector.textfile.directory={textfiles}"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        started.append(subprocess.Popen(
            [prometheus, f"--config.file={work / 'prometheus.yml'}", f"--storage.tsdb.path={work / 'tsdb'}",
             f"--web.listen-address=127.0.0.1:{prom_port}"], stdout=log, stderr=log))
        # A few scrapes of vemid's rounds, for the panels that take a rate.
        if not wait_for(lambda: query(prom_port, "count_over_time(vemid_feeds_total[1m]) >= 4"), 60):
            failures.append("Prometheus never had four scrapes of vemid's series")
        else:
            for panel in panels:
                for target in panel["targets"]:
                    expr = target["expr"].replace("$instance", ".*").replace("$__rate_interval", "1m")
                    if not query(prom_port, expr):
                        failures.append(f"panel '{panel['title']}': no data for {expr}")
    finally:
        for process in reversed(started):
            process.terminate()
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()

print("\n".join(failures) or f"dashboard: each of the {len(panels)} panels has data through Prometheus")
sys.exit(1 if failures else 0)
