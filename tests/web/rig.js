// What the browser tests share: the game's constants read from its headers, scripts/play
// started with web seats on free ports, headless Chromium, and waiting with timeouts.
'use strict';
const { spawn, spawnSync } = require('node:child_process');
const fs = require('node:fs');
const net = require('node:net');
const path = require('node:path');
const { chromium } = require('playwright-core');
const { decodePng } = require('./png.js');

const ROOT = path.resolve(__dirname, '../..');
const WAIT_MS = 20000;   // the longest any condition is waited for

// The integer constants of a header, `const int A = 1, B = A + 2;`, evaluated.
function readConstants(header, known = {}) {
	const values = { ...known };
	const text = fs.readFileSync(path.join(ROOT, header), 'utf8').replace(/\/\*.*?\*\//g, '');
	for (const [, list] of text.matchAll(/^const int(?:32_t)? ([^;]*);/gm)) {
		for (const item of list.split(',')) {
			const [name, expr] = item.split('=').map((s) => s.trim());
			const js = expr.replace(/[A-Z_][A-Z0-9_]*/g, (id) => {
				if (!(id in values))
					throw new Error(`${header}: ${name} uses unknown ${id}`);
				return values[id];
			});
			values[name] = Function(`return (${js});`)();
		}
	}
	return values;
}

const K = readConstants('display/geometry.h',
	readConstants('rules/game.h', readConstants('display/palette.h')));

// A 16-bit X colour channel as the 8-bit one of a 24-bit screen.
const channel = (value) => Math.round(value * 255 / 65535);
const grey = (value) => [channel(value), channel(value), channel(value)];
const near = (got, want) => got.every((c, i) => Math.abs(c - want[i]) <= 2);

function sleep(ms) {
	return new Promise((resolve) => setTimeout(resolve, ms));
}

// Polls probe() until it returns something truthy; fails naming what after WAIT_MS.
async function waitFor(what, probe, timeout = WAIT_MS) {
	const end = Date.now() + timeout;
	let last;
	for (;;) {
		last = await probe();
		if (last)
			return last;
		if (Date.now() > end)
			throw new Error(`timed out waiting for ${what}`);
		await sleep(100);
	}
}

function portTaken(port, host = '127.0.0.1') {
	return new Promise((resolve) => {
		const socket = net.connect({ port, host });
		socket.setTimeout(2000);
		socket.on('connect', () => { socket.destroy(); resolve(true); });
		socket.on('error', () => resolve(false));
		socket.on('timeout', () => { socket.destroy(); resolve(false); });
	});
}

// The first port of the kernel's ephemeral range, from which outgoing connections take
// their ports: one of them could take a free port of that range before the program under
// test binds it.
const EPHEMERAL = (() => {
	try {
		return Number(fs.readFileSync('/proc/sys/net/ipv4/ip_local_port_range', 'utf8').split(/\s+/)[0]);
	} catch {
		return 32768;
	}
})();

function bindable(port) {
	return new Promise((resolve) => {
		const server = net.createServer();
		server.on('error', () => resolve(false));
		server.listen(port, '127.0.0.1', () => server.close(() => resolve(true)));
	});
}

// The first of COUNT consecutive free ports below the ephemeral range, at random there
// (anywhere above 10000 when the range leaves no room).
async function freePorts(count = 1) {
	const end = EPHEMERAL > 11000 ? EPHEMERAL : 65536;
	for (;;) {
		const port = 10000 + Math.floor(Math.random() * (end - count - 10000));
		let free = true;
		for (let i = 0; i < count && free; i++)
			free = await bindable(port + i);
		if (free)
			return port;
	}
}

const freePort = () => freePorts(1);
const freePortPair = () => freePorts(2);   // for a duel's two seats

// scripts/play with the arguments, without $DISPLAY, running the tests' game. Its own
// process group, so that the test can tell when everything it started is gone.
class Play {
	constructor(args, program, more = {}) {
		const env = { ...process.env, DRAVIK_PROGRAM: program, ...more };
		delete env.DISPLAY;
		this.output = '';
		this.exited = null;
		this.child = spawn('bash', [path.join(ROOT, 'scripts/play'), ...args],
			{ env, detached: true, stdio: ['ignore', 'pipe', 'pipe'] });
		this.child.stdout.on('data', (d) => { this.output += d; });
		this.child.stderr.on('data', (d) => { this.output += d; });
		this.child.on('exit', (code, signal) => { this.exited = { code, signal }; });
		this.program = program;
	}

	// Whether the game runs yet, among the processes the script started.
	gameRunning() {
		const exact = this.program.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
		return spawnSync('pgrep', ['-g', String(this.child.pid), '-f', `^${exact}( |$)`]).status === 0;
	}

	// The seats' addresses, once the script has printed that many.
	async addresses(count) {
		return waitFor(`${count} address(es) from scripts/play`, () => {
			if (this.exited)
				throw new Error(`scripts/play ended early:\n${this.output}`);
			const found = this.output.match(/https?:\/\/\S+/g) || [];
			return found.length >= count && found;
		});
	}

	// Whether any process of the script's group is left.
	groupAlive() {
		try {
			process.kill(-this.child.pid, 0);
			return true;
		} catch {
			return false;
		}
	}

	async waitGone() {
		await waitFor('scripts/play to end', () => this.exited);
		await waitFor('every process scripts/play started to end', () => !this.groupAlive());
	}

	// Ends the script as an interrupt would, and everything else it left, if anything.
	async stop() {
		if (!this.exited)
			process.kill(this.child.pid, 'SIGTERM');
		try {
			await this.waitGone();
		} finally {
			if (this.groupAlive())
				process.kill(-this.child.pid, 'SIGKILL');
		}
	}
}

const CHROMIUM_FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic',
	'--no-first-run', '--disable-background-networking', '--disable-component-update',
	'--disable-sync'];

