// The dashboard page: a real page with both page hooks, both languages and every link.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import vm from 'node:vm';

import { startCore, request } from './helpers.mjs';
import { DEEP_LINKS, OUTPUT_LANGUAGES } from '../src/dashboard.mjs';

test('the page is HTML with both hooks, both languages and every deep link', async (t) => {
  const core = await startCore();
  t.after(core.close);
  const page = await request(core, 'GET', '/');
  assert.equal(page.status, 200);
  assert.match(page.headers['content-type'], /^text\/html/);
  assert.match(page.body, /<html/i);
  assert.match(page.body, /window\.__veskaSetApp = /);
  assert.match(page.body, /window\.__veskaSetPerms = /);
  for (const text of ['Veska · Settings', 'Veska · Cài đặt', 'Speech source', 'Nguồn nhận giọng nói', 'As spoken', 'Như lời nói']) {
    assert.ok(page.body.includes(text), text);
  }
  for (const command of DEEP_LINKS) assert.ok(page.body.includes(`href="veska-voice-local://${command}`), command);
  for (const task of ['translate', 'write', 'fix']) assert.ok(page.body.includes(`veska-voice-local://ai-test?task=${task}`));
  assert.equal(OUTPUT_LANGUAGES.length, 21);
  const script = /<script>([\s\S]*)<\/script>/.exec(page.body)[1];
  assert.doesNotThrow(() => new vm.Script(script), 'the page script parses');
});

/** A tiny document: elements by id, enough for the page script to run and render. */
function fakeDocument() {
  const elements = new Map();
  const element = (id) => {
    if (!elements.has(id)) {
      elements.set(id, { id, textContent: '', className: '', value: '', checked: false, placeholder: '', dataset: {},
        options: [{ textContent: '' }], listeners: {}, appendChild() {},
        addEventListener(type, fn) { this.listeners[type] = fn; } });
    }
    return elements.get(id);
  };
  const document = {
    documentElement: {}, title: '', activeElement: null,
    getElementById: element, querySelector: () => null, querySelectorAll: () => [],
    createElement: () => ({}),
  };
  return { document, element };
}

test('the hooks show the application state and permissions', async (t) => {
  const core = await startCore();
  t.after(core.close);
  const script = /<script>([\s\S]*)<\/script>/.exec((await request(core, 'GET', '/')).body)[1];
  const { document, element } = fakeDocument();
  const context = {
    document, navigator: { language: 'en-GB' },
    location: { search: '?mic=1&ax=0&im=1&v=2.0&out=&grok=1&gc=0', href: '' },
    URLSearchParams, JSON, String, Array, encodeURIComponent,
    fetch: async () => ({ ok: true, text: async () => '{}' }),
  };
  context.window = context;
  vm.runInNewContext(script, context);
  await new Promise((resolve) => setImmediate(resolve));

  assert.equal(element('perm-mic').textContent, 'On');
  assert.equal(element('perm-ax').textContent, 'Off');
  assert.equal(element('perm-ax').className, 'off');
  assert.equal(element('version').textContent, 'Version 2.0');
  context.__veskaSetPerms({ mic: true, ax: true, im: false });
  assert.equal(element('perm-ax').textContent, 'On');
  assert.equal(element('perm-im').textContent, 'Off');
  context.__veskaSetApp({ version: '2.1', claudeEmail: 'me@x.vn', claudeReady: true, grok: false, chatgpt: true });
  assert.equal(element('claude-email').textContent, 'me@x.vn');
  assert.equal(element('claude-state').textContent, 'Signed in');
  assert.equal(element('grok-state').textContent, 'Signed out');
  context.__veskaSetApp({ task: 'fix', ms: 812, model: 'grok-3' });
  assert.equal(element('ai-test-result').textContent, 'AI test (fix): 812 ms · grok-3');
  context.__veskaSetApp({ task: 'translate', error: 'Gemini key missing' });
  assert.match(element('ai-test-result').textContent, /Gemini key missing/);

  element('output').value = 'ja';
  element('output').listeners.change();
  assert.equal(context.location.href, 'veska-voice-local://output?lang=ja');
});
