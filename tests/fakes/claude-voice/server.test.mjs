// The voice stream fake itself: what it accepts, refuses, answers and records.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import WebSocket from 'ws';
import { startServer, STREAM_PATH, USER_AGENT } from './server.mjs';

const QUERY = 'encoding=linear16&sample_rate=16000&channels=1&endpointing_ms=300&utterance_end_ms=1000' +
  '&language=vi&use_conversation_engine=true&stt_provider=deepgram-nova3&client_platform=web_claude_ai';

async function withFake(fn) {
  const fake = await startServer();
  try {
    await fn(fake);
  } finally {
    fake.server.close();
  }
}

function open(port, { query = QUERY, cookie = 'sessionKey=test-session; lastActiveOrg=org', origin, agent = USER_AGENT } = {}) {
  const ws = new WebSocket(`ws://127.0.0.1:${port}${STREAM_PATH}?${query}`, {
    headers: { Cookie: cookie, 'User-Agent': agent },
    origin: origin ?? `http://127.0.0.1:${port}`,
  });
  const received = [];
  ws.on('message', (data) => received.push(JSON.parse(data.toString())));
  const opened = new Promise((resolve) => {
    ws.on('open', () => resolve({ status: 101 }));
    ws.on('unexpected-response', (_req, res) => resolve({ status: res.statusCode }));
    ws.on('error', (error) => resolve({ error: error.message }));
  });
  return { ws, received, opened };
}

const wait = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

test('audio gets transcripts, and nothing comes after CloseStream', async () => {
  await withFake(async ({ port, state }) => {
    const { ws, received, opened } = open(port, { query: `${QUERY}&organization_uuid=org-1` });
    assert.deepEqual(await opened, { status: 101 });
    ws.send(JSON.stringify({ type: 'KeepAlive' }));
    for (let i = 0; i < 10; ++i) ws.send(Buffer.alloc(3200));
    await wait(200);
    assert.deepEqual(received.map((m) => m.type), ['TranscriptInterim', 'TranscriptText', 'TranscriptEndpoint']);
    ws.send(JSON.stringify({ type: 'CloseStream' }));
    ws.send(Buffer.alloc(32000));
    await wait(200);
    assert.equal(received.length, 3);
    const record = state.connections[0];
    assert.deepEqual(record.problems, []);
    assert.equal(record.audioBytes, 32000);
    assert.deepEqual(record.messages[0], { text: '{"type":"KeepAlive"}' });
    ws.close();
  });
});

test('a request that is not what Veska sends is refused and its problems recorded', async () => {
  await withFake(async ({ port, state }) => {
    const rows = [
      { query: QUERY.replace('encoding=linear16&sample_rate=16000', 'sample_rate=16000&encoding=linear16') },
      { query: QUERY.replace('language=vi', 'language=') },
      { query: `organization_uuid=o&${QUERY}` },
      { origin: 'https://elsewhere.example' },
      { agent: 'curl/8' },
    ];
    for (const row of rows) {
      const { opened } = open(port, row);
      assert.deepEqual(await opened, { status: 400 }, JSON.stringify(row));
    }
    assert.equal(state.connections.length, rows.length);
    for (const record of state.connections) assert.ok(record.problems.length > 0);
  });
});

test('refusals: a wrong session, and 401, 403 or 500 on demand', async () => {
  await withFake(async ({ port, state }) => {
    assert.deepEqual(await open(port, { cookie: 'sessionKey=other' }).opened, { status: 401 });
    state.queue.push({ refuse: 403 }, { refuse: 500 }, { closeBeforeOpen: true });
    assert.deepEqual(await open(port).opened, { status: 403 });
    assert.deepEqual(await open(port).opened, { status: 500 });
    assert.ok('error' in (await open(port).opened));
  });
});

test('scripted messages, and a close after opening', async () => {
  await withFake(async ({ port, state }) => {
    state.queue.push({
      replies: [{ afterAudioBytes: 0, send: { type: 'TranscriptError', message: 'bad audio' } },
                { afterAudioBytes: 6400, send: { type: 'error' } }],
      closeAfterOpenMs: 150,
      closeCode: 4001,
    });
    const { ws, received, opened } = open(port);
    await opened;
    const closed = new Promise((resolve) => ws.on('close', (code) => resolve(code)));
    ws.send(Buffer.alloc(3200));
    ws.send(Buffer.alloc(3200));
    assert.equal(await closed, 4001);
    assert.deepEqual(received.map((m) => m.type), ['TranscriptError', 'error']);
  });
});

test('the account endpoint answers for the session cookie', async () => {
  await withFake(async ({ port, state }) => {
    const ask = (cookie) => fetch(`http://127.0.0.1:${port}/api/account`, { headers: { Cookie: cookie } });
    assert.equal((await ask('sessionKey=nope')).status, 401);
    const ok = await ask('sessionKey=test-session');
    assert.equal(ok.status, 200);
    assert.equal((await ok.json()).email_address, 'user@example.com');
    state.account = { status: 403, body: '<html>challenge</html>', headers: { 'Content-Type': 'text/html', 'cf-mitigated': 'challenge' } };
    const blocked = await ask('sessionKey=test-session');
    assert.equal(blocked.status, 403);
    assert.equal(blocked.headers.get('cf-mitigated'), 'challenge');
  });
});
