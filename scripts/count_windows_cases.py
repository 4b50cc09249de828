#!/usr/bin/python3
"""Compares the test cases that ran on Linux with those that ran under Wine.

usage: count_windows_cases.py LINUX_JUNIT WINDOWS_GTEST_DIR [--min-share PERCENT]

LINUX_JUNIT is ctest's JUnit report of the Linux run (one test per case, named
<Suite>.<Case>.<flavour>); WINDOWS_GTEST_DIR holds the GoogleTest XML reports of the
Windows run, one per program (test_<subsystem>_<flavour>.xml). Prints, per subsystem
and flavour, the cases run, skipped and failed on each system, the skip reasons seen
under Wine, and the share of the Linux cases that also ran under Wine. Exits 1 when a
Windows case failed or the share is below --min-share (default 90).
"""

import argparse
import collections
import glob
import os
import re
import sys
import xml.etree.ElementTree as ET


def linux_cases(path):
    """Returns {(flavour, 'Suite.Case'): status} from ctest's JUnit report."""
    cases = {}
    for case in ET.parse(path).getroot().iter("testcase"):
        name = case.get("name", "")
        match = re.match(r"^(.+)\.(ansi|unicode|debug|unicode-debug)$", name)
        if not match or "." not in match.group(1):
            continue  # not a GoogleTest case (the header checks)
        if case.find("failure") is not None:
            status = "failed"
        elif case.find("skipped") is not None:
            status = "skipped"
        else:
            status = "run"
        cases[(match.group(2), match.group(1))] = status
    return cases


def windows_cases(directory):
    """Returns ({(flavour, 'Suite.Case'): status}, {key: subsystem}, {key: reason})."""
    cases, subsystems, reasons = {}, {}, {}
    for path in sorted(glob.glob(os.path.join(directory, "test_*.xml"))):
        match = re.match(r"^test_(.+?)_(ansi|unicode|debug|unicode_debug)\.xml$",
                         os.path.basename(path))
        if not match:
            continue
        subsystem, flavour = match.group(1), match.group(2).replace("_", "-")
        for case in ET.parse(path).getroot().iter("testcase"):
            key = (flavour, case.get("classname", "") + "." + case.get("name", ""))
            skipped = case.find("skipped")
            if case.find("failure") is not None:
                status = "failed"
            elif skipped is not None or case.get("result") == "skipped":
                status = "skipped"
                # The message is the skip's file:line, then the reason it streamed.
                text = (skipped.get("message", "") if skipped is not None else "") or ""
                lines = [line for line in text.strip().splitlines()
                         if not re.match(r"^\S+:\d+$", line.strip())]
                reasons[key] = lines[-1].strip() if lines else "(none given)"
            else:
                status = "run"
            cases[key] = status
            subsystems[key] = subsystem
    return cases, subsystems, reasons


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("linux_junit")
    parser.add_argument("windows_dir")
    parser.add_argument("--min-share", type=float, default=90.0)
    args = parser.parse_args()

    linux = linux_cases(args.linux_junit)
    windows, subsystems, reasons = windows_cases(args.windows_dir)
    if not windows:
        print(f"no GoogleTest reports in {args.windows_dir}")
        return 1

    # A Linux case belongs to the subsystem of the Windows program that has the same case.
    table = collections.defaultdict(collections.Counter)
    for key, status in windows.items():
        group = (subsystems[key], key[0])
        table[group]["win_" + status] += 1
        if status == "run" and linux.get(key) == "run":
            table[group]["both"] += 1
    suites = {(subsystems[k], k[0]) for k in windows}
    by_suite_flavour = {(k[0], k[1].split(".")[0]): subsystems[k] for k in windows}
    unmatched = 0
    for key, status in linux.items():
        subsystem = by_suite_flavour.get((key[0], key[1].split(".")[0]))
        if subsystem is None:
            if status == "run":
                unmatched += 1
            continue
        table[(subsystem, key[0])]["linux_" + status] += 1

    print(f"{'suite':<24}{'Linux run':>10}{'skip':>6}{'Wine run':>10}{'skip':>6}{'fail':>6}"
          f"{'both':>7}")
    total = collections.Counter()
    for group in sorted(suites):
        row = table[group]
        total.update(row)
        print(f"{group[0] + '.' + group[1]:<24}{row['linux_run']:>10}{row['linux_skipped']:>6}"
              f"{row['win_run']:>10}{row['win_skipped']:>6}{row['win_failed']:>6}{row['both']:>7}")
    print(f"{'all':<24}{total['linux_run']:>10}{total['linux_skipped']:>6}"
          f"{total['win_run']:>10}{total['win_skipped']:>6}{total['win_failed']:>6}"
          f"{total['both']:>7}")
    linux_run = total["linux_run"] + unmatched
    share = 100.0 * total["both"] / linux_run if linux_run else 0.0
    print(f"{total['both']} of the {linux_run} cases run on Linux also ran under Wine "
          f"({share:.1f}%); {unmatched} belong to suites not built for Windows")

    skipped = collections.Counter(reasons[k] for k, s in windows.items() if s == "skipped")
    if skipped:
        print("skipped under Wine, by reason:")
        for reason, count in skipped.most_common():
            print(f"  {count:>4}  {reason}")
    unnamed = sorted(f"{k[1]}.{k[0]}" for k, s in windows.items()
                     if s == "skipped" and reasons[k] == "(none given)")
    for name in unnamed:
        print(f"skipped under Wine without a reason: {name}")
    failed = sorted(f"{k[1]}.{k[0]}" for k, s in windows.items() if s == "failed")
    for name in failed:
        print(f"FAILED under Wine: {name}")
    if failed or unnamed or share < args.min_share:
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
