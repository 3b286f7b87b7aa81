// dravik-serve, the one address for every browser player: its front page played in
// headless Chromium, seats made on demand and reclaimed, its limits and refusals.
'use strict';
const assert = require('node:assert/strict');
const { spawn, spawnSync } = require('node:child_process');
const fs = require('node:fs');
const http = require('node:http');
const net = require('node:net');
const path = require('node:path');
const { describe, it, before, after } = require('node:test');
const { ROOT, K, waitFor, launchBrowser } = require('./rig.js');

const PROGRAM = process.env.DRAVIK_PROGRAM;
const BOT = process.env.DRAVIK_BOT;
const TABLES = process.env.DRAVIK_TABLES;   // the tables' reader of the tests' games directory
const buttonMiddle = (top) => [Math.floor((K.HIT_LEFT + K.HIT_RIGHT) / 2), top + K.BUTTON_HEIGHT / 2];

// The server on a free port with a run directory of the test's, and what it started.
class Serve {
	constructor(...args) {
		this.run = fs.mkdtempSync('/tmp/dravik-serve-test-');
		this.output = '';
		this.child = spawn(path.join(ROOT, 'web/dravik_serve.py'), ['--game', PROGRAM,
			...(BOT ? ['--bot', BOT] : []), '--pages', path.join(ROOT, 'data/web'),
			'--novnc', '/usr/share/novnc', '--run', this.run, '--port', '0',
			...(TABLES ? ['--tables', TABLES] : []), ...args],
		{ stdio: ['ignore', 'pipe', 'pipe'] });
		this.child.stdout.on('data', (d) => { this.output += d; });
		this.child.stderr.on('data', (d) => { this.output += d; });
		this.exited = new Promise((resolve) => this.child.on('exit', resolve));
	}

