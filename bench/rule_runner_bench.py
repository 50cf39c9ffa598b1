"""What the rule runner costs a run, under Wine.

A silent web-site run with RUNFINAL_RULE set runs the main rule twice and
shows no box. Its wall time is set against the parts it cannot do without:
two bare runs of the console script host on the same script, plus one run
of the manager that ends at once (an unrecognised token). Each figure is
the median of several runs; the ratio is printed last. A rule runner that
sleeps past the host's end shows as a ratio well above 1.

    python3 bench/rule_runner_bench.py [--runs 7] [--exe path/QZVRN.exe]

Uses the Wine test bed of tests/wine (its prefix, display and UI robot);
out/bin must hold QZVRN.exe and qzkdiag.dll (make build).
"""

import contextlib
import fcntl
import shutil
import statistics
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / 'tests' / 'wine'))
import harness  # noqa: E402
from bench_bed import (BenchBed, arg_parser, parse_args,  # noqa: E402
                       script_text)

# Needed until it has run once: the main rule says true, the final rule
# (the same script, run again) false. It also asks the control something,
# as real rules do.
BODY = '''
  var fso = new ActiveXObject("Scripting.FileSystemObject");
  if (QZOperatingSystem.MajorVersion < 5) return false;
  if (fso.FileExists("bench.done")) return false;
  fso.CreateTextFile("bench.done").Close();
  return true;
'''
RULES = f'''<?xml version="1.0"?>
<WebUpdate>
  <rebootFlag>0</rebootFlag>
  <matches><match><matchString><![CDATA[{BODY}]]></matchString></match></matches>
</WebUpdate>
'''
SUCCESS = ('QZVRN:Main', 'DoUpdate:Update completed successfully.', 'Success')
NOT_A_TOKEN = ('QZVRN:Main', 'Update not required:',
               f'Not QZSU/{harness.WEB_TOKEN}')


class Bench(BenchBed):
    def folder(self):
        """A fresh patch folder: the cleanup of a run removes its inputs."""
        self.count += 1
        d = self.base / f'run{self.count}'
        shutil.rmtree(d, ignore_errors=True)
        d.mkdir(parents=True)
        (d / 'QZVRN.config').write_text(harness.config_xml(
            silent=True, switches='  <RUNFINAL_RULE>TRUE</RUNFINAL_RULE>\n'))
        (d / 'rules.xml').write_text(RULES)
        (d / 'TestCode_Main.js').write_bytes(script_text(BODY))
        shutil.copyfile(self.control, d / 'qzkdiag.dll')
        shutil.copyfile(self.exe, d / 'QZVRN.exe')
        return d

    def manager(self, tail):
        """Seconds of one manager run through the UI robot (which answers
        the unrecognised token's box), and its log."""
        d = self.folder()
        with contextlib.suppress(FileNotFoundError):
            self.log.unlink()
        transcript = d / 'transcript.txt'
        cmd = ['wine', self.robot, '--exe', self.win(d / 'QZVRN.exe'),
               '--cwd', self.win(d), '--tail-hex', tail.encode().hex(),
               '--transcript', self.win(transcript), '--press', 'ok',
               '--timeout-ms', '60000']
        t0 = time.monotonic()
        harness.run_quiet(cmd, self.env, cwd=d, timeout=120)
        seconds = time.monotonic() - t0
        log = harness.parse_log(self.log.read_bytes()) if self.log.exists() else []
        return seconds, log

    def bare_hosts(self):
        """Seconds of two bare host runs of the same script, as the main
        and the final rule run it."""
        d = self.folder()
        t0 = time.monotonic()
        codes = [harness.run_quiet(['wine', self.host, 'TestCode_Main.js'],
                                   self.env, cwd=d).returncode
                 for _ in range(2)]
        seconds = time.monotonic() - t0
        if codes != [255, 0]:
            raise SystemExit(f'bare host runs answered {codes}, not true then false')
        return seconds


def main():
    args = parse_args(arg_parser(__doc__, runs=7))

    bench = Bench(args.exe, args.control)
    # One run at a time in the shared prefix, as the Wine tests do.
    with open(harness.WINE_ROOT / 'run.lock', 'w') as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        try:
            # Warm-up: registers the control, fills Wine's caches.
            seconds, log = bench.manager(harness.WEB_TOKEN)
            if SUCCESS not in log or sum(
                    1 for e in log if e == ('CVRNManager', 'CallJScript', 'Ended')) != 2:
                raise SystemExit('the silent web-site run did not run both '
                                 'rules to success:\n' + '\n'.join(map(str, log)))
            bench.bare_hosts()
            web, hosts, quick = [], [], []
            for _ in range(args.runs):
                seconds, log = bench.manager(harness.WEB_TOKEN)
                if SUCCESS not in log:
                    raise SystemExit('a web-site run did not succeed')
                web.append(seconds)
                hosts.append(bench.bare_hosts())
                seconds, log = bench.manager('QZNOTATOKEN')
                if NOT_A_TOKEN not in log:
                    raise SystemExit('the unrecognised-token run did not end at once')
                quick.append(seconds)
        finally:
            shutil.rmtree(bench.base, ignore_errors=True)
            fcntl.flock(lock, fcntl.LOCK_UN)

    m_web, m_hosts, m_quick = (statistics.median(x) for x in (web, hosts, quick))
    base = m_hosts + m_quick
    print(f'runs per figure                      {args.runs}')
    print(f'manager, silent web-site run, 2 rules {m_web:7.3f} s')
    print(f'two bare script-host runs             {m_hosts:7.3f} s')
    print(f'manager ending at once (bad token)    {m_quick:7.3f} s')
    print(f'sum of the parts                      {base:7.3f} s')
    print(f'ratio                                 {m_web / base:7.3f}')
    return 0


if __name__ == '__main__':
    sys.exit(main())
