"""End-to-end test bed: runs the Windows programs under Wine and reads what a
user would see (message boxes, the restart dialog) and what they leave behind
(the log in the user's temp folder, files, registry values).

Environment (created once per test run, reused by every test module)
  out/wine/prefix      64-bit Wine prefix (a 32-bit program runs under WOW64)
  out/wine/prefix32    32-bit prefix (WINEARCH=win32), made on first request
  out/wine/locales     glibc locales made with localedef (LOCPATH points here)
  out/wine/state.json  Xvfb display and PID, facts measured per prefix
  An Xvfb display of our own (-nolisten tcp), HKCU\\Software\\Wine\\X11 Driver
  Managed=N (no window manager: hiding a window would wait 2 s otherwise),
  WINEDEBUG=-all, LC_ALL/LC_*/LANGUAGE removed, LANG=en_US.UTF-8 by default.
  Wine takes the system language from LANG at each process start, so a test
  may pass another LANG per run (measured: one prefix, one running wineserver,
  LANG changed between runs gives each run its own GetSystemDefaultLangID).

  `python3 harness.py setup`    start Xvfb, create/refresh prefix and locales
  `python3 harness.py cleanup`  kill our Xvfb (by PID), wineserver -k
  `python3 harness.py env`      shell exports for running wine by hand
  `python3 harness.py info`     facts of the prefix (temp folder, languages)
  ctest runs setup and cleanup as a fixture (tests/wine/CMakeLists.txt). A
  test module started by hand (`python3 tests/wine/test_entry.py`) sets the
  environment up itself when the state is missing; the last process using
  such an environment removes its Xvfb and wineserver when it ends (every
  user holds a shared lock on out/wine/users.lock; cleanup leaves a busy
  environment alone). Tests share one prefix and one log file, so they run
  one at a time (out/wine/run.lock per test; RESOURCE_LOCK under ctest).
  Timings here: prefix creation 22 s (once; kept in out/wine), locales 15 s
  (once), set-up with both present 0.6 s, a run with a message box 0.2-0.5 s.

Module constants
  ROOT, BIN (out/bin: the product), TOOLS (out/test-bin: qzrobot.exe,
  qzprobe.exe; tool_exe(name) builds a private copy when they are missing),
  PRODUCT ("QZVRN.exe"), LOG_NAME ("QZZqzvrn.log"), WEB_TOKEN ("QZWEB"),
  DEFAULT_LANG, LOCALES (the locales generated), MSG3_EN (message 3, English).

class WineTestCase(unittest.TestCase)
  Class attributes: prefix32 = False (True: every test of the class runs in
  the 32-bit prefix), lang = DEFAULT_LANG (LANG of every run of the class).
  self.env                   dict for subprocess (DISPLAY, WINEPREFIX, ...)
  self.prefix                pathlib.Path of the prefix in use
  self.patch_dir(name=None)  fresh folder under drive_c, removed after the test
  self.win_path(p)           Unix path -> Windows path (C:\\... or Z:\\...)
  self.unix_path(w)          Windows path -> Unix path
  self.wine(args, cwd=None, env=None, timeout=60) -> CompletedProcess (text)
  self.reg_add(key, name, type='REG_SZ', data='', view=32, cleanup=True)
      value under key (name None: the default value); view 32 is what a 32-bit program sees (Wow6432Node
      in the 64-bit prefix; None: reg.exe's own, 64-bit); with cleanup the
      prefix gets back what it had after the test (a new key is deleted,
      an old value restored); self.unique_key() gives a key of its own.
  self.reg_delete(key, name=None, view=32)   a value, or the whole key
  self.reg_query(key, name, view=32) -> str data or None
  self.unique_key(root='HKLM\\Software\\QZTests') -> unique key name for the test
  self.set_windows_version('winxp')   HKCU\\Software\\Wine Version, restored
  self.system_lang_id(lang=None) -> GetSystemDefaultLangID under that LANG
  self.run_manager(tail, cwd=None, env=None, press='ok', exe=None,
                   copy=True, lang=None, timeout=60, any_process=False,
                   wait_all=False) -> Run
      copies exe (default BIN/QZVRN.exe) into cwd (default: a fresh
      patch_dir()), deletes the old log, starts it through qzrobot.exe with
      the command line '"<exe>"' + (' ' + tail if tail else ''), answers
      every message box with OK and the restart dialog per press
      (ok|now|later|close|esc|none). Fails the test (not skip) when the
      program is missing. any_process=True answers the windows of every
      process (programs the manager starts), not only the manager's;
      wait_all=True also waits for the programs it started and left running
      (regsvr32); a timeout ends them all.
  self.run_program(exe, tail='', cwd=None, env=None, press='ok', lang=None,
                   timeout=60, any_process=False, wait_all=False) -> Run   the same for any program, run in
      place, without the log (log_bytes None).
  self.temp_dir, self.log_path   the user's temp folder and the log in it
      (C:\\users\\<user>\\Temp under Wine 8, not AppData\\Local\\Temp)
  self.private_copies()   QZVRNDeploy.exe's copies and temporary folders
      under Program Files
  self.kill_windows_process(*fragments)   SIGKILL by command-line fragments
  self.assertLogHas(run, (source, text, status)), self.assertLogLacks(...),
  self.assertInOrder(run, entries)
      fail with the transcript and the whole log in the message

Functions
  config_xml(silent=False, updates='', switches='') -> a QZVRN.config
  naming rules.xml; rules_xml(body, reboot_flag='0') -> a rule file with
  one main rule;
  parse_log(bytes) -> [(source, text, status)]; log_line_bytes(s, t, st)
  -> the bytes of one entry; tool_exe('qzrobot'|'qzprobe'); win_path,
  unix_path (for the 64-bit prefix unless given); setup(), cleanup(),
  environment(prefix32=False) for scripts outside unittest (demo.py);
  run_standalone(case_class) runs one case's runTest outside unittest.

class Run
  exit_code   signed exit code, or None (timed out, or every process of the
              prefix was ended, as "Restart Now" does)
  child_pid   process id of the started program; box_pids, dialog_pids:
              the process of each box and dialog (see any_process)
  timed_out   the robot killed the program after its timeout
  ended_by_shutdown  no exit and no timeout: every process of the prefix
              was ended, the robot too (ExitWindowsEx, "Restart Now")
  boxes       list of message-box texts in order of appearance
  box_records list of (caption, text, buttons) tuples; buttons "OK" etc. by |
  dialogs     list of (caption, question, button 1000, button 1001) tuples
  presses     what the robot pressed, in order
  windows     other visible top-level windows seen: (class, caption)
  transcript  list of transcript records (lists of fields)
  log_bytes   bytes of QZZqzvrn.log, or None when there is none
  log_lines   list of (source, text, status): source up to the first "  ",
              status after the last "  ", text between (may hold blanks)
  log_text    the log as str (latin-1), for messages
  cwd         pathlib.Path the program ran in
  robot       CompletedProcess of the wine run
  describe()  transcript, log and robot output as one text for messages
"""

