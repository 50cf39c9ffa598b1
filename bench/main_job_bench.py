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
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / 'tests' / 'wine'))
import harness  # noqa: E402
from bench_bed import (BenchBed, arg_parser, parse_args,  # noqa: E402
                       script_text)

CONDITIONS = 10
FILES = 20
FILE_BYTES = 1 << 20
# Entries 1-10 refer to conditions C01-C10, entry 11 to C01 again.
CONDITION_REFS = [f'C{i:02d}' for i in range(1, CONDITIONS + 1)] + ['C01']
REGISTERED = FILES  # the last entry is registered
REG_ROOT = 'HKLM\\Software\\QZBench'
SCALES = (100, 1000)
TARGET = 1.2
LINEAR_BOUND = 1.5

# True, after asking the control something, as real conditions do.
BODY = 'if (QZOperatingSystem.MajorVersion < 5) return false; return true;'
NOT_A_TOKEN = ('QZVRN:Main', 'Update not required:',
               f'Not QZSU/{harness.WEB_TOKEN}')
DOUPDATE_ENDED = ('CVRNManager', 'DoUpdate', 'Ended')
MAIN_ENDED = ('QZVRN', 'Main', 'Ended')
SCRIPT_ENDED = ('CVRNManager', 'CallJScript', 'Ended')
CHECKOS_FAILED = ('QZVRN:Main', 'CheckOS:', 'Failed')


def conditions_xml():
    rows = ''.join(f'  <CONDITION ID="C{i:02d}"><JSCRIPT><![CDATA[{BODY}]]>'
                   '</JSCRIPT></CONDITION>\n'
                   for i in range(1, CONDITIONS + 1))
    return f'<?xml version="1.0"?>\n<CONDITION_DETAILS>\n{rows}</CONDITION_DETAILS>\n'


def entry_xml(name, subkey, condition=None, registered=False):
    ref = f' Condition_Ref="{condition}"' if condition else ''
    reg = '      <COMREG_REQUIRED>TRUE</COMREG_REQUIRED>\n' if registered else ''
    return (f'    <PATCH_DETAILS{ref}>\n'
            f'      <INSTALLFILENAME>{name}</INSTALLFILENAME>\n'
            f'      <REGKEYS><INSTALLPATH_REGKEY Key="{subkey}" Value="Path" '
            'Path=""/></REGKEYS>\n'
            f'{reg}    </PATCH_DETAILS>\n')


STEPS = ('ReadConditions', 'ReadConfiguration', 'ReadJSFromXml', 'CheckOS',
         'LocateAndVerifyInstallPath', 'VerifySourceFilesPath', 'DoUpdate', 'Cleanup')


def pairs(log, method):
    """(Started, Ended) line numbers of each call of a method."""
    out, start = [], None
    for i, (source, text, status) in enumerate(log):
        if source == 'CVRNManager' and text == method:
            if status == 'Started':
                start = i
            elif status == 'Ended' and start is not None:
                out.append((start, i))
                start = None
    return out


def parts_tool():
    """bench/qzparts.cpp built once into out/bench-bin with the cross
    compiler of the build."""
    source = ROOT / 'bench' / 'qzparts.cpp'
    exe = harness.OUT / 'bench-bin' / 'qzparts.exe'
    if not exe.exists() or exe.stat().st_mtime < source.stat().st_mtime:
        exe.parent.mkdir(parents=True, exist_ok=True)
        r = subprocess.run(['i686-w64-mingw32-g++', '-std=c++17', '-O2', '-municode', '-static',
                            '-o', str(exe), str(source), '-lsetupapi'],
                           capture_output=True, text=True)
        if r.returncode != 0:
            raise SystemExit(f'building qzparts.exe failed:\n{r.stderr}')
    return exe


