#!/usr/bin/env python3
"""Tables and checks for run_bench.sh.

Usage:
  bench_report.py workload --dir DIR --name NAME --title TEXT --results FILE
      DIR holds in/ (the inputs), run/searchOutputList.txt (one filter run in a
      fresh folder), hyperfine.json, rss-TOOL.txt (/usr/bin/time -v output)
      and grep-folders.txt / grep-files.txt (grep -n on the two lists).
      Prints the workload's markdown table and the check of the kept
      locations, appends one JSON line to FILE; exit 5 when the filter kept
      the wrong locations.
  bench_report.py startup --json FILE --results FILE
  bench_report.py scaling --json FILE --results FILE --locations NAME=N ...
      The scaling series timed together (time_interleaved.py's JSON): commands
      "one location" and one per NAME; prints its table, appends one JSON line.
  bench_report.py summary --results FILE
      Prints the targets table (the scaling series is S1, W1, S3, from the
      scaling call when there is one); exit 5
      when a check failed, else 6 when a target is not met.
Any other non-zero exit is a fault of this script or of its inputs.
"""

import argparse
import json
import os
import re
import sys

TOOLS = ["searchfilter", "cat", "grep", "rg"]
MIB = 1024 * 1024
INPUT_FILES = ["searchTreeName.txt", "searchTermsList.txt", "foldersScratch.txt",
               "filesScratch.txt"]
LIST_FILES = ["foldersScratch.txt", "filesScratch.txt"]
STARTUP_LIMIT_S = 0.002
EXIT_MISMATCH = 5
EXIT_TARGET_MISSED = 6
SCALING_SPREAD = 1.15


def medians(path):
    return {name: t["median"] for name, t in timings(path).items()}


def rounds_of(path):
    """How many rounds time_interleaved.py timed."""
    with open(path, encoding="utf-8") as f:
        return json.load(f)["rounds"]


def timings(path):
    """Per command: median wall time, and mean user and system CPU time."""
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    return {r["command"]: {"median": r["median"], "user": r["user"], "system": r["system"]}
            for r in data["results"]}


# The Windows builds' targets: time beyond Wine's start-up (the .exe's run in
# an empty folder) at most this many times the native build's beyond its own
# empty run, all four timed in the same interleaved rounds (windows.json).
EXE_TARGETS = {"i686 .exe (wine32)": 1.25, "x86_64 .exe (wine64)": 1.1}
EXE_TARGET_WORKLOADS = ("W1", "W4")


