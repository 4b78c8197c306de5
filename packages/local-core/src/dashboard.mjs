// The settings dashboard page: application state, permissions, speech source, languages, AI
// sources and keys, and the links that ask the application to act ("veska-voice-local:").

/** Languages dictation can be typed in (code, native name). */
export const OUTPUT_LANGUAGES = [
  ['vi', 'Tiếng Việt'], ['en', 'English'], ['zh-Hans', '中文（简体）'], ['zh-Hant', '中文（繁體）'],
  ['ja', '日本語'], ['ko', '한국어'], ['th', 'ไทย'], ['id', 'Bahasa Indonesia'], ['ms', 'Bahasa Melayu'],
  ['hi', 'हिन्दी'], ['fr', 'Français'], ['de', 'Deutsch'], ['es', 'Español'], ['pt', 'Português'],
  ['it', 'Italiano'], ['nl', 'Nederlands'], ['pl', 'Polski'], ['ru', 'Русский'], ['uk', 'Українська'],
  ['tr', 'Türkçe'], ['ar', 'العربية'],
];

/** Every command the application answers, as links of its own scheme. */
export const DEEP_LINKS = [
  'login', 'chatgpt', 'auth', 'claude-login', 'claude', 'claudeai', 'claude-switch', 'config', 'settings',
  'cancel', 'stop', 'grok-login', 'grok', 'output', 'ai-test',
];

const STRINGS = {
  en: {
    title: 'Veska · Settings', permissions: 'Permissions', mic: 'Microphone', ax: 'Accessibility',
    im: 'Input Monitoring', on: 'On', off: 'Off', unknown: '—', accounts: 'Accounts',
    claude: 'Claude', chatgpt: 'ChatGPT', grok: 'Grok', signedIn: 'Signed in', signedOut: 'Signed out',
    signIn: 'Sign in', switchAccount: 'Switch account', ready: 'Ready', notReady: 'Not signed in',
    speech: 'Speech source', claudeWeb: 'Claude (live, types as you speak)',
    chatgptWeb: 'ChatGPT (records, then transcribes)', output: 'Dictation output',
    asSpoken: 'As spoken', uiLanguage: 'Interface language', auto: 'Automatic', ai: 'AI sources',
    translate: 'Translate', write: 'Compose', fix: 'Fix', test: 'Test', keys: 'API keys and models',
    geminiKey: 'Gemini API key', geminiModels: 'Gemini models (comma-separated, empty = built-in)',
    deepseekKey: 'DeepSeek API key', deepseekModel: 'DeepSeek model', keySet: 'saved — type to replace',
    keyUnset: 'not set', save: 'Save', clear: 'Remove', saved: 'Saved', failed: 'Failed: ',
    actions: 'Actions', openSettings: 'Reload settings', cancelWork: 'Cancel current work',
    links: 'All links', aiTest: 'AI test', ms: 'ms', version: 'Version', voice: 'Voice',
  },
  vi: {
    title: 'Veska · Cài đặt', permissions: 'Quyền', mic: 'Micro', ax: 'Trợ năng', im: 'Theo dõi phím',
    on: 'Đã bật', off: 'Chưa bật', unknown: '—', accounts: 'Tài khoản', claude: 'Claude',
    chatgpt: 'ChatGPT', grok: 'Grok', signedIn: 'Đã đăng nhập', signedOut: 'Chưa đăng nhập',
    signIn: 'Đăng nhập', switchAccount: 'Đổi tài khoản', ready: 'Sẵn sàng', notReady: 'Chưa đăng nhập',
    speech: 'Nguồn nhận giọng nói', claudeWeb: 'Claude (gõ ngay khi bạn nói)',
    chatgptWeb: 'ChatGPT (ghi âm rồi chuyển thành chữ)', output: 'Ngôn ngữ chữ ra',
    asSpoken: 'Như lời nói', uiLanguage: 'Ngôn ngữ giao diện', auto: 'Tự động', ai: 'Nguồn AI',
    translate: 'Dịch', write: 'Soạn', fix: 'Sửa', test: 'Thử', keys: 'Khoá API và mô hình',
    geminiKey: 'Khoá API Gemini', geminiModels: 'Mô hình Gemini (cách nhau bởi dấu phẩy, trống = mặc định)',
    deepseekKey: 'Khoá API DeepSeek', deepseekModel: 'Mô hình DeepSeek', keySet: 'đã lưu — gõ để thay',
    keyUnset: 'chưa có', save: 'Lưu', clear: 'Xoá', saved: 'Đã lưu', failed: 'Lỗi: ',
    actions: 'Thao tác', openSettings: 'Tải lại cài đặt', cancelWork: 'Huỷ việc đang chạy',
    links: 'Tất cả liên kết', aiTest: 'Thử AI', ms: 'ms', version: 'Phiên bản', voice: 'Giọng đọc',
  },
};

