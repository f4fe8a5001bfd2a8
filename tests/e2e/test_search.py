"""Searching, as a person does it: what is typed or pasted into the search
field, the address the result view is sent to and what reaches the mirror, the
view over the page, the home-page watch, back and forward, pages that open
windows or dialogs, the 32-byte limit of the field, and keys in the page."""

import time
from urllib.parse import quote

import pytest

from conftest import MAIN_WINDOW_NAME, MIRROR_HOST, SITE_HOST
from harness.clipboard import ClipboardOffer, wait_for_clipboard
from harness.fake_mirror import OTHER_COLOUR, RESULTS_COLOUR, FakeMirror
from harness.unicode_keys import add_unicode_keys
from harness.waiting import wait_for

# MainWindow's controls, in its client pixels.
SEARCH_BOX = (366, 260, 288, 30)
SEARCH_BOX_POINT = (SEARCH_BOX[0] + SEARCH_BOX[2] // 2, SEARCH_BOX[1] + SEARCH_BOX[3] // 2)
SEARCH_BUTTON_POINT = (705, 274)
HOME_BUTTON_POINT = (728, 15)
BACK_BUTTON_POINT = (771, 15)
FORWARD_BUTTON_POINT = (810, 15)
RESULT_PLACE = (1, 29, 998, 570)
WHITE = (255, 255, 255)

# The corners of the result place, and points inside it that neither
# MainWindow's artwork nor the mirror's rows and fields cover: white while the
# view is hidden, the page's colour while it is shown.
RESULT_CORNERS = [(1, 29), (998, 29), (1, 598), (998, 598)]
INNER_POINTS = [(900, 500), (100, 560), (540, 100), (500, 560)]

EMPTY_QUERY_CAPTION = "输入错误"
SEARCH_PAGE = "/webhp?hl=zh-CN"

CHINESE_17 = "中文一二三四五六七八九十百千万亿兆"
# Every character beyond ASCII that a test types gets a key before the start.
TYPED_CHARACTERS = CHINESE_17 + "\u3000世界"


def search_address(query_in_address):
    """The search address as the engine reports it, for the query's part of it."""
    return f"https://{MIRROR_HOST}/webhp?hl=zh-CN#hl=zh-CN&q={query_in_address}=?{SITE_HOST}"


def in_view(x, y):
    """MainWindow's client point of page point x, y of the shown result view."""
    return RESULT_PLACE[0] + x, RESULT_PLACE[1] + y


class SearchSession:
    """The program on its screen with the fake mirror behind it."""

    def __init__(self, program, mirror):
        self.program = program
        self.mirror = mirror
        self.display = program.display

    # Doing.

    def type_query(self, text, then=("Return",)):
        """Types `text` (into the focused field), then presses the keys `then`."""
        if text:
            self.program.type(text)
        if then:
            self.program.key(*then)

    def enter(self, steps):
        """Types or pastes each text of `steps`, a list of ("type" | "paste", text)."""
        for how, text in steps:
            if how == "paste":
                self.paste(text)
            else:
                self.type_query(text, then=())

    def paste(self, text):
        """Pastes `text` with Ctrl+V, from another program's clipboard."""
        with ClipboardOffer(self.display, text) as offer:
            self.program.key("ctrl+v")
            offer.wait_handed_over()

    def click_row(self, href):
        self.program.click(*in_view(*self.mirror.rows[href].centre))

    def click(self, point):
        self.program.click(*point)

    # Looking.

    def page_area(self, shot=None):
        """"results", "other" (a mirror page without a query), "main" (the
        window's own white page) or "mixed", by the colours of INNER_POINTS."""
        shot = shot or self.program.screenshot()
        colours = {shot.pixel(*point) for point in INNER_POINTS}
        names = {RESULTS_COLOUR: "results", OTHER_COLOUR: "other", WHITE: "main"}
        return names.get(colours.pop(), "mixed") if len(colours) == 1 else "mixed"

    def stays(self, expected_areas, seconds=1.0):
        """Asserts that the page area shows one of `expected_areas` in every
        screenshot over `seconds`: long after a tick (one every 10 ms) had its chance."""
        deadline = time.monotonic() + seconds
        while True:
            area = self.page_area()
            assert area in expected_areas
            if time.monotonic() >= deadline:
                return
            time.sleep(0.1)

    def wait_page_area(self, expected, what=None):
        def shown():
            shot = self.program.screenshot()
            return self.page_area(shot) == expected and shot

        return wait_for(shown, 30, what or f"the page area to show {expected}")

    def search_box_text(self, click_first=True):
        """What the search field holds, copied with Ctrl+A, Ctrl+C as a person
        would. The field must not be empty: copying nothing copies nothing."""
        if click_first:
            self.program.click(*SEARCH_BOX_POINT)
        sentinel = "(nothing copied yet)"
        with ClipboardOffer(self.display, sentinel):
            self.program.key("ctrl+a", "ctrl+c")
            return wait_for_clipboard(self.display, sentinel)

    def windows(self):
        return self.program.top_level_windows()

    def message_box(self):
        return next((w for w in self.windows()
                     if w.name == EMPTY_QUERY_CAPTION and w.viewable), None)


@pytest.fixture
def mirror(servers):
    return FakeMirror(servers, MIRROR_HOST)


@pytest.fixture
def session(app, mirror):
    add_unicode_keys(app.default_display(), TYPED_CHARACTERS)
    program = app()
    wait_for(program.is_active, 30, "MainWindow to take the keyboard focus")
    session = SearchSession(program, mirror)
    session.wait_page_area("main", "MainWindow to paint its page")
    return session


# What is typed, what the field shows, where the view goes, what reaches the mirror.

QUERY_CASES = [
    pytest.param([("type", "Qin va ra")], "Qinvara", "Qinvara", id="latin-words-glued"),
    pytest.param([("type", "  lead trail  ")], "leadtrail", "leadtrail", id="outer-spaces"),
    pytest.param([("type", "中 文")], "中文", "%E4%B8%AD%E6%96%87", id="chinese-ascii-space"),
    pytest.param([("type", "中\u3000文")], "中文", "%E4%B8%AD%E6%96%87",
                 id="chinese-ideographic-space"),
    pytest.param([("type", "\u3000世 界\u3000")], "世界", "%E4%B8%96%E7%95%8C",
                 id="chinese-mixed-spaces"),
    # A tab cannot be typed (Tab moves the focus) but can be pasted. It stays in
    # the field and in the address handed over; the engine's URL parser then
    # drops it, as it drops every tab of an address.
    pytest.param([("type", "tab"), ("paste", "\t"), ("type", "bed")], "tab\tbed", "tabbed",
                 id="pasted-tab"),
    pytest.param([("type", "a & b")], "a&b", "a&b", id="ampersand"),
    pytest.param([("type", "a # b")], "a#b", "a#b", id="hash"),
    # "%41" would read "%2541" had anything escaped the "%".
    pytest.param([("type", "100 %41 %")], "100%41%", "100%41%", id="percent"),
    pytest.param([("type", "c + +")], "c++", "c++", id="plus"),
    pytest.param([("type", "why ?")], "why?", "why?", id="question-mark"),
]


@pytest.mark.parametrize("steps, shown, query_in_address", QUERY_CASES)
def test_a_query_is_cleaned_written_back_and_sent_in_the_fragment(session, steps, shown,
                                                                   query_in_address):
    session.enter(steps)
    session.program.key("Return")

    assert session.mirror.wait_for_report("href") == search_address(query_in_address)
    # Path and query only: the query itself travels in the fragment, never sent.
    assert session.mirror.page_requests() == [SEARCH_PAGE]
    # The keyboard focus stays in the field under the view.
    assert session.search_box_text(click_first=False) == shown


# Empty queries: the message, and nothing else.

@pytest.mark.parametrize("typed", [
    pytest.param("", id="nothing"),
    pytest.param("   ", id="ascii-spaces"),
    pytest.param("\u3000\u3000", id="ideographic-spaces"),
    pytest.param(" \u3000 \u3000", id="mixed-spaces"),
])
def test_an_empty_query_shows_the_message_and_changes_nothing_else(session, typed):
    session.type_query(typed)
    box = wait_for(session.message_box, 30, f'the "{EMPTY_QUERY_CAPTION}" message box')
    wait_for(lambda: session.program.windows.active_id() == box.id, 30,
             "the message box to take the focus")
    session.program.key("Return")  # its OK button has the focus
    wait_for(lambda: session.message_box() is None, 30, "the message box to close")

    assert [w.name for w in session.windows()] == [MAIN_WINDOW_NAME]
    assert session.page_area() == "main"
    assert session.mirror.requests() == []
    # The field was emptied: what is typed now is all that it holds.
    session.program.click(*SEARCH_BOX_POINT)
    session.type_query("q", then=())
    assert session.search_box_text(click_first=False) == "q"


def test_an_empty_query_over_results_leaves_the_view_and_the_running_watch(session):
    session.type_query("hold")
    session.mirror.wait_for_report("href", search_address("hold"))
    session.wait_page_area("results")

    # The view covers the field, but the keyboard focus is still in it.
    session.program.key("ctrl+a", "BackSpace", "Return")
    wait_for(session.message_box, 30, f'the "{EMPTY_QUERY_CAPTION}" message box')
    assert session.page_area() == "results"

    # The watch goes on while the box is open: the page leaves for a home page
    # and the view goes away behind the box.
    session.mirror.release_hold()
    session.mirror.wait_for_report("href", f"https://{MIRROR_HOST}/webhp?hl=en")
    session.wait_page_area("main", "the watch to hide the view while the message box is open")
    assert session.message_box() is not None

    session.program.key("Return")
    wait_for(lambda: session.message_box() is None, 30, "the message box to close")
    assert session.page_area() == "main"
    assert session.mirror.page_requests() == [SEARCH_PAGE, "/webhp?hl=en"]


# The keys and the button that search.

@pytest.mark.parametrize("how", [
    ["Return"], ["KP_Enter"], ["ctrl+Return"], ["shift+Return"], ["alt+Return"],
    ["ctrl+shift+alt+KP_Enter"], "click",
], ids=lambda how: how if isinstance(how, str) else how[0])
def test_every_enter_and_the_search_button_search(session, how):
    session.type_query("go", then=() if how == "click" else how)
    if how == "click":
        session.click(SEARCH_BUTTON_POINT)
    assert session.mirror.wait_for_report("href") == search_address("go")
    session.wait_page_area("results")
    assert session.mirror.page_requests() == [SEARCH_PAGE]


# The view over the page, HomeButton, and the title buttons with nothing to do.

def outside_result_place(shot):
    """The title strip and the frame lines left, right and below the result place."""
    window = shot.window
    regions = [(0, 0, 1000, 29), (0, 29, 1, 600), (999, 29, 1000, 600), (0, 599, 1000, 600)]
    return [shot.image.crop((window.x + left, window.y + top, window.x + right,
                             window.y + bottom)).tobytes()
            for left, top, right, bottom in regions]


def test_the_view_covers_the_page_area_home_hides_it_and_a_search_brings_it_back(session):
    before = session.program.screenshot()
    session.type_query("place")
    session.mirror.wait_for_report("href", search_address("place"))
    shot = session.wait_page_area("results")
    assert {shot.pixel(*point) for point in RESULT_CORNERS} == {RESULTS_COLOUR}
    assert outside_result_place(shot) == outside_result_place(before)

    session.click(HOME_BUTTON_POINT)
    session.wait_page_area("main", "HomeButton to hide the view")
    session.stays({"main"})

    session.click(SEARCH_BUTTON_POINT)
    shot = session.wait_page_area("results", "the next search to show the view")
    assert {shot.pixel(*point) for point in RESULT_CORNERS} == {RESULTS_COLOUR}
    session.mirror.wait_for_report("href", search_address("place"), after=1)
    assert session.mirror.page_requests() == [SEARCH_PAGE, SEARCH_PAGE]


@pytest.mark.parametrize("button", [BACK_BUTTON_POINT, FORWARD_BUTTON_POINT, HOME_BUTTON_POINT],
                         ids=["back", "forward", "home"])
def test_a_title_button_before_any_search_changes_nothing(session, button):
    session.click(button)
    session.stays({"main"})
    assert session.mirror.requests() == []
    # The field still has the focus and searches as at the start.
    session.type_query("after")
    assert session.mirror.wait_for_report("href") == search_address("after")
    session.wait_page_area("results")
    assert session.mirror.page_requests() == [SEARCH_PAGE]


def test_back_and_forward_with_nothing_to_go_to_do_nothing(session):
    session.type_query("only")
    session.mirror.wait_for_report("href", search_address("only"))
    session.wait_page_area("results")

    session.click(BACK_BUTTON_POINT)
    session.click(FORWARD_BUTTON_POINT)
    session.stays({"results"})
    assert session.mirror.reports("href") == [search_address("only")]
    assert session.mirror.page_requests() == [SEARCH_PAGE]


# The home-page watch.

WATCH_CASES = [
    # (link followed in the view, the address it ends at, whether the view goes away)
    ("/webhp?hl=en", f"https://{MIRROR_HOST}/webhp?hl=en", True),
    ("/webhp?hl=zh-CN", f"https://{MIRROR_HOST}/webhp?hl=zh-CN", True),
    ("/", f"https://{MIRROR_HOST}/", True),
    (f"http://{MIRROR_HOST}/", f"http://{MIRROR_HOST}/", True),
    ("/redirect?to=en", f"https://{MIRROR_HOST}/webhp?hl=en", True),
    ("/webhp?hl=zh-CN&start=10", f"https://{MIRROR_HOST}/webhp?hl=zh-CN&start=10", False),
    ("/webhp?hl=zh-CN#more", f"https://{MIRROR_HOST}/webhp?hl=zh-CN#more", False),
    ("/webhp?hl=EN", f"https://{MIRROR_HOST}/webhp?hl=EN", False),
    ("/redirect?to=start", f"https://{MIRROR_HOST}/webhp?hl=zh-CN&start=10", False),
]


@pytest.mark.parametrize("link, address, hides", WATCH_CASES, ids=[c[0] for c in WATCH_CASES])
def test_the_watch_hides_the_view_exactly_at_a_home_page(session, link, address, hides):
    session.type_query("wa tch")
    session.mirror.wait_for_report("href", search_address("watch"))
    session.wait_page_area("results")

    session.click_row(link)
    session.mirror.wait_for_report("href", address)
    if not hides:
        session.stays({"results", "other"})
        return
    shot = session.wait_page_area("main", "the watch to hide the view")
    # MainWindow's own page is back, with the cleaned query in the field.
    box = shot.image.crop((shot.window.x + SEARCH_BOX[0], shot.window.y + SEARCH_BOX[1],
                           shot.window.x + SEARCH_BOX[0] + SEARCH_BOX[2],
                           shot.window.y + SEARCH_BOX[1] + SEARCH_BOX[3]))
    assert min(sum(pixel) for pixel in box.getdata()) < 200  # the query's dark letters
    assert session.search_box_text() == "watch"


@pytest.mark.parametrize("after_a_home_page", [False, True], ids=["first-search", "from-home-page"])
def test_a_slow_results_page_is_not_hidden_on_the_strength_of_the_previous_address(
        servers, session, after_a_home_page):
    # Before the first search the view has no address, which is a home page;
    # after the watch has hidden it, it is at one.
    if after_a_home_page:
        session.type_query("slow")
        session.mirror.wait_for_report("href", search_address("slow"))
        session.wait_page_area("results")
        session.click_row("/webhp?hl=en")
        session.wait_page_area("main", "the watch to hide the view")
    else:
        session.type_query("slow", then=())
    searches = len(session.mirror.reports("href"))
    # Many ticks pass while the results page is on its way.
    servers.route(SEARCH_PAGE, session.mirror.page_response(delay=2.0), host=MIRROR_HOST)

    session.click(SEARCH_BUTTON_POINT)
    session.mirror.wait_for_report("href", search_address("slow"), after=searches)
    session.stays({"results"})


def test_back_after_the_watch_hid_the_view_goes_back_behind_the_page(session):
    session.type_query("back")
    results = search_address("back")
    english = f"https://{MIRROR_HOST}/webhp?hl=en"
    session.mirror.wait_for_report("href", results)
    session.wait_page_area("results")
    session.click_row("/webhp?hl=en")
    session.mirror.wait_for_report("href", english)
    session.wait_page_area("main")

    session.click(BACK_BUTTON_POINT)
    session.mirror.wait_for_report("href", results, after=2)
    session.stays({"main"})
    session.click(FORWARD_BUTTON_POINT)
    session.mirror.wait_for_report("href", english, after=3)
    session.stays({"main"})
    assert session.mirror.reports("href") == [results, english, results, english]


# Pages that open windows or dialogs.

def test_a_link_to_a_new_window_opens_a_window_of_its_own(session):
    session.type_query("popup")
    session.mirror.wait_for_report("href", search_address("popup"))
    session.wait_page_area("results")
    main = session.program.window_id
    place = session.program.geometry()

    session.click_row("/popup")
    session.mirror.wait_for_report("href", f"https://{MIRROR_HOST}/popup")
    popup = wait_for(lambda: next((w for w in session.windows() if w.id != main and w.viewable),
                                  None), 30, "a window of its own for the new page")
    assert popup.pid == session.program.pid
    assert session.program.windows.geometry(popup.id) != place

    # Out of the way, it leaves MainWindow and its view as they were, the watch running.
    session.program.windows.request_close(popup.id)
    wait_for(lambda: [w.id for w in session.windows()] == [main], 30, "the new window to close")
    assert session.program.geometry() == place
    session.wait_page_area("results")
    session.click_row("/webhp?hl=en")
    session.wait_page_area("main", "the watch to hide the view")


def test_a_page_s_alert_confirm_and_prompt_show_nothing(session):
    session.type_query("dialogs")
    session.mirror.wait_for_report("href", search_address("dialogs"))
    session.wait_page_area("results")

    session.click_row("/alert")
    # Each dialog is answered at once, as if cancelled, and the script goes on.
    assert session.mirror.wait_for_report("dialogs-done") == "[false,null]"
    assert [w.name for w in session.windows()] == [MAIN_WINDOW_NAME]
    session.stays({"other"})


# The 32-byte limit of the field.

LATIN_33 = "abcdefghijklmnopqrstuvwxyzABCDEFG"
FOUR_BYTES = "\U00020000"  # four bytes in the program's code page

LIMIT_CASES = [
    pytest.param([("type", CHINESE_17)], CHINESE_17[:16], id="17th-chinese-typed"),
    pytest.param([("paste", CHINESE_17)], CHINESE_17[:16], id="17th-chinese-pasted"),
    pytest.param([("type", LATIN_33)], LATIN_33[:32], id="33rd-latin-typed"),
    pytest.param([("paste", LATIN_33)], LATIN_33[:32], id="33rd-latin-pasted"),
    pytest.param([("type", "x" * 30 + "中")], "x" * 30 + "中", id="chinese-fits-at-the-end"),
    pytest.param([("type", "x" * 31 + "中")], "x" * 31, id="chinese-one-byte-short"),
    # Each key is an insertion of its own: a later one that fits is taken.
    pytest.param([("type", "x" * 31 + "中y")], "x" * 31 + "y",
                 id="typing-goes-on-after-a-refusal"),
    pytest.param([("type", "x" * 31), ("paste", "中文")], "x" * 31, id="paste-nothing-fits"),
    pytest.param([("type", "x" * 28), ("paste", FOUR_BYTES)], "x" * 28 + FOUR_BYTES,
                 id="four-byte-fits"),
    # A paste is cut at the first character that does not fit.
    pytest.param([("type", "x" * 29), ("paste", FOUR_BYTES + "y")], "x" * 29,
                 id="four-byte-refused"),
]


@pytest.mark.parametrize("steps, kept", LIMIT_CASES)
def test_the_field_takes_at_most_32_bytes_typed_or_pasted(session, steps, kept):
    session.enter(steps)
    session.program.key("Return")
    assert session.mirror.wait_for_report("href") == search_address(quote(kept, safe=""))
    assert session.search_box_text(click_first=False) == kept


# Keys while the page has the focus go to the page first.

def test_typing_into_a_field_of_the_page_goes_to_the_page(session):
    session.type_query("keys")
    session.mirror.wait_for_report("href", search_address("keys"))
    session.wait_page_area("results")

    session.click(in_view(*session.mirror.fields["keeps-esc"].centre))
    session.type_query("page 世界", then=("Return",))
    assert session.mirror.wait_for_report("field-keeps-esc", "page 世界") == "page 世界"
    # Nothing of it reached the search field, and Enter there did not search.
    assert session.mirror.reports("href") == [search_address("keys")]
    session.click(HOME_BUTTON_POINT)
    session.wait_page_area("main")
    assert session.search_box_text() == "keys"


@pytest.mark.parametrize("field, closes", [("keeps-esc", False), ("leaves-esc", True)])
def test_esc_in_the_page_closes_the_window_only_when_the_page_leaves_it(session, field, closes):
    session.type_query("esc")
    session.mirror.wait_for_report("href", search_address("esc"))
    session.wait_page_area("results")
    session.click(in_view(*session.mirror.fields[field].centre))
    session.type_query("v", then=())
    session.mirror.wait_for_report(f"field-{field}", "v")

    session.program.key("Escape")
    session.mirror.wait_for_report(f"escape-{field}", "v")
    if closes:
        assert session.program.wait_exit(30) == 0
        return
    # A key after Esc reaches the page: by then the Esc was dealt with.
    session.type_query("w", then=())
    session.mirror.wait_for_report(f"field-{field}", "vw")
    assert session.program.running() and session.program.is_viewable()
