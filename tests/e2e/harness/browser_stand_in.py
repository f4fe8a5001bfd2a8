"""A stand-in for the user's default web browser that only writes down the
addresses it was asked to open."""

from pathlib import Path

from .waiting import DEFAULT_TIMEOUT, wait_for

DESKTOP_FILE = "qinvara-test-browser.desktop"


class BrowserStandIn:
    """XDG data and config folders in which a recording script handles
    x-scheme-handler/http and x-scheme-handler/https."""

    def __init__(self, root):
        root = Path(root)
        self.config_home = root / "config"
        self.data_home = root / "data"
        self.log = root / "opened-urls.txt"
        script = root / "record-url"

        applications = self.data_home / "applications"
        applications.mkdir(parents=True, exist_ok=True)
        self.config_home.mkdir(parents=True, exist_ok=True)
        self.log.touch()

        script.write_text("#!/bin/sh\n"
                          f"for url in \"$@\"; do printf '%s\\n' \"$url\" >> '{self.log}'; done\n")
        script.chmod(0o755)
        (applications / DESKTOP_FILE).write_text(
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Test browser\n"
            f'Exec="{script}" %u\n'
            "MimeType=x-scheme-handler/http;x-scheme-handler/https;\n"
            "NoDisplay=true\n")
        associations = "".join(f"x-scheme-handler/{scheme}={DESKTOP_FILE}\n"
                               for scheme in ("http", "https"))
        (self.config_home / "mimeapps.list").write_text(
            f"[Default Applications]\n{associations}\n[Added Associations]\n{associations}")

    def environment(self):
        return {"XDG_CONFIG_HOME": str(self.config_home), "XDG_DATA_HOME": str(self.data_home)}

    def opened_urls(self):
        """Every address handed to the browser so far, in order."""
        return self.log.read_text().splitlines()

    def wait_for_urls(self, count=1, timeout=DEFAULT_TIMEOUT):
        """Waits until at least `count` addresses were opened and returns them all."""
        if count < 1:
            raise ValueError("wait for at least one address")
        return wait_for(lambda: len(self.opened_urls()) >= count and self.opened_urls(), timeout,
                        f"{count} address(es) to be opened in the browser")
