// Who may talk to the core: loopback names only, no cross-site writes, the token, bounded bodies.
import { test } from 'node:test';
import assert from 'node:assert/strict';

import { startCore, request, putJSON, appUpload } from './helpers.mjs';
import { startServer as startFakeChatGPT, DEFAULT_TOKEN } from '../../../tests/fakes/chatgpt/server.mjs';

test('the Host header must name a loopback address', async (t) => {
  const core = await startCore();
  t.after(core.close);
  const rows = [
    [`127.0.0.1:${core.port}`, 200], ['127.0.0.1', 200], [`localhost:${core.port}`, 200], [`[::1]:${core.port}`, 200],
    [`LOCALHOST:${core.port}`, 200],
    ['evil.example', 421], [`evil.example:${core.port}`, 421], [`127.0.0.1.evil.example:${core.port}`, 421],
    ['127.0.0.2', 421], ['localhost.', 421],
  ];
  for (const [host, status] of rows) {
    const answer = await request(core, 'GET', '/v1/config', { headers: { Host: host } });
    assert.equal(answer.status, status, host);
  }
});

test('writes from a page of another origin are refused; the app and the dashboard may write', async (t) => {
  const core = await startCore();
  t.after(core.close);
  const self = `http://127.0.0.1:${core.port}`;
  const rows = [
    [{}, 200],
    [{ Origin: self }, 200],
    [{ Origin: self, 'Sec-Fetch-Site': 'same-origin' }, 200],
    [{ Origin: 'https://evil.example' }, 403],
    [{ Origin: `http://localhost:${core.port}` }, 403],  // another origin, even though loopback
    [{ Origin: 'http://127.0.0.1:1' }, 403],
    [{ Origin: 'null' }, 403],
    [{ 'Sec-Fetch-Site': 'cross-site' }, 403],
    [{ 'Sec-Fetch-Site': 'same-site' }, 403],
  ];
  for (const [headers, status] of rows) {
    const answer = await putJSON(core, '/v1/config/prefs', { locale: 'en' }, headers);
    assert.equal(answer.status, status, JSON.stringify(headers));
  }
  const read = await request(core, 'GET', '/v1/config', { headers: { Origin: 'https://evil.example' } });
  assert.equal(read.status, 200);
  assert.equal(read.headers['access-control-allow-origin'], undefined, 'no page of another origin may read it');
});

test('with a token every route but the health check wants it', async (t) => {
  const core = await startCore({ token: 's3cret-token' });
  t.after(core.close);
  const routes = [['GET', '/'], ['GET', '/v1/config'], ['GET', '/v1/status'], ['PUT', '/v1/config/prefs'],
    ['PUT', '/v1/config/secrets'], ['POST', '/v1/audio/transcriptions']];
  for (const auth of [undefined, 'Bearer wrong', 'Bearer s3cret-tokenX', 's3cret-token', 'Basic s3cret-token']) {
    for (const [method, route] of routes) {
      const headers = auth ? { Authorization: auth, 'Content-Type': 'application/json' } : { 'Content-Type': 'application/json' };
      const answer = await request(core, method, route, { headers, body: method === 'GET' ? undefined : '{}' });
      assert.equal(answer.status, 401, `${method} ${route} with ${auth}`);
      assert.ok(!answer.body.includes('s3cret-token'));
    }
  }
  assert.equal((await request(core, 'GET', '/healthz')).status, 200);
  const ok = { Authorization: 'Bearer s3cret-token' };
  assert.equal((await request(core, 'GET', '/v1/config', { headers: ok })).status, 200);
  assert.equal((await putJSON(core, '/v1/config/prefs', { locale: 'vi' }, ok)).status, 200);
  const page = await request(core, 'GET', '/', { headers: ok });
  assert.equal(page.status, 200);
  assert.match(page.body, /<meta name="veska-core-token" content="s3cret-token">/, 'the page carries the token it was served with');
});

test('request bodies are bounded', async (t) => {
  const core = await startCore({ maxUploadBytes: 1000 });
  t.after(core.close);
  const big = JSON.stringify({ locale: 'en', pad: 'x'.repeat(70 * 1024) });
  const answer = await request(core, 'PUT', '/v1/config/prefs', { headers: { 'Content-Type': 'application/json' }, body: big });
  assert.equal(answer.status, 413);
  // Without a declared length (chunked), the limit holds too.
  const chunked = await request(core, 'PUT', '/v1/config/prefs', {
    headers: { 'Content-Type': 'application/json', 'Transfer-Encoding': 'chunked' }, body: big });
  assert.equal(chunked.status, 413);
  assert.equal(JSON.parse((await request(core, 'GET', '/v1/config')).body).prefs.locale, null);
});

test('unknown routes and methods', async (t) => {
  const core = await startCore();
  t.after(core.close);
  assert.equal((await request(core, 'GET', '/v2/nothing')).status, 404);
  assert.equal((await request(core, 'DELETE', '/v1/config/prefs')).status, 405);
  assert.equal((await request(core, 'GET', '/v1/audio/transcriptions')).status, 405);
});

test('a cross-site upload is refused before anything reaches ChatGPT', async (t) => {
  const fake = await startFakeChatGPT();
  const core = await startCore({ chatgptURL: fake.url });
  t.after(async () => {
    await core.close();
    await fake.close();
  });
  await putJSON(core, '/v1/config/secrets', { CHATGPT_ACCESS_TOKEN: DEFAULT_TOKEN });
  const { body, contentType } = appUpload(Buffer.concat([Buffer.from([0, 0, 0, 0x1c]), Buffer.from('ftypM4A '), Buffer.alloc(64)]));
  const rows = [
    [{ Origin: 'https://evil.example' }, 403],
    [{ 'Sec-Fetch-Site': 'cross-site' }, 403],
    [{ Origin: 'null' }, 403],
    [{}, 200],
  ];
  for (const [headers, status] of rows) {
    const answer = await request(core, 'POST', '/v1/audio/transcriptions', { headers: { 'Content-Type': contentType, ...headers }, body });
    assert.equal(answer.status, status, JSON.stringify(headers));
  }
  assert.equal(fake.requests.length, 1, 'only the app\'s own upload was forwarded');
});
