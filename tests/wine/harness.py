"""End-to-end test bed: runs the Windows programs under Wine and reads what a
user would see (message boxes, the restart dialog) and what they leave behind
(the log in the user's temp folder, files, registry values).

Modules (tests, demos and benchmarks import this one; it re-exports them)
  wine_env.py   the environment: paths and module constants, the state file
                and its locks, Xvfb, locales, wine_mode(), time_scale(),
                base_env(), the prefixes, setup(), cleanup(), environment(),
                win_path(), unix_path()
  wine_tools.py the test tools: TOOL_DIR, TOOL_SOURCES, TOOLS,
                PRIVATE_TOOLS, tool_exe(), robot_exe()
  wine_run.py   one run: run_quiet(cmd, env, cwd=None, timeout=60) (output
                to files, not pipes), class Run, parse_log(), log_line_bytes()
  wine_case.py  class WineTestCase, run_standalone(), config_xml(),
                rules_xml(), WEB_TOKEN, MSG3_EN

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

import json
import sys
import time

from wine_case import (MSG3_EN, WEB_TOKEN, WineTestCase, config_xml,
                       rules_xml, run_standalone)
from wine_env import (BIN, DEFAULT_LANG, DLL_OVERRIDES, LOCALE_DIR, LOCALES,
                      LOG_NAME, MODE_FILE, OUT, PREFIX32, PREFIX64,
                      PREFIX_SETTINGS, PRODUCT, ROOT, SERVER_PERSIST,
                      STATE_FILE, WINE_ROOT, _log, _read_state, base_env,
                      cleanup, ensure_boxes, ensure_locales, environment,
                      setup, time_scale, unix_path, win_path, wine_mode)
from wine_run import Run, log_line_bytes, parse_log, run_quiet
from wine_tools import (PRIVATE_TOOLS, TOOL_DIR, TOOL_SOURCES, TOOLS,
                        robot_exe, tool_exe)

__all__ = [
    'BIN', 'DEFAULT_LANG', 'DLL_OVERRIDES', 'LOCALE_DIR', 'LOCALES',
    'LOG_NAME', 'MODE_FILE', 'MSG3_EN', 'OUT', 'PREFIX32', 'PREFIX64',
    'PREFIX_SETTINGS', 'PRIVATE_TOOLS', 'PRODUCT', 'ROOT', 'SERVER_PERSIST',
    'STATE_FILE', 'TOOL_DIR', 'TOOL_SOURCES', 'TOOLS', 'WEB_TOKEN',
    'WINE_ROOT', 'Run', 'WineTestCase', 'base_env', 'cleanup', 'config_xml',
    'ensure_boxes', 'ensure_locales', 'environment', 'log_line_bytes',
    'parse_log', 'robot_exe', 'rules_xml', 'run_quiet', 'run_standalone',
    'setup', 'time_scale', 'tool_exe', 'unix_path', 'win_path', 'wine_mode',
]


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
