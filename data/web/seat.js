// One seat of a game served from a private X server: the address carries the seat's
// password after '#', so that it never reaches the server's logs; the VNC server checks
// it before it shows the screen or takes a key.
import RFB from './core/rfb.js';
import KeyTable from './core/input/keysym.js';
import { WINDOW_BORDER, fragment, show, socketUrl } from './page.js';

// The pad's buttons and the keys of the game they press, as the keyboard sends them.
const PAD_KEYS = {
	left: [KeyTable.XK_Left, 'ArrowLeft'],
	right: [KeyTable.XK_Right, 'ArrowRight'],
	turn: [KeyTable.XK_Up, 'ArrowUp'],
	back: [KeyTable.XK_v, 'KeyV'],
	down: [KeyTable.XK_Down, 'ArrowDown'],
	drop: [KeyTable.XK_space, 'Space'],
};
// A held button repeats its key as a held key does: after a pause, then once a game tick.
const REPEAT_DELAY_MS = 300;
const REPEAT_EVERY_MS = 50;

const room = document.getElementById('room');
const game = document.getElementById('game');
const screen = document.getElementById('screen');
const seat = document.getElementById('seat');
const fitButton = document.getElementById('fit');

const touch = matchMedia('(any-pointer: coarse)').matches || navigator.maxTouchPoints > 0 ||
	'ontouchstart' in window;
document.body.classList.toggle('touch', touch);

// The largest whole number of device pixels per game pixel that the room takes, as a
// fraction [times, per] of CSS pixels; below 1 only when the room is smaller than the game.
function fittedScale(width, height) {
	const box = room.getBoundingClientRect();
	const ratio = window.devicePixelRatio || 1;
	const whole = Math.floor(Math.min(box.width * ratio / width, box.height * ratio / height));
	return whole >= 1 ? [whole, ratio] : [Math.min(box.width / width, box.height / height), 1];
}

// A length for the layout, which cuts lengths down to 64ths of a pixel: rounded up, a box
// keeps its last device pixel.
const px = (length) => `${Math.ceil(length * 64) / 64}px`;

const password = fragment.get('password');
if (!password) {
	show('refused', 'This address has no password: open the address the game printed.');
} else {
	const rfb = new RFB(screen, socketUrl(),
		{ credentials: { password }, shared: true });
	rfb.background = 'transparent';
	rfb.clipViewport = false;
	rfb.resizeSession = false;
	let refused = false;
	let fitted = true;
	const held = new Map();   // pad button -> its repeat timer

	const release = (button) => {
		if (!held.has(button))
			return;
		clearTimeout(held.get(button));
		held.delete(button);
		button.classList.remove('held');
		rfb.sendKey(...PAD_KEYS[button.dataset.key], false);
	};

	rfb.addEventListener('desktopname', (e) => {
		seat.textContent = e.detail.name;
		document.title = e.detail.name;
	});
	rfb.addEventListener('credentialsrequired', () => {
		refused = true;
		rfb.disconnect();
	});
	rfb.addEventListener('securityfailure', () => { refused = true; });
	rfb.addEventListener('connect', () => {
		fit();
		show('playing', '');
		rfb.focus();
	});
	rfb.addEventListener('disconnect', (e) => {
		[...held.keys()].forEach(release);
		screen.replaceChildren();
		game.style.width = game.style.height = '0';
		if (refused)
			show('refused', 'Wrong password: this seat is not yours.');
		else if (e.detail.clean)
			show('ended', 'The game has ended.');
		else
			show('ended', 'The connection to the game was lost.');
	});

	// The box shows the screen less the window's border, scaled and centred in the room.
	// noVNC scales its canvas itself (scaleViewport, to the size of #screen), so that it
	// maps clicks and taps back to the game's own pixels, which it would not do under a
	// CSS scale.
	const fit = () => {
		const canvas = screen.querySelector('canvas');
		if (!canvas || !canvas.width)
			return;
		const width = canvas.width - 2 * WINDOW_BORDER;
		const height = canvas.height - 2 * WINDOW_BORDER;
		const [times, per] = fitted ? fittedScale(width, height) : [1, 1];
		const scaled = (length) => length * times / per;   // exact where it can be
		screen.style.width = px(scaled(canvas.width));
		screen.style.height = px(scaled(canvas.height));
		// Moved by a transform, which is exact to a device pixel where a length is not.
		const border = -scaled(WINDOW_BORDER);
		screen.style.transform = `translate(${border}px, ${border}px)`;
		game.style.width = px(scaled(width));
		game.style.height = px(scaled(height));
		// The box starts on a whole pixel: on a device pixel's edge too, where a pixel
		// holds a whole number of them.
		const box = room.getBoundingClientRect();
		const start = (from, space, length) => Math.max(0, Math.round(from + (space - length) / 2) - from);
		game.style.marginLeft = `${start(box.left, box.width, scaled(width))}px`;
		game.style.marginTop = `${start(box.top, box.height, scaled(height))}px`;
		room.classList.toggle('own', !fitted);
		rfb.scaleViewport = true;   // rescales now, to the new size of #screen
	};
	new MutationObserver(fit).observe(screen, { subtree: true, attributes: true,
		attributeFilter: ['width', 'height'] });
	new ResizeObserver(fit).observe(room);

	// The page's controls keep the keyboard's focus on the game.
	const keepFocus = (e) => e.preventDefault();
	fitButton.addEventListener('mousedown', keepFocus);
	fitButton.addEventListener('click', () => {
		fitted = !fitted;
		fitButton.setAttribute('aria-pressed', String(fitted));
		fit();
		rfb.focus();
	});

	for (const button of document.querySelectorAll('.pad button')) {
		const key = PAD_KEYS[button.dataset.key];
		button.addEventListener('pointerdown', (e) => {
			e.preventDefault();
			if (held.has(button))
				return;
			button.setPointerCapture(e.pointerId);
			button.classList.add('held');
			rfb.sendKey(...key, true);
			const again = () => {
				rfb.sendKey(...key, true);
				held.set(button, setTimeout(again, REPEAT_EVERY_MS));
			};
			held.set(button, setTimeout(again, REPEAT_DELAY_MS));
		});
		for (const type of ['pointerup', 'pointercancel', 'lostpointercapture'])
			button.addEventListener(type, () => release(button));
		button.addEventListener('mousedown', keepFocus);
		button.addEventListener('contextmenu', keepFocus);
	}
	window.addEventListener('blur', () => [...held.keys()].forEach(release));
}
