// Preferences, AI settings and secrets: merging, checking, storing, never returning secrets.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';

import { startCore, request, putJSON, jwt } from './helpers.mjs';
import { deepMerge, setEnvLine, envValue } from '../src/store.mjs';

test('deep merge: objects merge, null removes, the rest replaces', () => {
  const rows = [
    [{ a: 1 }, { b: 2 }, { a: 1, b: 2 }],
    [{ stt: { provider: 'claude_web', claudeLoggedIn: true } }, { stt: { claudeLoggedIn: false } },
      { stt: { provider: 'claude_web', claudeLoggedIn: false } }],
    [{ a: { b: 1 } }, { a: null }, {}],
    [{ a: [1, 2] }, { a: [3] }, { a: [3] }],
    [{ a: 1 }, { a: { b: 1 } }, { a: { b: 1 } }],
    [{ a: { b: 1 } }, { a: 'x' }, { a: 'x' }],
  ];
  for (const [base, patch, expected] of rows) assert.deepEqual(deepMerge(base, patch), expected);
});

test('env lines: set, replace, remove, keep the rest', () => {
  const text = 'LOCAL_CORE_TOKEN="t"\n# GEMINI_API_KEY=commented\nGEMINI_API_KEY = old\n';
  const set = setEnvLine(text, 'GEMINI_API_KEY', 'new');
  assert.equal(set, 'LOCAL_CORE_TOKEN="t"\n# GEMINI_API_KEY=commented\nGEMINI_API_KEY=new\n');
  assert.equal(envValue(set, 'GEMINI_API_KEY'), 'new');
  assert.equal(envValue(set, 'LOCAL_CORE_TOKEN'), 't');
  assert.equal(setEnvLine(set, 'GEMINI_API_KEY', ''), 'LOCAL_CORE_TOKEN="t"\n# GEMINI_API_KEY=commented\n');
  assert.equal(setEnvLine(null, 'DEEPSEEK_API_KEY', 'k'), 'DEEPSEEK_API_KEY=k\n');
});

test('prefs: defaults, deep merge, persisted, checked', async (t) => {
  const core = await startCore();
  t.after(core.close);
  const first = JSON.parse((await request(core, 'GET', '/v1/config')).body);
  assert.deepEqual(first.prefs, { stt: { provider: 'claude_web', claudeLoggedIn: false }, locale: null });

  assert.equal((await putJSON(core, '/v1/config/prefs', { stt: { provider: 'chatgpt_web' }, locale: 'en' })).status, 200);
  assert.equal((await putJSON(core, '/v1/config/prefs', { stt: { claudeLoggedIn: true } })).status, 200);
  const merged = JSON.parse((await request(core, 'GET', '/v1/config')).body).prefs;
  assert.deepEqual(merged, { stt: { provider: 'chatgpt_web', claudeLoggedIn: true }, locale: 'en' });
  const onDisk = JSON.parse(fs.readFileSync(path.join(core.configDir, 'local-core.json'), 'utf8'));
  assert.deepEqual(onDisk.prefs.stt, { provider: 'chatgpt_web', claudeLoggedIn: true });

  await putJSON(core, '/v1/config/prefs', { locale: null });
  assert.equal(JSON.parse((await request(core, 'GET', '/v1/config')).body).prefs.locale, null);

  const refused = [
    [{ stt: { provider: 'whisper' } }, 400],
    [{ stt: { claudeLoggedIn: 'yes' } }, 400],
    [{ locale: 'fr' }, 400],
    [[1, 2], 400],
    [JSON.parse('{"__proto__": {"polluted": true}}'), 400],
  ];
  for (const [body, status] of refused) {
    assert.equal((await putJSON(core, '/v1/config/prefs', body)).status, status, JSON.stringify(body));
  }
  assert.equal(({}).polluted, undefined);
  const notJSON = await request(core, 'PUT', '/v1/config/prefs', { headers: { 'Content-Type': 'application/json' }, body: '{nope' });
  assert.equal(notJSON.status, 400);
  const wrongType = await request(core, 'PUT', '/v1/config/prefs', { headers: { 'Content-Type': 'text/plain' }, body: '{}' });
  assert.equal(wrongType.status, 415);
  const deep = JSON.parse('{"a":'.repeat(40) + '1' + '}'.repeat(40));
  assert.equal((await putJSON(core, '/v1/config/prefs', deep)).status, 400);
  assert.deepEqual(JSON.parse((await request(core, 'GET', '/v1/config')).body).prefs.stt,
    { provider: 'chatgpt_web', claudeLoggedIn: true }, 'refused writes change nothing');
});

