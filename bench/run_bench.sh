#!/usr/bin/env bash
# Times searchfilter against cat, grep and rg on generated workloads, checks the
# locations it keeps against grep, and reports the speed and memory targets.
#
# Usage: bench/run_bench.sh BINARY [--quick] [--exe32 EXE] [--exe64 EXE]
#   --quick  tiny workloads and two runs each: a smoke test of the whole bench
#            that fails only when the filter kept the wrong locations.
#   --exe32 EXE, --exe64 EXE
#            the Windows builds (the i686 .exe under 32-bit Wine, the x86_64
#            one under wine64), timed in each workload's hyperfine call beside
#            BINARY, each also in an empty folder, so that the time beyond
#            Wine's start-up compares with BINARY's; their output must equal
#            BINARY's byte for byte.
# Environment: BENCH_RUNS=N fixes the number of timed runs per command
# (default: hyperfine's own choice, at least 5 runs, after one warm-up run).
#
# Exit: 0 when every check passed (and, without --quick, every target was met),
# 1 when the filter kept the wrong locations, 2 on a usage or setup error,
# 3 when only targets were missed (never with --quick).
set -euo pipefail

die() {
    echo "run_bench: $*" >&2
    exit 2
}

note() {
    echo "run_bench: $*" >&2
}

q() {
    printf '%q' "$1"
}

usage() {
    echo "usage: $0 BINARY [--quick]" >&2
    exit 2
}

binary=""
quick=0
exe32=""
exe64=""
while [ $# -gt 0 ]; do
    case "$1" in
        --quick) quick=1 ;;
        --exe32 | --exe64)
            [ $# -ge 2 ] || usage
            [ -f "$2" ] || die "not a file: $2"
            if [ "$1" = --exe32 ]; then exe32="$(realpath -- "$2")"; else exe64="$(realpath -- "$2")"; fi
            shift
            ;;
        -h | --help) usage ;;
        -*) usage ;;
        *)
            [ -z "$binary" ] || usage
            binary="$1"
            ;;
    esac
    shift
done
[ -n "$binary" ] || usage
if [ ! -f "$binary" ] || [ ! -x "$binary" ]; then
    die "not an executable file: $binary"
fi
binary="$(realpath -- "$binary")"

for tool in hyperfine rg grep python3 cat cp realpath; do
    command -v "$tool" > /dev/null 2>&1 ||
        die "$tool is missing (on Debian: apt-get install hyperfine ripgrep python3)"
done
[ -x /usr/bin/time ] || die "/usr/bin/time is missing (on Debian: apt-get install time)"

here="$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")" && pwd)"
gen="$here/gen_workload.py"
report="$here/bench_report.py"
if [ ! -f "$gen" ] || [ ! -f "$report" ]; then
    die "gen_workload.py or bench_report.py missing next to $0"
fi

work="$(mktemp -d)"
results="$work/results.jsonl"
: > "$results"

# The .exe builds run under Wine, each in a prefix of its kind made for this
# run, with one persistent wineserver per prefix: a server that exits with its
# last client races the next start. Output goes to files, never to pipes
# (Wine's background processes keep them open).
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wine_prefixes=()
finish() {
    local prefix
    for prefix in "${wine_prefixes[@]}"; do
        WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k > /dev/null 2>&1 || true
    done
    rm -rf -- "$work"
}
trap finish EXIT

exe_commands=()  # label, command, in pairs
# The same in one process (bench/repeat_runs, built beside each build), when
# every build has one: label, command, in pairs, the native build's first.
repeat_commands=()
native_repeat="$(dirname -- "$binary")/bench/repeat_runs"
[ -x "$native_repeat" ] && repeat_commands=(searchfilter "$(q "$native_repeat")")

