"""What every benchmark here stands on: the test prefix, its environment,
the manager's log in it, a folder of the benchmarks' own, the UI robot and
the 32-bit script host."""

import harness


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
