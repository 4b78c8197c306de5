// `cli.mjs serve`: listens on 127.0.0.1 at PORT, with the configuration of the user's home.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const CLI = path.join(path.dirname(fileURLToPath(import.meta.url)), '..', 'cli.mjs');

function freePort() {
  return new Promise((resolve) => {
    const server = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

async function waitForHealth(port) {
  for (let i = 0; i < 100; i++) {
    try {
      const res = await fetch(`http://127.0.0.1:${port}/healthz`);
      if (res.ok) return await res.json();
    } catch {
      // not listening yet
    }
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  throw new Error('the core did not come up');
}

test('serve listens at PORT on the loopback address, reading the token from v2.env', async (t) => {
  const home = fs.mkdtempSync(path.join(os.tmpdir(), 'veska-core-home-'));
  fs.mkdirSync(path.join(home, '.config', 'veska-voice'), { recursive: true });
  fs.writeFileSync(path.join(home, '.config', 'veska-voice', 'v2.env'), 'LOCAL_CORE_TOKEN="from-file"\n');
  const port = await freePort();
  const env = { ...process.env, HOME: home, PORT: String(port) };
  delete env.LOCAL_CORE_TOKEN;
  const child = spawn(process.execPath, [CLI, 'serve'], { env, stdio: 'ignore' });
  t.after(() => {
    child.kill('SIGTERM');
    fs.rmSync(home, { recursive: true, force: true });
  });
  assert.equal((await waitForHealth(port)).ok, true);
  assert.equal((await fetch(`http://127.0.0.1:${port}/v1/config`)).status, 401);
  const config = await fetch(`http://127.0.0.1:${port}/v1/config`, { headers: { Authorization: 'Bearer from-file' } });
  assert.equal(config.status, 200);
  const exited = new Promise((resolve) => child.on('exit', resolve));
  child.kill('SIGTERM');
  assert.equal(await exited, 0);
});

test('a bad PORT or command is refused', async () => {
  for (const [args, env] of [[['serve'], { PORT: 'abc' }], [['serve'], { PORT: '70000' }], [['run'], {}]]) {
    const child = spawn(process.execPath, [CLI, ...args], { env: { ...process.env, ...env }, stdio: 'ignore' });
    const code = await new Promise((resolve) => child.on('exit', resolve));
    assert.equal(code, 2, JSON.stringify(args));
  }
});
