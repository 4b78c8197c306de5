// File transcription: the app's upload forwarded to the ChatGPT service, and every failure.
import { test } from 'node:test';
import assert from 'node:assert/strict';

import { startCore, request, putJSON, appUpload } from './helpers.mjs';
import { startFakeChatGPT } from './fake-chatgpt.mjs';
import { findPart, boundaryOf } from '../src/multipart.mjs';

const AUDIO = Buffer.concat([Buffer.from([0, 0, 0, 0x20]), Buffer.from('ftypM4A \r\n--Boundary-x\r\n'), Buffer.alloc(3000, 7)]);

async function setUp(t, behaviour, options = {}) {
  const fake = await startFakeChatGPT(behaviour);
  const core = await startCore({ chatgptURL: `${fake.url}/`, ...options });
  t.after(async () => {
    await core.close();
    await fake.close();
  });
  return { fake, core };
}

function upload(core, audio = AUDIO, extra = {}) {
  const { body, contentType } = appUpload(audio);
  return request(core, 'POST', '/v1/audio/transcriptions', { headers: { 'Content-Type': contentType, ...extra }, body });
}

test('the upload reaches ChatGPT with the stored token and the text comes back', async (t) => {
  const { fake, core } = await setUp(t, { kind: 'text', text: 'xin chào thế giới' });
  await putJSON(core, '/v1/config/secrets', { CHATGPT_ACCESS_TOKEN: 'access-123' });
  const answer = await upload(core);
  assert.equal(answer.status, 200);
  assert.deepEqual(JSON.parse(answer.body), { text: 'xin chào thế giới' });
  assert.equal(fake.requests.length, 1);
  const sent = fake.requests[0];
  assert.equal(sent.url, '/backend-api/transcribe');
  assert.equal(sent.headers.authorization, 'Bearer access-123');
  assert.match(sent.headers['user-agent'], /Safari/);
  const boundary = boundaryOf(sent.headers['content-type']);
  assert.ok(boundary);
  assert.deepEqual(findPart(sent.body, boundary, 'file'), AUDIO, 'the file bytes arrive unchanged');
  assert.match(sent.body.toString('latin1'), /filename="audio.m4a"\r\nContent-Type: audio\/mp4/);
});

test('an empty transcript is an answer, not an error', async (t) => {
  const { core } = await setUp(t, { kind: 'text', text: '' });
  await putJSON(core, '/v1/config/secrets', { CHATGPT_ACCESS_TOKEN: 'a' });
  const answer = await upload(core);
  assert.equal(answer.status, 200);
  assert.deepEqual(JSON.parse(answer.body), { text: '' });
});

test('failures have a status and a message in plain words', async (t) => {
  const rows = [
    [{ kind: 'status', status: 401 }, 401, /refused the access token \(HTTP 401\)/],
    [{ kind: 'status', status: 403, body: '<html>cf</html>' }, 401, /HTTP 403/],
    [{ kind: 'status', status: 429 }, 429, /rate limit/],
    [{ kind: 'status', status: 500 }, 502, /^ChatGPT transcription failed \(HTTP 500\)$/],
    [{ kind: 'status', status: 200, body: '{"words":[]}' }, 502, /no text/],
    [{ kind: 'badjson' }, 502, /not JSON/],
    [{ kind: 'drop' }, 502, /^ChatGPT unreachable$/],
    [{ kind: 'hang' }, 504, /timed out/],
  ];
  const { fake, core } = await setUp(t, rows[0][0], { transcribeTimeoutMs: 300 });
  await putJSON(core, '/v1/config/secrets', { CHATGPT_ACCESS_TOKEN: 'tok-never-shown' });
  for (const [behaviour, status, message] of rows) {
    fake.behaviour = behaviour;
    const answer = await upload(core);
    assert.equal(answer.status, status, JSON.stringify(behaviour));
    assert.match(answer.body, message);
    assert.match(answer.headers['content-type'], /^text\/plain/);
    assert.ok(!answer.body.includes('tok-never-shown'));
  }
});

test('no token, a bad upload, a large upload, an unreachable service', async (t) => {
  const { fake, core } = await setUp(t, { kind: 'text', text: 'x' }, { maxUploadBytes: 4096 });
  const noToken = await upload(core);
  assert.equal(noToken.status, 401);
  assert.match(noToken.body, /No ChatGPT access token/);
  await putJSON(core, '/v1/config/secrets', { CHATGPT_ACCESS_TOKEN: 'a' });

  const tooLarge = await upload(core, Buffer.alloc(5000, 1));
  assert.equal(tooLarge.status, 413);
  assert.match(tooLarge.body, /too large/);
  const notMultipart = await request(core, 'POST', '/v1/audio/transcriptions', { headers: { 'Content-Type': 'audio/mp4' }, body: AUDIO });
  assert.equal(notMultipart.status, 400);
  const wrongPart = appUpload(AUDIO);
  const renamed = wrongPart.body.toString('latin1').replace('name="file"', 'name="audio"');
  const noFile = await request(core, 'POST', '/v1/audio/transcriptions',
    { headers: { 'Content-Type': wrongPart.contentType }, body: Buffer.from(renamed, 'latin1') });
  assert.equal(noFile.status, 400);
  assert.equal((await upload(core, Buffer.alloc(0))).status, 400);
  const cut = appUpload(AUDIO);
  const truncated = await request(core, 'POST', '/v1/audio/transcriptions',
    { headers: { 'Content-Type': cut.contentType }, body: cut.body.subarray(0, 200) });
  assert.equal(truncated.status, 400);
  assert.equal(fake.requests.length, 0, 'nothing reached the service');

  await fake.close();
  const unreachable = await upload(core);
  assert.equal(unreachable.status, 502);
  assert.equal(unreachable.body, 'ChatGPT unreachable');
});