	async address() {
		return (await waitFor('the server\'s address', () => this.output.match(/http:\/\/\S+\//)))[0];
	}

	// The command lines of every process the server started, and theirs.
	processes(pid = this.child.pid) {
		const children = spawnSync('pgrep', ['-P', String(pid)]).stdout.toString().split('\n').filter(Boolean);
		return children.flatMap((child) => {
			let line = '';
			try {
				line = fs.readFileSync(`/proc/${child}/cmdline`, 'utf8').replace(/\0/g, ' ').trim();
			} catch { /* gone meanwhile */ }
			return [line, ...this.processes(child)].filter(Boolean);
		});
	}

	game(pattern) {
		return this.processes().find((line) => line.startsWith(PROGRAM) && pattern.test(line));
	}

	// Stops the server as systemd does; nothing it started may outlive it.
	async stop() {
		const descendants = (pid) => spawnSync('pgrep', ['-P', String(pid)]).stdout.toString()
			.split('\n').filter(Boolean).flatMap((child) => [child, ...descendants(child)]);
		const started = descendants(this.child.pid);
		this.child.kill('SIGTERM');
		const code = await this.exited;
		assert.equal(code, 0, this.output);
		assert.deepEqual(started.filter((pid) => fs.existsSync(`/proc/${pid}`)), []);
		assert.deepEqual(fs.readdirSync(this.run), []);
		fs.rmSync(this.run, { recursive: true, force: true });
	}
}

async function post(address, body) {
	const response = await fetch(new URL('/api/seats', address),
		{ method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body) });
	return [response.status, await response.json()];
}

// The front page, a name given, and a click on BUTTON; the page it leads to.
async function choose(context, address, name, button, hash = '') {
	const page = await context.newPage();
	await page.goto(`${address}${hash}`);
	await page.fill('#name', name);
	await page.click(`button:text-is("${button}")`);
	return page;
}

const settled = (page, state = 'playing') => page.waitForFunction((want) =>
	document.body.dataset.state === want && !document.body.dataset.wait, state, { timeout: 20000 });

describe('dravik-serve', () => {
	let serve, address, browser;
	before(async () => {
		serve = new Serve();
		address = await serve.address();
		browser = await launchBrowser();
	});
	after(async () => {
		await browser.close();
		await serve.stop();
	});

	it('PlaysAloneFromTheFrontPageAndLeavesNothingOnceThePageCloses', async () => {
		const before = serve.processes().length;
		const page = await choose(browser.context, address, 'anna', 'Play alone');
		const clicked = Date.now();
		await settled(page);
		console.log(`seat start, click to the game's window: ${Date.now() - clicked} ms`);
		const game = serve.game(/-p1 anna$/);
		assert.ok(game, serve.processes().join('\n'));
		const display = game.match(/-m1 :(\d+)/)[1];
		assert.ok(fs.readdirSync(serve.run).some((f) => f.endsWith('.sock')));
		await page.close();
		const closed = Date.now();
		await waitFor('the seat to go', () => serve.processes().length === before &&
			fs.readdirSync(serve.run).length === 0 && !fs.existsSync(`/tmp/.X11-unix/X${display}`) &&
			/seat \d+ ended: page closed/.test(serve.output));
		assert.ok(Date.now() - closed < 5000);
	});

	it('TwoPagesMeetAtADuelTableAndTheOneLeftIsTold', async () => {
		const anna = await choose(browser.context, address, 'anna', 'Open a duel table');
		await anna.waitForFunction(() => document.body.dataset.wait === 'player');
		const link = (await anna.textContent('#status')).match(/http\S+#table=\d+/)[0];
		const bert = await browser.context.newPage();
		await bert.goto(link);
		await bert.fill('#name', 'bert');
		await bert.click('button:text-is("Join anna")');
		await Promise.all([settled(anna), settled(bert)]);
		assert.ok(serve.game(/-p1 anna -m2 :\d+ -p2 bert$/));
		await bert.close();
		await anna.waitForFunction(() => document.body.dataset.state === 'ended' &&
			!document.getElementById('again').hidden);
		assert.match(await anna.textContent('#status'), /other player has left/);
		await anna.close();
	});

	it('TheComputerGameStartsWithTheFirstKey', { skip: !BOT && 'no computer opponent built' }, async () => {
		const page = await choose(browser.context, address, 'cora', 'Play the computer');
		await page.waitForFunction(() => document.body.dataset.wait === 'key');
		await new Promise((resolve) => setTimeout(resolve, 500));
		assert.equal(serve.game(/./), undefined);
		await page.keyboard.press('ArrowLeft');
		await settled(page);
		assert.ok(serve.game(/-p1 cora -m2 :\d+ -p2 computer$/));
		await page.close();
	});

	it('AnOnlookerChoosesAGameFromTheListAndCannotActInIt', async () => {
		const player = await choose(browser.context, address, 'dora', 'Play alone');
		await settled(player);
		const onlooker = await browser.context.newPage();
		await onlooker.goto(address);
		await onlooker.click('li:has-text("dora") a:text-is("Watch")');
		await onlooker.waitForFunction(() => document.body.dataset.state === 'watching');
		const box = await onlooker.locator('.game').boundingBox();
		const [x, y] = buttonMiddle(K.QUIT_Y);
		await onlooker.mouse.click(box.x + x, box.y + y);
		await onlooker.keyboard.press('Space');
		await new Promise((resolve) => setTimeout(resolve, 1000));
		assert.ok(serve.game(/-p1 dora$/), 'the onlooker ended the game');
		await player.close();
		await onlooker.waitForFunction(() => document.body.dataset.state === 'ended');
		await onlooker.close();
	});

	it('AForgedTokenIsRefused', async () => {
		const [, seat] = await post(address, { kind: 'single', name: 'eva' });
		const status = await new Promise((resolve) => {
			http.get(new URL(`/ws/${seat.seat}`, address), { headers: {
				Upgrade: 'websocket', Connection: 'Upgrade', 'Sec-WebSocket-Version': '13',
				'Sec-WebSocket-Key': 'dGhlIHNhbXBsZSBub25jZQ==',
				'Sec-WebSocket-Protocol': `binary, token.${'0'.repeat(32)}`,
			} }, (response) => resolve(response.statusCode)).on('upgrade', () => resolve(101));
		});
		assert.equal(status, 403);
	});

	it('AnUnjoinedTableAGameWithNoKeyAndAPageGoneSilentEndInTime', async () => {
		const quick = new Serve('--table-seconds', '3', '--idle-seconds', '3', '--lost-seconds', '1');
		let silent;
		try {
			const quickAddress = new URL(await quick.address());
			await post(quickAddress, { kind: 'open', name: 'hana' });
			const page = await choose(browser.context, quickAddress.href, 'ivan', 'Play alone');
			await settled(page);
			// A page whose network has gone: it answers no ping.
			const [, seat] = await post(quickAddress, { kind: 'single', name: 'jan' });
			silent = net.connect(Number(quickAddress.port), quickAddress.hostname);
			silent.write(`GET /ws/${seat.seat} HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\n` +
				'Connection: Upgrade\r\nSec-WebSocket-Version: 13\r\n' +
				`Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Protocol: token.${seat.token}\r\n\r\n`);
			await page.waitForFunction(() => /no key was pressed for 3 seconds/.test(
				document.getElementById('status').textContent));
			await waitFor('every seat to end', () => ['table not joined in 3 seconds', 'no key for 3 seconds',
				'page lost'].every((reason) => quick.output.includes(`ended: ${reason}`)));
			await page.close();
		} finally {
			silent?.destroy();
			await quick.stop();
		}
	});

	it('AFullServerSaysSoAndTheHiscoresShowWhatTheReaderReads', async () => {
		const small = new Serve('--seats', '1', '--tables', path.join(__dirname, 'tables-stub'));
		try {
			const smallAddress = await small.address();
			assert.equal((await post(smallAddress, { kind: 'single', name: 'fred' }))[0], 200);
			const page = await choose(browser.context, smallAddress, 'gina', 'Play alone');
			await page.waitForFunction(() => /server is full/.test(document.getElementById('answer').textContent));
			const tables = await page.waitForFunction(() => {
				const text = (table) => document.querySelector(`table[data-table="${table}"]`)?.innerText;
				return text('losers') && ['single', 'winners', 'losers'].map(text);
			});
			assert.deepEqual((await tables.jsonValue()).map((t) => t.split(/\s+/).join(' ')),
				['Alone anna 812 bert 640', 'Duels: winners The winners table is damaged.', 'Duels: losers No result yet.']);
			await page.close();
		} finally {
			await small.stop();
		}
	});
});
