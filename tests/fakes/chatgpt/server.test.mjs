// The ChatGPT fake itself: the session's token forms, its checks of the browser headers, the
// transcription endpoint's checks and failures, and the controls.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import http from 'node:http';

import { startServer, USER_AGENT, DEFAULT_TOKEN, SESSION_COOKIE, jwt } from './server.mjs';

/** A raw request (every header chosen by the test); resolves with status, headers and body
 *  bytes, or with {error} when the connection breaks. */
function call(fake, method, path, { headers = {}, body, timeoutMs = 2000 } = {}) {
  return new Promise((resolve) => {
    const req = http.request({ host: '127.0.0.1', port: fake.port, method, path, headers }, (res) => {
      const chunks = [];
      res.on('data', (c) => chunks.push(c));
      res.on('end', () => resolve({ status: res.statusCode, headers: res.headers, body: Buffer.concat(chunks) }));
      res.on('error', (error) => resolve({ error: error.code ?? error.message }));
    });
    req.setTimeout(timeoutMs, () => req.destroy(Object.assign(new Error('timeout'), { code: 'TIMEOUT' })));
    req.on('error', (error) => resolve({ error: error.code ?? error.message }));
    if (body !== undefined) req.write(body);
    req.end();
  });
}

const browser = (fake, cookie) => ({
  'User-Agent': USER_AGENT,
  Referer: `${fake.url}/`,
  ...(cookie === undefined ? {} : { Cookie: cookie }),
});

async function withFake(t) {
  const fake = await startServer();
  t.after(fake.close);
  return fake;
}

const json = (answer) => JSON.parse(answer.body.toString('utf8'));

/** The outcomes of the requests once the last one has seen its client go (the server hears
 *  of a closed connection a moment after the client closed it). */
async function outcomes(fake) {
  for (let i = 0; i < 100 && fake.requests.at(-1)?.outcome === 'silent'; i += 1) {
    await new Promise((resolve) => setTimeout(resolve, 10));
  }
  return fake.requests.map((r) => r.outcome);
}

test('the session cookie picks the form of the token in the answer', async (t) => {
  const fake = await withFake(t);
  const token = (answer) => {
    const body = json(answer);
    return [body.accessToken, body.access_token, body.token?.accessToken];
  };
  const rows = [
    [`${SESSION_COOKIE}=abc`, [DEFAULT_TOKEN, undefined, undefined]],
    [`${SESSION_COOKIE}=form-access_token`, [undefined, DEFAULT_TOKEN, undefined]],
    [`${SESSION_COOKIE}=form-nested`, [undefined, undefined, DEFAULT_TOKEN]],
    [`${SESSION_COOKIE}=form-empty`, ['', '', '']],
    [`${SESSION_COOKIE}.0=form-; ${SESSION_COOKIE}.1=nested`, [undefined, undefined, DEFAULT_TOKEN]],
    [`${SESSION_COOKIE}.1=nested; other=1; ${SESSION_COOKIE}.0=form-`, [undefined, undefined, DEFAULT_TOKEN]],
    ['cf_clearance=x; __cf_bm=y', [undefined, undefined, undefined]],
  ];
  for (const [cookie, expected] of rows) {
    const answer = await call(fake, 'GET', '/api/auth/session', { headers: browser(fake, cookie) });
    assert.equal(answer.status, 200, cookie);
    assert.deepEqual(token(answer), expected, cookie);
  }
  assert.deepEqual(json(await call(fake, 'GET', '/api/auth/session', { headers: browser(fake, 'a=b') })), {});
});

test('the session cookie can ask for the failures', async (t) => {
  const fake = await withFake(t);
  const rows = [
    ['form-notObject', (a) => assert.ok(Array.isArray(json(a)))],
    ['form-notJson', (a) => assert.match(a.body.toString(), /^<!DOCTYPE html>/)],
    ['status-403', (a) => assert.equal(a.status, 403)],
    ['status-500', (a) => assert.equal(a.status, 500)],
    ['slow-300', (a) => assert.equal(json(a).accessToken, DEFAULT_TOKEN)],
    ['drop', (a) => assert.ok(a.error, 'the connection is cut')],
  ];
  for (const [value, check] of rows) {
    check(await call(fake, 'GET', '/api/auth/session', { headers: browser(fake, `${SESSION_COOKIE}=${value}`) }));
  }
  const silent = await call(fake, 'GET', '/api/auth/session', { headers: browser(fake, `${SESSION_COOKIE}=silent`), timeoutMs: 300 });
  assert.equal(silent.error, 'TIMEOUT');
  assert.deepEqual(await outcomes(fake), ['answered', 'answered', 'answered', 'answered', 'answered', 'dropped', 'aborted']);
});

