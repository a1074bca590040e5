"""Runs a command with DISPLAY naming a private X server (Xvfb, 1920x1080, no GLX), then ends
the server. Exits with the command's code, or 77 (a skipped test) when Xvfb is missing.

    python3 tests/support/with_x_server.py build/tests/platform_tests --gtest_filter='X11*'
"""

import os
import select
import shutil
import subprocess
import sys

TIMEOUT_SECONDS = 60


def main(command):
    if shutil.which("Xvfb") is None:
        print("skipped: needs Xvfb")
        return 77
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-noreset", "-extension", "GLX", "-nolisten",
         "tcp", "-screen", "0", "1920x1080x24"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    try:
        ready, _, _ = select.select([read_end], [], [], TIMEOUT_SECONDS)
        number = os.read(read_end, 64).decode().strip() if ready else ""
        if not number:
            print("Xvfb did not start")
            return 1
        env = dict(os.environ, DISPLAY=":" + number)
        env.pop("WAYLAND_DISPLAY", None)
        return subprocess.run(command, env=env).returncode
    finally:
        os.close(read_end)
        server.terminate()
        server.wait(TIMEOUT_SECONDS)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
