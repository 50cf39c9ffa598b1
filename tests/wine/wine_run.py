"""One program run of the Wine test bed: a command with its output to
files, the robot's transcript as a Run, and the manager's log."""

import subprocess


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
