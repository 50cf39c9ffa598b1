"""WineTestCase, the test bed's unittest base class, and the builders of
the patch files that tests write."""

import contextlib
import fcntl
import os
import re
import shutil
import signal
import sys
import unittest
from pathlib import Path

from wine_env import (BIN, DEFAULT_LANG, LOCALE_DIR, LOG_NAME, PREFIX32,
                      PREFIX64, PRODUCT, WINE_ROOT, _parse_info, base_env,
                      ensure_boxes, ensure_locales, environment, robot_exe,
                      time_scale, unix_path, win_path)
from wine_run import Run, run_quiet

WEB_TOKEN = 'QZWEB'
MSG3_EN = 'Update failed. Contact QZ helpdesk for further assistance.'


_lang_ids = {}


class WineTestCase(unittest.TestCase):
    prefix32 = False
    lang = DEFAULT_LANG
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls._state = environment(prefix32=cls.prefix32)
        ensure_boxes(cls._state, cls.prefix32)
        cls.prefix = PREFIX32 if cls.prefix32 else PREFIX64
        cls._info = cls._state['prefixes'][cls.prefix.name]

    def setUp(self):
        super().setUp()
        lock = open(WINE_ROOT / 'run.lock', 'w')
        fcntl.flock(lock, fcntl.LOCK_EX)
        self.addCleanup(lock.close)
        self.addCleanup(fcntl.flock, lock, fcntl.LOCK_UN)
        self.env = base_env(self._state['display'], self.prefix,
                            'win32' if self.prefix32 else 'win64', self.lang)
        self._dirs = 0

    # paths
    def win_path(self, p):
        return win_path(p, self.prefix)

    def unix_path(self, w):
        return unix_path(w, self.prefix)

    @property
    def temp_dir(self):
        """The user's temp folder of the prefix (where the log goes)."""
        return self.unix_path(self._info['temp'])

    @property
    def log_path(self):
        return self.temp_dir / LOG_NAME

    def private_copies(self):
        """What QZVRNDeploy.exe keeps under Program Files: its copies of
        patch folders and their temporary folders."""
        drive = self.prefix / 'drive_c'
        return sorted(p for pf in ('Program Files (x86)', 'Program Files')
                      for p in (drive / pf / 'QZ' / 'temp' / 'VRNU').glob('QZVRNDeploy.*'))

    def kill_windows_process(self, *fragments):
        """SIGKILLs every process whose command line holds all fragments,
        as a power cut would end it (tests run one at a time)."""
        for entry in Path('/proc').iterdir():
            if not entry.name.isdigit():
                continue
            try:
                line = (entry / 'cmdline').read_bytes().decode('utf-8', 'replace')
            except OSError:
                continue
            if all(f in line for f in fragments):
                with contextlib.suppress(OSError):
                    os.kill(int(entry.name), signal.SIGKILL)

    def patch_dir(self, name=None):
        self._dirs += 1
        base = self.prefix / 'drive_c' / 'qztests'
        d = base / (name or f'{self.id().split(".")[-1]}-{self._dirs}')
        shutil.rmtree(d, ignore_errors=True)
        d.mkdir(parents=True)
        self.addCleanup(shutil.rmtree, d, True)
        return d

    # wine
    def wine(self, args, cwd=None, env=None, timeout=60):
        e = dict(self.env)
        if env:
            e.update(env)
        return run_quiet(['wine'] + list(args), e, cwd=cwd,
                         timeout=timeout * time_scale())

    # registry
    def _reg(self, args, view):
        if view in (32, 64):
            args = args + [f'/reg:{view}']
        return self.wine(['reg'] + args)

    def reg_add(self, key, name, type='REG_SZ', data='', view=32,
                cleanup=True):
        """With cleanup the prefix gets back what it had: a key that did not
        exist is deleted, a value that existed gets its old data again, a
        new value in an existing key is deleted."""
        before = self._reg_values(key, view) if cleanup else None
        args = ['add', key]
        args += ['/ve'] if name is None else ['/v', name]
        args += ['/t', type, '/d', str(data), '/f']
        r = self._reg(args, view)
        if r.returncode != 0:
            self.fail(f'reg add {key} {name} failed: {r.stdout}{r.stderr}')
        if cleanup:
            old = None if before is None else before.get(
                (name or '(Default)').lower())
            if before is None:
                self.addCleanup(self.reg_delete, key, None, view)
            elif old is None:
                self.addCleanup(self._reg, ['delete', key] + (
                    ['/ve'] if name is None else ['/v', name]) + ['/f'], view)
            else:
                self.addCleanup(self._reg, ['add', key] + (
                    ['/ve'] if name is None else ['/v', name]) +
                    ['/t', old[1], '/d', old[2], '/f'], view)
        return r

    def reg_delete(self, key, name=None, view=32):
        args = ['delete', key] + (['/v', name] if name else []) + ['/f']
        return self._reg(args, view)

    def _reg_values(self, key, view):
        """{lower-case name: (name, type, data)} of the key's own values
        ("(Default)" for the default value), or None without the key."""
        r = self._reg(['query', key], view)
        if r.returncode != 0:
            return None
        values = {}
        for line in r.stdout.splitlines():
            m = re.match(r'^ {4}(.*?) {4}(REG_[A-Z_]+)(?: {4}(.*))?$', line)
            if m:
                values[m.group(1).lower()] = (m.group(1), m.group(2),
                                              m.group(3) or '')
        return values

    def reg_query(self, key, name, view=32):
        values = self._reg_values(key, view)
        if not values:
            return None
        hit = values.get((name or '(Default)').lower())
        return hit[2] if hit else None

    def unique_key(self, root='HKLM\\Software\\QZTests'):
        return f'{root}\\{self.id().split(".")[-1]}-{os.getpid()}'

    def system_lang_id(self, lang=None):
        """GetSystemDefaultLangID of a process started with LANG=lang."""
        lang = lang or self.lang
        key = (self.prefix.name, lang)
        if key not in _lang_ids:
            r = self.wine([robot_exe(), '--info'], env={'LANG': lang})
            _lang_ids[key] = int(_parse_info(r.stdout)['system_lang'])
        return _lang_ids[key]

    def set_windows_version(self, version):
        old = self.reg_query('HKCU\\Software\\Wine', 'Version', view=None)
        r = self._reg(['add', 'HKCU\\Software\\Wine', '/v', 'Version', '/d',
                       version, '/f'], None)
        if r.returncode != 0:
            self.fail(f'cannot set Windows version {version}: {r.stderr}')
        if old is None:
            self.addCleanup(self._reg, ['delete', 'HKCU\\Software\\Wine', '/v',
                                        'Version', '/f'], None)
        else:
            self.addCleanup(self._reg, ['add', 'HKCU\\Software\\Wine', '/v',
                                        'Version', '/d', old, '/f'], None)

    # runs
    def run_program(self, exe, tail='', cwd=None, env=None, press='ok',
                    lang=None, timeout=60, any_process=False, wait_all=False):
        """Starts exe (Unix or Windows path) with the exact tail through
        qzrobot.exe and returns a Run (without log: log_bytes is None)."""
        return self._run(exe, tail, cwd, env, press, lang, timeout, False,
                         any_process, wait_all)

    def run_manager(self, tail, cwd=None, env=None, press='ok', exe=None,
                    copy=True, lang=None, timeout=60, any_process=False,
                    wait_all=False):
        exe = Path(exe) if exe is not None else BIN / PRODUCT
        if not exe.exists():
            self.fail(f'{exe} is missing: build it first (make build)')
        if cwd is None:
            cwd = self.patch_dir()
        cwd = Path(cwd)
        if copy:
            target = cwd / exe.name
            shutil.copyfile(exe, target)
            exe = target
        return self._run(exe, tail, cwd, env, press, lang, timeout, True,
                         any_process, wait_all)

    def _run(self, exe, tail, cwd, env, press, lang, timeout, fresh_log,
             any_process, wait_all):
        if cwd is None:
            cwd = self.patch_dir()
        cwd = Path(cwd)
        if fresh_log:
            with contextlib.suppress(FileNotFoundError):
                self.log_path.unlink()
        transcript = WINE_ROOT / 'transcripts' / f'{os.getpid()}.txt'
        transcript.parent.mkdir(parents=True, exist_ok=True)
        with contextlib.suppress(FileNotFoundError):
            transcript.unlink()
        exe_w = exe if isinstance(exe, str) and ':' in exe[:2] \
            else self.win_path(exe)
        e = dict(env or {})
        if lang:
            e['LANG'] = lang
        name = e.get('LANG', self.env['LANG']).split('.')[0]
        if name not in ('C', 'POSIX', '') and not (
                LOCALE_DIR / f'{name}.UTF-8' / 'LC_CTYPE').exists():
            # Without the locale Wine would quietly fall back to English.
            ensure_locales([name])
        robot = self.wine(
            [robot_exe(), '--exe', exe_w, '--cwd', self.win_path(cwd),
             '--tail-hex', tail.encode('utf-8').hex(), '--transcript',
             self.win_path(transcript), '--press', press, '--timeout-ms',
             str(int(timeout * time_scale() * 1000))] +
            (['--any-process'] if any_process else []) +
            (['--wait-all'] if wait_all else []),
            cwd=cwd, env=e, timeout=timeout + 60)
        try:
            text = transcript.read_text(encoding='utf-8', errors='replace')
        except FileNotFoundError:
            text = ''
        log = None
        if fresh_log:
            with contextlib.suppress(FileNotFoundError):
                log = self.log_path.read_bytes()
        run = Run(cwd, robot, text, log)
        if run.error:
            self.fail(f'qzrobot: {run.error}{run.describe()}')
        return run

    # assertions
    def assertLogHas(self, run, entry, msg=None):
        if tuple(entry) not in run.log_lines:
            self.fail(f'{msg + ": " if msg else ""}log lacks {entry!r}'
                      f'{run.describe()}')

    def assertLogLacks(self, run, entry, msg=None):
        if tuple(entry) in run.log_lines:
            self.fail(f'{msg + ": " if msg else ""}log has {entry!r}'
                      f'{run.describe()}')

    def assertInOrder(self, run, entries):
        """Each entry is in the log, after the one before it."""
        pos = 0
        for e in entries:
            try:
                pos = run.log_lines.index(tuple(e), pos) + 1
            except ValueError:
                self.fail(f'{e!r} missing or out of order{run.describe()}')


