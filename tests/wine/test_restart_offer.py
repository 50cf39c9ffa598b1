"""End-to-end tests of the restart offer after the main job: the restart
dialog, put off, leaves return code 2. Here the offer comes from the
rule file's rebootFlag; "Restart Now" ends every process of the prefix
and is never pressed.

Run by hand: python3 tests/wine/test_restart_offer.py [-k pattern]
"""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from install_case import (INSTALL, MOVED_PROGRAM, NEW, OLD,  # noqa: E402
                          SHUTDOWN, UPDATE_ENDED, InstallStepsCase, names,
                          patch_details)


# The restart dialog: caption, question, "Restart Now", "Restart Later".
RESTART_EN = ('QZ', 'Updating your computer is almost complete. You must '
              'restart your computer for the changes to take effect. Do you '
              'want to restart your computer now?', 'Restart Now',
              'Restart Later')
RESTART_DE = ('QZ', 'Die Aktualisierung Ihres Computers ist fast '
              'abgeschlossen. Sie müssen den Computer neu starten, damit die '
              'Änderungen wirksam werden. Möchten Sie den Computer jetzt neu '
              'starten?', 'Jetzt neu starten', 'Später neu starten')


class RestartTests(InstallStepsCase):
    """rebootFlag 1: the restart is offered (unless silent) and, put off,
    leaves return code 2 for the caller."""

    def test_restart_put_off_leaves_return_code_2(self):
        folder, location = self.product()
        for what, press, lang, silent, dialogs in (
                ('Restart Later', 'later', None, False, [RESTART_EN]),
                ('close box', 'close', None, False, [RESTART_EN]),
                ('German system', 'later', 'de_DE.UTF-8', False, [RESTART_DE]),
                ('silent', 'none', None, True, [])):
            with self.subTest(what):
                (folder / 'QZZa.ini').write_bytes(OLD)
                d = self.patch({'QZZa.ini': NEW},
                               [patch_details('QZZa.ini', [location])],
                               reboot_flag='1', silent=silent)
                run = self.run_patch(d, press=press, lang=lang)
                self.assertEqual(run.dialogs, dialogs, run.describe())
                self.assertEqual(run.boxes, [], run.describe())
                # A restart to come: every file takes the forced form.
                self.assertEntriesInOrder(run, [
                    (INSTALL, 'SetupInstallFileEx 2: Result= 1 Filename = '
                     f'QZZa.ini, Sourcepath = {self.win_path(d)}, '
                     'Destinationpath = '
                     f'{self.win_path(folder / "QZZa.ini")}', ' Info'),
                    UPDATE_ENDED,
                    (SHUTDOWN, 'Info', 'Restart Later'),
                    ('CVRNManager', 'SystemShutdown', 'Ended')])
                self.assertEqual((folder / 'QZZa.ini').read_bytes(), NEW)
                self.assertEqual((d / 'QZVRN_Returncode.txt').read_bytes(),
                                 b'2')
                left = names(d)
                self.assertEqual(len(left), 2, left)
                self.assertEqual(left[0], 'QZVRN_Returncode.txt')
                self.assertRegex(left[1], MOVED_PROGRAM)


if __name__ == '__main__':
    unittest.main()