import atexit
import contextlib
import fcntl
import functools
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import time
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
OUT = ROOT / 'out'
BIN = OUT / 'bin'
TOOLS = OUT / 'test-bin'
WINE_ROOT = OUT / 'wine'
PREFIX64 = WINE_ROOT / 'prefix'
PREFIX32 = WINE_ROOT / 'prefix32'
LOCALE_DIR = WINE_ROOT / 'locales'
STATE_FILE = WINE_ROOT / 'state.json'
PRIVATE_TOOLS = OUT / 'h2-robot'

PRODUCT = 'QZVRN.exe'
LOG_NAME = 'QZZqzvrn.log'
WEB_TOKEN = 'QZWEB'
DEFAULT_LANG = 'en_US.UTF-8'
MSG3_EN = 'Update failed. Contact QZ helpdesk for further assistance.'
LOCALES = ('en_US', 'de_DE', 'de_CH', 'fr_FR', 'es_ES', 'it_IT', 'nl_NL',
           'nb_NO', 'pt_BR', 'sv_SE', 'da_DK', 'fi_FI', 'cs_CZ', 'hu_HU',
           'pl_PL', 'ru_RU', 'tr_TR', 'el_GR', 'he_IL', 'ar_SA', 'zh_HK',
           'zh_TW', 'zh_CN', 'ja_JP', 'ko_KR', 'en_GB', 'ro_RO')
