"""The Wine test bed's environment: paths, the state file and its locks,
the Xvfb display, locales, how Wine is started here and the prefixes (the
test tools are wine_tools.py's). harness.py is the front that tests import;
its docstring is the API."""

import atexit
import contextlib
import fcntl
import functools
import json
import os
import select
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

from wine_run import run_quiet
from wine_tools import robot_exe

ROOT = Path(__file__).resolve().parents[2]
OUT = ROOT / 'out'
BIN = OUT / 'bin'
WINE_ROOT = OUT / 'wine'
PREFIX64 = WINE_ROOT / 'prefix'
PREFIX32 = WINE_ROOT / 'prefix32'
LOCALE_DIR = WINE_ROOT / 'locales'
STATE_FILE = WINE_ROOT / 'state.json'

PRODUCT = 'QZVRN.exe'
LOG_NAME = 'QZZqzvrn.log'
DEFAULT_LANG = 'en_US.UTF-8'
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

