// What the players' page and the onlookers' page share: the address's fragment, the
// server's WebSocket address, the page's state line and how the game is scaled.

// The game's top-level window sits at the screen's top-left corner inside a border of
// this many pixels, which the pages leave out.
export const WINDOW_BORDER = 4;

// Below this share of the room filled by the largest whole number of device pixels per
// game pixel, the game takes the largest scale that fits instead.
const WHOLE_FILLS_ENOUGH = 0.65;

export const ENDED = 'The game has ended.';

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

// The scale of a game WIDTH x HEIGHT in a room of ROOM_WIDTH x ROOM_HEIGHT CSS pixels, as a
// fraction [times, per] of CSS pixels per game pixel: the largest whole number of device
// pixels that fits, each game pixel a square of them, unless that leaves much of the
// room empty (1 where 1.7 would fit, on a 1366 x 768 laptop); then the largest scale
// that fits, by which a game pixel may be a device pixel wider than its neighbour.
// Below 1 only when the room is smaller than the game.
export function fittedScale(roomWidth, roomHeight, width, height) {
	const ratio = window.devicePixelRatio || 1;
	const most = Math.max(0, Math.min(roomWidth * ratio / width, roomHeight * ratio / height));
	const whole = Math.floor(most);
	return [whole >= 1 && whole >= WHOLE_FILLS_ENOUGH * most ? whole : most, ratio];
}

// A length for the layout, which cuts lengths down to 64ths of a pixel: rounded up, a box
// keeps its last device pixel.
const px = (length) => `${Math.ceil(length * 64) / 64}px`;

// Shows the X screen (SCREEN, holding noVNC's canvas) in BOX, less the window's border,
// at SCALE ([times, per], as fittedScale gives it); returns the box's size. noVNC scales
// its canvas itself (scaleViewport, to the size of SCREEN), so that it maps clicks and
// taps back to the game's own pixels, which it would not do under a CSS scale.
export function place(rfb, screen, box, canvas, [times, per]) {
	// Whole device pixels, so that the box ends on a device pixel's edge at any scale.
	const [width, height] = [canvas.width, canvas.height].map((length) => Math.floor(length * times));
	screen.style.width = px(width / per);
	screen.style.height = px(height / per);
	// noVNC scales by the smaller ratio: the box shows what falls in the window at that
	// scale, from the device pixel that shows its first pixel. Moved by a transform,
	// which is exact to a device pixel where a length is not.
	const shown = Math.min(width / canvas.width, height / canvas.height);
	const border = -Math.round(WINDOW_BORDER * shown) / per;
	screen.style.transform = `translate(${border}px, ${border}px)`;
	const inside = (length) => Math.floor((length - 2 * WINDOW_BORDER) * shown) / per;
	const size = [inside(canvas.width), inside(canvas.height)];
	box.style.width = px(size[0]);
	box.style.height = px(size[1]);
	// Hard pixel edges when growing; shrunk, the game's one-pixel lines stay in sight.
	canvas.style.imageRendering = times >= 1 ? 'pixelated' : 'auto';
	rfb.scaleViewport = true;   // rescales now, to the new size of SCREEN
	return size;
}
