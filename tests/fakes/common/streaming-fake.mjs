// The shared part of the loopback fakes of streaming AI APIs: the server, its control
// endpoints, scripted answers and every way of failing that a test can ask for.
import http from 'node:http';

import { readBody, runAsChild, sendJson, sleep } from './http.mjs';

/**
 * An answer, as scripted through the control endpoints or the "x-fake-answer" header:
 *   status        HTTP status (200)
 *   message       error message, wrapped the way the service wraps it
 *   body          exact error body instead ("" for an empty one)
 *   text          the answer (default: the user's text, echoed)
 *   pieces        the answer as explicit pieces, one event each
 *   pieceSize     characters per piece when cutting `text` (16)
 *   thought       a thought sent before the answer (never part of it)
 *   headDelayMs   wait before the head
 *   gapMs         wait between events
 *   silent        accept the request and never answer
 *   stallAfter    after this many events, keep the connection open and silent
 *   dropAfter     after this many events, destroy the connection
 *   malformed     put lines that are not JSON events between the events
 *   afterDone     lines sent after the closing "data: [DONE]" (which is then sent)
 */

/** The characters (code points) of `text` cut into pieces of `size`. */
export function cut(text, size) {
  const chars = Array.from(text);
  const pieces = [];
  for (let i = 0; i < chars.length; i += size) pieces.push(chars.slice(i, i + size).join(''));
  return pieces;
}

/** Writes `text` and waits until it has gone to the socket. */
function write(res, text) {
  return new Promise((resolve) => res.write(text, () => resolve()));
}

const MALFORMED = ['data: {"candidates": [', 'data: not json at all', 'event: ping', ': keep-alive', 'data:', 'data: 42'];

/**
 * Starts a fake on a free loopback port and prints the port on standard output.
 * `service` gives: name, parse(req, url, body) → { model, userText, problems, keyOk, thinkingRejected }
 * or null for a path it does not serve; errorBody(status, message); events(answer, model) → the event
 * lines of a streamed answer (without the closing ones); done (whether the service ends with
 * "data: [DONE]"); separator ("\n\n" or "\r\n\r\n"); keyError(); thinkingError(); modelsConfig.
 */
