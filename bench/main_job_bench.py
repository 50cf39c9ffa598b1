"""What the whole main job costs a run, under Wine.

A silent QZSU run of a patch with 10 sub-conditions and 20 file entries of
1 MiB each (one marked for COM registration, all installed into a fresh
folder named by a registry key of the run) is set against the parts it
cannot do without, measured in the same rounds:

  - the script-host runs of the same scripts: the manager runs one per
    entry with a Condition_Ref, and 11 entries have one (the 10 conditions,
    the first referenced twice), so 11 host runs; in QZSU mode the main
    rule is written but never run;
  - one copy of the same 20 files into a fresh folder;
  - one manager run that ends at once.

The parts are taken two ways. Bare: bench/qzparts.exe starts the hosts as
the manager does and copies with CopyFileW, timing its own work, so that
no program start is counted but the one of the manager run that ends at
once (QZSU with an OS list that fails: no box). As programs from the Unix
side: 11 `wine cscript`, one `wine cmd /c copy`, one run with an
unrecognised token whose box the robot answers. Each figure is the median
of the rounds; the ratio is the main job's median over the sum of the
parts' medians (target 1.2, on the bare parts).

Growth: QZSU runs of 0, 100 and 1,000 small file entries (no conditions);
time per entry = (run - run with none) / entries, beside the per-file time
of qzparts' CopyFileW and SetupInstallFileExW of as many files.

    python3 bench/main_job_bench.py [--runs 9] [--scale-runs 5] [--phases]

--phases adds where the time goes, from runs whose log lines are stamped
as a tail of the log file sees them (the tail slows those runs a little).
Uses the Wine test bed of tests/wine (its prefix, display and UI robot);
out/bin must hold QZVRN.exe and qzkdiag.dll (make build); qzparts.exe is
built into out/bench-bin with the build's cross compiler.
"""

import contextlib
import fcntl
import os
import re
import statistics
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / 'tests' / 'wine'))
import harness  # noqa: E402
from bench_bed import arg_parser, parse_args  # noqa: E402
from main_job_phases import timed_phases  # noqa: E402
from main_job_runs import CONDITION_REFS, FILES, Bench  # noqa: E402

SCALES = (100, 1000)
TARGET = 1.2
LINEAR_BOUND = 1.5


def median(xs):
    return statistics.median(xs)


@contextlib.contextmanager
def run_lock():
    """One round at a time in the shared prefix, as the Wine tests run;
    taken per round, so that their runs can come in between."""
    with open(harness.WINE_ROOT / 'run.lock', 'w') as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        try:
            yield
        finally:
            fcntl.flock(lock, fcntl.LOCK_UN)


