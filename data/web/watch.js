// The onlookers' page: every seat of the game side by side, each labelled with its
// player's name. The address carries the onlookers' password and the number of seats
// after '#'. Xvnc gives that password a view-only session, which drops keys and pointer
// whatever a page sends; this page sends none either (viewOnly).
import RFB from './core/rfb.js';
import { WINDOW_BORDER, fragment, show, socketUrl } from './page.js';

const RETRY_MS = 1000;     // while the players are not all in, the seats are closed

const seatsBox = document.getElementById('seats');
const status = document.getElementById('status');
const password = fragment.get('password');
const count = Math.min(Math.max(parseInt(fragment.get('seats'), 10) || 1, 1), 8);
let over = false;

// Onlookers may look on a small screen: the windows shrink to fit, never grow.
function scale() {
	seatsBox.style.zoom = 1;
	const room = Math.min((innerWidth - 32) / seatsBox.scrollWidth,
		(innerHeight - 32 - status.offsetHeight - 8) / seatsBox.scrollHeight);
	seatsBox.style.zoom = Math.min(1, room > 0 ? room : 1);
}
addEventListener('resize', scale);

function end(state, text) {
	over = true;
	for (const seat of seats)
		if (seat.watching)
			seat.rfb.disconnect();
	show(state, text);
}

function update() {
	if (!over && seats.every((seat) => seat.watching))
		show('watching', '');
}

function connect(seat) {
	const rfb = new RFB(seat.screen, socketUrl(`?token=${seat.index}`),
		{ credentials: { password }, shared: true });
	seat.rfb = rfb;
	rfb.viewOnly = true;
	rfb.background = 'transparent';
	rfb.focusOnClick = false;
	let refused = false, connected = false;
	rfb.addEventListener('desktopname', (e) => { seat.label.textContent = e.detail.name; });
	rfb.addEventListener('credentialsrequired', () => { refused = true; rfb.disconnect(); });
	rfb.addEventListener('securityfailure', () => { refused = true; });
	rfb.addEventListener('connect', () => {
		connected = seat.watching = true;
		fit(seat);
		update();
	});
	rfb.addEventListener('disconnect', async () => {
		seat.watching = false;
		seat.screen.replaceChildren();
		seat.box.style.width = seat.box.style.height = '0';
		if (over)
			return;
		if (refused)
			return end('refused', 'Wrong password: this is not the onlookers\' address.');
		if (connected)
			return end('ended', 'The game has ended.');
		// Not let in yet, or the server is gone with the game.
		try {
			await fetch('watch.js', { method: 'HEAD', cache: 'no-store' });
		} catch {
			return end('ended', 'The game has ended.');
		}
		show('waiting', 'Waiting for the players: the game shows once they are in.');
		setTimeout(() => over || connect(seat), RETRY_MS);
	});
}

// The box shows the screen less the window's border, at the screen's own pixels.
function fit(seat) {
	const canvas = seat.screen.querySelector('canvas');
	if (!canvas || !canvas.width)
		return;
	seat.screen.style.width = `${canvas.width}px`;
	seat.screen.style.height = `${canvas.height}px`;
	seat.screen.style.left = seat.screen.style.top = `${-WINDOW_BORDER}px`;
	seat.box.style.width = `${canvas.width - 2 * WINDOW_BORDER}px`;
	seat.box.style.height = `${canvas.height - 2 * WINDOW_BORDER}px`;
	scale();
}

const seats = Array.from({ length: count }, (_, i) => {
	const section = document.createElement('section');
	section.className = 'seat';
	const label = document.createElement('h2');
	const box = document.createElement('div');
	box.className = 'game';
	const screen = document.createElement('div');
	screen.className = 'screen';
	box.append(screen);
	section.append(label, box);
	seatsBox.append(section);
	const seat = { index: i + 1, label, box, screen, watching: false };
	new MutationObserver(() => fit(seat)).observe(screen, { subtree: true, attributes: true,
		attributeFilter: ['width', 'height'] });
	return seat;
});

if (!password)
	show('refused', 'This address has no password: open the address the game printed.');
else
	seats.forEach(connect);
