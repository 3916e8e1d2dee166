#!/usr/bin/env python3
"""Runs the fan example plugin application against `tarq-cli serve`.

usage: example_plugins_client.py TARQ_CLI PROJECT SOCKET FAN_CONTROL_PY

The project holds the FanControl.tarq example in its header folder. Prints "ok" and exits 0
when the application set the registers, its warning shows and the save wrote its comment.
"""
import json
import socket
import subprocess
import sys

tarq_cli, project, socket_path, fan_control = sys.argv[1:5]
server = subprocess.Popen([tarq_cli, "serve", project, "--socket", socket_path, "--save"],
                          stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
server.stdout.readline()  # "serving ..."
app = subprocess.Popen([sys.executable, fan_control, "--socket", socket_path,
                        "--frequency", "30000", "--duty", "40"], stdout=subprocess.PIPE)
started = app.stdout.readline().decode()
assert "FAN set to 30000 Hz, 40 %" in started, started

# Another object sees what the application did, and the application's warning.
probe = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
probe.connect(socket_path)
stream = probe.makefile("rwb")


def call(method, *params):
    stream.write(json.dumps({"jsonrpc": "2.0", "id": 1, "method": method,
                             "params": list(params)}).encode() + b"\n")
    stream.flush()
    return json.loads(stream.readline())["result"]


assert call("AssignModule", "FAN") is True
assert call("GetReg", "FAN_FREQ_HZ_INIT") == 30000
assert call("GetReg", "FAN_DUTY_INIT") == 40
warnings = call("tarq.warnings")["warnings"]
assert any(w["module"] == "FAN" and "21 kHz" in w["text"] for w in warnings), warnings
probe.close()

server.stdin.close()
assert server.wait(timeout=60) == 0, server.stderr.read().decode()
assert app.wait(timeout=30) == 0
header = open(project + "/ApplicationConfig/appconfig.h").read()
assert "Fan PWM 30000 Hz, 40 % duty" in header, header
assert "FAN_FREQ_HZ_INIT" in header and "30000" in header
print("ok")
