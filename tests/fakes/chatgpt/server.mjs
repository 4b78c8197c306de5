// A loopback fake of the ChatGPT web service as Veska reaches it outside a web view: the
// session endpoint that turns the sign-in cookies into an access token (GET /api/auth/session)
// and the dictation endpoint the local core forwards recordings to (POST
// /backend-api/transcribe), with every way they fail on demand. Prints its port on standard
// output and exits when standard input closes. See ../README.md for the controls.
import http from 'node:http';
import crypto from 'node:crypto';

import {
  cookies, isMain, parseJson, readBody, readBytes, runAsChild, sendJson, sleep, trackSockets,
} from '../common/http.mjs';

export const USER_AGENT =
  'Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/17.0 Safari/605.1.15';
export const SESSION_PATH = '/api/auth/session';
export const TRANSCRIBE_PATH = '/backend-api/transcribe';
export const LOGIN_PATH = '/auth/login';
/** The sign-in cookie; a long one is split into ".0", ".1", ... chunks. */
export const SESSION_COOKIE = '__Secure-next-auth.session-token';
export const EMAIL = 'user@veska.test';
/** The largest recording the endpoint takes by default. */
export const DEFAULT_MAX_UPLOAD_BYTES = 25 * 1024 * 1024;
/** How many uploads are kept for `/__fake/uploads/N` (older ones are forgotten). */
const KEPT_UPLOADS = 8;
/** The session answer's token forms. */
export const FORMS = ['accessToken', 'access_token', 'nested', 'empty', 'notObject', 'notJson', 'signedOut'];

/** An unsigned JWT carrying `claims`, shaped like the service's access tokens. */
export function jwt(claims) {
  const part = (value) => Buffer.from(JSON.stringify(value)).toString('base64url');
  return `${part({ alg: 'RS256', typ: 'JWT' })}.${part(claims)}.${Buffer.from('fake-signature').toString('base64url')}`;
}

/** The token handed out unless configured otherwise: the account EMAIL, valid until 2100. */
export const DEFAULT_TOKEN = jwt({ 'https://api.openai.com/profile': { email: EMAIL }, exp: 4102444800 });

function fresh(config = {}) {
  return {
    token: DEFAULT_TOKEN,
    accepted: new Set(),
    text: 'xin chào',
    maxUploadBytes: DEFAULT_MAX_UPLOAD_BYTES,
    session: {},
    transcribe: {},
    sessionQueue: [],
    transcribeQueue: [],
    requests: [],
    uploads: new Map(),
    ...config,
  };
}

/** The value of the session cookie, its chunks joined in order; null without one. */
export function sessionCookie(header) {
  const jar = cookies(header);
  if (jar[SESSION_COOKIE] !== undefined) return jar[SESSION_COOKIE];
  const chunks = Object.keys(jar)
    .filter((name) => name.startsWith(`${SESSION_COOKIE}.`) && /^\d+$/.test(name.slice(SESSION_COOKIE.length + 1)))
    .sort((a, b) => Number(a.slice(SESSION_COOKIE.length + 1)) - Number(b.slice(SESSION_COOKIE.length + 1)));
  return chunks.length ? chunks.map((name) => jar[name]).join('') : null;
}

/** A session answer named by the session cookie's value ("form-NAME", "status-NNN",
 *  "slow-MS", "silent", "drop"), or null for any other value. */
export function answerFromCookie(value) {
  let match;
  if ((match = /^form-(\w+)$/.exec(value)) && FORMS.includes(match[1])) return { form: match[1] };
  if ((match = /^status-(\d{3})$/.exec(value))) return { status: Number(match[1]) };
  if ((match = /^slow-(\d{1,6})$/.exec(value))) return { delayMs: Number(match[1]) };
  if (value === 'silent') return { silent: true };
  if (value === 'drop') return { drop: true };
  return null;
}

/** The body of a session answer of `form` carrying `token`. */
export function sessionBody(form, token) {
  const user = { id: 'user-fake', name: 'Veska Test', email: EMAIL };
  const expires = new Date(Date.now() + 30 * 86400_000).toISOString();
  switch (form) {
    case 'access_token': return JSON.stringify({ user, expires, access_token: token });
    case 'nested': return JSON.stringify({ user, expires, token: { accessToken: token } });
    case 'empty': return JSON.stringify({ user, expires, accessToken: '', access_token: '', token: { accessToken: '' } });
    case 'notObject': return JSON.stringify([{ accessToken: token }]);
    case 'notJson': return '<!DOCTYPE html><html><body>Just a moment...</body></html>';
    case 'signedOut': return '{}';
    default: return JSON.stringify({ user, expires, accessToken: token, authProvider: 'auth0' });
  }
}

/** Everything wrong with the browser-like headers of a request to the service. */
function browserProblems(req) {
  const problems = [];
  if (req.headers['user-agent'] !== USER_AGENT) problems.push(`User-Agent is ${JSON.stringify(req.headers['user-agent'] ?? null)}`);
  const origin = `http://${req.headers.host}`;
  if (req.headers.referer !== `${origin}/`) problems.push(`Referer is ${JSON.stringify(req.headers.referer ?? null)}, expected "${origin}/"`);
  return problems;
}

