"""setup.sh against stand-ins for dpkg, apt-get and sudo: it installs exactly what is
missing, asks apt nothing when all is there, and fails loudly when it cannot install."""
import os
import subprocess
import tempfile
import textwrap
import unittest

SETUP = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "setup.sh")

# Every stand-in appends its command line to calls.log. dpkg-query reports a package
# installed when its name is in installed.txt, and apt-get install adds to that file
# unless the package is listed in broken.txt. An install that names a package of
# needs-pin.txt fails unless it is given a preferences file, as an install fails whose
# i386 and amd64 halves would come from different suites; pins.log keeps those files.
STUBS = {
    "dpkg-query": """
        echo "dpkg-query $*" >>"$STATE/calls.log"
        pkg=${!#}
        grep -qxF "$pkg" "$STATE/installed.txt" && printf 'ii ' && exit 0
        exit 1
    """,
    "dpkg": """
        echo "dpkg $*" >>"$STATE/calls.log"
        case $1 in
        --print-architecture) echo amd64 ;;
        --print-foreign-architectures) cat "$STATE/foreign.txt" ;;
        --add-architecture) echo "$2" >>"$STATE/foreign.txt" ;;
        esac
    """,
    "apt-get": """
        echo "apt-get $* DEBIAN_FRONTEND=$DEBIAN_FRONTEND" >>"$STATE/calls.log"
        if [[ $1 == install ]]; then
            pin= pkgs=()
            while (($#)); do
                case $1 in
                -o) [[ $2 == Dir::Etc::Preferences=* ]] && pin=${2#*=}; shift ;;
                -* | install) ;;
                *) pkgs+=("$1") ;;
                esac
                shift
            done
            [[ -n $pin ]] && cat "$pin" >>"$STATE/pins.log"
            for a in "${pkgs[@]}"; do
                [[ -z $pin ]] && grep -qxF "$a" "$STATE/needs-pin.txt" && exit 100
            done
            for a in "${pkgs[@]}"; do
                grep -qxF "$a" "$STATE/broken.txt" || echo "$a" >>"$STATE/installed.txt"
            done
        fi
    """,
    "id": """
        cat "$STATE/uid.txt"
    """,
    "sudo": """
        echo "sudo $1" >>"$STATE/calls.log"
        "$@"
    """,
}


def array(name):
    with open(SETUP) as f:
        text = f.read()
    start = text.index("\n" + name + "=(") + len(name) + 3
    return text[start:text.index(")\n", start)].split()


def package_list(runs_32bit=True):
    """What a machine needs: Wine's 32-bit half only where 32-bit programs run."""
    return array("PACKAGES") + (array("WINE32_PACKAGES") if runs_32bit else [])


class SetupScriptTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.state = self.dir.name
        self.bin = os.path.join(self.state, "bin")
        os.mkdir(self.bin)
        for name, body in STUBS.items():
            path = os.path.join(self.bin, name)
            with open(path, "w") as f:
                f.write("#!/bin/bash\n" + textwrap.dedent(body))
            os.chmod(path, 0o755)
        self.write("installed.txt", package_list())
        self.write("foreign.txt", ["i386"])
        self.write("broken.txt", [])
        self.write("needs-pin.txt", [])
        self.write("uid.txt", ["0"])
        self.write("calls.log", [])

    def tearDown(self):
        self.dir.cleanup()

    def write(self, name, lines):
        with open(os.path.join(self.state, name), "w") as f:
            f.write("".join(line + "\n" for line in lines))

    def calls(self, program):
        with open(os.path.join(self.state, "calls.log")) as f:
            return [line.split(" DEBIAN_FRONTEND")[0] for line in f.read().splitlines()
                    if line.startswith(program + " ")]

    def run_setup(self, without_sudo=False, runs_32bit=True):
        if without_sudo:
            os.remove(os.path.join(self.bin, "sudo"))
        env = dict(os.environ, STATE=self.state, PATH=self.bin + ":/usr/bin:/bin",
                   CHATHOARD_RUNS_32BIT="yes" if runs_32bit else "no")
        # A sudo elsewhere on the PATH must not be found in the no-sudo case.
        if without_sudo:
            env["PATH"] = self.bin + ":" + self.shadow_dir_without("sudo")
        return subprocess.run(["bash", SETUP], env=env, capture_output=True, text=True)

    def shadow_dir_without(self, program):
        """A folder of links to the usual tools, leaving out the given one."""
        shadow = os.path.join(self.state, "shadow")
        os.makedirs(shadow, exist_ok=True)
        for folder in ("/usr/bin", "/bin"):
            for name in os.listdir(folder):
                target = os.path.join(shadow, name)
                if name != program and not os.path.lexists(target):
                    os.symlink(os.path.join(folder, name), target)
        return shadow

    def test_everything_installed_asks_apt_nothing(self):
        result = self.run_setup()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("all packages present", result.stdout)
        self.assertEqual(self.calls("apt-get"), [])
        self.assertEqual(self.calls("sudo"), [])
        # Every package of the list was looked at.
        self.assertEqual(len(self.calls("dpkg-query")), len(package_list()))

    def test_installs_exactly_the_missing_packages_after_one_update(self):
        everything = package_list()
        self.write("installed.txt", [p for p in everything if p not in ("nsis", "wine32:i386")])
        result = self.run_setup()
        self.assertEqual(result.returncode, 0, result.stderr)
        apt = self.calls("apt-get")
        self.assertEqual(apt[0], "apt-get update -q")
        self.assertEqual(len(apt), 2)
        install = apt[1].split()
        self.assertIn("-y", install)
        self.assertEqual([a for a in install[2:] if not a.startswith("-")],
                         ["nsis", "wine32:i386"])
        with open(os.path.join(self.state, "calls.log")) as f:
            self.assertIn("DEBIAN_FRONTEND=noninteractive", f.read())

    def test_enables_i386_before_installing_wine32(self):
        self.write("foreign.txt", [])
        self.write("installed.txt", [p for p in package_list() if p != "wine32:i386"])
        result = self.run_setup()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("dpkg --add-architecture i386", self.calls("dpkg"))
        self.assertEqual(self.calls("apt-get")[0], "apt-get update -q")

    def test_a_kernel_without_32_bit_programs_gets_no_i386_packages(self):
        self.write("foreign.txt", [])
        self.write("installed.txt", package_list(runs_32bit=False))
        result = self.run_setup(runs_32bit=False)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("all packages present", result.stdout)
        self.assertEqual(self.calls("dpkg"), [c for c in self.calls("dpkg") if "--add" not in c])

    def test_a_failed_install_is_tried_again_with_the_release_before_the_security_suite(self):
        self.write("installed.txt", [p for p in package_list() if p != "wine32:i386"])
        self.write("needs-pin.txt", ["wine32:i386"])
        result = self.run_setup()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(len([c for c in self.calls("apt-get") if " install " in c]), 2)
        with open(os.path.join(self.state, "pins.log")) as f:
            self.assertEqual(f.read().split("\n")[1:3],
                             ["Pin: release l=Debian-Security", "Pin-Priority: 50"])
        self.assertIn("trying again", result.stderr)

    def test_package_still_missing_after_install_fails(self):
        self.write("installed.txt", [p for p in package_list() if p != "nsis"])
        self.write("broken.txt", ["nsis"])
        result = self.run_setup()
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("nsis", result.stderr)

    def test_user_installs_through_sudo(self):
        self.write("uid.txt", ["1000"])
        self.write("installed.txt", [p for p in package_list() if p != "zip"])
        result = self.run_setup()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.calls("sudo"), ["sudo env", "sudo env"])
        self.assertEqual(self.calls("apt-get")[0], "apt-get update -q")

    def test_user_without_sudo_is_told_to_run_as_root(self):
        self.write("uid.txt", ["1000"])
        self.write("installed.txt", [p for p in package_list() if p != "zip"])
        result = self.run_setup(without_sudo=True)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("root", result.stderr)
        self.assertEqual(self.calls("apt-get"), [])


if __name__ == "__main__":
    unittest.main()
