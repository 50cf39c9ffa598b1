"""What every benchmark here stands on: the test prefix, its environment,
the manager's log in it, a folder of the benchmarks' own, the UI robot and
the 32-bit script host; and the options every benchmark takes."""

import argparse
import re
from pathlib import Path

import harness


def arg_parser(doc, runs):
    """A parser described by the docstring's first line, with --runs; a
    benchmark adds its own options to it before parse_args."""
    parser = argparse.ArgumentParser(description=doc.splitlines()[0])
    parser.add_argument('--runs', type=int, default=runs)
    return parser


def parse_args(parser):
    """Adds --exe and --control (last, as the help lists them), parses the
    command line and stops when either program has not been built."""
    parser.add_argument('--exe', type=Path, default=harness.BIN / harness.PRODUCT)
    parser.add_argument('--control', type=Path, default=harness.BIN / 'qzkdiag.dll')
    args = parser.parse_args()
    for p in (args.exe, args.control):
        if not p.exists():
            raise SystemExit(f'{p} is missing: build it first (make build)')
    return args


def script_text(body):
    """A rule script as the manager writes it: built-in header, line feed,
    body, footer, line feed, in 8-bit text mode."""
    source = (harness.ROOT / 'manager' / 'script_texts.h').read_text()

    def constant(name):
        m = re.search(name + r'\[\] =\s*(.*?);\s*\n', source, re.S)
        parts = re.findall(r'"((?:[^"\\]|\\.)*)"', m.group(1))
        return ''.join(parts).encode().decode('unicode_escape')
    text = (constant('kBuiltInScriptHeader') + '\n' + body +
            constant('kBuiltInScriptFooter') + '\n')
    return text.replace('\n', '\r\n').encode('latin-1')


class BenchBed:
    def __init__(self, exe, control):
        self.exe, self.control = exe, control
        state = harness.environment()
        self.prefix = harness.PREFIX64
        self.env = harness.base_env(state['display'], self.prefix, 'win64')
        info = state['prefixes'][self.prefix.name]
        self.log = harness.unix_path(info['temp'], self.prefix) / harness.LOG_NAME
        self.base = self.prefix / 'drive_c' / 'qzbench'
        self.robot = harness.robot_exe()
        wow = self.prefix / 'drive_c' / 'windows' / 'syswow64' / 'cscript.exe'
        # The 32-bit host, which the manager's system32 path reaches.
        self.host = 'C:\\windows\\{}\\cscript.exe'.format(
            'syswow64' if wow.exists() else 'system32')
        self.count = 0

    def win(self, p):
        return harness.win_path(p, self.prefix)