# Dialog-free prefix creation (no Mono/Gecko installers) and no menu entries.
DLL_OVERRIDES = 'mscoree,mshtml=d;winemenubuilder.exe=d'
SERVER_PERSIST = 300  # s the wineserver outlives its last client
# Settings of every prefix: no window manager to wait for when a window is
# hidden; no crash dialog that would hold a crashed program until timeout.
PREFIX_SETTINGS = (
    ('HKCU\\Software\\Wine\\X11 Driver', 'Managed', 'REG_SZ', 'N'),
    ('HKCU\\Software\\Wine\\WineDbg', 'ShowCrashDialog', 'REG_DWORD', '0'),
)


def _log(msg):
    print(f'[harness] {msg}', file=sys.stderr, flush=True)


# --------------------------------------------------------------- state ----

def _read_state():
    try:
        return json.loads(STATE_FILE.read_text())
    except (OSError, ValueError):
        return {}


def _write_state(state):
    WINE_ROOT.mkdir(parents=True, exist_ok=True)
    tmp = STATE_FILE.with_suffix('.tmp')
    tmp.write_text(json.dumps(state, indent=2, sort_keys=True))
    tmp.replace(STATE_FILE)


@contextlib.contextmanager
def _flock(name):
    WINE_ROOT.mkdir(parents=True, exist_ok=True)
    with open(WINE_ROOT / name, 'w') as f:
        fcntl.flock(f, fcntl.LOCK_EX)
        try:
            yield
        finally:
            fcntl.flock(f, fcntl.LOCK_UN)


def _pid_is(pid, name):
    try:
        cmd = Path(f'/proc/{pid}/cmdline').read_bytes().split(b'\0')[0]
    except OSError:
        return False
    return os.path.basename(cmd.decode(errors='replace')) == name


