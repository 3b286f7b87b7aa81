// What the pages say around the game (waiting for a player or the first key, after the
// end) and how they scale it. Run by run.sh, as seats.test.js is.
'use strict';
const assert = require('node:assert/strict');
const { it, after } = require('node:test');
const { K, waitFor, freePortPair, Play, launchBrowser, Seat } = require('./rig.js');

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
	return [run, await run.addresses(1 + args.includes('--duel') + args.includes('--watch')), browsers.map((b) => b.context)];
}

it('DuelPageWaitsForTheOtherByNameOnlookersFitAnyScreenAndPagesSayTheGameHasEnded', async () => {
	const [, addresses, [desktop, phone, large]] = await play(['--duel', '--watch', '-p1', 'anna', '-p2', 'bert'],
		[{}, { viewport: { width: 390, height: 844 }, hasTouch: true, isMobile: true }, { viewport: { width: 1800, height: 1500 } }]);
	const anna = await Seat.open(desktop, addresses[0]);
	assert.match(await said(anna), /^Waiting for bert: /);
	const onlookers = [await Seat.open(phone, addresses[2]), await Seat.open(large, addresses[2])];
	await Seat.open(desktop, addresses[1]);
	await inGame(anna);
	for (const [page, fits] of [[onlookers[0], (b) => b.x >= 0 && b.x + b.width <= 390], [onlookers[1], (b) => b.height >= 2 * K.DUEL_HEIGHT]]) {
		await waitFor('the game for onlookers', async () => (await page.state()) === 'watching');
		for (const i of [0, 1])
			assert.ok(fits(await page.page.locator('.game').nth(i).boundingBox()), `seat ${i + 1}`);
	}
	await anna.click(...button(K.QUIT_Y));
	for (const [page, then] of [[anna, 'To play again, start scripts/play again'], ...onlookers.map((o) => [o, 'The next game'])]) {
		await waitFor('the page to say the game has ended', async () => (await page.state()) === 'ended');
		assert.ok((await said(page)).startsWith(`The game has ended. ${then}`), await said(page));
		const [box, view] = [await page.page.locator('#status').boundingBox(), page.page.viewportSize()];
		assert.ok(Math.abs(box.x + box.width / 2 - view.width / 2) < 2, `in the middle: ${JSON.stringify(box)}`);
	}
});

it('AgainstTheComputerThePageShowsTheKeysAndTheGameStartsWithTheFirst', { skip: !process.env.DRAVIK_BOT && 'no computer opponent' }, async () => {
	const [run, [address], contexts] = await play(['--computer', '1', '-p1', 'anna'], [{}, { hasTouch: true }], { DRAVIK_BOT: process.env.DRAVIK_BOT });
	const seats = await Promise.all(contexts.map((context) => Seat.open(context, address)));
	for (const [seat, says, keys, pad] of [[seats[0], /^Press a key to start/, true, false], [seats[1], /^Tap a button of the pad to start/, false, true]]) {
		assert.match(await said(seat), says);
		assert.deepEqual([await seat.page.locator('#keys').isVisible(), await seat.page.locator('.pad').first().isVisible()], [keys, pad]);
	}
	await sleep(1000);
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
	await seat.click(...button(K.GAME_BUTTON_Y), { scale });   // paused, the window stays still
	await sleep(500);
	const picture = await seat.picture();
	await seat.page.locator('#fit').click();
	const own = await seat.picture();
	// Each line of the game shows as one or more whole lines of one colour: no more runs of
	// equal lines than the game has lines, and no colour that the game does not show.
	const colours = (p) => new Set(Array.from({ length: p.width * p.height }, (_, i) => p.rgb(i % p.width, Math.floor(i / p.width)).join()));
	const runs = (n, m, at) => 1 + Array.from({ length: n - 1 }, (_, i) => Array.from({ length: m }, (_, j) => at(i, j).join() !== at(i + 1, j).join()).some(Boolean)).filter(Boolean).length;
	assert.deepEqual([...colours(picture)].sort(), [...colours(own)].sort());
	assert.ok(runs(picture.width, picture.height, (x, y) => picture.rgb(x, y)) <= K.WINDOW_WIDTH, 'columns');
	assert.ok(runs(picture.height, picture.width, (y, x) => picture.rgb(x, y)) <= K.SINGLE_HEIGHT, 'rows');
});