test('a session request without the browser headers or cookies is refused and its problems listed', async (t) => {
  const fake = await withFake(t);
  const good = browser(fake, `${SESSION_COOKIE}=x`);
  const rows = [
    [{ ...good, 'User-Agent': 'curl/8' }, /User-Agent is "curl\/8"/],
    [{ ...good, Referer: 'https://chatgpt.com/' }, /Referer is "https:\/\/chatgpt.com\/", expected "http:\/\/127.0.0.1:\d+\/"/],
    [{ 'User-Agent': USER_AGENT, Cookie: 'a=b' }, /Referer is null/],
    [browser(fake), /no Cookie header/],
  ];
  for (const [headers, problem] of rows) {
    const answer = await call(fake, 'GET', '/api/auth/session', { headers });
    assert.equal(answer.status, 400);
    assert.match(json(answer).detail, problem);
    assert.match(fake.requests.at(-1).problems.join('; '), problem);
  }
});

test('control answers are taken before the cookie, one per request, and a reset forgets them', async (t) => {
  const fake = await withFake(t);
  const other = jwt({ email: 'b@veska.test' });
  const reply = await call(fake, 'POST', '/__fake/script', {
    body: JSON.stringify({ session: [{ form: 'access_token', token: other }, { status: 401 }] }) });
  assert.deepEqual(json(reply), { queued: { session: 2, transcribe: 0 } });
  const headers = browser(fake, `${SESSION_COOKIE}=form-nested`);
  assert.equal(json(await call(fake, 'GET', '/api/auth/session', { headers })).access_token, other);
  assert.equal((await call(fake, 'GET', '/api/auth/session', { headers })).status, 401);
  assert.equal(json(await call(fake, 'GET', '/api/auth/session', { headers })).token.accessToken, DEFAULT_TOKEN);
  await call(fake, 'POST', '/__fake/config', { body: JSON.stringify({ session: { form: 'empty' } }) });
  assert.equal(json(await call(fake, 'GET', '/api/auth/session', { headers: browser(fake, `${SESSION_COOKIE}=x`) })).accessToken, '');
  await call(fake, 'POST', '/__fake/reset', { body: '' });
  assert.equal(json(await call(fake, 'GET', '/api/auth/session', { headers: browser(fake, `${SESSION_COOKIE}=x`) })).accessToken, DEFAULT_TOKEN);
  assert.equal(json(await call(fake, 'GET', '/__fake/requests')).requests.length, 1, 'only the request after the reset');
  assert.equal((await call(fake, 'POST', '/__fake/config', { body: '[1' })).status, 400);
});

const AUDIO = Buffer.concat([Buffer.from([0, 0, 0, 0x1c]), Buffer.from('ftypM4A '), Buffer.alloc(500, 3)]);

function upload(audio = AUDIO, { name = 'file', type = 'audio/mp4', boundary = 'b0und4ry' } = {}) {
  return {
    contentType: `multipart/form-data; boundary=${boundary}`,
    body: Buffer.concat([
      Buffer.from(`--${boundary}\r\nContent-Disposition: form-data; name="${name}"; filename="audio.m4a"\r\nContent-Type: ${type}\r\n\r\n`),
      audio,
      Buffer.from(`\r\n--${boundary}--\r\n`),
    ]),
  };
}

function transcribe(fake, { token = DEFAULT_TOKEN, form = upload(), headers = {} } = {}) {
  return call(fake, 'POST', '/backend-api/transcribe', {
    headers: { ...browser(fake), Authorization: `Bearer ${token}`, 'Content-Type': form.contentType, ...headers },
    body: form.body,
  });
}