/** The parts of a multipart/form-data body: [{name, filename, contentType, data}], or null. */
export function multipartParts(contentType, body) {
  const match = /^multipart\/form-data;\s*boundary=(?:"([^"]+)"|([^\s;]+))/i.exec(contentType ?? '');
  if (!match) return null;
  const delimiter = Buffer.from(`--${match[1] ?? match[2]}`);
  const parts = [];
  let at = body.indexOf(delimiter);
  if (at !== 0) return null;
  for (;;) {
    const after = at + delimiter.length;
    const tail = body.subarray(after, after + 2).toString('latin1');
    if (tail === '--') return parts;
    if (tail !== '\r\n') return null;
    const headerEnd = body.indexOf('\r\n\r\n', after + 2);
    if (headerEnd < 0) return null;
    const next = body.indexOf(Buffer.concat([Buffer.from('\r\n'), delimiter]), headerEnd + 4);
    if (next < 0) return null;
    const headers = body.subarray(after + 2, headerEnd).toString('utf8');
    const disposition = /^content-disposition:\s*form-data(.*)$/im.exec(headers)?.[1] ?? '';
    parts.push({
      name: /;\s*name="([^"]*)"/i.exec(disposition)?.[1] ?? null,
      filename: /;\s*filename="([^"]*)"/i.exec(disposition)?.[1] ?? null,
      contentType: /^content-type:\s*(.+)$/im.exec(headers)?.[1].trim() ?? null,
      data: body.subarray(headerEnd + 4, next),
    });
    at = next + 2;
  }
}

/** Whether `bytes` start like an MPEG-4 file (an "ftyp" box first). */
export function looksLikeMp4(bytes) {
  return bytes.length >= 12 && bytes.subarray(4, 8).toString('latin1') === 'ftyp';
}

