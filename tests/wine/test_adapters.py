"""The Win32 adapters of the port checked against the real API under Wine,
in the 64-bit prefix (WOW64) and in the 32-bit one."""
import unittest

import harness


class AdapterTest(harness.WineTestCase):
    def check(self):
        exe = harness.TOOLS / 'qz_win32_adapter_test.exe'
        self.assertTrue(exe.exists(), f'{exe} is missing: run make build')
        product = self.win_path(harness.BIN / harness.PRODUCT)
        r = self.wine([self.win_path(exe), product], timeout=120)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)

    def test_adapters_behave_like_the_api(self):
        self.check()


class AdapterTest32(AdapterTest):
    prefix32 = True


if __name__ == '__main__':
    unittest.main()
