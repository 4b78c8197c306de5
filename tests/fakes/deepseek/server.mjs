// A loopback fake of the DeepSeek API's streaming chat endpoint
// (POST /chat/completions with "Authorization: Bearer KEY").
// Prints its port on standard output. See ../README.md for the control endpoints.
import { startFake, expectEqual } from '../common/streaming-fake.mjs';

function parse(req, url, bodyText, state) {
  if (url.pathname !== '/chat/completions') return null;
  const problems = [];
  if (req.method !== 'POST') problems.push(`method ${req.method}`);
  if (req.headers['content-type'] !== 'application/json') problems.push(`content type ${req.headers['content-type']}`);
  let body = null;
  try {
    body = JSON.parse(bodyText);
  } catch {
    problems.push('body is not JSON');
  }
  let model = null;
  let userText = '';
  let thinkingRejected = null;
  if (body && typeof body === 'object') {
    model = typeof body.model === 'string' ? body.model : null;
    if (!model) problems.push('model missing');
    expectEqual(problems, 'stream', body.stream, true);
    expectEqual(problems, 'temperature', body.temperature, 0.2);
    const messages = body.messages;
    if (!Array.isArray(messages) || messages.length !== 2 || messages[0].role !== 'system' ||
        typeof messages[0].content !== 'string' || messages[1].role !== 'user' || typeof messages[1].content !== 'string') {
      problems.push('messages must be one system message and one user message');
    } else {
      userText = messages[1].content;
    }
    const extra = Object.keys(body).filter((k) => !['model', 'stream', 'temperature', 'messages', 'thinking'].includes(k));
    if (extra.length > 0) problems.push(`body has ${extra.join(', ')}`);
    if ('thinking' in body) {
      expectEqual(problems, 'thinking', body.thinking, { type: 'disabled' });
      const config = state.models[model] ?? {};
      if (config.thinking === false) thinkingRejected = 'Unknown parameter: thinking is not supported by this model';
    }
  }
  const keyOk = state.key !== '' && req.headers.authorization === `Bearer ${state.key}`;
  return { model, userText, problems, keyOk, thinkingRejected };
}

function errorBody(status, message) {
  const types = { 400: 'invalid_request_error', 401: 'authentication_error', 402: 'payment_required', 429: 'rate_limit_error' };
  return { error: { message, type: types[status] ?? 'api_error', param: null, code: String(status) } };
}

let sequence = 0;

function chunk(delta, model, finish) {
  const event = {
    id: `fake-${sequence}`,
    object: 'chat.completion.chunk',
    created: 1764900000,
    model,
    system_fingerprint: 'fp_fake',
    choices: [{ index: 0, delta, logprobs: null, finish_reason: finish }],
  };
  return `data: ${JSON.stringify(event)}`;
}

function events({ pieces, thought, model }) {
  sequence += 1;
  const lines = [chunk({ role: 'assistant', content: '' }, model, null)];
  if (thought) lines.push(chunk({ content: null, reasoning_content: thought }, model, null));
  for (const piece of pieces) lines.push(chunk({ content: piece }, model, null));
  lines.push(chunk({ content: '' }, model, 'stop'));
  return lines;
}

function keyError(res) {
  const text = JSON.stringify(errorBody(401, 'Authentication Fails, your api key is invalid'));
  res.writeHead(401, { 'Content-Type': 'application/json', 'Content-Length': Buffer.byteLength(text) });
  res.end(text);
}

startFake({ name: 'deepseek', parse, errorBody, events, keyError, done: true, separator: '\n\n' });
