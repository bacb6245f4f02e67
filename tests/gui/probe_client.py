#!/usr/bin/env python3
"""Client of the widget probe module (widget_probe.cpp).

A program started with GTK_MODULES=<the module> and SETUP_TEST_PROBE=<socket>
describes its visible windows on each connection to that socket.

As a command: probe_client.py SOCKET WHAT LIMIT [PID] waits at most LIMIT
seconds (and only while process PID lives) until the wizard window shows
WHAT ("page:TEXT" for a label reading TEXT, "checkbox" for a visible check
box) and prints the window's X id.
"""
import json
import os
import socket
import sys
import time


def snapshot(path):
    """The visible windows, or None while the program does not answer."""
    try:
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
            s.settimeout(5)
            s.connect(path)
            data = b""
            while True:
                chunk = s.recv(65536)
                if not chunk:
                    break
                data += chunk
        return json.loads(data.decode("utf-8"))
    except (OSError, ValueError):
        return None


def wizard_window(snap):
    """The wizard's own window (its type hint is the menu hint, 2)."""
    for w in snap["windows"] if snap else []:
        if w["kind"] == "window" and w["type_hint"] == 2:
            return w
    return None


def shows(window, what):
    if window is None:
        return False
    if what == "checkbox":
        return any(x["type"] == "GtkCheckButton" for x in window["widgets"])
    if what.startswith("page:"):
        return any(x.get("text") == what[5:] for x in window["widgets"] if x["type"] == "GtkLabel")
    raise ValueError("unknown condition " + what)


def wait_for(path, what, limit, pid=None):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline and (pid is None or os.path.exists("/proc/%d" % pid)):
        w = wizard_window(snapshot(path))
        if shows(w, what):
            return w
        time.sleep(0.02)
    return None


if __name__ == "__main__":
    pid = int(sys.argv[4]) if len(sys.argv) > 4 else None
    found = wait_for(sys.argv[1], sys.argv[2], float(sys.argv[3]), pid)
    if not found:
        sys.exit("probe_client: the wizard did not show %s within %s s" % (sys.argv[2], sys.argv[3]))
    print(found["xid"])