# add_exe LABEL EXE KIND LOADER PACKAGE: a prefix of KIND (win32, win64) with
# its server up, and the command that runs EXE there.
add_exe() {
    local label="$1" exe="$2" kind="$3" loader="$4" package="$5" prefix="$work/wine-$3"
    [ -x "$loader" ] || die "$loader is missing (on Debian: apt-get install $package)"
    note "making a $kind Wine prefix"
    mkdir -p "$prefix"
    wine_prefixes+=("$prefix")
    WINEARCH="$kind" WINEPREFIX="$prefix" /usr/lib/wine/wineserver -p > /dev/null 2>&1 ||
        die "wineserver did not start for $prefix"
    WINEARCH="$kind" WINEPREFIX="$prefix" "$loader" wineboot -i > "$prefix.log" 2>&1 ||
        { cat "$prefix.log" >&2; die "wineboot failed in $prefix"; }
    exe_commands+=("$label" "WINEPREFIX=$(q "$prefix") $(q "$loader") $(q "$exe")")
    local repeat
    repeat="$(dirname -- "$exe")/bench/repeat_runs.exe"
    if [ -f "$repeat" ] && [ ${#repeat_commands[@]} -gt 0 ]; then
        repeat_commands+=("$label" "WINEPREFIX=$(q "$prefix") $(q "$loader") $(q "$repeat")")
    else
        repeat_commands=()
    fi
}

repeat_runs=6  # runs in one process per round (bench/repeat_runs)
if [ "$quick" = 1 ]; then
    hf_runs=(--runs 2 --warmup 0)
    exe_rounds=2
    repeat_runs=2
    scaling_rounds=2
    startup_runs=(--runs 5 --warmup 0)
elif [ -n "${BENCH_RUNS:-}" ]; then
    hf_runs=(--runs "$BENCH_RUNS" --warmup 1)
    exe_rounds=$BENCH_RUNS
    scaling_rounds=$BENCH_RUNS
    startup_runs=(--runs "$BENCH_RUNS" --warmup 1)
else
    hf_runs=(--min-runs 5 --warmup 1)
    exe_rounds=15
    # A round of the series takes about a tenth of a second: many rounds
    # cost little, and S1's 2 ms beyond the one-location run need them.
    scaling_rounds=31
    startup_runs=(--runs 300 --warmup 30)
fi

[ -z "$exe32" ] || add_exe "i686 .exe (wine32)" "$exe32" win32 /usr/lib/wine/wine wine32:i386
[ -z "$exe64" ] || add_exe "x86_64 .exe (wine64)" "$exe64" win64 /usr/lib/wine/wine64 wine64

# grep, line numbers only; exit status 1 (nothing found) is fine.
grep_numbered() {
    local terms="$1" list="$2" out="$3" rc=0
    LC_ALL=C.UTF-8 grep -n -F -i -f "$terms" "$list" > "$out" || rc=$?
    [ "$rc" -le 1 ] || die "grep failed on $list"
}

# Peak RSS of one run of a command, from /usr/bin/time -v; the command may
# exit with 1 (grep and rg when nothing matches).
measure_rss() {
    local out="$1" rc=0
    shift
    /usr/bin/time -v -o "$out" "$@" || rc=$?
    [ "$rc" -le 1 ] || die "$1 failed while measuring its memory (exit $rc)"
}

failed=0

# generate OUT NAME KIND LOCATIONS TERMS: a workload's four input files in OUT,
# the same bytes for the same arguments (seeded).
generate() {
    python3 "$gen" --out "$1" --locations "$4" --terms "$5" --kind "$3" --seed 1 \
        --name "Benchmark $2"
}

# run_workload NAME KIND LOCATIONS TERMS TITLE [keep]
# With "keep", its folder and one-location folder stay for the scaling series,
# which writes the lists again in $work/NAME/in.
run_workload() {
    local name="$1" kind="$2" n="$3" k="$4" title="$5" keep="${6:-}"
    local dir="$work/$name"
    local in="$dir/in" run="$dir/run"
    mkdir -p "$dir"
    note "$name: generating $n $kind locations, $k terms"
    generate "$in" "$name" "$kind" "$n" "$k"

    # The filter appends to searchOutputList.txt, so every run gets a fresh
    # folder. Its input files are hard links to the generated ones: the folder
    # is new, the filter only reads them, and no copying or dirty-page
    # write-back disturbs the timing.
    local prep_filter cmd_filter cmd_cat cmd_grep cmd_rg prep_empty cmd_empty prep_one cmd_one
    prep_filter="rm -rf $(q "$run") && cp -al $(q "$in") $(q "$run")"
    cmd_filter="cd $(q "$run") && $(q "$binary")"
    # The filter in an empty folder and on one location (the same terms, the
    # first folder and file name only), timed in the same call: the fixed
    # cost of a run under the same conditions, which the scaling target
    # leaves out. The empty folder misses part of it (no lists to open, no
    # search to build).
    mkdir -p "$dir/empty" "$dir/one"
    prep_empty="rm -f $(q "$dir/empty/searchOutputList.txt")"
    cmd_empty="cd $(q "$dir/empty") && $(q "$binary")"
    cp "$in/searchTreeName.txt" "$in/searchTermsList.txt" "$dir/one/"
    head -n 1 "$in/foldersScratch.txt" > "$dir/one/foldersScratch.txt"
    head -n 1 "$in/filesScratch.txt" > "$dir/one/filesScratch.txt"
    prep_one="rm -f $(q "$dir/one/searchOutputList.txt")"
    cmd_one="cd $(q "$dir/one") && $(q "$binary")"
    cmd_cat="cat $(q "$in/foldersScratch.txt") $(q "$in/filesScratch.txt") > /dev/null"
    local lists="-f searchTermsList.txt foldersScratch.txt filesScratch.txt"
    cmd_grep="cd $(q "$in") || exit 2; LC_ALL=C.UTF-8 grep -F -i $lists > $(q "$dir/grep.out")"
    cmd_grep="$cmd_grep; [ \$? -le 1 ]"
    cmd_rg="cd $(q "$in") || exit 2; rg -F -i $lists > $(q "$dir/rg.out"); [ \$? -le 1 ]"

    # Each .exe in a fresh folder and in the empty one, like the filter, and
    # the filter itself beside them: in interleaved rounds, so that each
    # difference of a run and its empty run is taken under the same load.
    local exe_args=() i label command
    if [ ${#exe_commands[@]} -gt 0 ]; then
        exe_args=(--prepare "$prep_filter" -n searchfilter "$cmd_filter"
            --prepare "$prep_empty" -n "empty run" "$cmd_empty")
    fi
    for ((i = 0; i < ${#exe_commands[@]}; i += 2)); do
        label="${exe_commands[i]}"
        command="${exe_commands[i + 1]}"
        exe_args+=(--prepare "$prep_filter" -n "$label" "cd $(q "$run") && $command"
            --prepare "$prep_empty" -n "$label in an empty folder" "cd $(q "$dir/empty") && $command")
    done

    note "$name: timing"
    hyperfine --style basic "${hf_runs[@]}" --export-json "$dir/hyperfine.json" \
        --prepare "$prep_filter" --prepare true --prepare true --prepare true \
        --prepare "$prep_empty" --prepare "$prep_one" \
        -n searchfilter "$cmd_filter" -n cat "$cmd_cat" -n grep "$cmd_grep" -n rg "$cmd_rg" \
        -n "empty run" "$cmd_empty" -n "one location" "$cmd_one" \
        > "$dir/hyperfine.log" 2>&1 ||
        { cat "$dir/hyperfine.log" >&2; die "$name: hyperfine failed"; }
    if [ ${#exe_args[@]} -gt 0 ]; then
        note "$name: timing the Windows builds"
        python3 "$here/time_interleaved.py" --rounds "$exe_rounds" \
            --export-json "$dir/windows.json" "${exe_args[@]}" ||
            die "$name: timing the Windows builds failed"
    fi
    # Each build again, by its own clock (bench/repeat_runs): the time
    # beyond Wine's start-up, without that start-up's noise.
    if [ ${#repeat_commands[@]} -gt 2 ]; then
        local repeat_args=()
        for ((i = 0; i < ${#repeat_commands[@]}; i += 2)); do
            repeat_args+=(-n "${repeat_commands[i]}" "${repeat_commands[i + 1]}")
        done
        note "$name: timing the Windows builds in one process each"
        rm -rf "$run"
        cp -al "$in" "$run"
        python3 "$here/time_in_process.py" --rounds "$exe_rounds" --runs "$repeat_runs" \
            --folder "$run" --export-json "$dir/in_process.json" "${repeat_args[@]}" ||
            die "$name: timing the Windows builds in one process failed"
    fi

    # The output of each .exe, for the report to compare with the filter's.
    for ((i = 0; i < ${#exe_commands[@]}; i += 2)); do
        rm -rf "$run"
        cp -al "$in" "$run"
        (cd "$run" && eval "${exe_commands[i + 1]}") > /dev/null 2>&1 ||
            die "$name: ${exe_commands[i]} failed"
        mkdir -p "$dir/exe-$((i / 2))"
        cp "$run/searchOutputList.txt" "$dir/exe-$((i / 2))/searchOutputList.txt" 2> /dev/null || true
        printf '%s\n' "${exe_commands[i]}" > "$dir/exe-$((i / 2))/label"
    done

    note "$name: peak memory and kept locations"
    rm -rf "$run"
    cp -al "$in" "$run"
    (cd "$run" && measure_rss "$dir/rss-searchfilter.txt" "$binary")
    measure_rss "$dir/rss-cat.txt" cat "$in/foldersScratch.txt" "$in/filesScratch.txt" > /dev/null
    (cd "$in" && measure_rss "$dir/rss-grep.txt" env LC_ALL=C.UTF-8 grep -F -i -f searchTermsList.txt \
        foldersScratch.txt filesScratch.txt > "$dir/grep.out")
    (cd "$in" && measure_rss "$dir/rss-rg.txt" rg -F -i -f searchTermsList.txt \
        foldersScratch.txt filesScratch.txt > "$dir/rg.out")
    grep_numbered "$in/searchTermsList.txt" "$in/foldersScratch.txt" "$dir/grep-folders.txt"
    grep_numbered "$in/searchTermsList.txt" "$in/filesScratch.txt" "$dir/grep-files.txt"

    local rc=0
    python3 "$report" workload --dir "$dir" --name "$name" --title "$title" \
        --results "$results" || rc=$?
    case "$rc" in
        0) ;;
        5) failed=1 ;;
        *) die "$name: report failed (exit $rc)" ;;
    esac
    if [ "$keep" = keep ]; then
        rm -rf "$run" "$dir/empty" "$in"
    else
        rm -rf "$dir"
    fi
}

# The scaling series timed together: the filter on S1, W1 and S3 (each in a
# fresh folder of hard links, as above) and on one location with the same
# terms (S1's one-location folder), in interleaved rounds like the Windows
# builds. One hyperfine call times all runs of one size before the next size;
# with the machine's speed drifting meanwhile, W1 took 18.8 ms there against
# 12.0 ms in its own call, and the spread measured the drift.
run_scaling() {
    local cmds=() name count
    # The series' lists written again first, all three alike. On one VM the
    # page cache let go of a list's pages minutes after it was written (2 of
    # W1's 23 MB of file names within three minutes), and W1, the oldest of
    # the call by then, took 19 ns a location in the series against 13 on
    # lists just written.
    note "scaling: writing the lists of S1, W1 and S3 again"
    for name in S1 W1 S3; do
        case $name in S1) count=$small ;; W1) count=$mid ;; *) count=$large ;; esac
        generate "$work/$name/in" "$name" synthetic "$count" 20
    done
    note "scaling: timing S1, W1 and S3 in $scaling_rounds interleaved rounds"
    cmds+=(--prepare "rm -f $(q "$work/S1/one/searchOutputList.txt")"
        -n "one location" "cd $(q "$work/S1/one") && $(q "$binary")")
    for name in S1 W1 S3; do
        local in="$work/$name/in" run="$work/$name/run"
        cmds+=(--prepare "rm -rf $(q "$run") && cp -al $(q "$in") $(q "$run")"
            -n "$name" "cd $(q "$run") && $(q "$binary")")
    done
    python3 "$here/time_interleaved.py" --rounds "$scaling_rounds" \
        --export-json "$work/scaling.json" "${cmds[@]}" || die "scaling: timing failed"
    python3 "$report" scaling --json "$work/scaling.json" --results "$results" \
        --locations "S1=$small" "W1=$mid" "S3=$large"
    rm -rf "$work/S1" "$work/W1" "$work/S3"
}

if [ "$quick" = 1 ]; then
    small=500 mid=2000 large=8000 w2=2000
else
    small=100000 mid=1000000 large=4000000 w2=200000
fi

echo "# searchfilter benchmark"
echo
echo "Binary: \`$binary\`$([ "$quick" = 1 ] && echo " (quick mode: tiny inputs, 2 runs)")"
echo
run_workload W1 synthetic "$mid" 20 "synthetic, $mid locations x 20 terms (also the middle of the scaling series)" keep
run_workload W2 synthetic "$w2" 2000 "synthetic, $w2 locations x 2000 terms"
run_workload W3 real "$mid" 20 "names of the files under /usr and /etc, $mid locations x 20 terms"
run_workload W4 rare-ext "$mid" 1 "synthetic, $mid locations, the single term .SVG"
run_workload S1 synthetic "$small" 20 "scaling series: synthetic, $small locations x 20 terms" keep
run_workload S3 synthetic "$large" 20 "scaling series: synthetic, $large locations x 20 terms" keep
run_scaling

note "start-up: timing in an empty folder"
empty="$work/empty"
mkdir "$empty"
(cd "$empty" && hyperfine --style basic -N "${startup_runs[@]}" \
    --export-json "$work/startup.json" --prepare "rm -f searchOutputList.txt" \
    -n searchfilter "$binary" -n "true (process start alone)" true) \
    > "$work/startup.log" 2>&1 ||
    { cat "$work/startup.log" >&2; die "start-up: hyperfine failed"; }
python3 "$report" startup --json "$work/startup.json" --results "$results"


rc=0
python3 "$report" summary --results "$results" || rc=$?
case "$rc" in
    0 | 5 | 6) ;;
    *) die "summary failed (exit $rc)" ;;
esac
if [ "$failed" = 1 ] || [ "$rc" = 5 ]; then
    exit 1
fi
if [ "$rc" = 6 ] && [ "$quick" = 0 ]; then
    exit 3
fi
exit 0
