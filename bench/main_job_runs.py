"""The main job benchmark's patch and the runs it times (main_job_bench.py):
the main job itself, its parts bare through qzparts.exe and as programs from
the Unix side, and QZSU runs of many small entries.
"""

import contextlib
import os
import re
import shutil
import subprocess
import time
from pathlib import Path

import harness
from bench_bed import BenchBed, script_text

ROOT = Path(__file__).resolve().parents[1]

CONDITIONS = 10
FILES = 20
FILE_BYTES = 1 << 20
# Entries 1-10 refer to conditions C01-C10, entry 11 to C01 again.
CONDITION_REFS = [f'C{i:02d}' for i in range(1, CONDITIONS + 1)] + ['C01']
REGISTERED = FILES  # the last entry is registered
REG_ROOT = 'HKLM\\Software\\QZBench'

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

    def remove(self, *paths):
        for p in paths:
            shutil.rmtree(p, ignore_errors=True)

    def finish(self):
        self.remove(self.base)
        harness.run_quiet(['wine', 'reg', 'delete', REG_ROOT, '/f', '/reg:32'], self.env)
