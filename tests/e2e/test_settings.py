"""Settings' controls on the real Win32 backend, hosted by np_host. The rate
box, written "0" whenever it shows something else, as a sample does: the
backend keeps the box's text rather than ask for it at every sample, so text
put in from outside must still be noticed. And a check box's click, however
many controls came before it."""

import os

from wine import fields, wait_until


def test_text_put_into_the_rate_box_gives_way_to_the_next_write(desktop):
    out = os.path.join(desktop.artifacts, "settings-host.out")
    desktop.spawn(f"{desktop.bin_dir}/np_host.exe", "settings", stdout=out)
    # Typed only once the host has read its own "0" back: the backend keeps it.
    wait_until(lambda: "kept=0" in open(out).read(), 10, "the host to keep the box's text")
    assert desktop.probe("type", "Settings", "typed") == {"set": "1"}
    wait_until(lambda: desktop.probe("form", "Settings", 1000).get("text") == "0", 5, "the box written again")


def test_a_check_box_made_after_0xffff_other_controls_hears_its_own_click(desktop):
    code, out = desktop.run(f"{desktop.bin_dir}/np_host.exe", "late-click")
    report = fields(out)
    assert code == 0 and int(report["id"]) > 0xFFFF and report["clicks"] == "1", out