// Headless Chromium with a fresh profile of its own, removed on close; OPTIONS are the
// context's, e.g. a phone's touch screen.
async function launchBrowser(options = {}) {
	const profile = fs.mkdtempSync('/tmp/dravik-web-profile-');
	const context = await chromium.launchPersistentContext(profile, {
		executablePath: '/usr/bin/chromium', headless: true, args: CHROMIUM_FLAGS,
		viewport: { width: 440, height: 760 }, ...options,
	});
	return {
		context,
		async close() {
			await context.close();
			fs.rmSync(profile, { recursive: true, force: true });
		},
	};
}

// A seat's page: opens the address and waits until the page has settled in a state.
// On the onlookers' page, `game` picks the window of one seat.
class Seat {
	static async open(context, address, game = '#game') {
		const seat = new Seat();
		seat.game = game;
		seat.page = await context.newPage();
		await seat.page.goto(address);
		await seat.page.waitForFunction(() => document.body.dataset.state !== 'starting',
			null, { timeout: WAIT_MS });
		return seat;
	}

	state() {
		return this.page.evaluate(() => document.body.dataset.state);
	}

	name() {
		return this.page.evaluate(() => document.getElementById('seat').textContent);
	}

	// The game's window as the page shows it, in window pixels.
	async picture() {
		return decodePng(await this.page.locator(this.game).screenshot());
	}

	// A click at window pixel (x, y), the game shown SCALE times its size; a tap with TAP,
	// in a context that has touch.
	async click(x, y, { scale = 1, tap = false } = {}) {
		const box = await this.page.locator(this.game).boundingBox();
		const [px, py] = [box.x + x * scale, box.y + y * scale];
		await (tap ? this.page.touchscreen.tap(px, py) : this.page.mouse.click(px, py));
	}
}

// The field columns the falling piece covers, seen in the top rows of the own field:
// { left, right } or null when no piece shows there. Pieces are the only colours.
function pieceColumns(picture, rows = 8) {
	let left = Infinity, right = -Infinity;
	for (let y = K.FIELD_Y; y < K.FIELD_Y + rows * K.CELL_PX; y++) {
		for (let x = K.FIELD_X; x < K.FIELD_X + K.BOARD_COLS * K.CELL_PX; x++) {
			const [r, g, b] = picture.rgb(x, y);
			if (r !== g || g !== b) {
				const column = Math.floor((x - K.FIELD_X) / K.CELL_PX);
				left = Math.min(left, column);
				right = Math.max(right, column);
			}
		}
	}
	return left === Infinity ? null : { left, right };
}

// Presses KEY in the seat until the piece reaches column EDGE on that side: as often as
// the piece is columns away from it between two looks, which are slow on a busy machine.
// The piece is looked for in the whole field: by then it may have fallen far.
async function shiftToWall(seat, key, side, edge) {
	return waitFor(`the piece to reach column ${edge} with ${key}`, async () => {
		const columns = pieceColumns(await seat.picture(), K.START_FLOOR_ROW + 1);
		if (columns && columns[side] === edge)
			return columns;
		await pressTimes(seat, key, columns ? Math.abs(columns[side] - edge) : 1);
		return null;
	});
}

async function pressTimes(seat, key, times) {
	for (let i = 0; i < times; i++)
		await seat.page.keyboard.press(key);
}

module.exports = {
	ROOT, K, grey, near, waitFor, portTaken, freePort, freePortPair, freePorts, Play, launchBrowser,
	Seat, pieceColumns, shiftToWall, pressTimes,
};
