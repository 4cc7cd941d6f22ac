"""lib.sh's choice of Windows build: the i386 probe is a well-formed program that exits with
42 (run where something can run it), and the x86-64 path is taken when asked for."""
import os
import shutil
import struct
import subprocess
import tempfile
import unittest

LIB = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "lib.sh")


def bash(script, env=None):
    return subprocess.run(["bash", "-c", f'source "{LIB}"; {script}'], capture_output=True,
                          text=True, env=dict(os.environ, **(env or {})))


class WindowsBuildTest(unittest.TestCase):
    def test_probe_is_one_loadable_i386_segment_covering_the_file(self):
        with tempfile.TemporaryDirectory() as d:
            probe = os.path.join(d, "probe")
            self.assertEqual(bash(f'write_i386_probe "{probe}"').returncode, 0)
            data = open(probe, "rb").read()
            self.assertEqual(data[:7], b"\x7fELF\x01\x01\x01")
            e_type, machine, _, entry, phoff, _, _, ehsize, phentsize, phnum = struct.unpack_from(
                "<HHIIIIIHHH", data, 16)
            self.assertEqual((e_type, machine, ehsize, phentsize, phnum), (2, 3, 52, 32, 1))
            p_type, offset, vaddr, _, filesz, memsz, flags, _ = struct.unpack_from(
                "<8I", data, phoff)
            self.assertEqual((p_type, offset, flags), (1, 0, 5))
            self.assertEqual(filesz, len(data))
            self.assertEqual(memsz, len(data))
            self.assertEqual(entry - vaddr, phoff + 32, "the code follows the program header")
            runner = shutil.which("qemu-i386-static") or shutil.which("qemu-i386")
            if runner:
                self.assertEqual(subprocess.run([runner, probe]).returncode, 42)

    def test_x64_keeps_debians_wine_where_32_bit_runs_and_puts_wine64_first_elsewhere(self):
        # Where 32-bit programs run, the 64-bit loader must not stand in for the 32-bit one:
        # a 64-bit prefix made that way has no working 32-bit half.
        for runs_32bit, wrapper_first in (("yes", False), ("no", True)):
            with self.subTest(runs_32bit=runs_32bit):
                # The test run itself may already have the wrapper first in its PATH.
                path = os.pathsep.join(p for p in os.environ["PATH"].split(os.pathsep)
                                       if not p.endswith("wine64-path"))
                result = bash('choose_windows_build; echo "$WIN_PRESET $WINEARCH"; command -v wine',
                              env={"CHATHOARD_ARCH": "x64", "CHATHOARD_WINDOWS_BUILD": "",
                                   "CHATHOARD_RUNS_32BIT": runs_32bit, "PATH": path})
                self.assertEqual(result.returncode, 0, result.stderr)
                preset, wine = result.stdout.split("\n")[-3:-1]
                self.assertEqual(preset, "win64 win64")
                self.assertEqual(wine.endswith("scripts/wine64-path/wine"), wrapper_first, wine)
                self.assertIn("CHATHOARD_ARCH=x64", result.stdout)

    def test_unknown_arch_is_refused(self):
        result = bash("choose_windows_build",
                      env={"CHATHOARD_ARCH": "arm", "CHATHOARD_WINDOWS_BUILD": ""})
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("CHATHOARD_ARCH", result.stderr)


if __name__ == "__main__":
    unittest.main()
