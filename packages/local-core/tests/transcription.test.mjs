// File transcription: the app's upload forwarded to the ChatGPT service, and every failure.
import { test } from 'node:test';
import assert from 'node:assert/strict';

import { startCore, request, putJSON, appUpload } from './helpers.mjs';
import { startServer as startFakeChatGPT } from '../../../tests/fakes/chatgpt/server.mjs';

const AUDIO = Buffer.concat([Buffer.from([0, 0, 0, 0x20]), Buffer.from('ftypM4A \r\n--Boundary-x\r\n'), Buffer.alloc(3000, 7)]);

/** The fake service answering as `answer` (see tests/fakes/README.md), and a core using it. */
async function setUp(t, answer, options = {}) {
  const fake = await startFakeChatGPT({ transcribe: answer });
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
  const { fake, core } = await setUp(t, { text: 'xin chào thế giới' });
  fake.configure({ token: 'access-123' });
  await putJSON(core, '/v1/config/secrets', { CHATGPT_ACCESS_TOKEN: 'access-123' });
  const answer = await upload(core);
  assert.equal(answer.status, 200);
  assert.deepEqual(JSON.parse(answer.body), { text: 'xin chào thế giới' });
  assert.equal(fake.requests.length, 1);
  const sent = fake.requests[0];
  assert.equal(sent.path, '/backend-api/transcribe');
  assert.deepEqual(sent.problems, [], 'the browser headers and the upload are what the service wants');
  assert.equal(sent.headers.authorization, 'Bearer access-123');
  assert.equal(sent.filename, 'audio.m4a');
  assert.equal(sent.contentType, 'audio/mp4');
  assert.deepEqual(fake.upload(0), AUDIO, 'the file bytes arrive unchanged');
});

test('an empty transcript is an answer, not an error', async (t) => {
  const { fake, core } = await setUp(t, { text: '' });
  fake.configure({ token: 'a' });
  await putJSON(core, '/v1/config/secrets', { CHATGPT_ACCESS_TOKEN: 'a' });
  const answer = await upload(core);
  assert.equal(answer.status, 200);
  assert.deepEqual(JSON.parse(answer.body), { text: '' });
});

test('failures have a status and a message in plain words', async (t) => {
  const rows = [
    [{ status: 401 }, 401, /refused the access token \(HTTP 401\)/],
    [{ status: 403, body: '<html>cf</html>' }, 401, /HTTP 403/],
    [{ status: 429 }, 429, /rate limit/],
    [{ status: 413 }, 413, /too large/],
    [{ status: 500 }, 502, /^ChatGPT transcription failed \(HTTP 500\)$/],
    [{ body: '{"words":[]}' }, 502, /no text/],
    [{ body: '<html>challenge</html>' }, 502, /not JSON/],
    [{ drop: true }, 502, /^ChatGPT unreachable$/],
    [{ silent: true }, 504, /timed out/],
  ];
  const { fake, core } = await setUp(t, {}, { transcribeTimeoutMs: 300 });
  fake.configure({ token: 'tok-never-shown' });
  await putJSON(core, '/v1/config/secrets', { CHATGPT_ACCESS_TOKEN: 'tok-never-shown' });
  for (const [failure, status, message] of rows) {
    fake.script({ transcribe: [failure] });
    const answer = await upload(core);
    assert.equal(answer.status, status, JSON.stringify(failure));
    assert.match(answer.body, message);
    assert.match(answer.headers['content-type'], /^text\/plain/);
    assert.ok(!answer.body.includes('tok-never-shown'));
  }
});

test('no token, a bad upload, a large upload, an unreachable service', async (t) => {
  const { fake, core } = await setUp(t, { text: 'x' }, { maxUploadBytes: 4096 });
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

test('a token the service does not know is refused as a sign-in problem', async (t) => {
  const { fake, core } = await setUp(t, { text: 'never' });
  await putJSON(core, '/v1/config/secrets', { CHATGPT_ACCESS_TOKEN: 'token-of-another-session' });
  const answer = await upload(core);
  assert.equal(answer.status, 401);
  assert.match(answer.body, /refused the access token \(HTTP 401\) — sign in to ChatGPT again/);
  assert.equal(fake.requests[0].outcome, 'refused');
});
