// One seat of a game served from a private X server: the address carries the seat's
// password after '#', so that it never reaches the server's logs; the VNC server checks
// it before it shows the screen or takes a key.
import RFB from './core/rfb.js';

// The game's top-level window sits at the screen's top-left corner inside a border of
// this many pixels, which the page leaves out.
const WINDOW_BORDER = 4;

const game = document.getElementById('game');
const screen = document.getElementById('screen');
const seat = document.getElementById('seat');
const status = document.getElementById('status');

function show(state, text) {
	document.body.dataset.state = state;
	status.textContent = text;
}

function fragmentPassword() {
	const params = new URLSearchParams(location.hash.slice(1));
	return params.get('password');
}

const password = fragmentPassword();
if (!password) {
	show('refused', 'This address has no password: open the address the game printed.');
} else {
	const scheme = location.protocol === 'https:' ? 'wss' : 'ws';
	const rfb = new RFB(screen, `${scheme}://${location.host}/websockify`,
		{ credentials: { password }, shared: true });
	rfb.background = 'transparent';
	rfb.scaleViewport = false;
	rfb.clipViewport = false;
	rfb.resizeSession = false;
	let refused = false;

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
		screen.replaceChildren();
		game.style.width = game.style.height = '0';
		if (refused)
			show('refused', 'Wrong password: this seat is not yours.');
		else if (e.detail.clean)
			show('ended', 'The game has ended.');
		else
			show('ended', 'The connection to the game was lost.');
	});

	// The box shows the screen less the window's border, at the screen's own pixels.
	const fit = () => {
		const canvas = screen.querySelector('canvas');
		if (!canvas || !canvas.width)
			return;
		screen.style.width = `${canvas.width}px`;
		screen.style.height = `${canvas.height}px`;
		screen.style.left = screen.style.top = `${-WINDOW_BORDER}px`;
		game.style.width = `${canvas.width - 2 * WINDOW_BORDER}px`;
		game.style.height = `${canvas.height - 2 * WINDOW_BORDER}px`;
	};
	new MutationObserver(fit).observe(screen, { subtree: true, attributes: true,
		attributeFilter: ['width', 'height'] });
}
