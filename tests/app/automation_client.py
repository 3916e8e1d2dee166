#!/usr/bin/env python3
"""Drives `tarq-cli serve` over its socket as a plugin application would.

usage: automation_client.py TARQ_CLI PROJECT SOCKET

The project has a plugin module HF (8-bit register MODE_INIT, text register LABEL_INIT)
whose definitions live in ApplicationConfig/plugin_hf.h. Prints "ok" and exits 0 when every
check holds; otherwise prints the failed check and exits 1.
"""
import json
import os
import socket
import subprocess
import sys
import time

tarq_cli, project, socket_path = sys.argv[1:4]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what, flush=True)


class Client:
    def __init__(self, path, answer_events=True):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(path)
        self.buffer = b""
        self.next_id = 1
        self.events = []
        self.answers = {}
        self.answer_events = answer_events

    def send(self, message):
        data = message if isinstance(message, bytes) else json.dumps(message).encode()
        self.sock.sendall(data + b"\n")

    def read_message(self, timeout=15):
        self.sock.settimeout(timeout)
        while b"\n" not in self.buffer:
            chunk = self.sock.recv(65536)
            if not chunk:
                return None
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        return json.loads(line)

    def handle_event(self, message):
        self.events.append(message["method"])
        if self.answer_events:
            answer = 1 if message["method"] == "OnShowToolTip" else 0
            self.send({"jsonrpc": "2.0", "id": message["id"], "result": answer})

    def wait_answer(self, request_id):
        while request_id not in self.answers:
            message = self.read_message()
            if message is None:
                raise RuntimeError("connection closed")
            if "method" in message:
                self.handle_event(message)
            else:
                self.answers[message.get("id")] = message
        return self.answers.pop(request_id)

    def call(self, method, *params):
        request_id = self.next_id
        self.next_id += 1
        self.send({"jsonrpc": "2.0", "id": request_id, "method": method, "params": list(params)})
        answer = self.wait_answer(request_id)
        if "error" in answer:
            raise RuntimeError("%s: %s" % (method, answer["error"]))
        return answer["result"]

    def raw(self, data):
        self.send(data)
        return self.wait_answer(None)


server = subprocess.Popen([tarq_cli, "serve", project, "--socket", socket_path, "--page", "HF",
                           "--save"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE)
first_line = server.stdout.readline().decode()
check(first_line == "serving %s\n" % socket_path, "serving line: %r" % first_line)
check(oct(os.stat(socket_path).st_mode & 0o777) == oct(0o600), "socket is user-only")

app = Client(socket_path)
# A global through any object; the project's external clock is 8 MHz.
check(app.call("GetReg", "APPCFG_EXTCLK") == 8.0, "GetReg APPCFG_EXTCLK")
check(app.call("GetReg", "NO_SUCH_REGISTER") is None, "unknown register is null")
check(app.call("tarq.subscribe") is True, "subscribe")
check(app.call("AssignModule", "NOPE") is False, "AssignModule unknown")
check(app.call("AssignModule", "HF") is True, "AssignModule HF")
check("OnRefreshAll" in app.events, "OnRefreshAll after AssignModule: %s" % app.events)
# An 8-bit register keeps the low byte.
check(app.call("SetReg", "MODE_INIT", 0x12345) is True, "SetReg MODE_INIT")
check(app.call("GetReg", "HF_MODE_INIT") == 0x45, "GetReg HF_MODE_INIT")
check(app.call("SetReg", "LABEL_INIT", "two\nlines") is False, "a text with a line break")
check(app.call("SetReg", "LABEL_INIT", "Board A") is True, "SetReg LABEL_INIT")
check(app.call("GetReg", "LABEL_INIT") == "Board A", "GetReg LABEL_INIT")
check(app.call("SetWarning", 7, True, "Board revision too old") is None, "SetWarning")
warnings = app.call("tarq.warnings")
check(any(w["module"] == "HF" and w["text"] == "Board revision too old"
          for w in warnings["warnings"]),
      "warning listed: %s" % warnings)
check("OnCheckWarnings" in app.events, "OnCheckWarnings during the pass")
check(app.call("SetComment", "Hello from the board plugin") is None, "SetComment")
check(app.call("CreateDynamicPlugin", "DYN") == "DYN/DYN", "CreateDynamicPlugin")
check(app.call("CreateDynamicPlugin", "DYN") is False, "CreateDynamicPlugin again")
check(app.call("GetReg", "MODE_INIT") == 0x45, "other modules' registers found from DYN")

# Every error code.
check(app.raw(b"this is not json")["error"]["code"] == -32700, "parse error")
check(app.raw({"jsonrpc": "2.0", "id": None, "params": []})["error"]["code"] == -32600,
      "no method")
check(app.raw(b'{"jsonrpc":"2.0","id":null,"method":"GetReg","params":["' + b"x" * (1 << 20) +
              b'"]}')["error"]["code"] == -32600, "line over 1 MiB")
deep = 400000
check(app.raw(b'{"jsonrpc":"2.0","id":null,"method":"SetReg","params":["MODE_INIT",' +
              b"[" * deep + b"]" * deep + b"]}")["error"]["code"] == -32600,
      "a value nested 400000 deep")
app.send({"jsonrpc": "2.0", "id": 90, "method": "Frobnicate"})
check(app.wait_answer(90)["error"]["code"] == -32601, "unknown method")
app.send({"jsonrpc": "2.0", "id": 91, "method": "SetReg", "params": ["MODE_INIT", [1, 2]]})
check(app.wait_answer(91)["error"]["code"] == -32602, "a list as value")
app.send({"jsonrpc": "2.0", "id": 92, "method": "SetWarning", "params": ["seven", True]})
check(app.wait_answer(92)["error"]["code"] == -32602, "a text as warning number")
check(app.call("AssignModule", "HF") is True, "still serving after the errors")

# A sink that never answers costs one bounded wait, and the call still succeeds.
silent = Client(socket_path, answer_events=False)
check(silent.call("tarq.subscribe") is True, "second subscribe")
start = time.monotonic()
check(app.call("AssignModule", "HF") is True, "AssignModule with a stuck sink")
waited = time.monotonic() - start
check(1.5 <= waited < 10, "bounded wait: %.2f s" % waited)
silent.sock.close()

# The end: standard input closes, the project is saved, plugin applications hear of it.
watcher = Client(socket_path)
check(watcher.call("tarq.subscribe") is True, "watcher subscribe")
app.call("tarq.unsubscribe")
app.sock.close()
server.stdin.close()
while True:
    message = watcher.read_message(timeout=30)
    if message is None:
        break
    if "method" in message:
        watcher.handle_event(message)
check("OnGenerateComment" in watcher.events, "OnGenerateComment on save: %s" % watcher.events)
check("OnProjectClosing" in watcher.events, "OnProjectClosing at the end: %s" % watcher.events)
code = server.wait(timeout=30)
check(code == 0, "serve exit code %d: %s" % (code, server.stderr.read().decode()))
check(not os.path.exists(socket_path), "socket removed")

header = open(os.path.join(project, "ApplicationConfig", "plugin_hf.h")).read()
check("0x45U" in header, "saved MODE_INIT")
check('"Board A"' in header, "saved LABEL_INIT")
check("Hello from the board plugin" in header, "saved comment")

if failures:
    sys.exit(1)
print("ok")
