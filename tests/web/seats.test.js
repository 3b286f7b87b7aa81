// The game served to web browsers by scripts/play: headless Chromium opens the seats'
// addresses, looks at the game in screenshots and plays it with keys and clicks.
// Run by run.sh, which gives the programs to play (DRAVIK_PROGRAM, and DRAVIK_BOT, the
// computer opponent, when it is built) and where the README's pictures go
// (DRAVIK_WEB_PICTURES).
'use strict';
const assert = require('node:assert/strict');
const { execFileSync, spawnSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { describe, it, before, after } = require('node:test');
const {
	ROOT, K, grey, near, waitFor, portTaken, freePort, freePortPair, freePorts, Play, launchBrowser, Seat,
	pieceColumns, shiftToWall, pressTimes,
} = require('./rig.js');

const PROGRAM = process.env.DRAVIK_PROGRAM;
const BOT = process.env.DRAVIK_BOT;
const PICTURES = process.env.DRAVIK_WEB_PICTURES;
const FIELD_ROWS = K.START_FLOOR_ROW + 1;
const LAST_COLUMN = K.BOARD_COLS - 1;
const buttonMiddle = (top) => [Math.floor((K.HIT_LEFT + K.HIT_RIGHT) / 2), top + K.BUTTON_HEIGHT / 2];

// The picture of a game shown K times its size as one of its own size; fails unless every
// pixel of the game shows as a square of one colour.
function unscaled(picture, k) {
	for (let y = 0; y < picture.height; y++)
		for (let x = 0; x < picture.width; x++)
			assert.deepEqual(picture.rgb(x, y), picture.rgb(x - x % k, y - y % k), `(${x}, ${y}) at ${k}`);
	return { rgb: (x, y) => picture.rgb(x * k, y * k) };
}

// The falling piece in the top ten rows: its leftmost column, top row and shape.
function fallingPiece(picture) {
	const cells = [];
	for (let row = 0; row < 10; row++)
		for (let col = 0; col < K.BOARD_COLS; col++)   // pieces are the only colours
			if (new Set(picture.rgb(K.FIELD_X + col * K.CELL_PX + 8, K.FIELD_Y + row * K.CELL_PX + 8)).size > 1)
				cells.push([col, row]);
	const [left, top] = [0, 1].map((i) => Math.min(...cells.map((cell) => cell[i])));
	return cells.length > 0 && { left, top, shape: cells.map(([c, r]) => `${c - left},${r - top}`).join(' ') };
}

// The address with its password replaced, or without one.
const withPassword = (address, password) =>
	address.replace(/#.*$/, password === null ? '' : `#password=${password}`);

// This machine's first address that is not a loopback one, if it has one.
function outsideAddress() {
	for (const list of Object.values(os.networkInterfaces()))
		for (const a of list || [])
			if (!a.internal && a.family === 'IPv4')
				return a.address;
	return null;
}

describe('scripts/play refuses what it cannot do', () => {
	const cases = [
		{ name: 'LevelAboveTheStrongest', args: ['--computer', '6'], status: 2 },
		{ name: 'LevelZero', args: ['--computer', '0'], status: 2 },
		{ name: 'LevelNotANumber', args: ['--computer', 'hard'], status: 2 },
		{ name: 'DuelAgainstTheComputer', args: ['--duel', '--computer'], status: 2 },
		{ name: 'PortWithoutWeb', args: ['--port', '7000'], status: 2, display: ':99' },
		{ name: 'PortOutOfRange', args: ['--web', '--port', '70000'], status: 2 },
		{ name: 'ListenWithoutAddress', args: ['--web', '--listen'], status: 2 },
		{ name: 'ComputerWithoutItsProgram', args: ['--computer', '2'], status: 1,
			display: ':99', message: /computer opponent .* is not built/ },
		{ name: 'CertificateThatIsNone', args: ['--web', '--cert', path.join(ROOT, 'README.md')],
			status: 1, message: /no certificate/ },
		{ name: 'PortBoundByAnotherProgramOnceFoundFree', args: ['--web', '--port', '6097'],
			env: { PATH: `${__dirname}/stranger:${process.env.PATH}` }, status: 1,
			message: /Another program took port/ },
	];
	for (const c of cases) {
		it(c.name, () => {
			const env = { ...process.env, DRAVIK_PROGRAM: PROGRAM,
				DRAVIK_BOT: '/nonexistent/dravik-bot', ...c.env };
			delete env.DISPLAY;
			if (c.display)
				env.DISPLAY = c.display;
			const run = spawnSync('bash', [path.join(ROOT, 'scripts/play'), ...c.args],
				{ env, encoding: 'utf8', timeout: 20000 });
			assert.doesNotMatch(run.stdout, /password=/, c.name);
			assert.equal(run.status, c.status, `${c.name}: ${run.stderr}`);
			assert.match(run.stderr, c.message || /usage: scripts\/play/, c.name);
		});
	}
});

describe('a single seat', () => {
	let play, browser, address, port, seat;
	before(async () => {
		port = await freePort();
		play = new Play(['--port', String(port), '-p1', 'anna'], PROGRAM);
		[address] = await play.addresses(1);
		browser = await launchBrowser();
	});
	after(async () => {
		await browser?.close();
		await play?.stop();
	});

	it('WithoutADisplayServesTheGameOnLoopbackOnly', async () => {
		assert.match(play.output, /no \$DISPLAY/);
		assert.ok(address.startsWith(`http://127.0.0.1:${port}/#password=`), address);
		const outside = outsideAddress();
		if (outside)
			assert.equal(await portTaken(port, outside), false, `port ${port} open on ${outside}`);
	});

	it('AddressWithoutOrWithAWrongPasswordIsRefused', async () => {
		const right = new URL(address).hash.slice('#password='.length);
		const wrong = [...right].map((c) => (c === 'a' ? 'b' : 'a')).join('');
		const cases = [
			['no password', withPassword(address, null)],
			['empty password', withPassword(address, '')],
			['wrong password', withPassword(address, wrong)],
			['password with its last character changed', withPassword(address,
				right.slice(0, -1) + (right.endsWith('a') ? 'b' : 'a'))],
			// More failures than a blacklist takes: the right address still logs in after
			// them, in the next test.
			...Array.from({ length: 5 }, (_, i) =>
				[`wrong password, try ${i + 2}`, withPassword(address, wrong)]),
		];
		for (const [what, url] of cases) {
			const seat = await Seat.open(browser.context, url);
			assert.equal(await seat.state(), 'refused', what);
			// The seat's name comes from the server only after the password is taken.
			assert.equal(await seat.name(), '', what);
			assert.equal((await seat.page.locator('#game').boundingBox()).width, 0, what);
			await seat.page.close();
		}
		assert.equal(play.gameRunning(), false, 'the game waits for its player');
	});

	it('AddressLogsStraightInAndShowsTheWindowAtItsSize', async () => {
		seat = await Seat.open(browser.context, address);
		assert.equal(await seat.state(), 'playing');
		assert.equal(await seat.name(), 'dravik: anna');
		const picture = await waitFor('a piece in the field', async () => {
			const p = await seat.picture();
			return pieceColumns(p, FIELD_ROWS) && p;
		});
		assert.deepEqual([picture.width, picture.height], [K.WINDOW_WIDTH, K.SINGLE_HEIGHT]);
		const middle = K.WELL_X + K.WELL_WIDTH / 2;
		const places = [
			['the well sunk at its top', middle, K.WELL_Y, K.GREY_DARK],
			['the well sunk at its left', K.WELL_X, K.WELL_Y + 40, K.GREY_DARK],
			['the well lit at its bottom', middle, K.WELL_Y + K.SINGLE_WELL_HEIGHT - 1, K.GREY_LIGHT],
			['the well lit at its right', K.WELL_X + K.WELL_WIDTH - 1, K.WELL_Y + 40, K.GREY_LIGHT],
			['the panel between well and buttons', K.BUTTON_X - 5, K.GAME_BUTTON_Y, K.GREY_BACKGROUND],
			['the panel below the buttons', K.BUTTON_X + 10, K.RESULT_Y - 10, K.GREY_BACKGROUND],
		];
		for (const [what, x, y, want] of places)
			assert.ok(near(picture.rgb(x, y), grey(want)), `${what} at (${x}, ${y}): ${picture.rgb(x, y)}`);
	});

	it('KeysShiftThePieceToEitherWall', async () => {
		const start = pieceColumns(await seat.picture(), FIELD_ROWS);
		assert.ok(start.left > 0 && start.right < LAST_COLUMN, `a new piece stands clear of the walls: ${JSON.stringify(start)}`);
		await shiftToWall(seat, 'ArrowLeft', 'left', 0);
		await shiftToWall(seat, 'l', 'right', LAST_COLUMN);
	});

	it('PauseHidesTheFieldAndContinueShowsIt', async () => {
		await seat.click(...buttonMiddle(K.GAME_BUTTON_Y));
		await waitFor('the field hidden by the pause', async () =>
			pieceColumns(await seat.picture(), FIELD_ROWS) === null);
		await seat.click(...buttonMiddle(K.GAME_BUTTON_Y));
		await waitFor('the field shown again', async () =>
			pieceColumns(await seat.picture(), FIELD_ROWS) !== null);
	});

	it('QuitEndsTheGameAndEverythingTheScriptStarted', async () => {
		await seat.click(...buttonMiddle(K.QUIT_Y));
		await play.waitGone();
		assert.deepEqual(play.exited, { code: 0, signal: null }, play.output);
		await waitFor('the page to say the game has ended', async () => (await seat.state()) === 'ended');
		assert.equal(await portTaken(port), false);
	});
});

describe('a duel of two seats', () => {
	let play, browser, addresses, port, seats;
	before(async () => {
		port = await freePortPair();
		play = new Play(['--web', '--duel', '--port', String(port), '-p1', 'anna', '-p2', 'bert'],
			PROGRAM);
		addresses = await play.addresses(2);
		browser = await launchBrowser();
	});
	after(async () => {
		await browser?.close();
		await play?.stop();
	});

	it('EachPlayerHasASeatOfHisOwnOnConsecutivePorts', async () => {
		assert.equal(new URL(addresses[0]).port, String(port));
		assert.equal(new URL(addresses[1]).port, String(port + 1));
		seats = [await Seat.open(browser.context, addresses[0]),
			await Seat.open(browser.context, addresses[1])];
		for (const [seat, name] of [[seats[0], 'dravik: anna'], [seats[1], 'dravik: bert']]) {
			assert.equal(await seat.state(), 'playing', name);
			assert.equal(await seat.name(), name);
			const picture = await seat.picture();
			assert.deepEqual([picture.width, picture.height], [K.WINDOW_WIDTH, K.DUEL_HEIGHT], name);
		}
	});

	it('OneSeatsPasswordDoesNotOpenTheOther', async () => {
		const firstPassword = new URL(addresses[0]).hash.slice('#password='.length);
		const seat = await Seat.open(browser.context, withPassword(addresses[1], firstPassword));
		assert.equal(await seat.state(), 'refused');
		await seat.page.close();
	});

	it('EachPageControlsItsOwnPlayer', async () => {
		const own = async (seat) => pieceColumns(await seat.picture(), FIELD_ROWS);
		await waitFor('both pieces', async () => (await own(seats[0])) && (await own(seats[1])));
		await shiftToWall(seats[0], 'ArrowLeft', 'left', 0);
		assert.ok((await own(seats[1])).left > 0, "anna's keys left bert's piece alone");
		await shiftToWall(seats[1], 'ArrowRight', 'right', LAST_COLUMN);
		const first = await own(seats[0]);
		assert.ok(first.left === 0 && first.right < LAST_COLUMN,
			`bert's keys left anna's piece alone: ${JSON.stringify(first)}`);
	});

	it('InterruptEndsEveryProcessTheScriptStarted', async () => {
		process.kill(play.child.pid, 'SIGTERM');
		await play.waitGone();
		for (const p of [port, port + 1])
			assert.equal(await portTaken(p), false, `port ${p}`);
		await waitFor('the pages to say the game has ended', async () =>
			(await seats[0].state()) === 'ended' && (await seats[1].state()) === 'ended');
	});
});

describe('onlookers of a duel', () => {
	let play, browser, addresses, seats, onlooker, password;
	const own = async (seat) => pieceColumns(await seat.picture(), FIELD_ROWS);
	// The piece may have fallen far: it is looked for in the whole field.
	const toLeftWall = (seat) => waitFor('the piece at the left wall', async () => {
		const columns = await own(seat);
		return columns?.left === 0 || void await pressTimes(seat, 'ArrowLeft', columns?.left ?? 1);
	});
	before(async () => {
		play = new Play(['--web', '--duel', '--watch', '--port', String(await freePorts(3)),
			'-p1', 'anna', '-p2', 'bert'], PROGRAM);
		addresses = await play.addresses(3);
		password = addresses[2].match(/password=(\w+)/)[1];
		// Tall enough that the players' pages, with their touch pads, show the game at its own size, no taller.
		browser = await launchBrowser({ viewport: { width: 800, height: 1100 }, hasTouch: true });
	});
	after(async () => {
		await browser?.close();
		await play?.stop();
	});

	it('OnlookersNeitherStartTheGameNorOpenASeat', async () => {
		const page = await Seat.open(browser.context, addresses[2], '.game >> nth=0');
		onlooker = [page, Object.assign(new Seat(), { page: page.page, game: '.game >> nth=1' })];
		assert.equal(await page.state(), 'waiting');
		const side = await Seat.open(browser.context, withPassword(addresses[0], password));
		assert.equal(await side.state(), 'refused', "the onlookers' password before the game");
		assert.equal(play.gameRunning(), false, 'the game waits for its players');
	});

	it('OnlookerSeesBothWindowsAndAPieceMove', async () => {
		seats = [await Seat.open(browser.context, addresses[0]),
			await Seat.open(browser.context, addresses[1])];
		await waitFor("the game on the onlookers' page", async () =>
			(await onlooker[0].state()) === 'watching');
		const wrong = addresses[2].replace(password, 'wrong000');
		assert.equal(await (await Seat.open(browser.context, wrong)).state(), 'refused');
		assert.deepEqual(await onlooker[0].page.locator('h2').allTextContents(),
			['dravik: anna', 'dravik: bert']);
		// The onlookers are let in just before the game starts: its window follows.
		await waitFor("bert's piece for onlookers", () => own(onlooker[1]));
		await toLeftWall(seats[0]);
		await waitFor("anna's piece at the wall for onlookers", async () =>
			(await own(onlooker[0]))?.left === 0);
	});

	it('OnlookersKeysClicksAndTapsChangeNothing', async () => {
		// A players' page, which sends what it gets, with the onlookers' password.
		const side = await Seat.open(browser.context, withPassword(addresses[0], password));
		await onlooker[1].page.locator('.game >> nth=1 >> canvas').focus();
		for (let i = 0; i < K.BOARD_COLS; i++) {
			await side.page.keyboard.press('ArrowRight');
			await onlooker[1].page.keyboard.press('ArrowLeft');
		}
		await side.click(...buttonMiddle(K.GAME_BUTTON_Y));
		await onlooker[1].click(...buttonMiddle(K.GAME_BUTTON_Y), { tap: true });
		await onlooker[1].click(...buttonMiddle(K.QUIT_Y));
		await new Promise((resolve) => setTimeout(resolve, 500));
		assert.ok((await own(seats[0]))?.right < LAST_COLUMN, "anna's piece, unpaused, stayed put");
		assert.ok((await own(seats[1]))?.left > 0, "bert's piece, unpaused, stayed put");
		assert.ok(play.gameRunning(), 'the game runs on');
		await toLeftWall(seats[1]);   // the player keeps control
	});
});

describe('over HTTPS', () => {
	let play, browser;
	const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'dravik-cert-'));
	after(async () => {
		await browser?.close();
		await play?.stop();
		fs.rmSync(dir, { recursive: true, force: true });
	});

	it('PagesAndGameComeOverTls', async () => {
		execFileSync('openssl', ['req', '-x509', '-newkey', 'ec', '-pkeyopt',
			'ec_paramgen_curve:prime256v1', '-nodes', '-subj', '/CN=localhost', '-keyout',
			`${dir}/key.pem`, '-out', `${dir}/cert.pem`], { stdio: 'pipe' });
		play = new Play(['--web', '--port', String(await freePort()), '--cert', `${dir}/cert.pem`,
			'--key', `${dir}/key.pem`], PROGRAM);
		browser = await launchBrowser({ ignoreHTTPSErrors: true });
		const [address] = await play.addresses(1);
		assert.match(address, /^https:\/\//);
		assert.equal(await (await Seat.open(browser.context, address)).state(), 'playing');
	});
});

describe('against the computer from a browser', { skip: !BOT && 'the computer opponent is not built' }, () => {
	let play, browser;
	before(async () => {
		const port = await freePort();
		play = new Play(['--web', '--computer', '1', '--port', String(port), '-p1', 'anna'],
			PROGRAM, { DRAVIK_BOT: BOT, PATH: `${__dirname}/slow-listener:${process.env.PATH}` });
		browser = await launchBrowser();
	});
	after(async () => {
		await browser?.close();
		await play?.stop();
	});

	it('SeatShowsTheDuelAndQuitEndsTheComputerToo', async () => {
		const [address] = await play.addresses(1);
		const seat = await Seat.open(browser.context, address);
		assert.equal(await seat.state(), 'playing');
		// The game starts with the player's first key: its first piece shows that it runs.
		await seat.page.keyboard.press('Space');
		const picture = await waitFor('a piece in the field', async () => {
			const p = await seat.picture();
			return pieceColumns(p) && p;
		});
		assert.deepEqual([picture.width, picture.height], [K.WINDOW_WIDTH, K.DUEL_HEIGHT]);
		await seat.click(...buttonMiddle(K.QUIT_Y));
		// The computer and its X server are of the script's process group: all must end.
		await play.waitGone();
		assert.deepEqual(play.exited, { code: 0, signal: null }, play.output);
	});
});

describe('a seat in a large window and on a phone', () => {
	let play, address, desktop, phone;
	before(async () => {
		play = new Play(['--port', String(await freePort()), '-p1', 'anna'], PROGRAM);
		[address] = await play.addresses(1);
		desktop = await launchBrowser();
		phone = await launchBrowser({ viewport: { width: 390, height: 844 }, hasTouch: true, isMobile: true });
	});
	after(async () => {
		await Promise.all([desktop?.close(), phone?.close()]);
		await play?.stop();
	});

	it('GameScalesInSharpWholePixelsThatClicksHit', async () => {
		const seat = await Seat.open(desktop.context, address);
		assert.equal(await seat.page.locator('.pad').first().isVisible(), false, 'no pad without touch');
		// The page plays once it has logged in, before the game has a window that takes
		// the click: its first piece shows that it has.
		await waitFor('a piece in the field', async () => pieceColumns(await seat.picture(), FIELD_ROWS));
		for (const [size, k, shown] of [[800, 2, false], [1200, 3, true]]) {   // Pause, Continue
			await seat.page.setViewportSize({ width: size, height: size });
			await waitFor(`the game ${k} times its size`, async () => (await seat.picture()).width === k * K.WINDOW_WIDTH);
			if (PICTURES && k === 2)
				await seat.page.screenshot({ path: path.join(PICTURES, 'browser.png') });
			await seat.click(...buttonMiddle(K.GAME_BUTTON_Y), { scale: k });
			await waitFor(`the field ${shown ? 'shown' : 'hidden'}`, async () =>
				(pieceColumns(unscaled(await seat.picture(), k), FIELD_ROWS) !== null) === shown);
		}
	});

	it('PadPressesTheGamesKeysAndTapsClick', async () => {
		const seat = await Seat.open(phone.context, address);
		const cdp = await phone.context.newCDPSession(seat.page);
		const touch = async (key, ms) => {   // a finger on the button for MS milliseconds
			const b = await seat.page.locator(`[data-key=${key}]`).boundingBox();
			await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [{ x: b.x + 9, y: b.y + 9 }] });
			await new Promise((resolve) => setTimeout(resolve, ms));
			await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
		};
		const presses = [   // each seen within 3 s, in which gravity moves a piece two rows at most
			// The next piece, at the top: the presses after it find it in the rows looked at
			// however long the game has run and however slow the machine is.
			['drop', 1, 0, (p, was) => p.top < was.top],
			['left', 1, 0, (p, was) => p.left === was.left - 1],
			['right', 1, 0, (p, was) => p.left === was.left + 1],
			['turn', 1, 0, (p, was) => p.shape !== was.shape || p.shape === '0,0 1,0 0,1 1,1'],
			['back', 1, 0, (p, was, start) => p.shape === start.shape],
			['down', 4, 0, (p, was) => p.top >= was.top + 4],
			['left', 1, 800, (p) => p.left === 0],   // held: from the spawn column to the wall
		];
		// A piece below the top row, for the drop to bring a higher one: once the piece shown
		// has fallen below the rows looked at, the next comes only when it lands.
		const fallen = await waitFor('a piece below the top row', async () => {
			const p = fallingPiece(await seat.picture());
			return p && p.top > 0 && p;
		}, 60000);
		if (PICTURES)
			await seat.page.screenshot({ path: path.join(PICTURES, 'browser-phone.png') });
		let [was, start] = [fallen, null];   // START: the piece the drop brought
		for (const [key, times, ms, moved] of presses) {
			for (let i = 0; i < times; i++)
				await touch(key, ms);
			was = await waitFor(`the piece to answer ${key}`, async () => {
				const p = fallingPiece(await seat.picture());
				return p && moved(p, was, start) && p;
			}, 3000);
			start ??= was;
		}
		const [box, [x, y]] = [await seat.page.locator('#game').boundingBox(), buttonMiddle(K.GAME_BUTTON_Y)];
		await seat.page.touchscreen.tap(box.x + x, box.y + y);   // the game at its own size
		await waitFor('the field hidden by the pause', async () => !fallingPiece(await seat.picture()));
	});
});
