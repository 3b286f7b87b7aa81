// Measures dravik-serve with K browser players at once, each on a page of one headless
// Chromium that plays alone from the front page and then shifts its piece at a human
// pace: seat start (the click to the game's window in the page), key to canvas, and the
// memory and CPU of the seats' X servers and games and of the server itself. Started by
// scripts/bench, which puts playwright-core on NODE_PATH; prints Markdown tables.
//   node bench/serve_seats.js [--quick] PROGRAM
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const { spawn } = require('node:child_process');
const { ROOT, K, waitFor, launchBrowser } = require('../tests/web/rig.js');
const {
	CLOCK_TICKS, MIB, sleep, watchMoves, pressAndCount, memory, median, percentile95, fixed,
} = require('./web_measure.js');

const KEY_MS = 300;        // a player's pace: a move every 300 ms
const AIM = { p95: 100, seats: 32 };
const RUNS = {
	full: { counts: [1, 4, 16, 32], idle: 10, playing: 20 },
	quick: { counts: [1, 4], idle: 3, playing: 5 },
};
const SETTLE_MS = 3000;    // for the pages to draw before memory is read
const MOVE_WAIT_MS = 5000; // a move not shown by then is counted as never shown
const START_WAIT_MS = 30000;

// The server with its per-address limits lifted, as every player of the run comes from
// this host's loopback; its seats limit above the largest K.
function startServer(program, seats) {
	const run = fs.mkdtempSync('/tmp/dravik-bench-serve-');
	const web = path.join(ROOT, 'web');
	const code = `import sys; sys.path.insert(0, ${JSON.stringify(web)}); import dravik_serve as s
s.MAX_SEATS_PER_ADDRESS = s.MAX_CONNECTIONS_PER_ADDRESS = 1000
s.main(s.arguments(sys.argv[1:]))`;
	const child = spawn('/usr/bin/python3', ['-c', code, '--game', program,
		'--pages', path.join(ROOT, 'data/web'), '--novnc', '/usr/share/novnc', '--run', run,
		'--port', '0', '--seats', String(seats)], { stdio: ['ignore', 'pipe', 'pipe'] });
	let output = '';
	child.stdout.on('data', (d) => { output += d; });
	child.stderr.on('data', (d) => { output += d; });
	const exited = new Promise((resolve) => child.on('exit', resolve));
	return {
		child,
		address: () => waitFor('the server\'s address', () => (output.match(/http:\/\/\S+\//) || [])[0]),
		async stop() {
			child.kill('SIGTERM');
			await exited;
			fs.rmSync(run, { recursive: true, force: true });
		},
	};
}

// This process's descendants by kind (server, Xvnc, game, browser), with CPU ticks so far.
function processes(server, program) {
	const all = [];
	for (const entry of fs.readdirSync('/proc')) {
		if (!/^\d+$/.test(entry))
			continue;
		try {
			const stat = fs.readFileSync(`/proc/${entry}/stat`, 'utf8');
			const argv0 = fs.readFileSync(`/proc/${entry}/cmdline`, 'utf8').split('\0')[0];
			const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
			all.push({ pid: Number(entry), ppid: Number(fields[1]), argv0,
				comm: stat.slice(stat.indexOf('(') + 1, stat.lastIndexOf(')')),
				ticks: Number(fields[11]) + Number(fields[12]) });
		} catch { /* gone meanwhile */ }
	}
	const mine = new Set([process.pid]);
	for (let grew = true; grew;) {
		grew = false;
		for (const p of all) {
			if (!mine.has(p.pid) && mine.has(p.ppid)) {
				mine.add(p.pid);
				grew = true;
			}
		}
	}
	return all.filter((p) => mine.has(p.pid)).map((p) => ({ ...p,
		kind: p.pid === server ? 'server' : p.comm === 'Xvnc' ? 'Xvnc' : p.argv0 === program ? 'game'
			: /chrom/i.test(p.comm) ? 'browser' : 'other' }));
}

// The whole host's CPU time so far, busy and all, in ticks of /proc/stat.
function hostTicks() {
	const [user, nice, system, idle, iowait, ...rest] = fs.readFileSync('/proc/stat', 'utf8')
		.split('\n')[0].split(/\s+/).slice(1).map(Number);
	const all = [user, nice, system, idle, iowait, ...rest.slice(0, 3)].reduce((a, b) => a + b, 0);
	return { busy: all - idle - iowait, all };
}

// CPU in % of one core over the body's run, by kind.
async function cpu(server, program, body) {
	const before = processes(server, program), at = performance.now(), host = hostTicks();
	await body();
	const hostNow = hostTicks();
	const seconds = (performance.now() - at) / 1000, used = {};
	for (const p of processes(server, program)) {
		const was = before.find((q) => q.pid === p.pid);
		used[p.kind] = (used[p.kind] || 0) + (p.ticks - (was ? was.ticks : 0)) / CLOCK_TICKS / seconds * 100;
	}
	used.host = (hostNow.busy - host.busy) / (hostNow.all - host.all) * 100;   // of all cores
	return used;
}

// A page's player until END: a shift every KEY_MS, left and right in turn.
async function play(page, end, moves) {
	await sleep(Math.random() * KEY_MS);   // the players out of step with each other
	for (let i = 0; Date.now() < end; i++) {
		const next = Date.now() + KEY_MS;
		await pressAndCount(page, i, moves);
		await sleep(next - Date.now());
	}
}

// K seats at once: started one after another, idle, then all playing.
async function measureCount(count, server, address, browser, program, run) {
	const pages = [], starts = [];
	for (let i = 0; i < count; i++) {
		const page = await browser.context.newPage();
		await page.goto(address);
		await page.fill('#name', `bench${i + 1}`);
		const clicked = Date.now();
		await page.click('button:text-is("Play alone")');
		await page.waitForFunction(() => document.body.dataset.state === 'playing' &&
			!document.body.dataset.wait, null, { timeout: START_WAIT_MS });
		starts.push(Date.now() - clicked);
		pages.push(page);
		await page.evaluate(watchMoves, {
			left: K.WINDOW_BORDER + K.FIELD_X, top: K.WINDOW_BORDER + K.FIELD_Y,
			cols: K.BOARD_COLS, rows: K.START_FLOOR_ROW + 1, cell: K.CELL_PX, limit: MOVE_WAIT_MS,
		});
	}
	for (const page of pages)
		await page.waitForFunction(() => window.dravikBench.cells().count > 0, null, { timeout: START_WAIT_MS });
	await sleep(SETTLE_MS);
	const pss = {};
	for (const p of processes(server.child.pid, program).filter((q) => q.kind !== 'browser'))
		pss[p.kind] = (pss[p.kind] || 0) + memory(p.pid).pss;
	const idle = await cpu(server.child.pid, program, () => sleep(run.idle * 1000));
	const moves = { shown: [], landed: 0, never: 0 };
	const end = Date.now() + run.playing * 1000;
	const playing = await cpu(server.child.pid, program, () => Promise.all(pages.map((page) => play(page, end, moves))));
	await Promise.all(pages.map((page) => page.close()));
	await waitFor('every seat to end', () => !processes(server.child.pid, program)
		.some((p) => p.kind === 'Xvnc' || p.kind === 'game'), 20000);
	const seat = (used) => ((used.Xvnc || 0) + (used.game || 0)) / count;
	moves.shown.sort((a, b) => a - b);
	starts.sort((a, b) => a - b);
	return { count, starts, moves, seatPss: seat(pss), serverPss: pss.server,
		idle: { seat: seat(idle), server: idle.server || 0 },
		playing: { seat: seat(playing), server: playing.server || 0 },
		browser: playing.browser || 0, host: playing.host };
}

function printTables(rows, run) {
	console.log('| seats | seat start median, 95th percentile ms | PSS a seat MiB | server PSS MiB | CPU % a seat idle, playing | server CPU % idle, playing | Chromium CPU %, host busy % playing | moves shown, never shown | key to canvas median ms | key to canvas 95th percentile ms |');
	console.log('| --- | --- | --- | --- | --- | --- | --- | --- | --- | --- |');
	for (const r of rows) {
		const m = r.moves.shown;
		console.log(`| ${r.count} | ${median(r.starts)}, ${percentile95(r.starts)} | ${fixed(r.seatPss, 1)} | ${fixed(r.serverPss, 1)} | ` +
			`${fixed(r.idle.seat, 2)}, ${fixed(r.playing.seat, 2)} | ${fixed(r.idle.server, 2)}, ${fixed(r.playing.server, 2)} | ${fixed(r.browser, 0)}, ${fixed(r.host, 0)} | ` +
			`${m.length}, ${r.moves.never} | ${fixed(median(m))} | ${fixed(percentile95(m))} |`);
	}
	console.log();
	const within = rows.filter((r) => r.moves.never === 0 && percentile95(r.moves.shown) <= AIM.p95);
	const best = within.length ? Math.max(...within.map((r) => r.count)) : 0;
	const aim = rows.find((r) => r.count === AIM.seats);
	let verdict = `The largest number of seats at which the 95th percentile from key to canvas stays within ${AIM.p95} ms: ${best || 'none'}.`;
	if (aim)
		verdict += ` The aim, ${AIM.seats} seats playing at once within that bound: ` +
			(best >= AIM.seats ? 'met.' : `not met, the 95th percentile is ${fixed(percentile95(aim.moves.shown))} ms at ${AIM.seats} seats` +
				(aim.moves.never ? ` and ${aim.moves.never} moves never showed` : '') + '.');
	console.log(`${verdict} Each count plays ${run.playing} s after ${run.idle} s idle; its seats are started one after another while the earlier ones sit idle.`);
}

async function main() {
	const args = process.argv.slice(2);
	const quick = args[0] === '--quick';
	const program = args[quick ? 1 : 0];
	if (!program || args.length !== (quick ? 2 : 1))
		throw new Error('usage: serve_seats.js [--quick] PROGRAM');
	const run = quick ? RUNS.quick : RUNS.full;
	const server = startServer(path.resolve(program), 2 * Math.max(...run.counts));
	let browser;
	try {
		const address = await server.address();
		browser = await launchBrowser();
		const rows = [];
		for (const count of run.counts) {
			rows.push(await measureCount(count, server, address, browser, path.resolve(program), run));
			console.error(`serve bench: ${count} seats measured`);
		}
		printTables(rows, run);
	} finally {
		await browser?.close();
		await server.stop();
	}
}

main().catch((error) => {
	console.error(`serve bench: ${error.stack || error}`);
	process.exitCode = 1;
});
