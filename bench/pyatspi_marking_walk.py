#!/usr/bin/python3
# The comparison walk for marking_bench: the same stop-at-LIMIT marking of
# the active window of process PID, one attribute read at a time through the
# Python AT-SPI bindings. Prints the median time of RUNS walks in ms.
# Usage: pyatspi_marking_walk.py PID LIMIT RUNS
import statistics
import sys
import time

import pyatspi

INTERACTIVE = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_LINK, pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_MENU,
    pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_SLIDER, pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_PAGE_TAB,
    pyatspi.ROLE_PAGE_TAB_LIST, pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_TREE_ITEM,
    pyatspi.ROLE_TABLE_ROW, pyatspi.ROLE_LABEL,
}


def window_of(pid):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == pid:
            for window in app:
                if window.getState().contains(pyatspi.STATE_ACTIVE):
                    return window
    return None


def walk(node, depth, marks, limit):
    if len(marks) >= limit or depth > 29:
        return
    role = node.getRole()
    if role in INTERACTIVE:
        states = node.getState()
        if states.contains(pyatspi.STATE_SHOWING):
            x, y, w, h = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            if w >= 4 and h >= 4 and x > -1000000:
                action = None
                try:
                    action = node.queryAction()
                except NotImplementedError:
                    pass
                marks.append((role, node.name, node.description, states.contains(pyatspi.STATE_ENABLED),
                              states.contains(pyatspi.STATE_FOCUSED), states.contains(pyatspi.STATE_SELECTED),
                              [action.getName(i) for i in range(action.nActions)] if action else []))
    for child in node:
        if child is None:
            continue
        walk(child, depth + 1, marks, limit)
        if len(marks) >= limit:
            break


def main():
    pid, limit, runs = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
    window = window_of(pid)
    if window is None:
        print("no active window", file=sys.stderr)
        return 1
    times = []
    count = 0
    for _ in range(runs):
        marks = []
        start = time.perf_counter()
        walk(window, 0, marks, limit)
        times.append((time.perf_counter() - start) * 1000)
        count = len(marks)
    print(f"{statistics.median(times):.1f} {count}")
    return 0


sys.exit(main())
