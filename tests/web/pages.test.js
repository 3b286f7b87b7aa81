// What the pages say before and after the game, and how they scale it; run by run.sh.
'use strict';
const assert = require('node:assert/strict');
const { it, after } = require('node:test');
const { K, waitFor, freePortPair, Play, launchBrowser, Seat, pieceColumns } = require('./rig.js');

const button = (top) => [Math.floor((K.HIT_LEFT + K.HIT_RIGHT) / 2), top + K.BUTTON_HEIGHT / 2];
const said = (seat) => seat.page.locator('#status').innerText();
const inGame = (seat) => waitFor('the game on the page', async () => !(await seat.page.locator('#status').isVisible()));
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const closing = [];   // what the tests started, ended after them
after(async () => { for (const close of closing.reverse()) await close(); });

// scripts/play --web with ARGS: the script, its addresses and a browser for each of OPTIONS.
async function play(args, options, env = {}) {
	const run = new Play(['--web', '--port', String(await freePortPair()), ...args], process.env.DRAVIK_PROGRAM, env);
	closing.push(() => run.stop());
	const browsers = await Promise.all(options.map((o) => launchBrowser(o)));
	closing.push(...browsers.map((b) => () => b.close()));
	return [run, await run.addresses(1 + args.includes('--duel')), browsers.map((b) => b.context)];
}

it('DuelPageWaitsForTheOtherByNameAndSaysInItsMiddleThatTheGameHasEnded', async () => {
	const [, addresses, [desktop]] = await play(['--duel', '-p1', 'anna', '-p2', 'bert'], [{}]);
	const anna = await Seat.open(desktop, addresses[0]);
	assert.match(await said(anna), /^Waiting for bert: /);
	await Seat.open(desktop, addresses[1]);
	await inGame(anna);
	await anna.click(...button(K.QUIT_Y));
	await waitFor('the page to say the game has ended', async () => (await anna.state()) === 'ended');
	assert.match(await said(anna), /^The game has ended\. To play again, start scripts\/play again/);
	const [box, view] = [await anna.page.locator('#status').boundingBox(), anna.page.viewportSize()];
	assert.ok(Math.abs(box.x + box.width / 2 - view.width / 2) < 2, `in the middle: ${JSON.stringify(box)}`);
});

it('AgainstTheComputerThePageShowsTheKeysAndTheGameStartsWithTheFirst', { skip: !process.env.DRAVIK_BOT && 'no computer opponent' }, async () => {
	const [run, [address], contexts] = await play(['--computer', '1', '-p1', 'anna'], [{}, { hasTouch: true }], { DRAVIK_BOT: process.env.DRAVIK_BOT });
	const seats = await Promise.all(contexts.map((context) => Seat.open(context, address)));
	await sleep(1000);   // long enough for a game to show, were it started
	for (const [seat, says, keys, pad] of [[seats[0], /^Press a key to start/, true, false], [seats[1], /^Tap a button of the pad to start/, false, true]]) {
		assert.match(await said(seat), says);
		assert.deepEqual([await seat.page.locator('#keys').isVisible(), await seat.page.locator('.pad').first().isVisible()], [keys, pad]);
	}
	assert.equal(run.gameRunning(), false, 'no game before the first key');
	await seats[1].page.locator('[data-key=left]').tap();
	await Promise.all(seats.map(inGame));
});

it('LaptopScreenGetsAFractionalScaleWithOneColourPerGamePixel', async () => {
	// A browser's page on a 1366 x 768 screen, under its tabs and address bar.
	const [, [address], [laptop]] = await play(['-p1', 'anna'], [{ viewport: { width: 1366, height: 657 } }]);
	const seat = await Seat.open(laptop, address);
	await inGame(seat);
	const [room, scale] = [await seat.page.locator('#room').boundingBox(), (await seat.picture()).height / K.SINGLE_HEIGHT];
	assert.ok(scale > 1.5 && scale * K.SINGLE_HEIGHT >= room.height - 2, `${scale} times in ${room.height} pixels`);
	// The field's columns that show a piece, the picture sampled at the middle of each game pixel.
	const field = async () => {
		const p = await seat.picture();
		return pieceColumns({ rgb: (x, y) => p.rgb(Math.floor((x + 0.5) * scale), Math.floor((y + 0.5) * scale)) },
			K.START_FLOOR_ROW + 1);
	};
	await waitFor('a piece in the field', field);   // the game runs, and takes the click
	await seat.click(...button(K.GAME_BUTTON_Y), { scale });   // paused, the window stays still
	await waitFor('the field hidden by the pause', async () => (await field()) === null);
	const picture = await seat.picture();
	await seat.page.locator('#fit').click();
	const own = await seat.picture();
	// Nearest neighbour: every pixel of the scaled game is one of the game's, no blend of them.
	const colours = (p) => new Set(Array.from({ length: p.width * p.height }, (_, i) => p.rgb(i % p.width, Math.floor(i / p.width)).join()));
	assert.deepEqual([...colours(picture)].sort(), [...colours(own)].sort());
});
