// What the players' page and the onlookers' page share: the address's fragment, the
// server's WebSocket address and the page's state line.

// The game's top-level window sits at the screen's top-left corner inside a border of
// this many pixels, which the pages leave out.
export const WINDOW_BORDER = 4;

// The fragment after '#' (password=..., seats=...): never sent to a server, so the
// password reaches no server's log.
export const fragment = new URLSearchParams(location.hash.slice(1));

// The WebSocket address of this page's seat, beside the page (/2/websockify for the page
// at /2/), secure when the page is.
export const socketUrl = (query = '') =>
	new URL(`websockify${query}`, location.href.replace(/^http/, 'ws')).href;

// The page's state, for the tests (data-state), and its line of text.
export function show(state, text) {
	document.body.dataset.state = state;
	document.getElementById('status').textContent = text;
}