export function startFake(service) {
  const state = {
    queues: new Map(),
    requests: [],
    key: process.env.FAKE_API_KEY || 'test-key',
    models: {},
  };
  const args = process.argv.slice(2);
  for (let i = 0; i < args.length; i += 1) {
    if (args[i] === '--key' && i + 1 < args.length) state.key = args[++i];
  }

  async function control(req, res, path) {
    const text = await readBody(req);
    let body = {};
    try {
      body = text ? JSON.parse(text) : {};
    } catch {
      return sendJson(res, 400, { error: 'control body is not JSON' });
    }
    if (path === '/__fake/script' && req.method === 'POST') {
      const model = typeof body.model === 'string' ? body.model : '*';
      const answers = Array.isArray(body.answers) ? body.answers : [];
      state.queues.set(model, (state.queues.get(model) || []).concat(answers));
      return sendJson(res, 200, { queued: state.queues.get(model).length });
    }
    if (path === '/__fake/models' && req.method === 'POST') {
      Object.assign(state.models, body);
      return sendJson(res, 200, { ok: true });
    }
    if (path === '/__fake/key' && req.method === 'POST') {
      state.key = String(body.key ?? '');
      return sendJson(res, 200, { ok: true });
    }
    if (path === '/__fake/reset' && req.method === 'POST') {
      state.queues.clear();
      state.requests = [];
      state.models = {};
      return sendJson(res, 200, { ok: true });
    }
    if (path === '/__fake/requests' && req.method === 'GET') {
      return sendJson(res, 200, { requests: state.requests });
    }
    return sendJson(res, 404, { error: 'no such control endpoint' });
  }

  function nextAnswer(req, model) {
    const header = req.headers['x-fake-answer'];
    // Header values arrive as Latin-1: read their bytes back as UTF-8.
    if (header) return JSON.parse(Buffer.from(header, 'latin1').toString('utf8'));
    for (const name of [model, '*']) {
      const queue = state.queues.get(name);
      if (queue && queue.length > 0) return queue.shift();
    }
    return {};
  }

  async function stream(req, res, answer, parsed, record) {
    const gap = answer.gapMs || 0;
    const text = answer.text ?? parsed.userText;
    const pieces = Array.isArray(answer.pieces) ? answer.pieces : cut(text, answer.pieceSize || 16);
    const lines = service.events({ pieces, thought: answer.thought, model: parsed.model });
    res.writeHead(200, { 'Content-Type': 'text/event-stream', 'Cache-Control': 'no-cache' });
    res.flushHeaders();
    let sent = 0;
    for (const line of lines) {
      if (answer.dropAfter !== undefined && sent >= answer.dropAfter) {
        record.outcome = 'dropped';
        res.socket.destroy();
        return;
      }
      if (answer.stallAfter !== undefined && sent >= answer.stallAfter) {
        record.outcome = 'stalled';
        return;
      }
      if (gap > 0 && sent > 0) await sleep(gap);
      if (res.destroyed) return;
      if (answer.malformed) await write(res, MALFORMED[sent % MALFORMED.length] + '\n');
      await write(res, line + service.separator);
      sent += 1;
    }
    if (answer.afterDone || service.done) res.write('data: [DONE]' + service.separator);
    for (const extra of answer.afterDone || []) res.write(extra + service.separator);
    res.end();
  }

  async function serve(req, res) {
    const url = new URL(req.url, 'http://fake.invalid');
    if (url.pathname.startsWith('/__fake/')) return control(req, res, url.pathname);
    const bodyText = await readBody(req);
    const record = {
      method: req.method,
      path: url.pathname,
      query: url.search.replace(/^\?/, ''),
      headers: req.headers,
      body: bodyText,
      model: null,
      problems: [],
      outcome: 'open',
    };
    state.requests.push(record);
    res.on('close', () => {
      if (['open', 'silent', 'stalled'].includes(record.outcome)) {
        record.outcome = res.writableFinished ? 'completed' : 'aborted';
      }
    });
    if (req.method === 'HEAD' || (req.method === 'GET' && url.pathname === '/')) {
      record.outcome = 'completed';
      res.writeHead(404, { 'Content-Length': 0 });
      return res.end();
    }
    const parsed = service.parse(req, url, bodyText, state);
    if (!parsed) return sendJson(res, 404, service.errorBody(404, `fake: nothing is served at ${url.pathname}`));
    record.model = parsed.model;
    record.problems = parsed.problems;
    // The service refuses a wrong key, a malformed request or a thinking setting before
    // anything scripted happens, so scripted answers are kept for the requests that pass.
    if (!parsed.keyOk) return service.keyError(res);
    if (parsed.problems.length > 0) {
      return sendJson(res, 400, service.errorBody(400, `fake: ${parsed.problems.join('; ')}`));
    }
    if (parsed.thinkingRejected) return sendJson(res, 400, service.errorBody(400, parsed.thinkingRejected));
    let answer;
    try {
      answer = nextAnswer(req, parsed.model);
    } catch {
      return sendJson(res, 500, { error: 'fake: x-fake-answer is not JSON' });
    }
    if (answer.headDelayMs) await sleep(answer.headDelayMs);
    if (answer.silent) {
      record.outcome = 'silent';
      return undefined;
    }
    const status = answer.status ?? 200;
    if (status !== 200) {
      const body = answer.body !== undefined ? answer.body : JSON.stringify(service.errorBody(status, answer.message ?? ''));
      res.writeHead(status, { 'Content-Type': 'application/json', 'Content-Length': Buffer.byteLength(body) });
      return res.end(body);
    }
    return stream(req, res, answer, parsed, record);
  }

  const server = http.createServer((req, res) => {
    serve(req, res).catch(() => {
      if (!res.headersSent) sendJson(res, 500, { error: 'fake: internal failure' });
      else res.destroy();
    });
  });
  server.listen(0, '127.0.0.1', () => runAsChild(server.address().port));
}

/** Checks that `value` is exactly the JSON `expected` (deep equality), adding a problem if not. */
export function expectEqual(problems, what, value, expected) {
  if (JSON.stringify(value) !== JSON.stringify(expected)) {
    problems.push(`${what} is ${JSON.stringify(value)}, expected ${JSON.stringify(expected)}`);
  }
}
