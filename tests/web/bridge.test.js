// The bridge that carries the web seats: what it tells, what it refuses and how it holds
// up, seen from outside, through scripts/play. Run by run.sh, like seats.test.js.
'use strict';
const assert = require('node:assert/strict');
const { execFileSync, spawnSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { describe, it, before, after } = require('node:test');
const { freePort, Play } = require('./rig.js');

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