def run(cmd, env, cwd=None, timeout=180):
    """harness.run_quiet without its timeout poll, which wakes at most every
    50 ms and so rounds every timing up by as much: a plain wait, with a
    timer that kills the program past its time."""
    import tempfile
    import threading
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        p = subprocess.Popen([str(c) for c in cmd], env=env, cwd=cwd,
                             stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        timer = threading.Timer(timeout, p.kill)
        timer.start()
        try:
            rc = p.wait()
        finally:
            timer.cancel()
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(cmd, rc, out.read().decode('utf-8', 'replace'),
                                           err.read().decode('utf-8', 'replace'))


def settle():
    """Written files go to disk before a timing, so that no run pays for
    the write-back of what was set up for another."""
    os.sync()


def median(xs):
    return statistics.median(xs)


class Bench(BenchBed):
    def __init__(self, exe, control):
        super().__init__(exe, control)
        self.tool = parts_tool()
        shutil.rmtree(self.base, ignore_errors=True)
        # One set of big files, copied into every patch folder.
        self.big = self.base / 'files'
        self.big.mkdir(parents=True)
        for i in range(1, FILES + 1):
            (self.big / self.big_name(i)).write_bytes(os.urandom(FILE_BYTES))

    @staticmethod
    def big_name(i):
        return f'patch{i:02d}.bin'

    def fresh(self, name):
        self.count += 1
        d = self.base / f'{name}{self.count}'
        shutil.rmtree(d, ignore_errors=True)
        d.mkdir(parents=True)
        return d

    def install_key(self):
        """One registry key per run naming a fresh install folder."""
        dest = self.fresh('dest')
        subkey = f'Software\\QZBench\\run{self.count}'
        r = harness.run_quiet(['wine', 'reg', 'add', 'HKLM\\' + subkey, '/v', 'Path',
                               '/d', self.win(dest), '/f', '/reg:32'], self.env)
        if r.returncode != 0:
            raise SystemExit(f'reg add failed: {r.stdout}{r.stderr}')
        return subkey, dest

    def patch_folder(self, updates, conditions=None):
        d = self.fresh('patch')
        (d / 'QZVRN.config').write_text(harness.config_xml(silent=True, updates=updates))
        (d / 'rules.xml').write_text(harness.rules_xml('return true;'))
        if conditions:
            (d / 'QZVRN_Conditions.config').write_text(conditions)
        shutil.copyfile(self.control, d / 'qzkdiag.dll')
        shutil.copyfile(self.exe, d / 'QZVRN.exe')
        return d

    def main_job_folder(self):
        subkey, dest = self.install_key()
        updates = ''.join(
            entry_xml(self.big_name(i), subkey,
                      CONDITION_REFS[i - 1] if i <= len(CONDITION_REFS) else None,
                      i == REGISTERED)
            for i in range(1, FILES + 1))
        d = self.patch_folder(updates, conditions_xml())
        for i in range(1, FILES + 1):
            shutil.copyfile(self.big / self.big_name(i), d / self.big_name(i))
        return d, dest

    def small_folder(self, n):
        subkey, dest = self.install_key()
        updates = ''.join(entry_xml(f's{i:04d}.dat', subkey) for i in range(n))
        d = self.patch_folder(updates)
        for i in range(n):
            (d / f's{i:04d}.dat').write_bytes(b'small patch file %d\r\n' % i)
        return d, dest

    def manager(self, d, tail):
        """Seconds of one manager run through the UI robot (which answers
        the unrecognised token's box), and its log."""
        with contextlib.suppress(FileNotFoundError):
            self.log.unlink()
        cmd = ['wine', self.robot, '--exe', self.win(d / 'QZVRN.exe'),
               '--cwd', self.win(d), '--tail-hex', tail.encode().hex(),
               '--transcript', self.win(d.parent / f'{d.name}.transcript'),
               '--press', 'ok', '--timeout-ms', '120000']
        settle()
        t0 = time.monotonic()
        run(cmd, self.env, cwd=d)
        seconds = time.monotonic() - t0
        log = harness.parse_log(self.log.read_bytes()) if self.log.exists() else []
        return seconds, log

    def wait_regsvr32(self, timeout=30):
        """Regsvr32 is not waited for by the manager; it must be gone before
        the next timing so that it takes no CPU from it."""
        prefix = str(self.prefix).encode()
        deadline = time.monotonic() + timeout * harness.time_scale()
        while time.monotonic() < deadline:
            busy = False
            for pid in filter(str.isdigit, os.listdir('/proc')):
                try:
                    cmd = Path(f'/proc/{pid}/cmdline').read_bytes().lower()
                    if b'regsvr32' not in cmd:
                        continue
                    env = Path(f'/proc/{pid}/environ').read_bytes().split(b'\0')
                except OSError:
                    continue
                if b'WINEPREFIX=' + prefix in env:
                    busy = True
            if not busy:
                return
            time.sleep(0.05)

    def main_job(self):
        d, dest = self.main_job_folder()
        seconds, log = self.manager(d, 'QZSU')
        self.wait_regsvr32()
        scripts = sum(1 for e in log if e == SCRIPT_ENDED)
        installed = sorted(p.name for p in dest.iterdir())
        registered = [e for e in log if e[0] == 'CVRNManager:RegisterCOMDLLS']
        if (DOUPDATE_ENDED not in log or MAIN_ENDED not in log
                or scripts != len(CONDITION_REFS)
                or installed != [self.big_name(i) for i in range(1, FILES + 1)]
                or any((dest / n).stat().st_size != FILE_BYTES for n in installed)
                or len(registered) != 1):
            raise SystemExit(
                f'the main job did not do its whole job ({scripts} scripts, '
                f'{len(installed)} files, {len(registered)} registered):\n' +
                '\n'.join(map(str, log)))
        return seconds, log

    def bare_hosts(self):
        """Seconds of the bare host runs of the same scripts, in the order
        the manager runs them."""
        d = self.fresh('hosts')
        for i in range(1, CONDITIONS + 1):
            (d / f'TestCode_C{i:02d}.js').write_bytes(script_text(BODY))
        settle()
        t0 = time.monotonic()
        codes = [run(['wine', self.host, f'TestCode_{ref}.js'],
                                   self.env, cwd=d).returncode
                 for ref in CONDITION_REFS]
        seconds = time.monotonic() - t0
        if codes != [255] * len(CONDITION_REFS):
            raise SystemExit(f'bare host runs answered {codes}, not all true')
        return seconds

    def plain_copy(self):
        """Seconds of one cmd copy of the 20 files into a fresh folder."""
        dest = self.fresh('copy')
        seconds, r = self.cmd('copy', '/y', self.win(self.big) + '\\patch*.bin',
                              self.win(dest) + '\\')
        if r.returncode != 0 or len(list(dest.iterdir())) != FILES:
            raise SystemExit(f'the plain copy failed: {r.stdout}{r.stderr}')
        return seconds

    def quick_box(self):
        """The unrecognised token: ends at once, but with a box that the
        robot has to find and answer."""
        d = self.patch_folder('')
        seconds, log = self.manager(d, 'QZNOTATOKEN')
        if NOT_A_TOKEN not in log:
            raise SystemExit('the unrecognised-token run did not end at once')
        return seconds

    def quick(self):
        """A QZSU run that stops at its first check that fails, the OS
        list (no box in QZSU mode): the manager's start, its log, COM, one
        small XML file and its end."""
        d = self.patch_folder('')
        config = (d / 'QZVRN.config').read_text()
        config = re.sub(r'<OSVERSION>.*</OSVERSION>',
                        '<OSVERSION><OS>Windows 2000</OS></OSVERSION>', config, flags=re.S)
        (d / 'QZVRN.config').write_text(config)
        seconds, log = self.manager(d, 'QZSU')
        if CHECKOS_FAILED not in log:
            raise SystemExit('the OS-list run did not stop at CheckOS:\n' +
                             '\n'.join(map(str, log)))
        return seconds

    def cmd(self, *args, cwd=None):
        settle()
        t0 = time.monotonic()
        r = run(['wine', 'cmd', '/c'] + list(args), self.env, cwd=cwd)
        return time.monotonic() - t0, r

    def parts(self, *args, cwd=None):
        """qzparts' own timing of a part: {'seconds':, 'first':, 'last':}."""
        r = run(['wine', self.tool] + list(args), self.env, cwd=cwd)
        out = dict(line.split(' ', 1) for line in r.stdout.splitlines() if ' ' in line)
        if r.returncode != 0 or 'seconds' not in out:
            raise SystemExit(f'qzparts {args[0]} failed: {r.stdout}{r.stderr}')
        return {k: float(v) for k, v in out.items() if k != 'error'}

    def hosts_bare(self):
        """The same 11 host runs, started and waited for as the manager
        does, timed inside the starting process."""
        d = self.fresh('hosts')
        for i in range(1, CONDITIONS + 1):
            (d / f'TestCode_C{i:02d}.js').write_bytes(script_text(BODY))
        settle()
        return self.parts('hosts', self.host, *[f'TestCode_{ref}.js' for ref in CONDITION_REFS],
                          cwd=d)['seconds']

    def copy_bare(self, src=None, mode='copy', n=FILES):
        """The copy of the files of src into a fresh folder, timed inside
        the copying process (CopyFileW, or mode 'setup': the Setup API as
        the manager calls it, from the source folder)."""
        src = src or self.big
        dest = self.fresh('copy')
        settle()
        result = self.parts(mode, self.win(src), self.win(dest), cwd=src)
        if len(list(dest.iterdir())) != n:
            raise SystemExit(f'qzparts {mode} left {len(list(dest.iterdir()))} files, not {n}')
        return result

    def small_source(self, n):
        """n small files for the copying program, made once."""
        src = self.base / f'small{n}'
        if not src.exists():
            src.mkdir()
            for i in range(n):
                (src / f's{i:04d}.dat').write_bytes(b'small patch file %d\r\n' % i)
        return src

    def small(self, n):
        d, dest = self.small_folder(n)
        seconds, log = self.manager(d, 'QZSU')
        if (DOUPDATE_ENDED not in log or MAIN_ENDED not in log
                or len(list(dest.iterdir())) != n):
            raise SystemExit(f'the run of {n} small entries did not install them all')
        return seconds

    def phases(self, d):
        """One more QZSU run of the patch folder d with its log lines
        stamped as they appear: the time of the steps (script runs and
        installs summed) and of the process's start and end."""
        import threading
        stamps, done = [], threading.Event()

        def tail():
            # Read as it grows: the manager writes each line in one write.
            f, rest = None, b''
            while True:
                if f is None:
                    with contextlib.suppress(OSError):
                        f = open(self.log, 'rb')
                if f is not None:
                    chunk = f.read()
                    now = time.monotonic()
                    if chunk:
                        parts = (rest + chunk).split(b'\r\n')
                        rest = parts.pop()
                        stamps.extend([now] * len(parts))
                if done.is_set():
                    if f is not None:
                        f.close()
                    return
                time.sleep(0.002)
        with contextlib.suppress(FileNotFoundError):
            self.log.unlink()
        watcher = threading.Thread(target=tail)
        cmd = ['wine', self.robot, '--exe', self.win(d / 'QZVRN.exe'),
               '--cwd', self.win(d), '--tail-hex', b'QZSU'.hex(), '--timeout-ms', '120000']
        settle()
        watcher.start()
        t0 = time.monotonic()
        run(cmd, self.env, cwd=d)
        t1 = time.monotonic()
        time.sleep(0.01)
        done.set()
        watcher.join()
        self.wait_regsvr32()
        log = harness.parse_log(self.log.read_bytes())
        if len(stamps) != len(log) or DOUPDATE_ENDED not in log:
            raise SystemExit(f'the timed run left {len(log)} lines, {len(stamps)} seen')
        # The run cut at the first line of each step, in run order.
        markers = [i for i, e in enumerate(log)
                   if e[0] == 'CVRNManager' and e[2] == 'Started' and e[1] in STEPS
                   and not any(log[k][1] == e[1] for k in range(i))]
        out = [('start: robot, wine loader, manager up to its first line', stamps[0] - t0),
               ('first line to the first step', stamps[markers[0]] - stamps[0])]
        for i, m in enumerate(markers):
            end = stamps[markers[i + 1]] if i + 1 < len(markers) else stamps[-1]
            out.append((log[m][1], end - stamps[m]))
        for name in ('CallJScript', 'InstallPatch'):
            calls = [stamps[j] - stamps[i] for i, j in pairs(log, name)]
            if calls:
                out.append((f'  {name}, {len(calls)} calls summed', sum(calls)))
            if len(calls) >= 200:
                tenth = len(calls) // 10
                out.append((f'  {name}, mean of the first tenth of calls (ms)',
                            statistics.mean(calls[:tenth])))
                out.append((f'  {name}, mean of the last tenth of calls (ms)',
                            statistics.mean(calls[-tenth:])))
        out.append(('end: last line to the robot\'s end', t1 - stamps[-1]))
        out.append(('the whole run', t1 - t0))
        return out

    def remove(self, *paths):
        for p in paths:
            shutil.rmtree(p, ignore_errors=True)

    def finish(self):
        self.remove(self.base)
        harness.run_quiet(['wine', 'reg', 'delete', REG_ROOT, '/f', '/reg:32'], self.env)


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
                phases.append(('the main job', bench.phases(bench.main_job_folder()[0])))
            # Each step's time per entry, from three stamped runs of each size.
            for n in (0,) + SCALES:
                for _ in range(3):
                    with run_lock():
                        stepped[n].append(dict(bench.phases(bench.small_folder(n)[0])))
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