const STYLE = `
:root { color-scheme: light; --ink: #1d1d1f; --muted: #6e6e73; --line: #e3e3e8; --ok: #1f883d;
  --warn: #c4610b; --accent: #0a66d8; }
* { box-sizing: border-box; }
body { font: 14px/1.45 system-ui, -apple-system, "Segoe UI", sans-serif; color: var(--ink);
  margin: 0; padding: 20px 24px 40px; background: #f6f6f8; }
h1 { font-size: 20px; margin: 0 0 4px; } h2 { font-size: 15px; margin: 0 0 10px; }
section { background: #fff; border: 1px solid var(--line); border-radius: 10px; padding: 14px 16px; margin: 12px 0; }
.row { display: flex; align-items: center; gap: 10px; margin: 6px 0; flex-wrap: wrap; }
.row > label:first-child, .row > span:first-child { min-width: 150px; color: var(--muted); }
.on { color: var(--ok); font-weight: 600; } .off { color: var(--warn); font-weight: 600; }
a.link { color: var(--accent); text-decoration: none; border: 1px solid var(--line); border-radius: 6px; padding: 2px 8px; }
a.link:hover { background: #eef4fd; }
input[type=text], input[type=password], select { font: inherit; padding: 4px 6px; border: 1px solid var(--line);
  border-radius: 6px; min-width: 220px; }
button { font: inherit; padding: 4px 12px; border-radius: 6px; border: 1px solid var(--line); background: #fff; }
#note { min-height: 1.4em; color: var(--muted); } .small { color: var(--muted); font-size: 12px; }
`;