test('a recording with the token gets its text, and the upload is kept byte for byte', async (t) => {
  const fake = await withFake(t);
  const answer = await transcribe(fake);
  assert.equal(answer.status, 200);
  assert.deepEqual(json(answer), { text: 'xin chào' });
  const seen = fake.requests[0];
  assert.deepEqual(seen.problems, []);
  assert.equal(seen.audioBytes, AUDIO.length);
  assert.equal(seen.filename, 'audio.m4a');
  const kept = await call(fake, 'GET', '/__fake/uploads/0');
  assert.deepEqual(kept.body, AUDIO);
  await call(fake, 'POST', '/__fake/config', { body: JSON.stringify({ text: 'nghe được {bytes} byte' }) });
  assert.deepEqual(json(await transcribe(fake)), { text: `nghe được ${AUDIO.length} byte` });
  assert.equal((await call(fake, 'GET', '/__fake/uploads/7')).status, 404);
});

test('the transcription endpoint refuses a wrong token, a large file and a malformed upload', async (t) => {
  const fake = await withFake(t);
  await call(fake, 'POST', '/__fake/config', { body: JSON.stringify({ maxUploadBytes: 2000 }) });
  const rows = [
    [{ token: 'stolen' }, 401, /Unauthorized/],
    [{ headers: { Authorization: DEFAULT_TOKEN } }, 401, /Unauthorized/],
    [{ form: upload(Buffer.alloc(3000, 1)) }, 413, /too large/],
    [{ form: upload(Buffer.from('RIFF....WAVEfmt ')) }, 400, /not an MPEG-4 recording/],
    [{ form: upload(AUDIO, { name: 'audio' }) }, 400, /no "file" part/],
    [{ form: upload(AUDIO, { type: 'application/octet-stream' }) }, 400, /type is application\/octet-stream/],
    [{ form: { contentType: 'audio/mp4', body: AUDIO } }, 400, /not multipart/],
    [{ form: { contentType: upload().contentType, body: upload().body.subarray(0, 120) } }, 400, /not multipart/],
    [{ headers: { 'User-Agent': 'node' } }, 400, /User-Agent is "node"/],
  ];
  for (const [options, status, detail] of rows) {
    const answer = await transcribe(fake, options);
    assert.equal(answer.status, status, JSON.stringify(options.headers ?? options.token ?? status));
    assert.match(json(answer).detail, detail);
  }
});

test('scripted transcription failures: statuses, bodies, a dropped connection, silence', async (t) => {
  const fake = await withFake(t);
  fake.script({ transcribe: [{ status: 500 }, { status: 429, body: '{"detail":"slow down"}' }, { body: '<html>' },
    { drop: true }, { text: '' }, { silent: true }] });
  const answers = [];
  for (let i = 0; i < 5; i += 1) answers.push(await transcribe(fake));
  assert.deepEqual(answers.map((a) => a.status ?? a.error), [500, 429, 200, 'ECONNRESET', 200]);
  assert.equal(answers[2].body.toString(), '<html>');
  assert.deepEqual(json(answers[4]), { text: '' });
  assert.equal((await call(fake, 'POST', '/backend-api/transcribe', {
    headers: { ...browser(fake), Authorization: `Bearer ${DEFAULT_TOKEN}`, 'Content-Type': upload().contentType },
    body: upload().body, timeoutMs: 300 })).error, 'TIMEOUT');
  assert.deepEqual(await outcomes(fake), ['answered', 'answered', 'answered', 'dropped', 'answered', 'aborted']);
});

test('a token handed out by the session is taken by the transcription endpoint', async (t) => {
  const fake = await withFake(t);
  const mine = jwt({ email: 'c@veska.test', n: 1 });
  fake.script({ session: [{ token: mine }] });
  await call(fake, 'GET', '/api/auth/session', { headers: browser(fake, `${SESSION_COOKIE}=x`) });
  assert.equal((await transcribe(fake, { token: mine })).status, 200);
  assert.equal((await transcribe(fake, { token: jwt({ email: 'd@veska.test' }) })).status, 401);
});
