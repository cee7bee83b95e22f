#!/usr/bin/env python3
"""The metrics of every board of the library, read by Prometheus's own parser and
checked by promtool where it is installed, hold the values of the JSON document of
the same board. Usage: metrics.py VEMISIM VEMICMD BOARDS_DIR"""
import json
import shutil
import subprocess
import sys
from pathlib import Path

from prometheus_client.parser import text_string_to_metric_families

vemisim, vemicmd, boards = sys.argv[1:4]
FAMILY = {"temperature": "vemi_temperature_celsius", "voltage": "vemi_voltage_volts",
          "fan": "vemi_fan_speed_rpm", "current": "vemi_current_amperes", "other": "vemi_sensor_raw"}
failures = []


def run(board, style):
    p = subprocess.run([vemisim, "--board", str(board), "--", vemicmd, style, "/ver", "/sens", "/dalv"],
                       capture_output=True, text=True, errors="surrogateescape")
    return p.stdout, p.returncode


def expect(board, what, got, wanted):
    if got != wanted:
        failures.append(f"{board.stem}: {what}: {got!r}, expected {wanted!r}")


for board in sorted(Path(boards).glob("*.json")):
    text, status = run(board, "--prometheus")
    doc, doc_status = run(board, "--json")
    doc = json.loads(doc)
    samples = {(s.name, frozenset(s.labels.items())): s.value
               for family in text_string_to_metric_families(text) for s in family.samples}
    value = lambda name, **labels: samples.get((name, frozenset(labels.items())))
    expect(board, "exit status", status, doc_status)
    expect(board, "vemi_success", value("vemi_success"), 1.0 if status == 0 else 0.0)
    expect(board, "vemi_build_info", value("vemi_build_info", version=doc["tool"]["version"]), 1.0)
    sensors = doc.get("sensors")
    expect(board, "vemi_sensors", value("vemi_sensors"), None if sensors is None else float(len(sensors)))
    for number, sensor in enumerate(sensors or [], 1):
        expect(board, f"vemi_sensor_read_success {number}", value("vemi_sensor_read_success", number=str(number)),
               0.0 if sensor is None else 1.0)
    version = doc.get("version", {})
    if version.get("mainboard") and version["mainboard"]["name"].isprintable():
        labels = dict(interface_version=version["interface"]["text"], mainboard=version["mainboard"]["name"],
                      mainboard_revision=f"G{version['mainboard']['revision']}",
                      bios_version=version["mainboard"]["bios_version"])
        expect(board, "vemi_info", value("vemi_info", **labels), 1.0)
    for sensor in doc.get("sensors") or []:
        if sensor is not None and sensor["name"].isprintable():
            labels = dict(sensor=sensor["name"] or str(sensor["number"]), number=str(sensor["number"]))
            if sensor["kind"] == "other":
                labels["type"] = str(sensor["type"])
            expect(board, f"sensor {sensor['number']}", value(FAMILY[sensor["kind"]], **labels), sensor["value"])
    ups = doc.get("ups")
    if ups is not None and (ups["supported"] is False or ups.get("status")):
        expect(board, "vemi_ups_supported", value("vemi_ups_supported"), 1.0 if ups["supported"] else 0.0)
    if ups and ups.get("status"):
        charge = ups["status"]["charge_percent"]
        expect(board, "vemi_ups_charge_ratio", value("vemi_ups_charge_ratio"), None if charge is None else charge / 100)
        expect(board, "vemi_ups_state", value("vemi_ups_state", state=ups["status"]["state"]), 1.0)
        expect(board, "vemi_ups_on_battery", value("vemi_ups_on_battery"),
               1.0 if ups["status"]["state"] == "discharging" else 0.0)
    for record in ("gpio", "gpio_ex"):
        if ups and ups.get(record) is not None:
            expect(board, f"vemi_ups_gpio_supported {record}", value("vemi_ups_gpio_supported", record=record),
                   1.0 if ups[record]["supported"] else 0.0)
    for report, ok in doc["reports"].items():
        expect(board, f"collector {report}", value("vemi_collector_success", collector=report), 1.0 if ok else 0.0)
    expect(board, "vemi_device_open_errno", value("vemi_device_open_errno"), 0.0)
    if ups and ups.get("power_fail_counter") is not None:
        expect(board, "vemi_ups_power_failures_total", value("vemi_ups_power_failures_total"),
               ups["power_fail_counter"])
    if shutil.which("promtool"):
        check = subprocess.run(["promtool", "check", "metrics"], input=text, capture_output=True, text=True)
        expect(board, "promtool", (check.returncode, check.stdout + check.stderr), (0, ""))

print("\n".join(failures) or "metrics: every board of the library agrees with its JSON document"
      + ("" if shutil.which("promtool") else " (promtool is not installed)"))
sys.exit(1 if failures else 0)
