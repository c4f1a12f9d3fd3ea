#!/usr/bin/python3
"""Reads a page of a browser that listens on a DevTools port, as an outside
program attaches to an embedded browser: waits up to 30 s for a page with the
given title and prints what it shows as one line of JSON: title, the rows of
its tables as header -> cell text, script and image counts, whether a global
`zunInjected` exists.

    read_page.py PORT TITLE
"""
import json
import sys
import time
import urllib.request

import websocket

EXPRESSION = """JSON.stringify({
  title: document.title,
  rows: Object.fromEntries(Array.from(document.querySelectorAll('tr'),
      row => [row.querySelector('th').textContent, row.querySelector('td').textContent])),
  scripts: document.scripts.length,
  images: document.images.length,
  injected: typeof window.zunInjected !== 'undefined'
})"""


def targets(port):
    try:
        with urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list", timeout=2) as reply:
            return json.load(reply)
    except OSError:
        return []


def find_page(port, title):
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        for target in targets(port):
            if target.get("type") == "page" and target.get("title") == title:
                return target
        time.sleep(0.1)
    return None


def evaluate(page):
    socket = websocket.create_connection(page["webSocketDebuggerUrl"], timeout=10, suppress_origin=True)
    try:
        socket.send(json.dumps({"id": 1, "method": "Runtime.evaluate",
                                "params": {"expression": EXPRESSION, "returnByValue": True}}))
        while True:
            message = json.loads(socket.recv())
            if message.get("id") == 1:
                return message["result"]["result"]["value"]
    finally:
        socket.close()


def main():
    port, title = int(sys.argv[1]), sys.argv[2]
    page = find_page(port, title)
    if page is None:
        print(json.dumps({"error": f"no page titled {title}"}))
        return 1
    print(evaluate(page), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
