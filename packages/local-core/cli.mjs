#!/usr/bin/env node
// Veska's local core: `cli.mjs serve` serves the dashboard, preferences, secrets and file
// transcription on 127.0.0.1 at the port in PORT (default 8797).
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import { createCoreServer } from './src/server.mjs';
import { envValue } from './src/store.mjs';

const DEFAULT_PORT = 8797;
const DEFAULT_CHATGPT_URL = 'https://chatgpt.com';

function configDir() {
  return path.join(os.homedir(), '.config', 'veska-voice');
}

function readText(file) {
  try {
    return fs.readFileSync(file, 'utf8');
  } catch {
    return null;
  }
}

/** The app's rule: LOCAL_CORE_TOKEN from the environment when not empty, else from v2.env. */
function token(dir) {
  const fromEnv = process.env.LOCAL_CORE_TOKEN;
  if (fromEnv) return fromEnv;
  return envValue(readText(path.join(dir, 'v2.env')), 'LOCAL_CORE_TOKEN');
}

/** VESKA_CHATGPT_URL, else "chatgpt_url" of v2.json's "services", else the real service. */
function chatgptURL(dir) {
  const fromEnv = process.env.VESKA_CHATGPT_URL;
  if (fromEnv) return fromEnv.replace(/\/+$/, '');
  try {
    const url = JSON.parse(readText(path.join(dir, 'v2.json')) ?? '{}')?.services?.chatgpt_url;
    if (typeof url === 'string' && url) return url.replace(/\/+$/, '');
  } catch {
    // A corrupt file leaves the default.
  }
  return DEFAULT_CHATGPT_URL;
}

function port() {
  const text = process.env.PORT ?? String(DEFAULT_PORT);
  const value = Number(text);
  if (!/^\d+$/.test(text) || value < 1 || value > 65535) {
    process.stderr.write(`local-core: PORT must be a port number (1-65535), not "${text.slice(0, 20)}"\n`);
    process.exit(2);
  }
  return value;
}

function serve() {
  const dir = configDir();
  const server = createCoreServer({ configDir: dir, token: token(dir), chatgptURL: chatgptURL(dir) });
  server.on('error', (error) => {
    process.stderr.write(`local-core: cannot listen on 127.0.0.1:${port()}: ${error.code ?? error.message}\n`);
    process.exit(1);
  });
  server.listen(port(), '127.0.0.1');
  const stop = () => server.close(() => process.exit(0));
  process.on('SIGTERM', stop);
  process.on('SIGINT', stop);
}

const command = process.argv[2];
if (command === 'serve') {
  serve();
} else {
  process.stderr.write('usage: cli.mjs serve   (PORT sets the port, default 8797)\n');
  process.exit(2);
}
