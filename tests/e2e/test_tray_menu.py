"""The journeys a user makes through the tray menu of pellumin.exe, driven with
xdotool on Wine's tray icon and keys in the menu, watched from outside."""

from collections import Counter

from wine import ABOUT, EXIT, HOLD_S, PROBE, RUN_KEY, SETTINGS, centred, locks_agree, wait_until, win_path

ROW_Y = {"About": 11, "Settings": 27}  # below the menu's top: a 3 px border, rows 16 px high


def reference_menu(desktop, default):
    """The pixels of the probe's menu of pellumin's items, with "About" as default item or none."""
    desktop.xdotool("mousemove", 1023, 767)
    proc = desktop.spawn(PROBE, "popup", "300", "300", str(default))
    try:
        box = desktop.open_menu()
        return wait_until(lambda: (a := desktop.pixels(*box)) == desktop.pixels(*box) and a, 5, "the menu drawn")
    finally:
        desktop.probe("menu", HOLD_S * 1000, 0)
        desktop.end(proc)


def toggles(keys, vk):
    return len([k for k in keys if k.vk == vk and not k.up])


def test_about_is_the_default_item_chosen_by_the_left_button_and_stays_one_window(pellumin, desktop):
    bold, plain = (reference_menu(desktop, default) for default in (1, 0))
    assert bold != plain, "Wine draws a default item as any other"
    x, y = desktop.tray_icon_centre()
    desktop.xdotool("mousemove", x, y, "click", 3)
    menu = desktop.open_menu()
    desktop.xdotool("mousemove", 1023, 767)  # off the menu: no row highlighted
    wait_until(lambda: desktop.pixels(*menu) == bold, 5, "About drawn as the default item")
    # A right click on Settings chooses nothing; the left one on About does.
    desktop.xdotool("mousemove", menu[0] + 35, menu[1] + ROW_Y["Settings"], "click", 3)
    desktop.xdotool("mousemove", menu[0] + 35, menu[1] + ROW_Y["About"], "click", 1)
    shown = desktop.probe("form", "Norvane Pellumin v1.0", HOLD_S * 1000)
    assert (shown.get("visible"), shown.get("client")) == ("1", "498,296"), "no About after both clicks"
    assert desktop.probe("form", "Settings", HOLD_S * 1000)["visible"] == "0", "Settings shown by the right button"
    desktop.pick(ABOUT)
    assert desktop.probe("form", "Norvane Pellumin v1.0", HOLD_S * 1000)["hwnd"] == shown["hwnd"], "one About window"


def test_settings_shows_the_rate_and_the_box_tells_the_truth(pellumin, desktop):
    desktop.pick(SETTINGS)
    shown = desktop.probe("form", "Settings", HOLD_S * 1000)
    assert shown["visible"] == "1" and float(shown["text"]) >= 0 and centred(shown), shown
    # At 96 dpi, 15 twips a pixel; a fixed border: no sizing, no min/max box.
    layout = {"client": "154,90", "check": "16,16,129,25", "edit": "8,56,137,19", "first_tab": "check",
              "frame": "close", "tip": "Current Harddisc Activities Rate"}
    assert {k: shown.get(k) for k in layout} == layout
    left, top, width, height = map(int, shown["window"].split(","))
    wait_until(lambda: Counter(p for row in desktop.pixels(left, top + height // 2, width, height // 2) for p in row)
               .most_common(1)[0][0] == tuple(bytes.fromhex(shown["face"])), 5, "the face in the button face colour")
    # What a user sees: the pointer resting on the box shows that tip.
    left, top, width, height = map(int, shown["edit_on_screen"].split(","))
    desktop.xdotool("mousemove", left + width // 2, top + height // 2)
    wait_until(lambda: desktop.probe("form", "Settings", 0).get("tip_shown") == layout["tip"], 5, "the tip shown")
    assert desktop.probe("click", "Settings")["checked"] == "1"
    assert desktop.reg_value(RUN_KEY, "pellumin") == ("REG_SZ", win_path(desktop.bin_dir) + "\\pellumin.exe")
    assert desktop.probe("click", "Settings")["checked"] == "0"
    assert desktop.reg_value(RUN_KEY, "pellumin") is None
    assert desktop.probe("click", "Settings")["checked"] == "1"
    desktop.pick(SETTINGS)
    assert desktop.probe("form", "Settings", HOLD_S * 1000)["hwnd"] == shown["hwnd"], "one Settings window"
    assert desktop.probe("close", "Settings", 5000) == {"gone": "1"}
    # The next sample makes it again, hidden; the menu shows it, still ticked.
    desktop.probe("form", "Settings", HOLD_S * 1000, shown["hwnd"])
    desktop.pick(SETTINGS)
    again = desktop.probe("form", "Settings", HOLD_S * 1000)
    assert (again["visible"], again["checked"]) == ("1", "1")


def test_exit_removes_the_icon_then_sweeps_back_and_ends(pellumin, desktop):
    w = desktop.watcher
    locks = wait_until(lambda: toggles(w.keys()[pellumin.before:], 145) % 2 == 0 and w.state().locks, HOLD_S,
                       "no flash in progress")
    before = len(w.keys())
    desktop.pick(EXIT)
    pellumin.proc.wait(timeout=10)
    gone = next(s for s in w.entries() if s.kind == "state" and s.tray == 0 and s.line > w.keys()[before - 1].line)
    sweep = [k for k in w.keys()[before:] if k.vk in (144, 20)]
    assert sweep and gone.line < sweep[0].line, "the icon goes before the sweep"
    order = [k.vk for k in w.keys()[before:] if not k.up and k.line > gone.line]
    assert order[-12:] == [20] * 6 + [144] * 6 and 145 in order[:-12], "Scroll, Caps, Num"
    wait_until(lambda: locks_agree(w, w.keys()[before:], locks), HOLD_S, f"the locks as before ({locks})")
    assert desktop.probe("form", "Settings", 0) == {}