def run_quiet(cmd, env, cwd=None, timeout=60):
    """subprocess.run with output to files: Wine's lingering system processes
    inherit the standard handles, so reading pipes to their end would wait
    for them; waiting for the process itself does not."""
    import tempfile
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        p = subprocess.Popen([str(c) for c in cmd], env=env, cwd=cwd,
                             stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        try:
            rc = p.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()
            raise
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(
            cmd, rc, out.read().decode('utf-8', 'replace'),
            err.read().decode('utf-8', 'replace'))


# --------------------------------------------------------------- Xvfb -----

def _start_xvfb():
    """Starts Xvfb on the first free display from :40 on (clear of the
    usual :0 and :99 that other tools pick); -displayfd tells when it is
    ready to take clients."""
    attempts = 0
    for num in range(40, 200):
        if Path(f'/tmp/.X{num}-lock').exists() or \
                Path(f'/tmp/.X11-unix/X{num}').exists():
            continue
        attempts += 1
        if attempts > 5:
            break
        r, w = os.pipe()
        logf = open(WINE_ROOT / 'xvfb.log', 'ab')
        # setsid -f: the server outlives this process and is nobody's child
        # here (no lock file with -displayfd: find its PID by its arguments).
        args = ['Xvfb', f':{num}', '-displayfd', str(w), '-nolisten', 'tcp',
                '-screen', '0', '1024x768x24']
        subprocess.run(['setsid', '-f'] + args, pass_fds=(w,),
                       stdin=subprocess.DEVNULL, stdout=logf, stderr=logf,
                       check=True)
        os.close(w)
        logf.close()
        data = b''
        deadline = time.time() + 20
        while not data.endswith(b'\n') and time.time() < deadline:
            ready, _, _ = select.select([r], [], [], 0.5)
            if ready:
                chunk = os.read(r, 64)
                if not chunk:
                    break
                data += chunk
        os.close(r)
        pid = _find_pid(args)
        if data.strip() == str(num).encode() and pid:
            return f':{num}', pid
        if pid:
            os.kill(pid, signal.SIGTERM)
    raise RuntimeError('Xvfb did not start; see out/wine/xvfb.log')


def _find_pid(argv):
    want = '\0'.join(argv).encode()
    for d in Path('/proc').iterdir():
        if d.name.isdigit():
            try:
                if (d / 'cmdline').read_bytes().rstrip(b'\0') == want:
                    return int(d.name)
            except OSError:
                pass
    return None


def _xvfb_alive(state):
    pid, display = state.get('xvfb_pid'), state.get('display')
    if not pid or not display or not _pid_is(pid, 'Xvfb'):
        return False
    return Path(f'/tmp/.X11-unix/X{display[1:]}').exists()


# ------------------------------------------------------------- locales ----

def ensure_locales(names=LOCALES):
    """Generates the UTF-8 locales that are missing (about 1 s each)."""
    LOCALE_DIR.mkdir(parents=True, exist_ok=True)
    todo = [n for n in names
            if not (LOCALE_DIR / f'{n}.UTF-8' / 'LC_CTYPE').exists()]
    running = []
    for n in todo + [None]:
        while running and (n is None or len(running) >= 2):
            name, p = running.pop(0)
            p.wait()
            if not (LOCALE_DIR / f'{name}.UTF-8' / 'LC_CTYPE').exists():
                raise RuntimeError(f'localedef failed for {name}')
        if n is not None:
            running.append((n, subprocess.Popen(
                ['localedef', '-c', '-i', n, '-f', 'UTF-8',
                 str(LOCALE_DIR / f'{n}.UTF-8')],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)))


# ------------------------------------------------------------- prefixes ---

MODE_FILE = OUT / 'wine-mode'


@functools.lru_cache(maxsize=None)
def wine_mode():
    """How Wine is started here, as cmake/wine-mode.sh settled it (run
    now when no build step did): {'mode', 'reason', 'path'}; path is a
    folder to put first in PATH (the emulated loader), or empty."""
    if not MODE_FILE.exists():
        r = subprocess.run(['bash', str(ROOT / 'cmake' / 'wine-mode.sh'),
                            'setup'], stdout=sys.stderr)
        if r.returncode != 0:
            raise RuntimeError('cmake/wine-mode.sh setup failed')
    return _parse_info(MODE_FILE.read_text())


def time_scale():
    """How much slower a 32-bit process runs here than natively: time
    limits that were set for native speed are multiplied by it."""
    return 4 if wine_mode().get('mode') == 'emulated' else 1


def base_env(display, prefix, arch, lang=DEFAULT_LANG):
    env = {k: v for k, v in os.environ.items()
           if not k.startswith('LC_') and k not in
           ('LANGUAGE', 'WINEARCH', 'WINEPREFIX', 'WINELOADER', 'WINESERVER',
            'WINEDLLOVERRIDES', 'WINEDEBUG', 'DISPLAY', 'LANG')}
    env.update({
        'DISPLAY': display,
        'WINEPREFIX': str(prefix),
        'WINEDEBUG': '-all',
        'WINEDLLOVERRIDES': DLL_OVERRIDES,
        'LOCPATH': str(LOCALE_DIR),
        'LANG': lang,
    })
    if arch == 'win32':
        env['WINEARCH'] = 'win32'
    path = wine_mode().get('path')
    if path:
        env['PATH'] = path + os.pathsep + env.get('PATH', os.defpath)
    return env


TOOL_DIR = Path(__file__).resolve().parent / 'tools'
# name -> (sources, libraries, GUI program)
TOOL_SOURCES = {
    'qzrobot': (('qzrobot.cpp',), ('-luser32', '-lshell32'), False),
    'qzprobe': (('qzprobe.cpp', 'qzprobe.rc'), ('-luser32', '-ladvapi32'), True),
}


def tool_exe(name):
    """A test tool of the cross build (out/test-bin), or a private build in
    out/h2-robot when that is missing or older than its sources, so that a
    test run by hand works without the cross tree."""
    sources, libs, gui = TOOL_SOURCES[name]
    src_time = max((TOOL_DIR / s).stat().st_mtime for s in sources)
    built = TOOLS / f'{name}.exe'
    if built.exists() and built.stat().st_mtime >= src_time:
        return built
    private = PRIVATE_TOOLS / f'{name}.exe'
    if private.exists() and private.stat().st_mtime >= src_time:
        return private
    PRIVATE_TOOLS.mkdir(parents=True, exist_ok=True)
    objs = []
    for s in sources:
        if s.endswith('.rc'):
            obj = PRIVATE_TOOLS / (s + '.o')
            r = subprocess.run(['i686-w64-mingw32-windres', str(TOOL_DIR / s),
                                '-o', str(obj)], capture_output=True, text=True)
            if r.returncode != 0:
                raise RuntimeError(f'cannot build {name}.exe:\n{r.stderr}')
            objs.append(str(obj))
        else:
            objs.append(str(TOOL_DIR / s))
    cmd = ['i686-w64-mingw32-g++', '-std=c++17', '-DUNICODE', '-D_UNICODE',
           '-DWIN32_LEAN_AND_MEAN', '-D_WIN32_WINNT=0x0500', '-Os', '-static',
           '-s'] + (['-mwindows'] if gui else []) + \
        ['-o', str(private)] + objs + list(libs)
    r = subprocess.run(cmd, capture_output=True, text=True)
    if r.returncode != 0:
        raise RuntimeError(f'cannot build {name}.exe:\n{r.stderr}')
    return private


def robot_exe():
    return tool_exe('qzrobot')


def _parse_info(text):
    info = {}
    for line in text.splitlines():
        k, sep, v = line.strip().partition('=')
        if sep:
            info[k] = v
    return info


def _ensure_prefix(state, prefix, arch):
    """Creates the prefix once (marker file .qz-ready), starts a lingering
    wineserver for it and records its facts in the state."""
    key = prefix.name
    env = base_env(state['display'], prefix, arch)
    marker = prefix / '.qz-ready'
    if not marker.exists():
        t0 = time.time()
        shutil.rmtree(prefix, ignore_errors=True)
        r = run_quiet(['wineboot', '-i'], env, timeout=300)
        run_quiet(['wineserver', '-w'], env, timeout=120)
        if r.returncode != 0 or not (prefix / 'system.reg').exists():
            raise RuntimeError(f'wineboot failed for {prefix}:\n{r.stderr}')
        _log(f'created {arch} prefix {prefix} in {time.time() - t0:.1f} s')
    settings = json.dumps(PREFIX_SETTINGS)
    if not marker.exists() or marker.read_text() != settings:
        for key_, name, type_, data in PREFIX_SETTINGS:
            r = run_quiet(['wine', 'reg', 'add', key_, '/v', name, '/t', type_,
                           '/d', data, '/f'], env, timeout=120)
            if r.returncode != 0:
                raise RuntimeError(f'cannot set {key_} {name}:\n{r.stderr}')
        marker.write_text(settings)
    # A lingering server saves its start-up on every run; it ends by itself
    # SERVER_PERSIST seconds after the last client, cleanup kills it sooner.
    run_quiet(['wineserver', f'-p{SERVER_PERSIST}'], env, timeout=60)
    if key not in state.get('prefixes', {}):
        r = run_quiet(['wine', robot_exe(), '--info'], env, timeout=120)
        info = _parse_info(r.stdout)
        if 'temp' not in info:
            raise RuntimeError(f'qzrobot --info failed in {prefix}:\n'
                               f'{r.stdout}\n{r.stderr}')
        info['arch'] = arch
        state.setdefault('prefixes', {})[key] = info
    return state['prefixes'][key]


def ensure_boxes(state, prefix32=False):
    """Makes sure message boxes show in the prefix. A desktop process that
    went bad returns every box at once (seen once on a fresh machine, every
    later box of the prefix): then the prefix's processes are ended so that
    the next window starts a new desktop."""
    prefix, arch = (PREFIX32, 'win32') if prefix32 else (PREFIX64, 'win64')
    env = base_env(state['display'], prefix, arch)
    with _flock('setup.lock'):
        for attempt in range(3):
            r = run_quiet(['wine', robot_exe(), '--box-check'], env,
                          timeout=120)
            if 'box=ok' in r.stdout:
                return
            _log(f'message boxes fail in {prefix} ({r.stdout.strip()}): '
                 'restarting its wineserver')
            run_quiet(['wineserver', '-k'], env, timeout=60)
            run_quiet(['wineserver', '-w'], env, timeout=60)
            run_quiet(['wineserver', f'-p{SERVER_PERSIST}'], env, timeout=60)
    raise RuntimeError(f'message boxes do not show in {prefix}')


def setup(prefix32=False, owner='fixture'):
    """Starts what is missing (Xvfb, locales, prefix, wineserver). Returns
    (state, started_xvfb). owner 'fixture': stays up until `cleanup`;
    'session': the last process using it removes it when it ends."""
    with _flock('setup.lock'):
        state = _read_state()
        started = False
        if not _xvfb_alive(state):
            display, pid = _start_xvfb()
            state = {'display': display, 'xvfb_pid': pid,
                     'started': time.time(), 'owner': owner}
            started = True
            _log(f'Xvfb {display} pid {pid}')
        elif owner == 'fixture':
            state['owner'] = 'fixture'
        _write_state(state)
        ensure_locales()
        _ensure_prefix(state, PREFIX64, 'win64')
        if prefix32:
            _ensure_prefix(state, PREFIX32, 'win32')
        _write_state(state)
        return state, started


def cleanup(force=True):
    """Ends only what the tests started: their wineservers and their Xvfb.
    Every process using the environment holds a shared lock on users.lock;
    while another one does, the environment is left running."""
    _release_use()
    users = open(WINE_ROOT / 'users.lock', 'w')
    try:
        fcntl.flock(users, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except OSError:
        # The last process still using it removes it when it ends.
        _log('environment still in use by another process: left running')
        with _flock('setup.lock'):
            state = _read_state()
            if state:
                state['owner'] = 'session'
                _write_state(state)
        users.close()
        return
    try:
        _cleanup_locked(force)
    finally:
        users.close()


def _cleanup_locked(force):
    state = _read_state()
    if not force and state.get('owner') != 'session':
        return
    for prefix in (PREFIX64, PREFIX32):
        if (prefix / 'system.reg').exists():
            env = base_env(state.get('display', ':0'), prefix,
                           'win32' if prefix == PREFIX32 else 'win64')
            run_quiet(['wineserver', '-k'], env, timeout=60)
    pid = state.get('xvfb_pid')
    if pid and _pid_is(pid, 'Xvfb'):
        os.kill(pid, signal.SIGTERM)
        for _ in range(50):
            if not _pid_is(pid, 'Xvfb'):
                break
            time.sleep(0.1)
    with contextlib.suppress(OSError):
        STATE_FILE.unlink()


_session = {}


def _hold_use():
    if 'users' not in _session:
        WINE_ROOT.mkdir(parents=True, exist_ok=True)
        f = open(WINE_ROOT / 'users.lock', 'w')
        fcntl.flock(f, fcntl.LOCK_SH)
        _session['users'] = f
        # Started by hand, not under the ctest fixture: the last process
        # that used the environment removes it.
        atexit.register(cleanup, False)


def _release_use():
    f = _session.pop('users', None)
    if f:
        f.close()


def environment(prefix32=False):
    """The state for this process, set up when missing. Environments that
    a process set up for itself (no ctest fixture) are removed by the last
    process using them when it ends."""
    _hold_use()
    key = 'prefix32' if prefix32 else 'prefix'
    state = _read_state()
    if _xvfb_alive(state) and key in state.get('prefixes', {}):
        return state
    state, _ = setup(prefix32=prefix32,
                     owner=state.get('owner', 'session')
                     if _xvfb_alive(state) else 'session')
    return state


# --------------------------------------------------------------- paths ----

def win_path(p, prefix=PREFIX64):
    p = os.path.abspath(str(p))
    drive_c = os.path.abspath(str(prefix / 'drive_c'))
    if p == drive_c or p.startswith(drive_c + os.sep):
        return 'C:\\' + os.path.relpath(p, drive_c).replace('/', '\\').lstrip('.')
    return 'Z:' + p.replace('/', '\\')


def unix_path(w, prefix=PREFIX64):
    drive, rest = w[:2].lower(), w[2:].lstrip('\\')
    base = os.path.realpath(str(prefix / 'dosdevices' / drive))
    return Path(base, *[part for part in rest.split('\\') if part])


# --------------------------------------------------------------- logs -----

def parse_log(data):
    """Splits the log into (source, text, status) lines. A field may hold
    blanks, so the source ends at the first double blank and the status
    starts after the last one."""
    lines = []
    text = data.decode('latin-1')
    for line in text.split('\r\n'):
        if line == '':
            continue
        i = line.find('  ')
        if i < 0:
            lines.append((line, '', ''))
            continue
        rest = line[i + 2:]
        j = rest.rfind('  ')
        if j < 0:
            lines.append((line[:i], rest, ''))
        else:
            lines.append((line[:i], rest[:j], rest[j + 2:]))
    return lines


def log_line_bytes(source, text, status):
    """The bytes of one log entry as the product writes it."""
    return f'{source}  {text}  {status}\r\n'.encode('latin-1')


def _unescape(field):
    out, i = [], 0
    while i < len(field):
        c = field[i]
        if c == '\\' and i + 1 < len(field):
            out.append({'n': '\n', 't': '\t', 'r': '\r'}.get(field[i + 1],
                                                           field[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return ''.join(out)


class Run:
    def __init__(self, cwd, robot, transcript_text, log_bytes):
        self.cwd = cwd
        self.robot = robot
        self.transcript = [[_unescape(f) for f in line.split('\t')]
                           for line in transcript_text.splitlines() if line]
        self.exit_code = None
        self.timed_out = False
        self.error = None
        self.child_pid = None
        self.box_records, self.dialogs, self.presses, self.windows = [], [], [], []
        self.box_pids, self.dialog_pids = [], []
        for rec in self.transcript:
            kind, fields = rec[0], rec[1:] + [''] * 5
            if kind == 'child':
                self.child_pid = int(fields[0])
            elif kind == 'box':
                self.box_records.append(tuple(fields[:3]))
                self.box_pids.append(int(fields[3] or 0))
            elif kind == 'dialog':
                self.dialogs.append(tuple(fields[:4]))
                self.dialog_pids.append(int(fields[4] or 0))
            elif kind == 'press':
                self.presses.append(fields[0])
            elif kind == 'window':
                self.windows.append(tuple(fields[:2]))
            elif kind == 'exit':
                self.exit_code = int(fields[0])
            elif kind == 'timeout':
                self.timed_out = True
            elif kind == 'error':
                self.error = fields[0]
        self.boxes = [b[1] for b in self.box_records]
        self.log_bytes = log_bytes
        self.log_lines = parse_log(log_bytes) if log_bytes is not None else []
        self.log_text = (log_bytes.decode('latin-1')
                         if log_bytes is not None else '<no log>')

    @property
    def ended_by_shutdown(self):
        """Every process of the prefix was ended (ExitWindowsEx under Wine):
        no exit record and no timeout."""
        return self.exit_code is None and not self.timed_out \
            and self.error is None

    def __repr__(self):
        return (f'Run(exit={self.exit_code}, timed_out={self.timed_out}, '
                f'boxes={self.boxes!r}, dialogs={self.dialogs!r})')

    def describe(self):
        """Everything about the run, for failure messages."""
        t = '\n'.join('\t'.join(r) for r in self.transcript)
        return (f'\n--- transcript\n{t}\n--- log\n{self.log_text}'
                f'\n--- robot rc {self.robot.returncode} stderr\n'
                f'{self.robot.stderr[-2000:]}')


# ------------------------------------------------------------ test case ---

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


def main():
    cmd = sys.argv[1] if len(sys.argv) > 1 else 'setup'
    if cmd == 'setup':
        t0 = time.time()
        state, _ = setup(prefix32='--prefix32' in sys.argv, owner='fixture')
        _log(f'ready in {time.time() - t0:.1f} s: display {state["display"]}')
    elif cmd == 'cleanup':
        cleanup()
    elif cmd == 'env':
        # No clean-up at exit: the caller runs `harness.py cleanup`.
        state, _ = setup(owner='fixture')
        for k, v in base_env(state['display'], PREFIX64, 'win64').items():
            if k.startswith(('WINE', 'DISPLAY', 'LOCPATH', 'LANG')):
                print(f"export {k}='{v}'")
        print(f"export QZ_ROBOT='{robot_exe()}'")
    elif cmd == 'info':
        print(json.dumps(_read_state(), indent=2))
    else:
        print(__doc__)
        return 2
    return 0


if __name__ == '__main__':
    sys.exit(main())


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
