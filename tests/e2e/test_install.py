"""Installing Mindel: `cmake --install` of the build into a temporary DESTDIR under a prefix
with a space and non-ASCII letters, the installed program started there, the desktop entry,
icons and AppStream metadata checked with the desktop's own validators, and the Debian
package built with CPack and inspected. The build folder comes from MINDEL_BUILD_DIR."""

import os
import shutil
import struct
import subprocess
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

from desktop_entry import exec_quoted, read_entry, validate
from mindel import SOURCE_DIR, FolderWatch, Mindel

BUILD_DIR = os.environ.get("MINDEL_BUILD_DIR") or os.path.join(SOURCE_DIR, "build")
PREFIX = "/opt/My Äpps ü"
BUNDLE = "lib/mindel/Mindel.app/Contents"
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256, 512)


def run(command, **options):
    """Runs command; answers its output, failing the test with its output when it fails."""
    result = subprocess.run(command, capture_output=True, text=True, **options)
    if result.returncode != 0:
        raise AssertionError("%s failed (%d):\n%s%s" % (
            " ".join(command), result.returncode, result.stdout, result.stderr))
    return result.stdout


def png_size(path):
    with open(path, "rb") as f:
        header = f.read(24)
    assert header[:8] == b"\x89PNG\r\n\x1a\n", path + " is no PNG"
    return struct.unpack(">II", header[16:24])


class InstallTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="mindel-install-")
        cls.destdir = os.path.join(cls.folder, "stage")
        cls.root = cls.destdir + PREFIX  # where the prefix lands in the staging tree
        run(["cmake", "--install", BUILD_DIR, "--prefix", PREFIX],
            env=dict(os.environ, DESTDIR=cls.destdir))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def path(self, relative):
        return os.path.join(self.root, relative)

    def test_the_bundle_and_its_launcher_are_installed(self):
        program = self.path(BUNDLE + "/MacOS/Mindel")
        for executable in (program, self.path(BUNDLE + "/Helpers/launchctl"),
                           self.path(BUNDLE + "/Helpers/Open")):
            self.assertTrue(os.access(executable, os.X_OK), executable + " is executable")
        for name in ("Info.plist", "Resources/app_icon.png", "Resources/inv_app_icon.png",
                     "Resources/app_fancy_icon.png"):
            self.assertTrue(os.path.isfile(self.path(BUNDLE + "/" + name)), name)
        launcher = self.path("bin/mindel")
        self.assertEqual(os.readlink(launcher), "../" + BUNDLE + "/MacOS/Mindel",
                         "a relative link, right wherever the tree is moved")
        self.assertEqual(os.path.realpath(launcher), os.path.realpath(program))

    def test_the_menu_entry_icons_and_metadata_pass_the_validators(self):
        entry = self.path("share/applications/com.quorv.Mindel.desktop")
        self.assertEqual(validate(entry), "", "desktop-file-validate accepts the menu entry")
        values = read_entry(entry)
        self.assertEqual(values["Exec"], exec_quoted(PREFIX + "/bin/mindel"),
                         "the installed launcher, without the DESTDIR that only stages it")
        self.assertEqual((values["Name"], values["Icon"], values["Categories"],
                          values["StartupNotify"]),
                         ("Mindel", "com.quorv.Mindel", "Utility;", "false"))
        self.assertIn("reminder;", values["Keywords"])
        # Started and called by name on the session bus, with the two actions for launchers.
        self.assertEqual((values["DBusActivatable"], values["Actions"]),
                         ("true", "enter-task;clear-task;"))
        with open(entry, encoding="utf-8") as f:
            text = f.read()
        for action, name in (("enter-task", "Enter Task"), ("clear-task", "Clear Task")):
            self.assertIn("[Desktop Action %s]\nName=%s\nExec=gapplication action "
                          "com.quorv.Mindel %s\n" % (action, name, action), text)
        with open(self.path("share/dbus-1/services/com.quorv.Mindel.service"),
                  encoding="utf-8") as f:
            self.assertEqual(f.read().splitlines(), [
                "[D-BUS Service]", "Name=com.quorv.Mindel",
                'Exec="%s/bin/mindel"' % PREFIX],
                "the bus starts the installed launcher")
        for size in ICON_SIZES:
            icon = self.path("share/icons/hicolor/%dx%d/apps/com.quorv.Mindel.png" % (size, size))
            self.assertEqual(png_size(icon), (size, size), icon)
        glyph = ElementTree.parse(
            self.path("share/icons/hicolor/symbolic/apps/com.quorv.Mindel-symbolic.svg"))
        self.assertEqual(glyph.getroot().tag, "{http://www.w3.org/2000/svg}svg")
        run(["appstreamcli", "validate", "--no-net",
             self.path("share/metainfo/com.quorv.Mindel.metainfo.xml")])

    def test_the_installed_program_finds_its_parts_and_starts_at_login_as_bin_mindel(self):
        launcher = self.path("bin/mindel")
        mindel = Mindel(program=launcher, stand_ins=("spd-say", "espeak-ng", "Open"))
        self.addCleanup(mindel.stop)
        mindel.start()
        self.assertEqual(mindel.show().status["image"], "app_icon.png",
                         "the status icon comes from the installed bundle")
        autostart = os.path.join(mindel.home, ".config", "autostart")
        os.makedirs(autostart)
        entry = os.path.join(autostart, "com.quorv.Mindel.desktop")
        mindel.send("menu 4")
        with FolderWatch(autostart) as watch:
            mindel.send("click 1.14")  # the installed launchctl, from the bundle's helpers
            watch.wait_until(lambda: os.path.exists(entry), "the autostart entry")
        values = read_entry(entry)
        self.assertEqual(values["Exec"], exec_quoted(launcher), "started as bin/mindel")
        self.assertEqual(values["Icon"], self.path(BUNDLE + "/Resources/app_fancy_icon.png"))
        self.assertEqual(validate(entry), "")
        self.assertEqual(mindel.recorded_calls(), [])

    def test_the_debian_package(self):
        packages = os.path.join(self.folder, "packages")
        run(["cpack", "-G", "DEB", "-B", packages], cwd=BUILD_DIR)
        deb = os.path.join(packages, "mindel_1.06_amd64.deb")
        info = run(["dpkg-deb", "--info", deb])
        for line in ("Package: mindel", "Version: 1.06", "Section: utils",
                     "Recommends: speech-dispatcher | espeak-ng, xdg-utils, libglib2.0-bin",
                     "Maintainer: Quorv <hello@quorv.com>"):
            self.assertIn("\n " + line + "\n", info)
        depends = [line for line in info.splitlines() if line.startswith(" Depends: ")]
        self.assertTrue(depends and "libc6" in depends[0] and "libpng" in depends[0],
                        "dependencies come from the shared libraries: %s" % depends)
        contents = run(["dpkg-deb", "--contents", deb])
        for path in ("./usr/bin/mindel -> ../lib/mindel/Mindel.app/Contents/MacOS/Mindel",
                     "./usr/lib/mindel/Mindel.app/Contents/Helpers/launchctl",
                     "./usr/share/applications/com.quorv.Mindel.desktop",
                     "./usr/share/dbus-1/services/com.quorv.Mindel.service",
                     "./usr/share/icons/hicolor/512x512/apps/com.quorv.Mindel.png",
                     "./usr/share/metainfo/com.quorv.Mindel.metainfo.xml",
                     "./usr/share/doc/mindel/copyright", "./usr/share/man/man1/mindel.1.gz"):
            self.assertIn(path, contents)
        self.assertNotIn("/usr/local", contents)
        entry = run(["sh", "-c", 'dpkg-deb --fsys-tarfile "$1" | tar -xO '
                     "./usr/share/applications/com.quorv.Mindel.desktop", "-", deb])
        self.assertIn('\nExec="/usr/bin/mindel"\n', entry)
        if shutil.which("lintian"):
            result = subprocess.run(["lintian", deb], capture_output=True, text=True)
            errors = [line for line in result.stdout.splitlines() if line.startswith("E:")]
            self.assertEqual(errors, [], "lintian finds no errors")


if __name__ == "__main__":
    unittest.main()
