"""Takes the README's pictures of pellumin.exe under Wine: the tray menu, and
the About and Settings windows whole, with the title bar and frame Wine draws
when told to (there is no window manager under Xvfb), as 24-bit PNG files at
the size a user sees.

usage: make_screenshots.py [BIN_DIR [OUT_DIR]]   (BIN_DIR: by default the Wine suite's choice,
build/i686 wherever this machine runs 32-bit code; OUT_DIR: docs/)
"""

import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from wine import ABOUT, EXIT, HOLD_S, SETTINGS, Desktop, describe, wait_until, wine_tree  # noqa: E402


def save(desktop, box, path):
    """A crop of the screen as it is now, in 24-bit colour whatever its content."""
    left, top, width, height = box
    shot = desktop.screenshot("screen.png")
    subprocess.run(["convert", shot, "-crop", f"{width}x{height}+{left}+{top}", "+repage", f"PNG24:{path}"],
                   check=True, timeout=30)
    print("wrote", path, f"{width}x{height}")


def steady(desktop, box):
    """The rectangle once two looks a moment apart agree (an animation has ended)."""
    wait_until(lambda: desktop.pixels(*box) == desktop.pixels(*box), 90, "a still picture", interval=0.5)


def window(desktop, title):
    shown = desktop.probe("form", title, HOLD_S * 1000)
    assert shown.get("visible") == "1", shown
    return tuple(map(int, shown["window"].split(",")))


def main():
    bin_dir, why = (os.path.abspath(sys.argv[1]), "as asked") if len(sys.argv) > 1 else wine_tree()
    print(describe(bin_dir, why))
    out = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else HERE)
    with tempfile.TemporaryDirectory() as tmp:
        desktop = Desktop(bin_dir, tmp)
        try:
            desktop.reg("add", r"HKCU\Software\Wine\X11 Driver", "/v", "Decorated", "/t", "REG_SZ", "/d", "N", "/f")
            # The title bar's close box is a Marlett glyph, which Wine finds only among the prefix's fonts.
            fonts = os.path.join(desktop.env["WINEPREFIX"], "drive_c", "windows", "Fonts")
            shutil.copy("/usr/share/wine/fonts/marlett.ttf", fonts)
            proc = desktop.spawn(f"{bin_dir}/pellumin.exe")
            wait_until(lambda: desktop.watcher.state().tray > 0, 15, "the tray icon")
            x, y = desktop.tray_icon_centre()
            desktop.xdotool("mousemove", x, y, "click", 3)
            menu = desktop.open_menu()
            desktop.xdotool("mousemove", 1023, 767)  # off the menu: no row highlighted
            steady(desktop, menu)
            save(desktop, menu, os.path.join(out, "tray-menu.png"))
            desktop.probe("menu", HOLD_S * 1000, 0)
            for item, title, name in ((ABOUT, "Norvane Pellumin v1.0", "about.png"), (SETTINGS, "Settings", "settings.png")):
                desktop.pick(item)
                box = window(desktop, title)
                steady(desktop, box)
                save(desktop, box, os.path.join(out, name))
                desktop.probe("close", title, HOLD_S * 1000)
            desktop.pick(EXIT)
            proc.wait(timeout=30)
        finally:
            desktop.close()


if __name__ == "__main__":
    main()
