"""The test tools the environment runs (qzrobot.exe, qzprobe.exe): the
cross build's copy, or a private build when that is missing or stale.
Imports nothing of wine_env, which needs robot_exe() for its prefixes."""

import subprocess
from pathlib import Path

TOOL_DIR = Path(__file__).resolve().parent / 'tools'
# The same out/ as wine_env.OUT, found from here to keep the imports one-way.
TOOLS = TOOL_DIR.parents[2] / 'out' / 'test-bin'
PRIVATE_TOOLS = TOOL_DIR.parents[2] / 'out' / 'h2-robot'
# name -> (sources, libraries, GUI program); headers only count for staleness
TOOL_SOURCES = {
    'qzrobot': (('qzrobot.cpp', 'qzrobot_transcript.cpp', 'qzrobot_windows.cpp',
                 'qzrobot.h'), ('-luser32', '-lshell32'), False),
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
        if s.endswith('.h'):
            continue
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
