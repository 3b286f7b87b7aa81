// One seat of a game served from a private X server: the address carries the seat's
// password after '#', so that it never reaches the server's logs; the VNC server checks
// it before it shows the screen or takes a key. After it, with=NAME says that the game
// waits for the other player, NAME, and start=key that it waits for the first key.
import RFB from './core/rfb.js';
import KeyTable from './core/input/keysym.js';
import { ENDED, WINDOW_BORDER, fittedScale, fragment, place, show, socketUrl } from './page.js';

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
const WINDOW_LOOK_MS = 100;   // how often the screen is looked at until the game shows

const room = document.getElementById('room');
const game = document.getElementById('game');
const screen = document.getElementById('screen');
const seat = document.getElementById('seat');
const fitButton = document.getElementById('fit');

const touch = matchMedia('(any-pointer: coarse)').matches || navigator.maxTouchPoints > 0 ||
	'ontouchstart' in window;
document.body.classList.toggle('touch', touch);

// From dravik-serve: seat=ID&token=HEX, the token going as a WebSocket subprotocol, never
// in an address a server logs; table=ID, a duel's table, waiting for its second player.
const served = fragment.get('seat');
const token = fragment.get('token');
const againLink = document.getElementById('again');

// Why a served seat ended, as the server tells its page.
async function endedHere() {
	let reason = '';
	try {
		const answer = await fetch(`/api/seats/${encodeURIComponent(served)}`,
			{ cache: 'no-store', headers: { Authorization: `Bearer ${token}` } });
		reason = (await answer.json()).reason || '';
	} catch {
		reason = 'lost';
	}
	againLink.hidden = false;
	if (/^page (closed|lost)$/.test(reason))
		return 'The other player has left: the game has ended.';
	if (reason === 'game over')
		return ENDED;
	if (reason === 'lost')
		return 'The connection to the server was lost.';
	if (reason.startsWith('no key'))
		return `The game has ended: ${reason.replace('no key', 'no key was pressed')}.`;
	if (reason.startsWith('table not joined'))
		return `No one came to the table: ${reason.replace('table not joined', 'it waits')}.`;
	return `The game has ended${reason ? ` (${reason})` : ''}.`;
}

const password = fragment.get('password');
if (!password) {
	show('refused', 'This address has no password: open the address the game printed.');
} else {
	const url = served ? new URL(`/ws/${encodeURIComponent(served)}`,
		location.href.replace(/^http/, 'ws')).href : socketUrl();
	const rfb = new RFB(screen, url, { credentials: { password }, shared: true,
		wsProtocols: served ? ['binary', `token.${token}`] : undefined });
	rfb.background = 'transparent';
	rfb.clipViewport = false;
	rfb.resizeSession = false;
	let refused = false;
	let fitted = true;
	let looking = null;       // the timer that looks for the game's window
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
		show('playing', waitingFor());
		looking = setInterval(() => windowShown() && stopLooking(), WINDOW_LOOK_MS);
		rfb.focus();
	});
	rfb.addEventListener('disconnect', async (e) => {
		stopLooking();
		[...held.keys()].forEach(release);
		screen.replaceChildren();
		game.style.width = game.style.height = '0';
		if (served)
			show('ended', await endedHere());
		else if (refused)
			show('refused', 'Wrong password: this seat is not yours.');
		else if (e.detail.clean)
			show('ended', `${ENDED} To play again, start scripts/play again and open the ` +
				'new address it prints: every game has addresses of its own.');
		else
			show('ended', 'The connection to the game was lost: reload the page to return ' +
				'to the game if it still runs.');
	});

	// What the game waits for until its window shows on the screen, said in the room.
	const waitingFor = () => {
		const table = fragment.get('table');
		if (table) {
			document.body.dataset.wait = 'player';
			return 'Waiting for a second player. Send this address to a friend: ' +
				`${location.origin}/#table=${table} (the front page lists the table too).`;
		}
		const other = fragment.get('with');
		if (other) {
			document.body.dataset.wait = 'player';
			return `Waiting for ${other}: the game starts as soon as ${other} has opened ` +
				'the other address.';
		}
		if (fragment.get('start') === 'key') {
			document.body.dataset.wait = 'key';
			return touch ? 'Tap a button of the pad to start the game: these are its keys.'
				: 'Press a key to start the game: these are its keys.';
		}
		document.body.dataset.wait = 'game';
		return 'Starting the game...';
	};
	const stopLooking = () => {
		clearInterval(looking);
		delete document.body.dataset.wait;
	};
	// Until the game's window shows, the X screen is black: the row across its middle
	// crosses the window's panels.
	const windowShown = () => {
		const canvas = screen.querySelector('canvas');
		if (!canvas || !canvas.width)
			return false;
		const row = canvas.getContext('2d').getImageData(0, canvas.height >> 1, canvas.width, 1);
		return row.data.some((value, i) => i % 4 !== 3 && value > 0);
	};

	// The box shows the screen less the window's border, scaled and centred in the room.
	const fit = () => {
		const canvas = screen.querySelector('canvas');
		if (!canvas || !canvas.width)
			return;
		const box = room.getBoundingClientRect();
		const scale = fitted ? fittedScale(box.width, box.height,
			canvas.width - 2 * WINDOW_BORDER, canvas.height - 2 * WINDOW_BORDER) : [1, 1];
		const [width, height] = place(rfb, screen, game, canvas, scale);
		// The box starts on a whole pixel: on a device pixel's edge too, where a pixel
		// holds a whole number of them.
		const start = (from, space, length) => Math.max(0, Math.round(from + (space - length) / 2) - from);
		game.style.marginLeft = `${start(box.left, box.width, width)}px`;
		game.style.marginTop = `${start(box.top, box.height, height)}px`;
		room.classList.toggle('own', !fitted);
	};
	new MutationObserver(fit).observe(screen, { subtree: true, attributes: true,
		attributeFilter: ['width', 'height'] });
	new ResizeObserver(fit).observe(room);

	// The page's controls keep the keyboard's focus on the game.
	const keepFocus = (e) => e.preventDefault();
	fitButton.addEventListener('mousedown', keepFocus);
	document.getElementById('note').addEventListener('mousedown', keepFocus);
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
