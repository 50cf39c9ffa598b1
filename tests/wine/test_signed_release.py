"""The signed manager still runs: QZVRN.exe signed as a release is signed
(SHA-1 with a nested SHA-256, by cmake/sign-release.sh with a throwaway
authority) installs a patch file under Wine as the unsigned one does.

Run by hand: python3 tests/wine/test_signed_release.py
"""

import shutil
import subprocess
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from install_case import NEW, OLD, UPDATE_ENDED, InstallStepsCase, patch_details  # noqa: E402

ROOT = Path(__file__).resolve().parents[2]


class SignedReleaseTests(InstallStepsCase):

    def test_signed_manager_installs_a_patch(self):
        keys = self.patch_dir()
        subprocess.run(['bash', str(ROOT / 'tests/release/throwaway_signer.sh'), str(keys)],
                       check=True)
        signed = self.patch_dir()
        shutil.copy(harness.BIN / harness.PRODUCT, signed / harness.PRODUCT)
        env = {'SIGN_CERT': str(keys / 'signer.pem'), 'SIGN_KEY': str(keys / 'signer.key'),
               'PATH': '/usr/bin:/bin'}
        subprocess.run(['bash', str(ROOT / 'cmake/sign-release.sh'), str(signed),
                        harness.PRODUCT], check=True, env=env, capture_output=True)
        subprocess.run(['osslsigncode', 'verify', '-CAfile', str(keys / 'ca.pem'),
                        '-in', str(signed / harness.PRODUCT)], check=True,
                       capture_output=True)

        folder, location = self.product({'QZZa.ini': OLD})
        d = self.patch({'QZZa.ini': NEW}, [patch_details('QZZa.ini', [location])])
        run = self.run_patch(d, exe=signed / harness.PRODUCT)
        self.assertEntry(run, *self.installed(d, 'QZZa.ini', folder))
        self.assertLogHas(run, UPDATE_ENDED)
        self.assertEqual((folder / 'QZZa.ini').read_bytes(), NEW)


if __name__ == '__main__':
    unittest.main()
