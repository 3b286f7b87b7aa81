// What the players' page and the onlookers' page share: the address's fragment, the
// server's WebSocket address and the page's state line.

// The game's top-level window sits at the screen's top-left corner inside a border of
// this many pixels, which the pages leave out.
export const WINDOW_BORDER = 4;

// The fragment after '#' (password=..., seats=...): never sent to a server, so the
// password reaches no server's log.
export const fragment = new URLSearchParams(location.hash.slice(1));

// The WebSocket address of this page's websockify, secure when the page is.
export const socketUrl = (query = '') =>
	`${location.protocol === 'https:' ? 'wss' : 'ws'}://${location.host}/websockify${query}`;

// The page's state, for the tests (data-state), and its line of text.
export function show(state, text) {
	document.body.dataset.state = state;
	document.getElementById('status').textContent = text;
}
