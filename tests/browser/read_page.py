#!/usr/bin/python3
"""read_page.py SHOPPER PORT TITLE: waits up to 30 s for the page titled TITLE
of the browser on DevTools port PORT and prints, through the scripted
shopper's DevTools client, what it shows as one line of JSON."""
import importlib.machinery
import importlib.util
import json
import sys
import time

EXPRESSION = """JSON.stringify({
  title: document.title,
  rows: Object.fromEntries(Array.from(document.querySelectorAll('tr'),
      row => [row.querySelector('th').textContent, row.querySelector('td').textContent])),
  scripts: document.scripts.length,
  images: document.images.length,
  injected: typeof window.zunInjected !== 'undefined'
})"""


def main():
    loader = importlib.machinery.SourceFileLoader("shopper", sys.argv[1])
    shopper = importlib.util.module_from_spec(importlib.util.spec_from_loader("shopper", loader))
    loader.exec_module(shopper)
    port, title, deadline = int(sys.argv[2]), sys.argv[3], shopper.Deadline(30)
    while True:
        try:
            pages = [target for target in shopper.get_json(port, "/json/list", deadline)
                     if target.get("type") == "page" and target.get("title") == title]
        except (OSError, ValueError):
            pages = []
        if pages:
            break
        time.sleep(min(shopper.POLL, deadline.left()))
    connection = shopper.Connection(pages[0]["webSocketDebuggerUrl"], deadline)
    try:
        print(shopper.Shopper(connection, deadline).evaluate(EXPRESSION), flush=True)
    finally:
        connection.close()


if __name__ == "__main__":
    main()
