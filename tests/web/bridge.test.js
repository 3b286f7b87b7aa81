// The bridge that carries the web seats: what it tells, what it refuses and how it holds
// up, seen from outside, through scripts/play. Run by run.sh, like seats.test.js.
'use strict';
const assert = require('node:assert/strict');
const { execFileSync, spawnSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { describe, it, before, after } = require('node:test');
const net = require('node:net');
const { waitFor, freePort, freePortPair, freePorts, Play, launchBrowser, Seat, shiftToWall } = require('./rig.js');

const PROGRAM = process.env.DRAVIK_PROGRAM;

describe('the seats on a network', () => {
	const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'dravik-cert-'));
	let plays = [];
	after(async () => {
		await Promise.all(plays.map((p) => p.stop()));
		fs.rmSync(dir, { recursive: true, force: true });
	});

	it('PlainHttpToTheNetworkIsWarnedOf', async () => {
		const play = new Play(['--web', '--listen', '0.0.0.0', '--port', String(await freePort())], PROGRAM);
		plays.push(play);
		await play.addresses(1);
		assert.match(play.output, /Warning: .* plain HTTP[^]*--cert FILE --key FILE/);
	});

	it('TlsTakesOnlySuitesWithForwardSecrecy', async () => {
		// An RSA key, with which suites without ECDHE are possible at all.
		execFileSync('openssl', ['req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-subj', '/CN=localhost', '-keyout',
			`${dir}/key.pem`, '-out', `${dir}/cert.pem`], { stdio: 'pipe' });
		const port = await freePort();
		const play = new Play(['--web', '--port', String(port), '--cert', `${dir}/cert.pem`,
			'--key', `${dir}/key.pem`], PROGRAM);
		plays.push(play);
		await play.addresses(1);
		assert.doesNotMatch(play.output, /Warning/);
		for (const [options, taken] of [
			[['-tls1_2', '-cipher', 'AES128-SHA'], false],
			[['-tls1_2', '-cipher', 'AES256-GCM-SHA384'], false],
			[['-tls1_2', '-cipher', 'ECDHE-RSA-AES128-GCM-SHA256'], true],
			[['-tls1_3'], true],
		]) {
			const run = spawnSync('openssl', ['s_client', '-connect', `127.0.0.1:${port}`, ...options],
				{ input: '', encoding: 'utf8', timeout: 10000 });
			const suite = run.stdout.match(/Cipher is (\S+)/)?.[1];
			assert.equal(suite !== undefined && suite !== '(NONE)', taken, `${options.join(' ')}: ${suite}`);
		}
	});
});

// The first line of what the server answers to RAW sent on a connection of its own.
const answer = (port, raw) => new Promise((resolve, reject) => {
	let got = '';
	const socket = net.connect({ port, host: '127.0.0.1' }, () => socket.write(raw));
	socket.on('data', (d) => { got += d; }).on('error', reject)
		.on('close', () => resolve(got.split('\r\n')[0]));
});

describe('one bridge for every seat', () => {
	let play, browser, port, seats;
	before(async () => {
		port = await freePorts(3);
		play = new Play(['--web', '--duel', '--watch', '--port', String(port), '-p1', 'anna',
			'-p2', 'bert'], PROGRAM);
		browser = await launchBrowser({ viewport: { width: 800, height: 1000 } });
	});
	after(async () => {
		await browser?.close();
		await play?.stop();
	});

	it('TwoSeatsAndOnlookersThroughOnePortInOneProcess', async () => {
		const hashes = (await play.addresses(3)).map((a) => new URL(a).hash);
		const base = `http://127.0.0.1:${port}`;
		seats = [await Seat.open(browser.context, `${base}/${hashes[0]}`),
			await Seat.open(browser.context, `${base}/2/${hashes[1]}`)];
		const onlookers = await Seat.open(browser.context, `${base}/watch/${hashes[2]}`, '.game >> nth=0');
		assert.deepEqual([await seats[0].name(), await seats[1].name()], ['dravik: anna', 'dravik: bert']);
		await waitFor('the game for onlookers', async () => (await onlookers.state()) === 'watching');
		const ps = spawnSync('ps', ['-o', 'pid=,ppid=,args=', '-g', String(play.child.pid)],
			{ encoding: 'utf8' }).stdout.trim().split('\n').map((l) => l.trim().split(/\s+/));
		const bridges = ps.filter((p) => p.slice(2).some((a) => a.endsWith('dravik_bridge.py')));
		assert.equal(bridges.length, 1, ps.join('\n'));
		assert.deepEqual(ps.filter((p) => p[1] === bridges[0][0]), [], 'no process per connection');
	});

	it('MalformedRequestAndUnknownSeatAreRefusedWhileTheSeatsPlay', async () => {
		const upgrade = 'Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n' +
			'Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n';
		for (const [raw, status] of [
			['NONSENSE\r\n\r\n', 400],
			['GET / HTTP/1.1\r\nno header\r\n\r\n', 400],
			['GET /9/ HTTP/1.1\r\n\r\n', 404],
			[`GET /9/websockify HTTP/1.1\r\n${upgrade}`, 404],
			['GET /../../etc/passwd HTTP/1.1\r\n\r\n', 404],
		])
			assert.match(await answer(port, raw), new RegExp(`^HTTP/1.1 ${status} `), raw);
		await shiftToWall(seats[1], 'ArrowLeft', 'left', 0);
	});
});

describe("the script's options after the game's", () => {
	let play, browser, port;
	before(async () => {
		port = await freePortPair();
		play = new Play(['--web', '-p1', 'anna', '--port', String(port), '--watch'], PROGRAM);
		browser = await launchBrowser();
	});
	after(async () => {
		await browser?.close();
		await play?.stop();
	});

	it('TakeEffectAndCtrlCEndsTheGameBeforeItsServer', async () => {
		const [seat, onlookers] = await play.addresses(2);
		assert.deepEqual([seat, onlookers].map((a) => new URL(a).port), [String(port), String(port + 1)]);
		assert.equal(await (await Seat.open(browser.context, seat)).name(), 'dravik: anna');
		await waitFor('the game', () => play.gameRunning());
		process.kill(-play.child.pid, 'SIGINT');   // as Ctrl-C in its terminal
		await play.waitGone();
		assert.doesNotMatch(play.output, /X connection .* broken/);
		assert.equal(play.exited.code, 130, play.output);
	});
});