def config_xml(silent=False, updates='', switches=''):
    """A QZVRN.config naming rules.xml, listing the OS rows that pass on
    every Wine version setting, with the given PATCH_DETAILS (`updates`)
    and further switch elements."""
    return ('<?xml version="1.0"?>\n<QZVRN_PARAMETERS>\n'
            '  <FILENAME>rules.xml</FILENAME>\n  <OSVERSION>\n'
            '    <OS>Windows XP (32bit)</OS>\n'
            '    <OS>Windows Vista (32bit)</OS>\n'
            '    <OS>Windows Vista (64bit)</OS>\n  </OSVERSION>\n'
            f'  <SILENT_MODE>{"TRUE" if silent else "FALSE"}</SILENT_MODE>\n'
            f'  <UPDATES>\n{updates}  </UPDATES>\n'
            f'{switches}</QZVRN_PARAMETERS>\n')


def rules_xml(body, reboot_flag='0'):
    """A rule file whose one matchString (as CDATA) is the main rule."""
    return ('<?xml version="1.0"?>\n<WebUpdate>\n'
            f'  <rebootFlag>{reboot_flag}</rebootFlag>\n'
            '  <matches>\n    <match>\n'
            f'      <matchString><![CDATA[{body}]]></matchString>\n'
            '    </match>\n  </matches>\n</WebUpdate>\n')


def run_standalone(case_class):
    """Runs one WineTestCase (its runTest) outside unittest, as the demos
    do: 0 when it ran to its end, 1 when it or the test bed failed."""
    import traceback
    case = case_class()
    try:
        case_class.setUpClass()
        case.setUp()
        case.runTest()
    except Exception as e:  # noqa: BLE001 - report any failure of the bed
        if isinstance(e, AssertionError):
            print(f'\ndemo failed: {e}', file=sys.stderr)
        else:
            traceback.print_exc()
        return 1
    finally:
        case.doCleanups()
    return 0
