// The front page of dravik-serve: a name, then a game alone, against the computer or at
// a duel table; the tables that wait for a player and the games to watch, refreshed;
// the hiscores. Each seat's page gets its seat's token and password in its address's
// fragment, which no server sees.
const REFRESH_MS = 2000;
const MAX_NAME_BYTES = 8;   // as the game takes a name

const form = document.getElementById('play');
const nameField = document.getElementById('name');
const nameWhy = document.getElementById('name-why');
const answer = document.getElementById('answer');
const invited = new URLSearchParams(location.hash.slice(1)).get('table');
const INVITED = 'You are invited to a duel: give your name, then join the table marked below.';

// Why the game would refuse NAME, or '': the server says the same.
function nameRefusal(name) {
	const bytes = new TextEncoder().encode(name).length;
	if (!name)
		return 'Give a name: 1 to 8 letters.';
	if (bytes > MAX_NAME_BYTES)
		return `A name has at most ${MAX_NAME_BYTES} bytes (an accented letter takes two): "${name}" has ${bytes}.`;
	// As Python's isprintable(): no control, format or separator character but the space.
	if (/[\p{C}\p{Zl}\p{Zp}]|[^\P{Zs} ]/u.test(name) || name !== name.trim())
		return 'A name has no control characters and no space at either end.';
	if (name.startsWith('-'))
		return 'A name may not begin with "-".';
	return '';
}

function checkName() {
	const why = nameRefusal(nameField.value);
	nameWhy.textContent = why;
	nameField.setAttribute('aria-invalid', String(Boolean(why)));
	return !why;
}
nameField.value = localStorage.getItem('dravik-name') || '';
nameField.addEventListener('input', checkName);

async function takeSeat(request) {
	answer.textContent = '';
	if (!checkName()) {
		nameField.focus();
		return;
	}
	localStorage.setItem('dravik-name', nameField.value);
	let reply;
	try {
		const response = await fetch('/api/seats', { method: 'POST',
			headers: { 'Content-Type': 'application/json' },
			body: JSON.stringify({ name: nameField.value, ...request }) });
		reply = await response.json();
	} catch {
		reply = { error: 'The server does not answer: try again later.' };
	}
	if (reply.error) {
		answer.textContent = reply.error;
		answer.className = '';
		return;
	}
	const seat = new URLSearchParams({ seat: reply.seat, token: reply.token, password: reply.password });
	for (const key of ['with', 'start', 'table'])
		if (reply[key])
			seat.set(key, reply[key]);
	location.assign(`/play/#${seat}`);
}

form.addEventListener('submit', (e) => {
	e.preventDefault();
	const kind = e.submitter ? e.submitter.value : 'single';
	takeSeat(kind === 'computer' ? { kind, level: Number(document.getElementById('level').value) }
		: { kind });
});

function item(text, control) {
	const li = document.createElement('li');
	const span = document.createElement('span');
	span.textContent = text;
	li.append(span, control);
	return li;
}

const waited = (since) => {
	const minutes = Math.floor((Date.now() / 1000 - since) / 60);
	return minutes < 1 ? 'for a moment' : `for ${minutes} min`;
};

function showState(state) {
	const tables = state.tables.map((table) => {
		const button = document.createElement('button');
		button.type = 'button';
		button.textContent = `Join ${table.name}`;
		button.addEventListener('click', () => takeSeat({ kind: 'join', table: table.id }));
		const li = item(`${table.name}, waiting ${waited(table.since)}`, button);
		li.dataset.table = table.id;
		li.classList.toggle('mine', table.id === invited);
		return li;
	});
	const games = state.games.map((game) => {
		const link = document.createElement('a');
		link.href = `/watch/#${new URLSearchParams({ game: game.id, password: game.watch })}`;
		link.textContent = 'Watch';
		const names = game.kind === 'single' ? `${game.names[0]}, alone` : game.names.join(' against ');
		const li = item(names, link);
		li.dataset.game = game.id;
		return li;
	});
	// Only what changed is replaced, so that the keyboard's focus stays where it is.
	for (const [list, items, none] of [['tables', tables, 'no-tables'], ['games', games, 'no-games']]) {
		const box = document.getElementById(list);
		const old = [...box.children].map((li) => li.textContent).join('\n');
		if (old !== items.map((li) => li.textContent).join('\n'))
			box.replaceChildren(...items);
		document.getElementById(none).hidden = items.length > 0;
	}
	if (invited && answer.textContent === INVITED && !state.tables.some((table) => table.id === invited))
		answer.textContent = 'The table you were invited to waits no more: open one of your own.';
	document.getElementById('load').textContent = `${state.seats} of ${state.limit} seats in use.`;
}

async function refresh() {
	try {
		showState(await (await fetch('/api/state', { cache: 'no-store' })).json());
	} catch {
		document.getElementById('load').textContent = 'The server does not answer.';
	}
	setTimeout(refresh, REFRESH_MS);
}

const TABLE_TITLES = { single: 'Alone', winners: 'Duels: winners', losers: 'Duels: losers' };

async function hiscores() {
	const box = document.getElementById('hiscore-tables');
	let tables;
	try {
		tables = await (await fetch('/api/hiscores', { cache: 'no-store' })).json();
	} catch {
		tables = {};
	}
	box.replaceChildren(...Object.entries(TABLE_TITLES).map(([key, title]) => {
		const table = document.createElement('table');
		table.dataset.table = key;
		table.createCaption().textContent = title;
		const entries = tables[key];
		if (!entries || entries.error) {
			table.insertRow().insertCell().textContent = entries ? entries.error : 'This table cannot be read.';
		} else if (!entries.entries.length) {
			table.insertRow().insertCell().textContent = 'No result yet.';
		}
		for (const [name, score] of (entries && entries.entries) || []) {
			const row = table.insertRow();
			row.insertCell().textContent = name;
			const cell = row.insertCell();
			cell.className = 'score';
			cell.textContent = score;
		}
		return table;
	}));
}

if (invited) {
	answer.textContent = INVITED;
	answer.className = 'note';
}
refresh();
hiscores();
if (location.pathname === '/hiscores')
	document.getElementById('hiscores').scrollIntoView();
(nameField.value ? document.querySelector('button[value="single"]') : nameField).focus();
