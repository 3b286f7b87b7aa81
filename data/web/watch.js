// The onlookers' page: every seat of the game side by side, each labelled with its
// player's name. The address carries the onlookers' password and the number of seats
// after '#'. Xvnc gives that password a view-only session, which drops keys and pointer
// whatever a page sends; this page sends none either (viewOnly).
import RFB from './core/rfb.js';
import { ENDED, WINDOW_BORDER, fittedScale, fragment, place, show, socketUrl } from './page.js';

const RETRY_MS = 1000;     // while the players are not all in, the seats are closed
const SEAT_GAP = 16;      // between the seats, as #seats lays them out

const ENDED_HERE = `${ENDED} The next game has an address of its own for onlookers.`;
const ENDED_SERVED = `${ENDED} The front page lists the games under way.`;

const seatsBox = document.getElementById('seats');
const password = fragment.get('password');
// From dravik-serve (game=ID): the game's seats as its list of games names them.
const served = fragment.has('game');
const servedSeats = served ? await gameSeats(fragment.get('game')) : null;
const count = served ? Math.max(servedSeats.length, 1) :
	Math.min(Math.max(parseInt(fragment.get('seats'), 10) || 1, 1), 8);
let over = false;

async function gameSeats(id) {
	try {
		const state = await (await fetch('/api/state', { cache: 'no-store' })).json();
		return (state.games.find((game) => game.id === id) || { seats: [] }).seats;
	} catch {
		return [];
	}
}

function end(state, text) {
	over = true;
	for (const seat of seats)
		if (seat.watching)
			seat.rfb.disconnect();
	show(state, text);
	if (served)
		document.getElementById('again').hidden = false;
}

function update() {
	if (!over && seats.every((seat) => seat.watching)) {
		show('watching', '');
		seats.forEach(fit);
	}
}

function connect(seat) {
	const url = served ? new URL(`/ws/watch/${servedSeats[seat.index - 1]}`,
		location.href.replace(/^http/, 'ws')).href : socketUrl(`?token=${seat.index}`);
	const rfb = new RFB(seat.screen, url,
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
		if (connected || served)
			return end('ended', served ? ENDED_SERVED : ENDED_HERE);
		// Not let in yet, or the server is gone with the game.
		try {
			await fetch('watch.js', { method: 'HEAD', cache: 'no-store' });
		} catch {
			return end('ended', ENDED_HERE);
		}
		show('waiting', 'Waiting for the players: the game shows once they are in.');
		setTimeout(() => over || connect(seat), RETRY_MS);
	});
}

// The box shows the screen less the window's border, each seat scaled to its share of
// the window as the players' page is.
function fit(seat) {
	const canvas = seat.screen.querySelector('canvas');
	if (!canvas || !canvas.width || !seat.watching)
		return;
	const room = seatsBox.getBoundingClientRect();
	const width = (room.width - SEAT_GAP * (count - 1)) / count;
	const height = room.height - seat.label.getBoundingClientRect().height -
		parseFloat(getComputedStyle(seat.label).marginBottom);
	place(seat.rfb, seat.screen, seat.box, canvas, fittedScale(width, height,
		canvas.width - 2 * WINDOW_BORDER, canvas.height - 2 * WINDOW_BORDER));
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
new ResizeObserver(() => seats.forEach(fit)).observe(seatsBox);

if (served && !servedSeats.length)
	end('ended', 'That game is no longer under way. The front page lists the games under way.');
else if (!password)
	show('refused', 'This address has no password: open the address the game printed.');
else
	seats.forEach(connect);