def main():
    parser = arg_parser(__doc__, runs=9)
    parser.add_argument('--scale-runs', type=int, default=5)
    parser.add_argument('--phases', action='store_true')
    args = parse_args(parser)

    bench = Bench(args.exe, args.control)
    steps = (('job', lambda: bench.main_job()[0]), ('hosts_bare', bench.hosts_bare),
             ('copy_bare', lambda: bench.copy_bare()['seconds']), ('quick', bench.quick),
             ('hosts', bench.bare_hosts), ('copy', bench.plain_copy),
             ('quick_box', bench.quick_box))
    t = {name: [] for name, _ in steps}
    scale = {n: [] for n in (0,) + SCALES}
    copies = {(mode, n): [] for mode in ('copy', 'setup') for n in SCALES}
    load = []
    phases = []
    stepped = {n: [] for n in (0,) + SCALES}
    try:
        with run_lock():
            # Warm-up: registers the control, fills Wine's caches.
            for _, step in steps:
                step()
        for r in range(args.runs):
            load.append(os.getloadavg()[0])
            with run_lock():
                for name, step in steps:
                    t[name].append(step())
                if r < args.scale_runs:
                    for n in scale:
                        scale[n].append(bench.small(n))
                    for mode, n in copies:
                        copies[mode, n].append(
                            bench.copy_bare(bench.small_source(n), mode, n))
            # Each round's folders go, so the disk holds one round at most.
            for p in bench.base.iterdir():
                if p != bench.big and not p.name.startswith('small'):
                    bench.remove(p)
        if args.phases:
            with run_lock():
                phases.append(('the main job', timed_phases(bench, bench.main_job_folder()[0])))
            # Each step's time per entry, from three stamped runs of each size.
            for n in (0,) + SCALES:
                for _ in range(3):
                    with run_lock():
                        stepped[n].append(dict(timed_phases(bench, bench.small_folder(n)[0])))
    finally:
        bench.finish()

    m = {k: median(v) for k, v in t.items()}
    # The parts bare: no program start but the manager's own.
    strict = m['hosts_bare'] + m['copy_bare'] + m['quick']
    # Each part as its own program started from the Unix side.
    plain = m['hosts'] + m['copy'] + m['quick_box']
    empty = median(scale[0])
    per = {n: (median(scale[n]) - empty) / n for n in SCALES}
    growth = per[SCALES[1]] / per[SCALES[0]]
    refs = len(CONDITION_REFS)

    def row(label, key=None, seconds=None, unit='s'):
        if key is not None:
            seconds = m[key]
            spread = f'   ({min(t[key]):.3f}-{max(t[key]):.3f})'
        else:
            spread = ''
        print(f'  {label:<60} {seconds:7.3f} {unit}{spread}')
    print(f'median of {args.runs} rounds (min-max), small entries {args.scale_runs} rounds; '
          f'load average {min(load):.2f}-{max(load):.2f} on {os.cpu_count()} cores')
    row('manager, silent QZSU main job', 'job')
    print('parts bare (qzparts times its own work; no program start):')
    row(f'{refs} host runs, started and waited for as the manager does', 'hosts_bare')
    row(f'CopyFileW of {FILES} x 1 MiB into a fresh folder', 'copy_bare')
    row('manager ending at once (QZSU, stops at the OS list)', 'quick')
    row('sum', seconds=strict)
    print('parts each as a program started from the Unix side:')
    row(f'{refs} bare host runs (wine cscript)', 'hosts')
    row(f'wine cmd /c copy of {FILES} x 1 MiB into a fresh folder', 'copy')
    row('manager ending at once (bad token, box answered)', 'quick_box')
    row('sum', seconds=plain)
    for label, base in (('bare', strict), ('as programs from the Unix side', plain)):
        ratio = m['job'] / base
        print(f'  ratio to the parts {label:<41} {ratio:7.3f}   '
              f'{"met" if ratio <= TARGET else "MISSED"} (target {TARGET})')
    print('growth with the number of file entries (small files, no conditions):')
    row('manager, QZSU with no entries', seconds=empty)
    for n in SCALES:
        row(f'manager, {n} entries: {median(scale[n]):.3f} s; per entry less the empty run',
            seconds=per[n] * 1000, unit='ms')
    print(f'  per-entry time at {SCALES[1]} / at {SCALES[0]}: {growth:.2f}x, '
          f'{"linear" if growth <= LINEAR_BOUND else "NOT linear"} '
          f'(bound {LINEAR_BOUND}x)')
    for mode, label in (('copy', 'CopyFileW'), ('setup', 'SetupInstallFileExW')):
        for n in SCALES:
            runs = copies[mode, n]
            first = median([c['first'] for c in runs]) * 1000
            last = median([c['last'] for c in runs]) * 1000
            row(f'{label} of {n} files: first/last tenth {first:.3f}/{last:.3f} ms; per file',
                seconds=median([c['seconds'] for c in runs]) / n * 1000, unit='ms')
    per_file = {mode: {n: median([c['seconds'] for c in copies[mode, n]]) / n for n in SCALES}
                for mode in ('copy', 'setup')}
    print(f'  per-file time of CopyFileW alone at {SCALES[1]} / at {SCALES[0]}: '
          f'{per_file["copy"][SCALES[1]] / per_file["copy"][SCALES[0]]:.2f}x')
    # What the manager adds to each Setup API call of its own.
    own = {n: per[n] - per_file['setup'][n] for n in SCALES}
    print(f'  manager per entry less SetupInstallFileExW per file: '
          f'{own[SCALES[0]] * 1000:.3f} ms at {SCALES[0]}, {own[SCALES[1]] * 1000:.3f} ms '
          f'at {SCALES[1]} ({own[SCALES[1]] / own[SCALES[0]]:.2f}x)')
    if stepped[0]:
        print('each step per file entry (median of 3 stamped runs, less the run with none):')
        print(f'  {"":<48}' + ''.join(f'{n:>9} entries' for n in SCALES))
        def step(r, label):
            # The same step whatever the number of calls in its label.
            return next((v for k, v in r.items()
                         if re.sub(r'\d+ calls', 'calls', k) == label), 0.0)
        labels = [re.sub(r'\d+ calls', 'calls', k) for k in stepped[SCALES[-1]][0]]
        for label in labels:
            if ', mean of' in label:
                continue
            base = median([step(r, label) for r in stepped[0]])
            values = [(median([step(r, label) for r in stepped[n]]) - base) / n * 1000
                      for n in SCALES]
            print(f'  {label:<48}' + ''.join(f'{v:11.3f} ms' for v in values))
        for label in labels:
            if ', mean of' in label:
                runs = [step(r, label) * 1000 for r in stepped[SCALES[-1]]]
                print(f'  {label.strip()[:-5] + f" at {SCALES[-1]}":<58}'
                      f'{median(runs):11.3f} ms')
    for title, rows in phases:
        print(f'where the time of {title} goes (one more run, log lines stamped as read):')
        for label, seconds in rows:
            ms = label.endswith('(ms)')
            row(label[:-5] if ms else label, seconds=seconds * (1000 if ms else 1),
                unit='ms' if ms else 's')
    return 0


if __name__ == '__main__':
    sys.exit(main())