const SCRIPT = String.raw`
(() => {
  'use strict';
  const STRINGS = __STRINGS__;
  const LANGS = __LANGS__;
  const token = document.querySelector('meta[name="veska-core-token"]')?.content || '';
  const query = new URLSearchParams(location.search);
  const bit = (v) => v === true || v === '1' || v === 'true' ? true : v === false || v === '0' || v === 'false' ? false : null;
  const state = {
    prefs: null, ai: {}, secrets: {}, status: null,
    perms: { mic: bit(query.get('mic')), ax: bit(query.get('ax')), im: bit(query.get('im')) },
    app: { version: query.get('v') || '', out: query.get('out'), voice: query.get('voice') || '',
      grok: bit(query.get('grok')), chatgpt: bit(query.get('gc')), claudeEmail: query.get('ce') || '',
      claudeReady: bit(query.get('cr')), test: null },
  };
  const $ = (id) => document.getElementById(id);
  const lang = () => {
    const chosen = state.prefs && state.prefs.locale;
    if (chosen === 'en' || chosen === 'vi') return chosen;
    return (navigator.language || '').toLowerCase().startsWith('en') ? 'en' : 'vi';
  };
  const t = (key) => STRINGS[lang()][key];

  async function api(method, path, body) {
    const headers = {};
    if (token) headers.Authorization = 'Bearer ' + token;
    if (body !== undefined) headers['Content-Type'] = 'application/json';
    const res = await fetch(path, { method, headers, body: body === undefined ? undefined : JSON.stringify(body) });
    const text = await res.text();
    if (!res.ok) throw new Error('HTTP ' + res.status + ': ' + text.slice(0, 160));
    return text ? JSON.parse(text) : {};
  }
  function note(text) { $('note').textContent = text; }
  async function save(method, path, body) {
    try { await api(method, path, body); note(t('saved')); await load(); }
    catch (error) { note(t('failed') + error.message); }
  }
  function flag(el, value, yes, no) {
    el.textContent = value === null || value === undefined ? t('unknown') : value ? yes : no;
    el.className = value === null || value === undefined ? '' : value ? 'on' : 'off';
  }

  function render() {
    document.documentElement.lang = lang();
    document.title = t('title');
    document.querySelectorAll('[data-t]').forEach((el) => { el.textContent = t(el.dataset.t); });
    for (const key of ['mic', 'ax', 'im']) flag($('perm-' + key), state.perms[key], t('on'), t('off'));
    const app = state.app;
    $('version').textContent = app.version ? t('version') + ' ' + app.version : '';
    flag($('claude-state'), app.claudeReady, t('signedIn'), t('signedOut'));
    $('claude-email').textContent = app.claudeEmail || '';
    const stt = state.status && state.status.stt;
    flag($('chatgpt-state'), stt ? stt.ready : app.chatgpt, t('ready'), t('notReady'));
    $('chatgpt-email').textContent = (stt && stt.account && stt.account.email) || '';
    flag($('grok-state'), app.grok, t('signedIn'), t('signedOut'));
    $('voice').textContent = app.voice ? t('voice') + ': ' + app.voice : '';
    const provider = (state.prefs && state.prefs.stt && state.prefs.stt.provider) || 'claude_web';
    $('stt-claude').checked = provider !== 'chatgpt_web';
    $('stt-chatgpt').checked = provider === 'chatgpt_web';
    $('locale').value = (state.prefs && state.prefs.locale) || '';
    const out = $('output');
    out.options[0].textContent = t('asSpoken');
    $('auto-option').textContent = t('auto');
    if (app.out !== null && app.out !== undefined) out.value = app.out;
    for (const task of ['translate', 'write', 'fix']) {
      const fallback = task === 'fix' ? (state.ai.write || 'grok') : 'grok';
      $('ai-' + task).value = state.ai[task] || fallback;
    }
    $('gemini-key').placeholder = state.secrets.GEMINI_API_KEY ? t('keySet') : t('keyUnset');
    $('deepseek-key').placeholder = state.secrets.DEEPSEEK_API_KEY ? t('keySet') : t('keyUnset');
    const models = state.ai.gemini && Array.isArray(state.ai.gemini.models) ? state.ai.gemini.models : [];
    if (document.activeElement !== $('gemini-models')) $('gemini-models').value = models.join(', ');
    const dsModel = state.ai.deepseek && typeof state.ai.deepseek.model === 'string' ? state.ai.deepseek.model : '';
    if (document.activeElement !== $('deepseek-model')) $('deepseek-model').value = dsModel;
    const test = app.test;
    $('ai-test-result').textContent = !test ? '' : test.error
      ? t('aiTest') + ' (' + test.task + '): ' + test.error
      : t('aiTest') + ' (' + test.task + '): ' + (test.ms ?? '?') + ' ' + t('ms') + (test.model ? ' · ' + test.model : '');
  }

  async function load() {
    try {
      const config = await api('GET', '/v1/config');
      state.prefs = config.prefs || {}; state.ai = config.ai || {}; state.secrets = config.secrets || {};
      state.status = await api('GET', '/v1/status');
    } catch (error) { note(t('failed') + error.message); }
    render();
  }

  window.__veskaSetApp = (value) => {
    const v = typeof value === 'string' ? JSON.parse(value) : value || {};
    const app = state.app;
    if (v.version !== undefined || v.v !== undefined) app.version = String(v.version ?? v.v);
    if (v.out !== undefined) app.out = String(v.out);
    if (v.voice !== undefined) app.voice = String(v.voice);
    if (v.grok !== undefined) app.grok = bit(v.grok);
    if (v.chatgpt !== undefined || v.gc !== undefined) app.chatgpt = bit(v.chatgpt ?? v.gc);
    if (v.claudeEmail !== undefined || v.ce !== undefined) app.claudeEmail = String(v.claudeEmail ?? v.ce);
    if (v.claudeReady !== undefined || v.cr !== undefined) app.claudeReady = bit(v.claudeReady ?? v.cr);
    if (v.task !== undefined) app.test = { task: String(v.task), ms: v.ms, model: v.model, error: v.error };
    render();
    return true;
  };
  window.__veskaSetPerms = (p) => {
    state.perms = { mic: bit(p && p.mic), ax: bit(p && p.ax), im: bit(p && p.im) };
    render();
    return true;
  };

  const out = $('output');
  for (const [code, name] of LANGS) {
    const option = document.createElement('option'); option.value = code; option.textContent = name; out.appendChild(option);
  }
  out.addEventListener('change', () => {
    location.href = 'veska-voice-local://output?lang=' + encodeURIComponent(out.value);
  });
  for (const id of ['stt-claude', 'stt-chatgpt']) {
    $(id).addEventListener('change', (e) => save('PUT', '/v1/config/prefs', { stt: { provider: e.target.value } }));
  }
  $('locale').addEventListener('change', (e) => save('PUT', '/v1/config/prefs', { locale: e.target.value || null }));
  for (const task of ['translate', 'write', 'fix']) {
    $('ai-' + task).addEventListener('change', (e) => save('PUT', '/v1/config/ai', { [task]: e.target.value }));
  }
  $('save-models').addEventListener('click', () => {
    const models = $('gemini-models').value.split(',').map((m) => m.trim()).filter(Boolean);
    const model = $('deepseek-model').value.trim();
    save('PUT', '/v1/config/ai', { gemini: { models: models.length ? models : null }, deepseek: { model: model || null } });
  });
  for (const [name, key] of [['gemini', 'GEMINI_API_KEY'], ['deepseek', 'DEEPSEEK_API_KEY']]) {
    $('save-' + name).addEventListener('click', () => {
      const value = $(name + '-key').value.trim();
      if (!value) return;
      $(name + '-key').value = '';
      save('PUT', '/v1/config/secrets', { [key]: value });
    });
    $('clear-' + name).addEventListener('click', () => save('PUT', '/v1/config/secrets', { [key]: '' }));
  }
  render();
  load();
})();
`;