test('AI settings go to the "ai" section of v2.json, keeping the rest of the file', async (t) => {
  const core = await startCore();
  t.after(core.close);
  fs.writeFileSync(path.join(core.configDir, 'v2.json'), JSON.stringify({ services: { gemini_url: 'http://x' } }));
  assert.equal((await putJSON(core, '/v1/config/ai', { translate: 'gemini', fix: 'deepseek', gemini: { models: ['g1', 'g2'] } })).status, 200);
  assert.equal((await putJSON(core, '/v1/config/ai', { deepseek: { model: 'deepseek-chat' }, fix: null })).status, 200);
  const file = JSON.parse(fs.readFileSync(path.join(core.configDir, 'v2.json'), 'utf8'));
  assert.deepEqual(file, {
    services: { gemini_url: 'http://x' },
    ai: { translate: 'gemini', gemini: { models: ['g1', 'g2'] }, deepseek: { model: 'deepseek-chat' } },
  });
  for (const bad of [{ translate: 'openai' }, { gemini: { models: 'g1' } }, { gemini: { models: [1] } }, { deepseek: { model: 3 } }]) {
    assert.equal((await putJSON(core, '/v1/config/ai', bad)).status, 400, JSON.stringify(bad));
  }
});

test('secrets are stored with mode 0600 and no route ever returns them', async (t) => {
  const core = await startCore();
  t.after(core.close);
  fs.writeFileSync(path.join(core.configDir, 'v2.env'), 'LOCAL_CORE_TOKEN=keep\n');
  const access = jwt({ 'https://api.openai.com/profile': { email: 'me@example.com' }, exp: Date.now() / 1000 + 3600 });
  const secrets = { CHATGPT_ACCESS_TOKEN: access, GEMINI_API_KEY: 'gem-SECRET-1', DEEPSEEK_API_KEY: 'ds-SECRET-2' };
  const saved = await putJSON(core, '/v1/config/secrets', secrets);
  assert.equal(saved.status, 200);

  const secretsFile = path.join(core.configDir, 'local-core-secrets.json');
  const envFile = path.join(core.configDir, 'v2.env');
  assert.equal(fs.statSync(secretsFile).mode & 0o777, 0o600);
  assert.equal(fs.statSync(envFile).mode & 0o777, 0o600);
  assert.equal(JSON.parse(fs.readFileSync(secretsFile, 'utf8')).CHATGPT_ACCESS_TOKEN, access);
  assert.equal(fs.readFileSync(envFile, 'utf8'), 'LOCAL_CORE_TOKEN=keep\nGEMINI_API_KEY=gem-SECRET-1\nDEEPSEEK_API_KEY=ds-SECRET-2\n');

  const answers = [saved.body];
  for (const route of ['/', '/healthz', '/v1/config', '/v1/status']) answers.push((await request(core, 'GET', route)).body);
  answers.push((await putJSON(core, '/v1/config/prefs', {})).body);
  for (const body of answers) {
    for (const value of Object.values(secrets)) assert.ok(!body.includes(value), 'a secret leaked');
  }
  const config = JSON.parse(answers[3]);
  assert.deepEqual(config.secrets, { CHATGPT_ACCESS_TOKEN: true, DEEPSEEK_API_KEY: true, GEMINI_API_KEY: true });

  await putJSON(core, '/v1/config/secrets', { GEMINI_API_KEY: '' });
  assert.equal(fs.readFileSync(envFile, 'utf8'), 'LOCAL_CORE_TOKEN=keep\nDEEPSEEK_API_KEY=ds-SECRET-2\n');

  const refused = [{ CHATGPT_ACCESS_TOKEN: 5 }, { 'bad name': 'x' }, { GEMINI_API_KEY: 'a\nLOCAL_CORE_TOKEN=evil' }, ['x']];
  for (const body of refused) {
    const answer = await putJSON(core, '/v1/config/secrets', body);
    assert.equal(answer.status, 400, JSON.stringify(body));
    assert.ok(!answer.body.includes('evil'));
  }
  assert.ok(!fs.readFileSync(envFile, 'utf8').includes('evil'));
});

test('status: readiness and account from the stored ChatGPT token', async (t) => {
  const core = await startCore();
  t.after(core.close);
  const now = Date.now() / 1000;
  const rows = [
    [null, { ready: false, account: { email: '' } }],
    [jwt({ 'https://api.openai.com/profile': { email: 'a@b.vn' }, exp: now + 600 }), { ready: true, account: { email: 'a@b.vn' } }],
    [jwt({ email: 'c@d.vn', exp: now - 10 }), { ready: false, account: { email: 'c@d.vn' }, expired: true }],
    ['opaque-token', { ready: true, account: { email: '' } }],
  ];
  for (const [token, stt] of rows) {
    await putJSON(core, '/v1/config/secrets', { CHATGPT_ACCESS_TOKEN: token ?? '' });
    const status = JSON.parse((await request(core, 'GET', '/v1/status')).body);
    assert.deepEqual(status.stt, { provider: 'claude_web', ...stt });
  }
});
