#!/usr/bin/python3
"""Reads a page of a browser that listens on a DevTools port through the
scripted shopper's DevTools client, as an outside program attaches to an
embedded browser: waits up to 30 s for a page with the given title and prints
what it shows as one line of JSON: the rows of its tables as header -> cell
text, script and image counts, whether a global `zunInjected` exists.

    read_page.py SHOPPER PORT TITLE
"""
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
