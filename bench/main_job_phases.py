"""Where the time of a run goes, for main_job_bench.py --phases: one more
run with its log lines stamped as a tail of the log file sees them.
"""

import contextlib
import statistics
import time

import harness
from main_job_runs import DOUPDATE_ENDED, run, settle

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


def timed_phases(bench, d):
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
                    f = open(bench.log, 'rb')
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
        bench.log.unlink()
    watcher = threading.Thread(target=tail)
    cmd = ['wine', bench.robot, '--exe', bench.win(d / 'QZVRN.exe'),
           '--cwd', bench.win(d), '--tail-hex', b'QZSU'.hex(), '--timeout-ms', '120000']
    settle()
    watcher.start()
    t0 = time.monotonic()
    run(cmd, bench.env, cwd=d)
    t1 = time.monotonic()
    time.sleep(0.01)
    done.set()
    watcher.join()
    bench.wait_regsvr32()
    log = harness.parse_log(bench.log.read_bytes())
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