def peak_rss_bytes(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        m = re.search(r"Maximum resident set size \(kbytes\): (\d+)", f.read())
    if not m:
        sys.exit("bench_report: no peak RSS in %s" % path)
    return int(m.group(1)) * 1024


def split_lines(data):
    """Lines of an LF-terminated file (our inputs and the output list)."""
    if not data:
        return []
    lines = data.split(b"\n")
    if lines[-1] == b"":
        lines.pop()
    return lines


def grep_line_numbers(path):
    found = set()
    with open(path, "rb") as f:
        for line in f:
            head = line.split(b":", 1)[0]
            if head.isdigit():
                found.add(int(head))
    return found


def check_kept(d):
    """Compare the filter's block with what grep finds; returns (ok, expected,
    got, message)."""
    read = lambda *p: open(os.path.join(d, *p), "rb").read()
    folders = split_lines(read("in", "foldersScratch.txt"))
    files = split_lines(read("in", "filesScratch.txt"))
    tree = split_lines(read("in", "searchTreeName.txt"))
    terms = split_lines(read("in", "searchTermsList.txt"))
    if any(t == b"" for t in terms):
        # grep -F matches every line with an empty pattern; the filter none.
        sys.exit("bench_report: empty term in %s; grep cannot check it" % d)
    if any(b"\r" in x for x in folders + files):
        sys.exit("bench_report: CR in the generated lists of %s" % d)
    count = len(folders)
    hit = (grep_line_numbers(os.path.join(d, "grep-folders.txt"))
           | grep_line_numbers(os.path.join(d, "grep-files.txt")))
    want = sorted(i for i in hit if 1 <= i <= count)
    out_path = os.path.join(d, "run", "searchOutputList.txt")
    if not os.path.exists(out_path):
        return False, len(want), 0, "MISMATCH: the filter wrote no searchOutputList.txt"
    out = read("run", "searchOutputList.txt")
    block = split_lines(out)
    got = len(block) - 1
    if not out.endswith(b"\n") or not block:
        return False, len(want), got, "MISMATCH: output block missing or without final LF"
    if got != len(want):
        return False, len(want), got, "MISMATCH: grep finds %d locations, the filter kept %d" % (
            len(want), got)
    header = tree[0] if tree else b""
    if block[0] != header:
        return False, len(want), got, "MISMATCH: header line %r, expected %r" % (block[0], header)
    for n, (i, line) in enumerate(zip(want, block[1:]), start=1):
        expected = folders[i - 1] + b"\\" + (files[i - 1] if i <= len(files) else b"")
        if line != expected:
            return False, len(want), got, "MISMATCH: output line %d is %s, expected %s" % (
                n + 1, line.decode("utf-8", "replace"), expected.decode("utf-8", "replace"))
    return True, len(want), got, "OK: %s locations kept, same lines as grep" % format(got, ",")


def fmt_time(s):
    if s <= 0:
        return "~0 (below resolution)"
    if s >= 1:
        return "%.3f s" % s
    if s >= 1e-3:
        return "%.1f ms" % (s * 1e3)
    return "%.0f µs" % (s * 1e6)


def fmt_rate(list_bytes, seconds):
    if seconds <= 0:
        return "n/a"
    rate = list_bytes / 1e6 / seconds
    return "%.0f" % rate if rate >= 10 else "%.2f" % rate


def fmt_ratio(a, b):
    return "%.2f" % (a / b) if a > 0 and b > 0 else "n/a"


def fmt_mib(b):
    return "%.1f MiB" % (b / MIB)


def cpu(t):
    return t["user"] + t["system"]


def exe_runs(d, native_output):
    """The .exe builds, timed in interleaved rounds beside the native build:
    their rows, whether each kept the same bytes as the native build, and the
    native build's times in those rounds. Beside the wall time beyond the
    empty run, the CPU time (user + system) beyond that run's: Wine's own
    start-up work partly runs on another core meanwhile, so the wall time
    beyond it can come out below the native build's."""
    runs = []
    path = os.path.join(d, "windows.json")
    if not os.path.exists(path):
        return runs, None
    times = timings(path)
    native_beyond = times["searchfilter"]["median"] - times["empty run"]["median"]
    native_cpu_beyond = cpu(times["searchfilter"]) - cpu(times["empty run"])
    rounds = rounds_of(path)
    native = {"rounds": rounds, "median": times["searchfilter"]["median"],
              "empty": times["empty run"]["median"],
              "beyond": native_beyond, "cpu_beyond": native_cpu_beyond}
    for entry in sorted(os.listdir(d)):
        if not entry.startswith("exe-"):
            continue
        with open(os.path.join(d, entry, "label"), encoding="utf-8") as f:
            label = f.read().strip()
        out_path = os.path.join(d, entry, "searchOutputList.txt")
        output = open(out_path, "rb").read() if os.path.exists(out_path) else None
        run = times[label]["median"]
        empty = times[label + " in an empty folder"]["median"]
        beyond = run - empty
        cpu_beyond = cpu(times[label]) - cpu(times[label + " in an empty folder"])
        # Below the timer's resolution a ratio proves nothing.
        ratio = lambda a, b: a / b if a > 0 and b > 0 else None
        runs.append({"label": label, "median": run, "empty": empty, "beyond": beyond,
                     "ratio": ratio(beyond, native_beyond), "cpu_beyond": cpu_beyond,
                     "cpu_ratio": ratio(cpu_beyond, native_cpu_beyond),
                     "user": times[label]["user"], "system": times[label]["system"],
                     "same_output": output == native_output})
    in_process = os.path.join(d, "in_process.json")
    if os.path.exists(in_process):
        with open(in_process, encoding="utf-8") as f:
            timed = json.load(f)
        by_name = {r["command"]: r for r in timed["results"]}
        native["in_process"] = {"rounds": timed["rounds"], "runs": timed["runs"],
                                "median": by_name["searchfilter"]["median"]}
        for run in runs:
            own = by_name.get(run["label"])
            if own is not None:
                run["in_process"] = {"median": own["median"], "ratio": own["ratio"],
                                     "quartiles": own["ratio_quartiles"]}
    return runs, native


def cmd_workload(args):
    d = args.dir
    size = lambda name: os.path.getsize(os.path.join(d, "in", name))
    list_bytes = sum(size(n) for n in LIST_FILES)
    input_bytes = sum(size(n) for n in INPUT_FILES)
    with open(os.path.join(d, "in", "foldersScratch.txt"), "rb") as f:
        locations = sum(1 for _ in f)
    times = timings(os.path.join(d, "hyperfine.json"))
    med = {name: t["median"] for name, t in times.items()}
    rss = {t: peak_rss_bytes(os.path.join(d, "rss-%s.txt" % t)) for t in TOOLS}
    ok, want, got, message = check_kept(d)
    limit = 1.25 * input_bytes + 16 * MIB
    f = med["searchfilter"]
    native_output = open(os.path.join(d, "run", "searchOutputList.txt"), "rb").read()
    exes, native = exe_runs(d, native_output)

    print("### %s: %s" % (args.name, args.title))
    print()
    print("Lists %.1f MB, all four input files %.1f MB; %s locations, %s kept (%.2f%%)."
          % (list_bytes / 1e6, input_bytes / 1e6, format(locations, ","), format(want, ","),
             100.0 * want / max(locations, 1)))
    print()
    # User and system time (means) beside the wall time: the system time is
    # mostly the copy out of the page cache, the floor every tool pays.
    print("| tool | median | user | system | MB/s | searchfilter / tool | peak RSS |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    for t in TOOLS:
        print("| %s | %s | %s | %s | %s | %s | %s |" % (
            t, fmt_time(med[t]), fmt_time(times[t]["user"]), fmt_time(times[t]["system"]),
            fmt_rate(list_bytes, med[t]), fmt_ratio(f, med[t]), fmt_mib(rss[t])))
    for name, label in (("empty run", "searchfilter in an empty folder"),
                        ("one location", "searchfilter on one location (same terms)")):
        if name in med:
            print("| %s | %s | %s | %s | | | |" % (label, fmt_time(med[name]),
                                                  fmt_time(times[name]["user"]),
                                                  fmt_time(times[name]["system"])))
    print()
    if exes:
        fmt_x = lambda r: "n/a" if r is None else "%.2f" % r
        print("| Windows build | median | in an empty folder | beyond it | x native beyond "
              "its empty run | user | system | CPU beyond the empty run's | x native's | output |")
        print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---|")
        for e in exes:
            print("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |" % (
                e["label"], fmt_time(e["median"]), fmt_time(e["empty"]), fmt_time(e["beyond"]),
                fmt_x(e["ratio"]), fmt_time(e["user"]), fmt_time(e["system"]),
                fmt_time(e["cpu_beyond"]), fmt_x(e["cpu_ratio"]),
                "same bytes" if e["same_output"] else "DIFFERS"))
        print()
        print("Timed in %s interleaved rounds (each round runs every command once), beside "
              "the native build: %s, in an empty folder %s, beyond it %s; CPU time beyond its "
              "empty run's %s." % (native["rounds"], fmt_time(native["median"]),
                                   fmt_time(native["empty"]), fmt_time(native["beyond"]),
                                   fmt_time(native["cpu_beyond"])))
        print()
        inside = native.get("in_process")
        if inside:
            print("By each build's own clock (bench/repeat_runs: %s runs in one process, the "
                  "median of those after the first, in %s interleaved rounds): the native "
                  "build %s a run; %s." % (
                      inside["runs"], inside["rounds"], fmt_time(inside["median"]),
                      "; ".join("%s %s, %.2f x native (quartiles of the rounds %.2f-%.2f)" % (
                          e["label"], fmt_time(e["in_process"]["median"]),
                          e["in_process"]["ratio"], e["in_process"]["quartiles"][0],
                          e["in_process"]["quartiles"][2])
                          for e in exes if "in_process" in e)))
            print()
    print("RSS limit of searchfilter: 1.25 x %.1f MB + 16 MiB = %s; peak %s: %s."
          % (input_bytes / 1e6, fmt_mib(limit), fmt_mib(rss["searchfilter"]),
             "met" if rss["searchfilter"] <= limit else "NOT met"))
    print()
    print("Kept locations: %s" % message)
    print()
    bad_exes = [e["label"] for e in exes if not e["same_output"]]
    if bad_exes:
        print("MISMATCH: %s wrote other bytes than the native build" % ", ".join(bad_exes))
        print()
    ok = ok and not bad_exes
    record = {"name": args.name, "title": args.title, "locations": locations,
              "list_bytes": list_bytes, "input_bytes": input_bytes, "median": med,
              "rss": rss, "rss_limit": limit, "ok": ok, "expected": want, "got": got,
              "exes": exes, "exe_native": native}
    with open(args.results, "a", encoding="utf-8") as out:
        out.write(json.dumps(record) + "\n")
    return 0 if ok else EXIT_MISMATCH


def cmd_startup(args):
    with open(args.json, encoding="utf-8") as f:
        data = json.load(f)
    rows = [(r["command"], r["median"], r["min"], len(r["times"])) for r in data["results"]]
    print("### Start-up: searchfilter in an empty folder")
    print()
    print("| command | median | min | runs |")
    print("|---|---:|---:|---:|")
    for name, median, low, runs in rows:
        print("| %s | %s | %s | %d |" % (name, fmt_time(median), fmt_time(low), runs))
    print()
    with open(args.results, "a", encoding="utf-8") as out:
        out.write(json.dumps({"name": "startup", "median": {r[0]: r[1] for r in rows}}) + "\n")
    return 0


def cmd_scaling(args):
    med = medians(args.json)
    sizes = []
    for item in args.locations:
        name, _, count = item.partition("=")
        sizes.append((name, int(count)))
    one = med["one location"]
    rounds = rounds_of(args.json)
    print("### Scaling: S1, W1 and S3 timed together, in %s interleaved rounds" % rounds)
    print()
    print("| run | locations | median | per location beyond the one-location run |")
    print("|---|---:|---:|---:|")
    print("| one location (same terms) | 1 | %s | |" % fmt_time(one))
    for name, count in sizes:
        per = (med[name] - one) / max(count - 1, 1)
        print("| %s | %s | %s | %.1f ns |" % (name, format(count, ","), fmt_time(med[name]),
                                              per * 1e9))
    print()
    with open(args.results, "a", encoding="utf-8") as out:
        out.write(json.dumps({"name": "scaling", "median": med,
                              "locations": dict(sizes)}) + "\n")
    return 0


def cmd_summary(args):
    recs = {}
    with open(args.results, encoding="utf-8") as f:
        for line in f:
            r = json.loads(line)
            recs[r["name"]] = r
    rows = []

    def target(label, value, limit, detail):
        # A time of 0 or less (below hyperfine's resolution) proves nothing.
        rows.append((label, detail, value is not None and value <= limit))

    def ratio(name, peer_names, factor):
        r = recs.get(name)
        if not r:
            return
        m = r["median"]
        peer = min(m[p] for p in peer_names)
        peer_label = peer_names[0] if len(peer_names) == 1 else "min(%s)" % ", ".join(peer_names)
        f = m["searchfilter"]
        value = f / peer if f > 0 and peer > 0 else None
        target("%s: searchfilter <= %s x %s" % (name, factor, peer_label), value, factor,
               "%s x (%s vs %s)" % ("n/a" if value is None else "%.3f" % value, fmt_time(f),
                                    fmt_time(peer)))

    ratio("W1", ["rg"], 0.25)
    ratio("W1", ["cat"], 2.5)
    ratio("W2", ["rg"], 0.05)
    ratio("W3", ["rg"], 0.25)
    ratio("W3", ["cat"], 2.5)
    ratio("W4", ["rg", "grep"], 0.7)
    ratio("W4", ["cat"], 2.5)
    for name in EXE_TARGET_WORKLOADS:
        r = recs.get(name)
        for e in (r or {}).get("exes", []):
            limit = EXE_TARGETS.get(e["label"])
            if limit is None:
                continue
            whole_runs = "%s x (%s vs %s); CPU time beyond: %s x" % (
                "n/a" if e["ratio"] is None else "%.2f" % e["ratio"],
                fmt_time(e["beyond"]), fmt_time(r["exe_native"]["beyond"]),
                "n/a" if e.get("cpu_ratio") is None else "%.2f" % e["cpu_ratio"])
            inside = e.get("in_process")
            if inside:
                # By its own clock where there is one: Wine's start-up, which
                # the whole runs' difference takes out, varied by more than
                # a run's work.
                target("%s: %s beyond Wine's start-up <= %s x native (by its own clock)"
                       % (name, e["label"], limit), inside["ratio"], limit,
                       "%.2f x (%s vs %s a run); from whole runs: %s" % (
                           inside["ratio"], fmt_time(inside["median"]),
                           fmt_time(r["exe_native"]["in_process"]["median"]), whole_runs))
            else:
                target("%s: %s beyond its empty-folder run <= %s x native beyond its own"
                       % (name, e["label"], limit), e["ratio"], limit, whole_runs)
    series = [recs[n] for n in ("S1", "W1", "S3") if n in recs]
    scaling = recs.get("scaling")

    def spread_of(values):
        return max(values) / min(values) if values and min(values) > 0 else None

    def list_ns(values):
        return " / ".join("%.1f" % (v * 1e9) for v in values)

    # Per workload call: beyond that call's one-location run (or, in results
    # without it, its empty run), and the whole run.
    def fixed(r):
        return r["median"].get("one location", r["median"].get("empty run", 0.0))

    separate = [(r["median"]["searchfilter"] - fixed(r)) / max(r["locations"] - 1, 1)
                for r in series]
    whole = [r["median"]["searchfilter"] / r["locations"] for r in series]
    separate_note = ""
    if len(series) >= 2:
        separate_note = ("; from the separate workload calls: %s ns (max/min %s), whole runs %s ns"
                         % (list_ns(separate), "%.3f" % spread_of(separate)
                            if spread_of(separate) else "n/a", list_ns(whole)))
    if scaling:
        m = scaling["median"]
        counts = scaling["locations"]
        names = [n for n in ("S1", "W1", "S3") if n in counts]
        per = [(m[n] - m["one location"]) / max(counts[n] - 1, 1) for n in names]
        spread = spread_of(per)
        detail = "max/min %s; %s ns (timed together; one-location run %s)%s" % (
            "n/a" if spread is None else "%.3f" % spread, list_ns(per),
            fmt_time(m["one location"]), separate_note)
        target("Scaling: time per location beyond a one-location run within 15%% (%s to %s "
               "locations)" % (format(counts[names[0]], ","), format(counts[names[-1]], ",")),
               spread, SCALING_SPREAD, detail)
    elif len(series) >= 2:
        spread = spread_of(separate)
        target("Scaling: time per location beyond a one-location run within 15%% (%s to %s "
               "locations, separate calls)" % (format(series[0]["locations"], ","),
                                               format(series[-1]["locations"], ",")),
               spread, SCALING_SPREAD, separate_note.lstrip("; "))
    for name in ("W1", "S3"):
        r = recs.get(name)
        if r:
            target("Memory %s (%s locations): RSS <= 1.25 x input + 16 MiB"
                   % (name, format(r["locations"], ",")), r["rss"]["searchfilter"], r["rss_limit"],
                   "%s of %s" % (fmt_mib(r["rss"]["searchfilter"]), fmt_mib(r["rss_limit"])))
    s = recs.get("startup")
    if s:
        t = s["median"]["searchfilter"]
        target("Start-up <= 2 ms", t, STARTUP_LIMIT_S, "median %s" % fmt_time(t))
    checks = [r for r in recs.values() if "ok" in r]

    print("### Targets")
    print()
    print("| target | measured | result |")
    print("|---|---|---|")
    for label, detail, met in rows:
        print("| %s | %s | %s |" % (label, detail, "MET" if met else "NOT MET"))
    print()
    bad = [r["name"] for r in checks if not r["ok"]]
    print("Kept-location checks: %s" % ("all %d OK" % len(checks) if not bad else
                                        "MISMATCH in " + ", ".join(bad)))
    if bad:
        return EXIT_MISMATCH
    return 0 if all(met for _, _, met in rows) else EXIT_TARGET_MISSED


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = ap.add_subparsers(dest="cmd", required=True)
    w = sub.add_parser("workload")
    w.add_argument("--dir", required=True)
    w.add_argument("--name", required=True)
    w.add_argument("--title", required=True)
    w.add_argument("--results", required=True)
    s = sub.add_parser("startup")
    s.add_argument("--json", required=True)
    s.add_argument("--results", required=True)
    c = sub.add_parser("scaling")
    c.add_argument("--json", required=True)
    c.add_argument("--results", required=True)
    c.add_argument("--locations", nargs="+", required=True)
    m = sub.add_parser("summary")
    m.add_argument("--results", required=True)
    args = ap.parse_args()
    handler = {"workload": cmd_workload, "startup": cmd_startup, "scaling": cmd_scaling,
               "summary": cmd_summary}
    sys.exit(handler[args.cmd](args))


if __name__ == "__main__":
    main()