function escapeAttribute(text) {
  return String(text).replace(/&/g, '&amp;').replace(/"/g, '&quot;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
}

/** JSON that can sit inside a <script> element. */
function scriptJSON(value) {
  return JSON.stringify(value).replace(/</g, '\\u003c').replace(/\u2028/g, '\\u2028').replace(/\u2029/g, '\\u2029');
}

const link = (href, key) => `<a class="link" href="veska-voice-local://${href}" data-t="${key}"></a>`;

/** The page. `token`: the core's token, which the page's own requests then carry (it is only
 *  served to a request that gave it). */
export function dashboardPage({ token = '' } = {}) {
  const script = SCRIPT.replace('__STRINGS__', scriptJSON(STRINGS)).replace('__LANGS__', scriptJSON(OUTPUT_LANGUAGES));
  const sources = ['grok', 'gemini', 'deepseek', 'chatgpt']
    .map((s) => `<option value="${s}">${{ grok: 'Grok', gemini: 'Gemini', deepseek: 'DeepSeek', chatgpt: 'ChatGPT' }[s]}</option>`)
    .join('');
  const aiRow = (task) => `<div class="row"><label for="ai-${task}" data-t="${task}"></label>
    <select id="ai-${task}">${sources}</select>${link(`ai-test?task=${task}`, 'test')}</div>`;
  return `<!DOCTYPE html>
<html lang="vi">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="veska-core-token" content="${escapeAttribute(token)}">
<title>Veska</title>
<style>${STYLE}</style>
</head>
<body>
<h1 data-t="title"></h1>
<div class="small" id="version"></div>
<div id="note" role="status"></div>

<section id="perms"><h2 data-t="permissions"></h2>
  <div class="row"><span data-t="mic"></span><span id="perm-mic"></span></div>
  <div class="row"><span data-t="ax"></span><span id="perm-ax"></span></div>
  <div class="row"><span data-t="im"></span><span id="perm-im"></span></div>
</section>

<section id="accounts"><h2 data-t="accounts"></h2>
  <div class="row"><span data-t="claude"></span><span id="claude-state"></span><span id="claude-email" class="small"></span>
    ${link('claude-login', 'signIn')} ${link('claude-switch', 'switchAccount')}</div>
  <div class="row"><span data-t="chatgpt"></span><span id="chatgpt-state"></span><span id="chatgpt-email" class="small"></span>
    ${link('login', 'signIn')}</div>
  <div class="row"><span data-t="grok"></span><span id="grok-state"></span><span id="voice" class="small"></span>
    ${link('grok-login', 'signIn')}</div>
</section>

<section id="speech"><h2 data-t="speech"></h2>
  <div class="row"><label><input type="radio" name="stt" id="stt-claude" value="claude_web"> <span data-t="claudeWeb"></span></label></div>
  <div class="row"><label><input type="radio" name="stt" id="stt-chatgpt" value="chatgpt_web"> <span data-t="chatgptWeb"></span></label></div>
  <div class="row"><label for="output" data-t="output"></label><select id="output"><option value=""></option></select></div>
  <div class="row"><label for="locale" data-t="uiLanguage"></label>
    <select id="locale"><option value="" id="auto-option"></option><option value="en">English</option><option value="vi">Tiếng Việt</option></select></div>
</section>

<section id="ai"><h2 data-t="ai"></h2>
  ${aiRow('translate')}${aiRow('write')}${aiRow('fix')}
  <div class="row small" id="ai-test-result"></div>
</section>

<section id="keys"><h2 data-t="keys"></h2>
  <div class="row"><label for="gemini-key" data-t="geminiKey"></label><input type="password" id="gemini-key" autocomplete="off">
    <button id="save-gemini" data-t="save"></button><button id="clear-gemini" data-t="clear"></button></div>
  <div class="row"><label for="gemini-models" data-t="geminiModels"></label><input type="text" id="gemini-models"></div>
  <div class="row"><label for="deepseek-key" data-t="deepseekKey"></label><input type="password" id="deepseek-key" autocomplete="off">
    <button id="save-deepseek" data-t="save"></button><button id="clear-deepseek" data-t="clear"></button></div>
  <div class="row"><label for="deepseek-model" data-t="deepseekModel"></label><input type="text" id="deepseek-model" placeholder="deepseek-flash">
    <button id="save-models" data-t="save"></button></div>
</section>

<section id="actions"><h2 data-t="actions"></h2>
  <div class="row">${link('config', 'openSettings')} ${link('cancel', 'cancelWork')}</div>
  <details><summary data-t="links"></summary><div class="row small">
    ${DEEP_LINKS.map((c) => `<a class="link" href="veska-voice-local://${c}${c === 'output' ? '?lang=' : c === 'ai-test' ? '?task=translate' : ''}">${c}</a>`).join(' ')}
  </div></details>
</section>
<script>${script}</script>
</body>
</html>
`;
}