export async function startServer({ port = 0, ...config } = {}) {
  let state = fresh(config);

  function record(req, url) {
    const entry = { method: req.method, path: url.pathname, headers: req.headers, problems: [], outcome: 'open' };
    state.requests.push(entry);
    return entry;
  }

  /** Sends the answer of a request, however it was asked to go. */
  async function answer(req, res, entry, how, respond) {
    if (how.delayMs) await sleep(how.delayMs);
    if (how.silent) {
      entry.outcome = 'silent';
      res.on('close', () => { entry.outcome = 'aborted'; });
      return;
    }
    if (how.drop) {
      entry.outcome = 'dropped';
      req.socket.destroy();
      return;
    }
    if (res.destroyed) {
      entry.outcome = 'aborted';
      return;
    }
    entry.outcome = 'answered';
    respond();
  }

  async function session(req, res, url) {
    const entry = record(req, url);
    await readBody(req);
    entry.problems = browserProblems(req);
    if (req.method !== 'GET') entry.problems.push(`method ${req.method}`);
    if (!req.headers.cookie) entry.problems.push('no Cookie header');
    if (entry.problems.length) {
      entry.outcome = 'refused';
      return sendJson(res, 400, { detail: `fake: ${entry.problems.join('; ')}` });
    }
    const cookie = sessionCookie(req.headers.cookie);
    entry.sessionCookie = cookie;
    const how = state.sessionQueue.shift() ?? (cookie !== null ? answerFromCookie(cookie) : null) ?? state.session;
    const form = cookie === null && !how.form ? 'signedOut' : (how.form ?? 'accessToken');
    const token = how.token ?? state.token;
    if (form !== 'signedOut' && form !== 'empty') state.accepted.add(token);
    return answer(req, res, entry, how, () => {
      if (how.status && how.status !== 200) {
        return sendJson(res, how.status, how.body ?? { detail: `fake: HTTP ${how.status}` });
      }
      const type = form === 'notJson' ? 'text/html' : 'application/json';
      return sendJson(res, 200, how.body ?? sessionBody(form, token), { 'Content-Type': type });
    });
  }

  async function transcribe(req, res, url) {
    const entry = record(req, url);
    const body = await readBytes(req);
    entry.bodyBytes = body.length;
    const how = state.transcribeQueue.shift() ?? state.transcribe;
    const auth = req.headers.authorization ?? '';
    const tokenOk = auth.startsWith('Bearer ') && (auth.slice(7) === state.token || state.accepted.has(auth.slice(7)));
    if (req.method !== 'POST') entry.problems.push(`method ${req.method}`);
    entry.problems.push(...browserProblems(req));
    const parts = multipartParts(req.headers['content-type'], body);
    const file = parts?.find((part) => part.name === 'file');
    if (!parts) entry.problems.push('the body is not multipart/form-data with a boundary');
    else if (!file) entry.problems.push('no "file" part');
    else {
      entry.filename = file.filename;
      entry.contentType = file.contentType;
      entry.audioBytes = file.data.length;
      entry.audioSha256 = crypto.createHash('sha256').update(file.data).digest('hex');
      if (!file.filename) entry.problems.push('the "file" part has no filename');
      if (!/^audio\//.test(file.contentType ?? '')) entry.problems.push(`the "file" part's type is ${file.contentType}`);
      if (!looksLikeMp4(file.data)) entry.problems.push('the "file" part is not an MPEG-4 recording');
      const index = state.requests.length - 1;
      state.uploads.set(index, Buffer.from(file.data));
      for (const old of state.uploads.keys()) if (state.uploads.size > KEPT_UPLOADS) state.uploads.delete(old);
    }
    // The service checks the token first, then the size, then the recording.
    if (!tokenOk) {
      entry.outcome = 'refused';
      return sendJson(res, 401, { detail: 'Unauthorized' });
    }
    if (body.length > state.maxUploadBytes) {
      entry.outcome = 'refused';
      return sendJson(res, 413, { detail: 'File too large' });
    }
    if (entry.problems.length) {
      entry.outcome = 'refused';
      return sendJson(res, 400, { detail: `fake: ${entry.problems.join('; ')}` });
    }
    return answer(req, res, entry, how, () => {
      const status = how.status ?? 200;
      if (how.body !== undefined) return sendJson(res, status, how.body);
      if (status !== 200) return sendJson(res, status, { detail: `fake: HTTP ${status}` });
      const text = (how.text ?? state.text).replaceAll('{bytes}', String(file.data.length));
      return sendJson(res, 200, { text });
    });
  }

  function configure(body) {
    for (const key of ['token', 'text', 'maxUploadBytes', 'session', 'transcribe']) {
      if (body[key] !== undefined) state[key] = body[key];
    }
  }

  function script(body) {
    state.sessionQueue.push(...(Array.isArray(body.session) ? body.session : []));
    state.transcribeQueue.push(...(Array.isArray(body.transcribe) ? body.transcribe : []));
    return { session: state.sessionQueue.length, transcribe: state.transcribeQueue.length };
  }

  async function control(req, res, url) {
    const text = await readBody(req);
    const body = text ? parseJson(text) : {};
    if (body === null || typeof body !== 'object') return sendJson(res, 400, { error: 'fake: control body is not a JSON object' });
    const key = `${req.method} ${url.pathname}`;
    if (key === 'POST /__fake/script') return sendJson(res, 200, { queued: script(body) });
    if (key === 'POST /__fake/config') {
      configure(body);
      return sendJson(res, 200, { ok: true });
    }
    if (key === 'POST /__fake/reset') {
      state = fresh(config);
      return sendJson(res, 200, { ok: true });
    }
    if (key === 'GET /__fake/requests') return sendJson(res, 200, { requests: state.requests });
    const upload = /^GET \/__fake\/uploads\/(\d+)$/.exec(key);
    if (upload) {
      const bytes = state.uploads.get(Number(upload[1]));
      if (!bytes) return sendJson(res, 404, { error: 'fake: no such upload kept' });
      res.writeHead(200, { 'Content-Type': 'application/octet-stream', 'Content-Length': bytes.length });
      return res.end(bytes);
    }
    return sendJson(res, 404, { error: 'fake: no such control endpoint' });
  }

  async function serve(req, res) {
    const url = new URL(req.url, 'http://fake.invalid');
    if (url.pathname.startsWith('/__fake/')) return control(req, res, url);
    if (url.pathname === SESSION_PATH) return session(req, res, url);
    if (url.pathname === TRANSCRIBE_PATH) return transcribe(req, res, url);
    if (url.pathname === LOGIN_PATH && req.method === 'GET') {
      const page = '<!DOCTYPE html><html><head><title>Log in</title></head><body><form>Log in</form></body></html>';
      res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8', 'Content-Length': Buffer.byteLength(page) });
      return res.end(page);
    }
    record(req, url).outcome = 'answered';
    await readBody(req);
    return sendJson(res, 404, { detail: 'Not Found' });
  }

  const server = http.createServer((req, res) => {
    serve(req, res).catch(() => {
      if (!res.headersSent) sendJson(res, 500, { error: 'fake: internal failure' });
      else res.destroy();
    });
  });
  const sockets = trackSockets(server);
  await new Promise((resolve) => server.listen(port, '127.0.0.1', resolve));
  const bound = server.address().port;
  return {
    server,
    port: bound,
    url: `http://127.0.0.1:${bound}`,
    get state() { return state; },
    get requests() { return state.requests; },
    upload: (index) => state.uploads.get(index) ?? null,
    configure,
    script,
    reset: () => { state = fresh(config); },
    close: () => new Promise((resolve) => {
      for (const socket of sockets) socket.destroy();
      server.close(resolve);
    }),
  };
}

if (isMain(import.meta.url)) {
  const { port } = await startServer();
  runAsChild(port);
}
