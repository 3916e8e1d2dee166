#!/usr/bin/env python3
"""Cooling fan plugin application for Tarq.

Connects to a running Tarq through its automation socket (TARQ_AUTOMATION_SOCKET, set by
the desktop program for the applications it starts, or --socket for `tarq-cli serve`), sets
the fan's PWM frequency and duty cycle, answers Tarq's events and keeps the fan's warning
and header comment up to date.

    python3 fan_control.py [--socket PATH] [--frequency HZ] [--duty PERCENT]
"""
import argparse
import json
import os
import socket
import sys


class Tarq:
    """One automation object: JSON-RPC 2.0, one message per line."""

    def __init__(self, path):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(path)
        self.buffer = b""
        self.next_id = 1
        self.handlers = {}
        self.answers = {}
        self.closing = False

    def _read(self):
        while b"\n" not in self.buffer:
            chunk = self.sock.recv(65536)
            if not chunk:
                return None
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        return json.loads(line)

    def _send(self, message):
        self.sock.sendall(json.dumps(message).encode() + b"\n")

    def _event(self, message):
        handler = self.handlers.get(message["method"])
        result = handler(*message.get("params", [])) if handler else 0
        self._send({"jsonrpc": "2.0", "id": message["id"], "result": result or 0})

    def call(self, method, *params):
        request_id = self.next_id
        self.next_id += 1
        self._send({"jsonrpc": "2.0", "id": request_id, "method": method, "params": list(params)})
        # An event handler may call Tarq while an outer call waits: answers are kept by id.
        while request_id not in self.answers:
            message = self._read()
            if message is None:
                raise ConnectionError("Tarq closed the connection")
            if "method" in message:
                self._event(message)  # Tarq's events arrive while we wait for our answer
            else:
                self.answers[message.get("id")] = message
        message = self.answers.pop(request_id)
        if "error" in message:
            raise RuntimeError(message["error"]["message"])
        return message["result"]

    def serve_events(self):
        while not self.closing:
            message = self._read()
            if message is None:
                return
            if "method" in message:
                self._event(message)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--socket", default=os.environ.get("TARQ_AUTOMATION_SOCKET"))
    parser.add_argument("--frequency", type=int, default=25000, help="PWM frequency in Hz")
    parser.add_argument("--duty", type=int, default=60, help="duty cycle in percent")
    args = parser.parse_args()
    if not args.socket:
        sys.exit("fan_control: no Tarq to talk to (TARQ_AUTOMATION_SOCKET is not set)")

    tarq = Tarq(args.socket)
    if not tarq.call("AssignModule", "FAN"):
        sys.exit("fan_control: the project has no FAN module")
    tarq.call("tarq.subscribe")

    def check_warnings():
        # Fans are specified for 21 kHz to 28 kHz; outside that range they hum or stall.
        frequency = tarq.call("GetReg", "FREQ_HZ_INIT")
        tarq.call("SetWarning", 1, not 21000 <= frequency <= 28000,
                  "The fan needs a PWM frequency between 21 kHz and 28 kHz")

    def generate_comment():
        tarq.call("SetComment", "Fan PWM %d Hz, %d %% duty (bus clock from %s MHz)" % (
            tarq.call("GetReg", "FREQ_HZ_INIT"), tarq.call("GetReg", "DUTY_INIT"),
            tarq.call("GetReg", "APPCFG_EXTCLK")))

    def closing():
        tarq.closing = True

    tarq.handlers = {"OnCheckWarnings": check_warnings, "OnGenerateComment": generate_comment,
                     "OnProjectClosing": closing}
    tarq.call("SetReg", "FREQ_HZ_INIT", args.frequency)
    tarq.call("SetReg", "DUTY_INIT", max(0, min(100, args.duty)))
    generate_comment()
    print("fan_control: FAN set to %d Hz, %d %%" % (args.frequency, args.duty), flush=True)
    tarq.serve_events()


if __name__ == "__main__":
    main()
