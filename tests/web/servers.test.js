// Two dravik-serve processes on one host, as behind a load balancer, sharing one games
// directory: a single game played to its end on each, and both results in the one table.
'use strict';
const assert = require('node:assert/strict');
const { spawn, spawnSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const { describe, it, before, after } = require('node:test');
const { ROOT, waitFor, launchBrowser } = require('./rig.js');

const PROGRAM = process.env.DRAVIK_PROGRAM;
// The tests' build keeps its games directory beside the program it builds for them.
const GAMES = path.join(path.dirname(PROGRAM), 'games');
const SINGLE = path.join(GAMES, '.dravik.hiscore.single');
// Fifteen entries that any game beats, however few its drops.
const LOW_TABLE = Array.from({ length: 15 }, (_, i) => `low ${-100000 - i}\n`).join('');

function serve() {
	const child = spawn(path.join(ROOT, 'web/dravik_serve.py'), ['--game', PROGRAM,
		'--pages', path.join(ROOT, 'data/web'), '--novnc', '/usr/share/novnc', '--port', '0',
		'--tables', process.env.DRAVIK_TABLES],
	{ stdio: ['ignore', 'pipe', 'inherit'] });
	child.exited = new Promise((resolve) => child.on('exit', resolve));
	let output = '';
	child.address = new Promise((resolve) => child.stdout.on('data', (d) => {
		output += d;
		const address = output.match(/http:\/\/\S+\//);
		if (address)
			resolve(address[0]);
	}));
	return child;
}

describe('two servers sharing one games directory', () => {
	let servers, browser, kept;
	before(async () => {
		spawnSync('cmake', [`-DGAMES_DIR=${GAMES}/`, '-P', path.join(ROOT, 'cmake/games_dir.cmake')]);
		// An install makes the lock marker only with a new directory; the tests before may
		// have left this one without it.
		if (!['.dravik.unlock', '.dravik.lock'].some((name) => fs.existsSync(path.join(GAMES, name))))
			fs.writeFileSync(path.join(GAMES, '.dravik.unlock'), '');
		kept = fs.readFileSync(SINGLE, 'utf8');
		fs.writeFileSync(SINGLE, LOW_TABLE);
		servers = [serve(), serve()];
		browser = await launchBrowser();
	});
	after(async () => {
		await browser?.close();
		for (const server of servers) {
			server.kill('SIGTERM');
			assert.equal(await server.exited, 0);
		}
		if (kept !== undefined)
			fs.writeFileSync(SINGLE, kept);
	});

	it('AGameOnEachServerStoresItsResultInTheOneTable', async () => {
		const names = ['north', 'south'];
		await Promise.all(servers.map(async (server, i) => {
			const page = await browser.context.newPage();
			await page.goto(await server.address);
			await page.fill('#name', names[i]);
			await page.click('button:text-is("Play alone")');
			await page.waitForFunction(() => document.body.dataset.state === 'playing', null, { timeout: 20000 });
			// Hard drops, a tick or two apart, until the game has stored its result.
			await waitFor(`${names[i]}'s result`, async () => {
				await page.keyboard.press('Space');
				return new RegExp(`^${names[i]} `, 'm').test(fs.readFileSync(SINGLE, 'utf8'));
			}, 60000);
			await page.close();
		}));
		const table = fs.readFileSync(SINGLE, 'utf8').split('\n').filter(Boolean);
		assert.equal(table.length, 15);
		assert.deepEqual(table.slice(0, 2).map((line) => line.split(' ')[0]).sort(), names);
		// Either server's hiscore page shows both, as the game's own reader reads them.
		const page = await browser.context.newPage();
		await page.goto(`${await servers[1].address}hiscores`);
		await page.waitForFunction((both) => both.every((name) =>
			document.querySelector('table[data-table="single"]')?.innerText.includes(name)), names);
		await page.close();
	});
});
